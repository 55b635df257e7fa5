# Shared by scripts/bootstrap and scripts/build-deps: apt's update and install, made to go on past
# an archive in the middle of a sync (an index that does not match its release file).
# Source it after defining `say` and SUDO; it defines functions only.
#
# Where the update succeeds these do what `apt-get update` and `apt-get install` do. When indexes
# still fail after a few tries, the update names them and goes on with those that came. When the
# install cannot be resolved then (the i386 half of a multi-arch package must have the version of
# its amd64 half, and the newer amd64 versions come from the archive whose i386 index is missing),
# it is made again with each i386 package it can reach taken from the failed archive's pool at the
# version that archive's amd64 index has, as its i386 index would have listed it. Nothing
# installed moves to an older version, except linux-libc-dev when its i386 half is not in the pool
# (headers only: nothing pins them).

# Each index the last update could not bring, as ".../dists/<suite>/<component>/<folder>/" (a
# release file as ".../dists/<suite>/").
tarvex_apt_failed=()

# "bookworm-security main binary-i386" for the index at ".../dists/bookworm-security/main/binary-i386/".
tarvex_apt_index_name() { # address
  local rest=${1#*/dists/}
  rest=${rest%/}
  echo "${rest//\// }"
}

# Whether an index address (".../Packages", ".../Sources") is one the update could not bring.
tarvex_apt_index_failed() { # address
  local p
  for p in "${tarvex_apt_failed[@]}"; do
    case "$1" in "$p"*) return 0 ;; esac
  done
  return 1
}

# A copy of the machine's apt sources without the failed indexes, into folder/sources.list and
# folder/parts: a failed binary-<arch> index takes that architecture from its archive and suite, a
# failed source index its deb-src entry, any other failure (the release file) the whole suite.
# (A failed translation is left to the update, which then fetches none.)
tarvex_apt_sources_without_failed() { # folder
  local dir=$1 list parts f p rest
  eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
  mkdir -p "$dir/parts"
  : >"$dir/sources.list"
  local drop="" # "uri suite what" lines, what = arch:<arch> | source | all
  for p in "${tarvex_apt_failed[@]}"; do
    rest=${p#*/dists/}; rest=${rest%/}
    local what=all
    case "$rest" in */*/binary-*) what=arch:${rest##*/binary-} ;; */*/source) what=source ;; */*/i18n) continue ;; esac
    drop+="${p%%/dists/*} ${rest%%/*} $what"$'\n'
  done
  for f in "$list" "$parts"*.list "$parts"*.sources; do
    [ -f "$f" ] || continue
    local out="$dir/parts/$(basename "$f")"
    [ "$f" = "$list" ] && out="$dir/sources.list"
    DROP=$drop ARCHS="$(dpkg --print-architecture; dpkg --print-foreign-architectures)" perl -e '
      my (%what, @archs);
      for (split /\n/, $ENV{DROP}) { my ($u, $s, $w) = split; $u =~ s{/+$}{}; $what{"$u $s"}{$w} = 1 }
      @archs = split /\s+/, $ENV{ARCHS};
      # What stays of an entry of archive $u and suite $s: its types and architectures.
      sub keep {
        my ($u, $s, $types, $archs) = @_;
        my $w = $what{($u =~ s{/+$}{}r) . " $s"} or return ($types, $archs);
        return ([], $archs) if $w->{all};
        my @t = grep { !($_ eq "deb-src" && $w->{source}) } @$types;
        my @a = grep { !$w->{"arch:$_"} } @$archs;
        @t = grep { $_ ne "deb" } @t unless @a;
        return (\@t, \@a);
      }
      local $/;
      my $text = <STDIN>;
      if ($ARGV[0] =~ /\.sources$/) {
        for my $stanza (split /\n\s*\n/, $text) {
          my (@order, %f, %name);
          for (split /\n/, $stanza) {
            next if /^#/;
            if (/^\s/ && @order) { $f{$order[-1]} .= " $_"; next }
            my ($k, $v) = /^([^:\s]+):\s*(.*)$/ or next;
            push @order, lc $k; $f{lc $k} = $v; $name{lc $k} = $k;
          }
          push @order, "architectures" unless exists $f{architectures};
          $name{architectures} //= "Architectures";
          next unless @order;
          my @types = split " ", $f{types} // "";
          my @as = $f{architectures} ? split(" ", $f{architectures}) : @archs;
          my %groups; # the suites that keep the same, by what they keep
          for my $s (split " ", $f{suites} // "") {
            my ($t, $a) = (\@types, \@as);
            for my $u (split " ", $f{uris} // "") { ($t, $a) = keep($u, $s, $t, $a) }
            next unless @$t;
            my $key = "@$t|@$a";
            push @{$groups{$key}}, $s;
          }
          for my $key (sort keys %groups) {
            my ($t, $a) = split /\|/, $key;
            my %g = (%f, types => $t, suites => "@{$groups{$key}}");
            $g{architectures} = $a if $f{architectures} || $a ne "@archs";
            print map({ "$name{$_}: $g{$_}\n" } grep { defined $g{$_} } @order), "\n";
          }
        }
      } else {
        for (split /\n/, $text) {
          my ($type, $opts, $rest) = /^\s*(deb|deb-src)\s+(?:\[([^\]]*)\]\s*)?(.*)$/ or do { print "$_\n"; next };
          my ($u, $s) = split " ", $rest;
          my %o = map { split /=/, $_, 2 } split " ", $opts // "";
          my @as = $o{arch} ? split(/,/, $o{arch}) : @archs;
          my ($t, $a) = keep($u, $s, [$type], \@as);
          next unless @$t;
          $o{arch} = join(",", @$a) if $o{arch} || "@$a" ne "@archs";
          my $o = join " ", map { "$_=$o{$_}" } sort keys %o;
          print "$type ", ($o ? "[$o] " : ""), "$rest\n";
        }
      }' "$f" <"$f" >"$out"
  done
}

