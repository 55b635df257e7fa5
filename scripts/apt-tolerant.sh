# Shared by scripts/bootstrap and scripts/build-deps: apt's update and install, made to go on past
# an archive in the middle of a sync (an index that does not match its release file).
# Source it after defining `say` and SUDO; it defines functions only.
#
# Where the update succeeds these do what `apt-get update` and `apt-get install` do. When indexes
# still fail after a few tries, the update names them and goes on with those that came (a suite
# whose release file failed keeps the lists it had). When the install cannot be resolved then (the
# i386 half of a multi-arch package must have the version of its amd64 half, and the newer amd64
# versions come from the archive whose i386 index is missing), it is made again with each i386
# package it can reach taken from the failed archive's pool at the version that archive's amd64
# index has, as its i386 index would have listed it (no signed index vouches for those: the
# install's note says so). Nothing installed moves to an older version, except linux-libc-dev when
# its i386 half is not in the pool (headers only: nothing pins them).

# Where this file is: the rewriting of the sources lives beside it.
tarvex_apt_here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

# Each index the last update could not bring, by its address (tarvex_apt_fold_address). The
# bootstrap hands its list on to build-deps in TARVEX_APT_FAILED, one a line.
tarvex_apt_failed=()
[ -z "${TARVEX_APT_FAILED:-}" ] || mapfile -t tarvex_apt_failed <<<"$TARVEX_APT_FAILED"

# The address of the index a file that apt fetched belongs to (nothing for a file outside a dists/
# folder):
#   ".../dists/<suite>/Release" for the release file (InRelease, Release, Release.gpg);
#   ".../dists/<suite>/<component>/<folder>/" for a file in an index's own folder (binary-i386,
#     source, i18n, dep11, cnf; "by-hash/" for the component's own files fetched by their hash);
#   ".../dists/<suite>/<component>/<name>" for a file directly in its component or suite
#     (Contents-amd64), without its compression.
tarvex_apt_fold_address() { # url
  local url=$1 rest parts ext
  case "$url" in */dists/*) ;; *) return 0 ;; esac
  rest=${url#*/dists/}
  rest=${rest%%.diff/*} # a patch (".../Packages.diff/Index") belongs to the index it patches
  case "${rest##*/}" in
    InRelease | Release | Release.gpg)
      echo "${url%%/dists/*}/dists/${rest%/*}/Release"
      return ;;
  esac
  IFS=/ read -ra parts <<<"$rest"
  if [ ${#parts[@]} -gt 3 ]; then
    echo "${url%%/dists/*}/dists/$(IFS=/; echo "${parts[*]:0:3}")/"
  else
    for ext in xz gz bz2 lzma lz4 zst; do rest=${rest%.$ext}; done
    echo "${url%%/dists/*}/dists/$rest"
  fi
}

# "bookworm-security main binary-i386" for the index at ".../dists/bookworm-security/main/binary-i386/".
tarvex_apt_index_name() { # address
  local rest=${1#*/dists/}
  rest=${rest%/}
  echo "${rest//\// }"
}

# The failed address that covers an index apt fetches (by its address, ".../binary-i386/Packages"):
# the index's own, its folder's, the by-hash folder beside it, or its suite's release file.
tarvex_apt_failure_of() { # address
  local p
  for p in "${tarvex_apt_failed[@]}"; do
    case "$p" in
      */Release) case "$1" in "${p%Release}"*) echo "$p"; return 0 ;; esac ;;
      */by-hash/) if [ "${1%/*}/" = "${p%by-hash/}" ]; then echo "$p"; return 0; fi ;;
      */) case "$1" in "$p"*) echo "$p"; return 0 ;; esac ;;
      *) if [ "$1" = "$p" ]; then echo "$p"; return 0; fi ;;
    esac
  done
  return 1
}

# Whether an index apt fetches (".../Packages", ".../Sources") is one the update could not bring.
tarvex_apt_index_failed() { # address
  tarvex_apt_failure_of "$1" >/dev/null
}

# The addresses of the indexes apt's messages (on standard input) say it failed to fetch, once each.
tarvex_apt_fetch_failures() {
  local url address seen=" "
  sed -nE 's/^[EW]: Failed to fetch ([^ ]+).*/\1/p' | while read -r url; do
    address=$(tarvex_apt_fold_address "$url")
    case "$seen" in *" $address "*) continue ;; esac
    [ -z "$address" ] || echo "$address"
    seen+="$address "
  done
}

