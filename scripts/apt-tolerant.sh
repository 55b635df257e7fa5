# Shared by scripts/bootstrap and scripts/build-deps: apt's update and install, made to go on past
# an archive whose indexes are being synced (an index that does not match its release file).
# Source it after defining `say`; it defines functions only.
#
# On a machine where the update succeeds these do exactly what `apt-get update` and
# `apt-get install` do. When an index still fails after a few tries, the update names it and goes on
# with the indexes that came. When the install then cannot be resolved (the i386 half of a
# multi-arch package must have the version of its amd64 half, and the newer amd64 versions come from
# the archive whose i386 index is missing), it installs from the archives whose indexes are whole,
# with the i386 half of each installed multi-arch package it needs taken from the failed archive's
# pool at the version of its amd64 half. Nothing installed is moved to an older version, except
# linux-libc-dev when its i386 half is not in the pool (it is a header package that nothing pins).

tarvex_apt_failed_archives=()   # "URI suite" of each archive with an index that did not download
tarvex_apt_failed_indexes=()    # "suite component binary-arch" (or "source") of each such index

# The archive and the index a failed index address stands for, from ".../dists/<suite>/<comp>/<dir>/<file>".
tarvex_apt_parse_failure() { # url -> "URI|suite|suite component dir"
  local url=$1
  case "$url" in */dists/*) ;; *) return 1 ;; esac
  local base=${url%%/dists/*} rest=${url#*/dists/}
  local suite=${rest%%/*}; rest=${rest#*/}
  local comp=${rest%%/*}; rest=${rest#*/}
  local dir=${rest%%/*}
  if [ "$dir" = "$rest" ]; then dir=""; fi # the release file itself
  echo "$base|$suite|$suite${comp:+ $comp}${dir:+ $dir}"
}

# `apt-get update`, tried up to three times (TARVEX_APT_TRIES). Indexes that still fail are named in one line and
# remembered; the update goes on with those that came. Fails only when apt failed for another reason.
tarvex_apt_update() { # [apt options...]
  local try tries=${TARVEX_APT_TRIES:-3} out status
  tarvex_apt_failed_archives=()
  tarvex_apt_failed_indexes=()
  for ((try = 1; try <= tries; try++)); do
    status=0
    out=$($SUDO apt-get update -q "$@" 2>&1 >/dev/null) || status=$?
    if [ $status = 0 ] && ! grep -q 'Failed to fetch' <<<"$out"; then return 0; fi
    if [ $try -lt $tries ]; then sleep $((try * 5)); fi
  done
  local line url parsed archive
  while read -r line; do
    url=$(sed -nE 's/^[EW]: Failed to fetch ([^ ]+).*/\1/p' <<<"$line")
    [ -n "$url" ] || continue
    parsed=$(tarvex_apt_parse_failure "$url") || continue
    archive=${parsed%|*}; archive=${archive/|/ }
    tarvex_apt_failed_indexes+=("${parsed##*|}")
    case " ${tarvex_apt_failed_archives[*]:-} " in *" $archive "*) ;; *) tarvex_apt_failed_archives+=("$archive") ;; esac
  done <<<"$out"
  if [ ${#tarvex_apt_failed_indexes[@]} = 0 ]; then
    echo "$out" >&2
    return 1
  fi
  local IFS=,
  say "indexes that did not download after $tries tries (going on without them):${tarvex_apt_failed_indexes[*]/#/ }"
}

# A copy of the machine's apt sources without the failed archives, for one apt run.
tarvex_apt_whole_sources() { # folder
  local dir=$1 f archive
  mkdir -p "$dir/parts"
  : >"$dir/sources.list"
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    local out="$dir/parts/$(basename "$f")"
    [ "$f" = /etc/apt/sources.list ] && out="$dir/sources.list"
    cp "$f" "$out"
    for archive in "${tarvex_apt_failed_archives[@]}"; do
      local uri=${archive% *} suite=${archive#* }
      URI=${uri%/} SUITE=$suite perl -i -ne '
        BEGIN { $/ = ($ARGV[0] =~ /\.sources$/) ? "" : "\n" }
        my ($uri, $suite) = ($ENV{URI}, $ENV{SUITE});
        if ($ARGV =~ /\.sources$/) {
          # A deb822 stanza: drop the failed suite from its Suites when its URIs name the archive.
          if (/^URIs:\s*(.*)$/mi && grep { s{/$}{}r eq $uri } split(" ", $1)) {
            s/^(Suites:[^\n]*)$/join(" ", grep { $_ ne $suite } split(" ", $1))/mei;
            $_ = "" unless /^Suites:[ \t]*\S/mi;
          }
        } else {
          my @w = split(" ", s/\[[^\]]*\]//r);
          $_ = "" if @w >= 3 && $w[0] =~ /^deb/ && $w[1] =~ s{/$}{}r eq $uri && $w[2] eq $suite;
        }
        print;' "$out"
    done
  done
}

# The i386 half of an installed multi-arch package at its amd64 version, from the pool of the failed
# archive whose amd64 index lists the package: prints the file it was saved to.
tarvex_apt_pool_i386() { # package version folder
  local pkg=$1 ver=$2 dir=$3 archive uri v filename
  for archive in "${tarvex_apt_failed_archives[@]}"; do
    uri=${archive% *}; uri=${uri%/}
    v=$(apt-cache madison "$pkg" 2>/dev/null | awk -F'|' -v u="$uri" '{ gsub(/^ +| +$/, "", $2); gsub(/^ +/, "", $3) }
      index($3, u " ") == 1 && $3 ~ / amd64 Packages$/ { print $2; exit }')
    [ -n "$v" ] || continue
    filename=$(apt-cache show "$pkg:amd64=$v" 2>/dev/null | sed -n 's/^Filename: //p' | head -1)
    [ -n "$filename" ] || continue
    local deb="${pkg}_${ver#*:}_i386.deb"
    if /usr/lib/apt/apt-helper download-file "$uri/$(dirname "$filename")/$deb" "$dir/$deb" >/dev/null 2>&1; then
      echo "$dir/$deb"
      return 0
    fi
  done
  return 1
}

# `apt-get install` of the packages named; when it cannot be resolved after a partial update, the
# install from the whole archives described at the top.
tarvex_apt_install() { # packages...
  local apt=($SUDO env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends)
  if [ ${#tarvex_apt_failed_archives[@]} = 0 ]; then
    "${apt[@]}" "$@" >/dev/null
    return
  fi
  local out
  if out=$("${apt[@]}" "$@" 2>&1 >/dev/null); then return 0; fi

  local tmp
  tmp=$(mktemp -d "${TMPDIR:-/tmp}/tarvex-apt.XXXXXX")
  chmod 755 "$tmp"
  tarvex_apt_whole_sources "$tmp"
  local whole=(-o "Dir::Etc::SourceList=$tmp/sources.list" -o "Dir::Etc::SourceParts=$tmp/parts")

  # The i386 packages the install can reach, and among them the installed multi-arch ones whose
  # amd64 version is newer than any i386 version the whole archives have.
  local reach pkg ver newest deb fetched=() done_lines=() downgrade=()
  reach=$(apt-cache "${whole[@]}" depends --recurse --no-recommends --no-suggests --no-conflicts \
    --no-breaks --no-replaces --no-enhances "$@" 2>/dev/null | sed -n 's/^\([^ <][^ ]*\):i386$/\1/p' | sort -u)
  local installed
  installed=$(dpkg-query -W -f='${Package} ${Version} ${Multi-Arch} ${Architecture} ${Status}\n' |
    awk -v reach="$reach" 'BEGIN { n = split(reach, r, "\n"); for (i = 1; i <= n; i++) want[r[i]] = 1 }
      $3 == "same" && $4 == "amd64" && $NF == "installed" && ($1 in want) { print $1, $2 }')
  # The newest i386 version of each in the whole archives (madison lists the newest first).
  local newest_i386=""
  if [ -n "$installed" ]; then
    newest_i386=$(apt-cache "${whole[@]}" madison $(awk '{ print $1 ":i386" }' <<<"$installed") 2>/dev/null |
      awk -F'|' '{ gsub(/ /, "", $1); gsub(/ /, "", $2); sub(/:i386$/, "", $1); if (!($1 in seen)) { seen[$1] = 1; print $1, $2 } }')
  fi
  mkdir -p "$tmp/pool"
  $SUDO chown _apt "$tmp/pool" 2>/dev/null || true
  while read -r pkg ver; do
    [ -n "$pkg" ] || continue
    newest=$(awk -v p="$pkg" '$1 == p { print $2 }' <<<"$newest_i386")
    if [ -n "$newest" ] && dpkg --compare-versions "$ver" le "$newest"; then continue; fi
    if deb=$(tarvex_apt_pool_i386 "$pkg" "$ver" "$tmp/pool"); then
      fetched+=("$deb")
      done_lines+=("$pkg:i386 $ver from the pool")
    elif [ "$pkg" = linux-libc-dev ] && [ -n "$newest" ]; then
      # Headers only: back to the version both architectures have in the whole archives.
      downgrade+=("linux-libc-dev:amd64=$newest" "linux-libc-dev:i386=$newest")
      done_lines+=("linux-libc-dev:amd64 moved back from $ver to $newest (its i386 half is not in the pool)")
    fi
  done <<<"$installed"

  # The fetched packages become a flat local archive, so apt takes each only if the install needs it.
  if [ ${#fetched[@]} -gt 0 ]; then
    local f
    for f in "${fetched[@]}"; do
      dpkg-deb -f "$f"
      echo "Filename: ./$(basename "$f")"
      echo "Size: $(stat -c %s "$f")"
      echo "SHA256: $(sha256sum "$f" | cut -d' ' -f1)"
      echo
    done >"$tmp/pool/Packages"
    echo "deb [trusted=yes] file:$tmp/pool ./" >"$tmp/parts/tarvex-pool.list"
    mkdir -p "$tmp/empty"
    $SUDO apt-get update -q -o "Dir::Etc::SourceList=$tmp/parts/tarvex-pool.list" -o "Dir::Etc::SourceParts=$tmp/empty" \
      -o APT::Get::List-Cleanup=0 >/dev/null 2>&1 || true
  fi
  local allow=()
  [ ${#downgrade[@]} = 0 ] || allow=(--allow-downgrades)
  if ! out=$("${apt[@]}" "${whole[@]}" "${allow[@]}" "$@" "${downgrade[@]}" 2>&1 >/dev/null); then
    echo "$out" >&2
    rm -rf "$tmp"
    return 1
  fi
  local IFS=';'
  say "installed from the archives whose indexes are whole${done_lines[*]:+, with}${done_lines[*]/#/ }"
  rm -rf "$tmp"
}