# `apt-get update`, tried up to three times (TARVEX_APT_TRIES). Indexes that still fail are named in
# one line and kept in tarvex_apt_failed, and the update is made once more from the sources without
# them, so that the others of their archives are whole (apt keeps none of an archive's new indexes
# when one of them fails). Fails only when apt failed for another reason.
tarvex_apt_update() { # [apt options...]
  local try tries=${TARVEX_APT_TRIES:-3} out status url prefix
  tarvex_apt_failed=()
  for ((try = 1; ; try++)); do
    status=0
    out=$($SUDO apt-get update -q "$@" 2>&1 >/dev/null) || status=$?
    grep -q '^[EW]: Failed to fetch ' <<<"$out" || break
    [ "$try" -lt "$tries" ] || break
    sleep $((try * 5))
  done
  local parts n
  while read -r url; do
    case "$url" in */dists/*/*) ;; *) continue ;; esac
    # ".../dists/<suite>/<component>/<folder>/<file>": the folder of the file, at most three deep
    IFS=/ read -ra parts <<<"${url#*/dists/}"
    n=$((${#parts[@]} - 1))
    [ $n -le 3 ] || n=3
    prefix=${url%%/dists/*}/dists/$(IFS=/; echo "${parts[*]:0:n}")/
    tarvex_apt_index_failed "$prefix" || tarvex_apt_failed+=("$prefix")
  done < <(sed -nE 's/^[EW]: Failed to fetch ([^ ]+).*/\1/p' <<<"$out")
  if [ ${#tarvex_apt_failed[@]} = 0 ]; then
    [ -z "$out" ] || echo "$out" >&2
    return $status
  fi
  local names="" p
  for p in "${tarvex_apt_failed[@]}"; do names+=", $(tarvex_apt_index_name "$p")"; done
  say "indexes that did not download after $tries $([ "$tries" = 1 ] && echo try || echo tries) (going on without them): ${names#, }"
  local tmp
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-apt.XXXXXX")
  tarvex_apt_sources_without_failed "$tmp"
  local languages=()
  case "${tarvex_apt_failed[*]}" in */i18n/*) languages=(-o Acquire::Languages=none) ;; esac
  status=0
  out=$($SUDO apt-get update -q "$@" "${languages[@]}" -o "Dir::Etc::SourceList=$tmp/sources.list" \
    -o "Dir::Etc::SourceParts=$tmp/parts" 2>&1 >/dev/null) || status=$?
  rm -rf "$tmp"
  if [ $status != 0 ] || grep -q '^[EW]: ' <<<"$out"; then echo "$out" >&2; fi
}

# `apt-get install` of the packages named; when it cannot be resolved after a partial update, the
# install with the i386 packages from the pool described at the top.
tarvex_apt_install() { # packages...
  local apt=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
  if [ ${#tarvex_apt_failed[@]} = 0 ]; then
    "${apt[@]}" "$@" >/dev/null
    return
  fi
  if "${apt[@]}" "$@" >/dev/null 2>&1; then return 0; fi

  local tmp lists parts
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-apt.XXXXXX")
  chmod 755 "$tmp"
  eval "$(apt-config shell lists Dir::State::Lists/d parts Dir::Etc::SourceParts/d)"
  # A copy of apt's lists and of the machine's sources, to add the pool made below to for one run.
  mkdir -p "$tmp/lists/partial" "$tmp/parts" "$tmp/pool" "$tmp/empty"
  find "$lists" -maxdepth 1 -type f -name '*_*' -exec cp -t "$tmp/lists" {} +
  find "$parts" -maxdepth 1 -type f \( -name '*.list' -o -name '*.sources' \) -exec cp -t "$tmp/parts" {} +
  $SUDO chown _apt "$tmp/lists/partial" "$tmp/pool" 2>/dev/null || true
  local view=(-o "Dir::State::Lists=$tmp/lists" -o "Dir::Etc::SourceParts=$tmp/parts"
    -o "Dir::Cache::pkgcache=" -o "Dir::Cache::srcpkgcache=")

  # The packages the install can reach ("name" for amd64, "name:i386"), and for the i386 ones the
  # newest i386 version the view has and the newest version in a failed archive's amd64 index.
  local reach
  reach=$(apt-cache "${view[@]}" depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null | grep -E '^[^ <]' | sort -u)
  local archives=() p
  for p in "${tarvex_apt_failed[@]}"; do
    case "$p" in */binary-i386/)
      # ".../dists/<suite>/<comp>/binary-i386/" -> "<uri> <suite>/<comp> amd64 Packages", as madison names it
      local base=${p%%/dists/*} rest=${p#*/dists/}
      archives+=("${base%/} $(cut -d/ -f1 <<<"$rest")/$(cut -d/ -f2 <<<"$rest") amd64 Packages") ;;
    esac
  done
  local versions=""
  if [ ${#archives[@]} -gt 0 ]; then
    versions=$(apt-cache "${view[@]}" madison $(sed -n 's/:i386$//p' <<<"$reach") $(grep ':i386$' <<<"$reach") 2>/dev/null |
      awk -F' [|] ' -v archives="$(printf '%s\n' "${archives[@]}")" '
        BEGIN { n = split(archives, a, "\n"); for (i = 1; i <= n; i++) failed[a[i]] = 1 }
        { gsub(/^ +| +$/, "", $1); gsub(/^ +| +$/, "", $2); gsub(/^ +| +$/, "", $3); sub(/\/ /, " ", $3) }
        # apt lists the versions of a package newest first.
        $3 ~ / i386 Packages$/ { name = $1; sub(/:i386$/, "", name); if (!(name in i386)) i386[name] = $2 }
        ($3 in failed) && !($1 in amd64) { amd64[$1] = $2 }
        END { for (p in amd64) print p, amd64[p], (p in i386 ? i386[p] : "-") }' | sort)
  fi

  local name ver have deb filename fetched=() pins=() notes=() installed
  while read -r name ver have; do
    [ -n "$name" ] || continue
    [ "$have" = - ] || dpkg --compare-versions "$ver" gt "$have" || continue
    filename=$(apt-cache "${view[@]}" show "$name:amd64=$ver" 2>/dev/null | sed -n 's/^Filename: //p' | head -1)
    deb="${name}_${ver#*:}_i386.deb"
    for p in "${archives[@]}"; do
      if [ -n "$filename" ] && $SUDO /usr/lib/apt/apt-helper download-file "${p%% *}/$(dirname "$filename")/$deb" "$tmp/pool/$deb" >/dev/null 2>&1; then
        fetched+=("$name:i386 $ver")
        continue 2
      fi
    done
    # Headers only: both halves at the version the whole indexes have for both.
    if [ "$name" = linux-libc-dev ] && [ "$have" != - ]; then
      installed=$(dpkg-query -W -f='${Version} ${db:Status-Abbrev}' linux-libc-dev:amd64 2>/dev/null || true)
      if [ "${installed#* }" = "ii " ] && dpkg --compare-versions "${installed%% *}" gt "$have"; then
        notes+=("linux-libc-dev:amd64 moved back from ${installed%% *} to $have (its i386 half is not in the pool)")
      else
        notes+=("linux-libc-dev at $have for both architectures (its i386 half is not in the pool)")
      fi
      pins+=("linux-libc-dev:amd64=$have" "linux-libc-dev:i386=$have")
    fi
  done <<<"$versions"

  # The fetched packages become a flat local archive, so apt takes each only if the install needs it.
  if [ ${#fetched[@]} -gt 0 ]; then
    for deb in "$tmp"/pool/*.deb; do
      dpkg-deb -f "$deb"
      echo "Filename: ./$(basename "$deb")"
      echo "Size: $(stat -c %s "$deb")"
      echo "SHA256: $(sha256sum "$deb" | cut -d' ' -f1)"
      echo
    done >"$tmp/pool/Packages"
    echo "deb [trusted=yes] file:$tmp/pool ./" >"$tmp/parts/tarvex-pool.list"
    $SUDO apt-get update -qq -o "Dir::State::Lists=$tmp/lists" -o "Dir::Etc::SourceList=$tmp/parts/tarvex-pool.list" \
      -o "Dir::Etc::SourceParts=$tmp/empty" -o APT::Get::List-Cleanup=0 >/dev/null
  fi
  local allow=() out status=0
  [ ${#pins[@]} = 0 ] || allow=(--allow-downgrades)
  out=$("${apt[@]}" "${view[@]}" "${allow[@]}" "$@" "${pins[@]}" 2>&1) || status=$?
  $SUDO rm -rf "$tmp"
  if [ $status != 0 ]; then
    echo "$out" >&2
    return $status
  fi
  # Name what the install took from the pool.
  local msg="installed without the indexes that failed" took="" f
  for f in "${fetched[@]}"; do
    [ "$(dpkg-query -W -f='${Version}' "${f% *}" 2>/dev/null)" != "${f#* }" ] || took+=", $f"
  done
  [ -z "$took" ] || msg+=", taking from the pool the i386 halves at the version of their amd64 halves: ${took#, }"
  for f in "${notes[@]}"; do msg+="; $f"; done
  say "$msg"
}