# apt's messages (on standard input) without those about the indexes named in tarvex_apt_failed
# (each with the lines that continue it) and without the summary that some indexes failed.
tarvex_apt_other_messages() {
  local line skip=0 address p
  while IFS= read -r line; do
    if [[ $line =~ ^[A-Z]:\  ]]; then
      skip=0
      if [[ $line =~ ^[EW]:\ Failed\ to\ fetch\ ([^ ]+) ]]; then
        address=$(tarvex_apt_fold_address "${BASH_REMATCH[1]}")
        for p in "${tarvex_apt_failed[@]}"; do [ "$p" != "$address" ] || skip=1; done
      elif [[ $line =~ ^[EW]:\ Some\ index\ files\ failed\ to\ download ]]; then
        skip=1
      fi
    fi
    [ $skip = 1 ] || echo "$line"
  done
}

# What the update that goes on leaves out, one "<uri> <suite> <component> <what>" line each, as
# scripts/apt-sources-without.pl takes them: for a failed binary-<arch> index its architecture, for
# a failed source index the deb-src type, for a failed index of another kind (translations, DEP-11,
# Contents, command-not-found) that target. A suite whose release file failed leaves out nothing:
# it fails again, and apt keeps the lists it had, as it does when a plain update fails.
tarvex_apt_drops() {
  local repo suite component of by arch uri failure
  apt-get indextargets --no-release-info \
    --format '$(REPO_URI)|$(RELEASE)|$(COMPONENT)|$(TARGET_OF)|$(CREATED_BY)|$(ARCHITECTURE)|$(URI)' |
    while IFS='|' read -r repo suite component of by arch uri; do
      failure=$(tarvex_apt_failure_of "$uri") || continue
      case "$failure" in */Release) continue ;; esac
      if [ "$of" = deb-src ]; then
        echo "$repo $suite $component source"
      elif [ "$by" = Packages ]; then
        echo "$repo $suite $component arch:$arch"
      else
        echo "$repo $suite $component target:$by"
      fi
    done | sort -u
}

# A copy of the machine's apt sources without the failed indexes, into folder/sources.list and
# folder/parts (scripts/apt-sources-without.pl).
tarvex_apt_sources_without_failed() { # folder
  local dir=$1 list parts f out drop archs
  eval "$(apt-config shell list Dir::Etc::SourceList/f parts Dir::Etc::SourceParts/d)"
  mkdir -p "$dir/parts"
  : >"$dir/sources.list"
  drop=$(tarvex_apt_drops)
  archs="$(dpkg --print-architecture; dpkg --print-foreign-architectures)"
  for f in "$list" "$parts"*.list "$parts"*.sources; do
    [ -f "$f" ] || continue
    out="$dir/parts/$(basename "$f")"
    [ "$f" = "$list" ] && out="$dir/sources.list"
    DROP=$drop ARCHS=$archs perl "$tarvex_apt_here/apt-sources-without.pl" "$f" <"$f" >"$out"
  done
}

# `apt-get update`, tried up to three times (TARVEX_APT_TRIES). Indexes that still fail are named in
# one line and kept in tarvex_apt_failed, and the update is made once more from the sources without
# them, so that the others of their archives are whole (apt keeps none of an archive's new indexes
# when one of them fails). Fails when apt failed for another reason, in either update.
tarvex_apt_update() { # [apt options...]
  local try tries=${TARVEX_APT_TRIES:-3} out status
  tarvex_apt_failed=()
  for ((try = 1; ; try++)); do
    status=0
    out=$($SUDO apt-get update -q "$@" 2>&1 >/dev/null) || status=$?
    grep -q '^[EW]: Failed to fetch ' <<<"$out" || break
    [ "$try" -lt "$tries" ] || break
    sleep $((try * 5))
  done
  mapfile -t tarvex_apt_failed < <(tarvex_apt_fetch_failures <<<"$out")
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
  status=0
  out=$($SUDO apt-get update -q "$@" -o "Dir::Etc::SourceList=$tmp/sources.list" \
    -o "Dir::Etc::SourceParts=$tmp/parts" 2>&1 >/dev/null) || status=$?
  rm -rf "$tmp"
  local said
  said=$(tarvex_apt_other_messages <<<"$out")
  [ -z "$said" ] || echo "$said" >&2
  # Failed only by the indexes named (a release file that failed again): that is the going on.
  if [ $status != 0 ] && { grep -q '^E: ' <<<"$said" || ! grep -q '^E: ' <<<"$out"; }; then
    return $status
  fi
  return 0
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
  # The pool folder is _apt's now: its index is written as the one who gave it.
  if [ ${#fetched[@]} -gt 0 ]; then
    for deb in "$tmp"/pool/*.deb; do
      dpkg-deb -f "$deb"
      echo "Filename: ./$(basename "$deb")"
      echo "Size: $(stat -c %s "$deb")"
      echo "SHA256: $(sha256sum "$deb" | cut -d' ' -f1)"
      echo
    done | $SUDO tee "$tmp/pool/Packages" >/dev/null
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
  [ -z "$took" ] || msg+=", taking from the pool, without a signed index, the i386 halves at the version of their amd64 halves: ${took#, }"
  for f in "${notes[@]}"; do msg+="; $f"; done
  say "$msg"
}
