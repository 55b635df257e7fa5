#!/usr/bin/env bash
# The bootstrap's way past an archive in the middle of a sync (scripts/apt-tolerant.sh), with
# stand-ins for apt-config, apt-get and dpkg: the addresses and names apt's failed fetches fold to,
# the sources the update goes on with for each kind of index that failed, and what the update
# returns when the update that goes on fails again.
# Usage: apt_tolerant_test.sh <source folder>
set -u
top=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAIL $*"
  failures=$((failures + 1))
}

say() { echo "$*" >>"$work/notes"; }
SUDO=""
source "$top/scripts/apt-tolerant.sh"

# ---------------------------------------------------------------- the machine
export ETC=$work/etc STANDIN=$work/standin
mkdir -p "$ETC/sources.list.d" "$STANDIN" "$work/bin"
cat >"$ETC/sources.list" <<'EOF'
# The archive and its updates
deb http://deb.example/debian bookworm main contrib
deb [arch=amd64,i386 signed-by=/usr/share/keyrings/example.gpg] http://deb.example/debian bookworm-updates main # pinned
deb-src http://deb.example/debian bookworm main
EOF
cat >"$ETC/sources.list.d/security.sources" <<'EOF'
# Security updates, with the archive's key in the entry
Types: deb deb-src
URIs: http://security.example/debian-security
Suites: bookworm-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZ0xhbXBsZUtleUZvclRoZVRlc3RzT25seUFuZE5vdEFSZWFsS2V5AAAAAAAA
 =AbCd
 -----END PGP PUBLIC KEY BLOCK-----
EOF
cat >"$ETC/sources.list.d/mirror.sources" <<'EOF'
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm bookworm-updates
Components: main contrib
Targets-Remove: CNF
EOF

cat >"$work/bin/apt-config" <<'EOF'
#!/bin/sh
echo "list='$ETC/sources.list'"
echo "parts='$ETC/sources.list.d/'"
EOF
cat >"$work/bin/dpkg" <<'EOF'
#!/bin/sh
case $1 in
  --print-architecture) echo amd64 ;;
  --print-foreign-architectures) echo i386 ;;
esac
EOF
# apt-get: `indextargets` lists the targets of every archive, suite and component above (in the
# format the library asks for); the Nth `update` says what $STANDIN/update.N holds and ends with
# the status in update.N.status.
cat >"$work/bin/apt-get" <<'EOF'
#!/bin/bash
case $1 in
  indextargets)
    for repo in http://deb.example/debian/ http://security.example/debian-security/ http://mirror.example/debian/; do
      for suite in bookworm bookworm-updates bookworm-security; do
        for c in main contrib; do
          base=${repo}dists/$suite/$c
          echo "$repo|$suite|$c|deb-src|Sources|\$(ARCHITECTURE)|$base/source/Sources"
          for arch in amd64 i386 all; do echo "$repo|$suite|$c|deb|Packages|$arch|$base/binary-$arch/Packages"; done
          echo "$repo|$suite|$c|deb|Translations|\$(ARCHITECTURE)|$base/i18n/Translation-en"
          echo "$repo|$suite|$c|deb|DEP-11|amd64|$base/dep11/Components-amd64.yml"
          echo "$repo|$suite|$c|deb|CNF|amd64|$base/cnf/Commands-amd64"
          echo "$repo|$suite|$c|deb|Contents-deb|amd64|$base/Contents-amd64"
        done
      done
    done ;;
  update)
    n=$(($(cat "$STANDIN/updates" 2>/dev/null || echo 0) + 1))
    echo "$n" >"$STANDIN/updates"
    echo "$*" >"$STANDIN/update.$n.args"
    cat "$STANDIN/update.$n" >&2
    exit "$(cat "$STANDIN/update.$n.status")" ;;
esac
EOF
chmod +x "$work/bin/"*
PATH="$work/bin:$PATH"

# ---------------------------------------------------------------- folding
# <url apt failed to fetch> <address it folds to> <name in the note>
fold() {
  local address name
  address=$(tarvex_apt_fold_address "$1")
  name=$([ -z "$address" ] || tarvex_apt_index_name "$address")
  if [ "$address" != "$2" ] || [ "$name" != "$3" ]; then
    fail "fold $1: \"$address\" named \"$name\" (expected \"$2\" named \"$3\")"
  fi
}
d=http://deb.example/debian/dists
fold $d/bookworm/InRelease $d/bookworm/Release "bookworm Release"
fold $d/bookworm-updates/Release.gpg $d/bookworm-updates/Release "bookworm-updates Release"
fold $d/bookworm/main/binary-i386/Packages.xz $d/bookworm/main/binary-i386/ "bookworm main binary-i386"
fold $d/bookworm/main/binary-i386/by-hash/SHA256/0123 $d/bookworm/main/binary-i386/ "bookworm main binary-i386"
fold $d/bookworm/main/binary-i386/Packages.diff/T-2026-12-09-2014.39-F-2026-12-09-0813.21.gz \
  $d/bookworm/main/binary-i386/ "bookworm main binary-i386"
fold $d/bookworm/main/source/Sources.xz $d/bookworm/main/source/ "bookworm main source"
fold $d/bookworm/main/dep11/Components-amd64.yml.gz $d/bookworm/main/dep11/ "bookworm main dep11"
fold $d/bookworm/main/cnf/Commands-amd64.xz $d/bookworm/main/cnf/ "bookworm main cnf"
fold $d/bookworm/main/i18n/Translation-en.bz2 $d/bookworm/main/i18n/ "bookworm main i18n"
fold $d/bookworm/main/Contents-amd64.gz $d/bookworm/main/Contents-amd64 "bookworm main Contents-amd64"
fold $d/bookworm/main/by-hash/SHA256/4567 $d/bookworm/main/by-hash/ "bookworm main by-hash"
fold $d/bookworm/Contents-amd64.gz $d/bookworm/Contents-amd64 "bookworm Contents-amd64"
fold http://deb.example/debian/pool/main/z/zlib/zlib1g_1.2.13.dfsg-1_i386.deb "" ""

# Which indexes a failure covers (build-deps' mark of a cache built without a source index).
# <failed address> <index address> <covered: yes or no>
covers() {
  local got=no
  tarvex_apt_failed=("$1")
  ! tarvex_apt_index_failed "$2" || got=yes
  [ "$got" = "$3" ] || fail "covers $1, $2: $got (expected $3)"
}
covers $d/bookworm/Release $d/bookworm/main/source/Sources yes
covers $d/bookworm/Release $d/bookworm-updates/main/source/Sources no
covers $d/bookworm/main/source/ $d/bookworm/main/source/Sources yes
covers $d/bookworm/main/source/ $d/bookworm/contrib/source/Sources no
covers $d/bookworm/main/by-hash/ $d/bookworm/main/Contents-amd64 yes
covers $d/bookworm/main/by-hash/ $d/bookworm/main/source/Sources no
covers $d/bookworm/main/Contents-amd64 $d/bookworm/main/Contents-i386 no

# ---------------------------------------------------------------- the sources the update goes on with
# <row> <urls apt failed to fetch...>; on standard input the files expected, each after a line
# "== <file>"; a file not given must come out as it went in.
rewrite() {
  local row=$1 f expected
  shift
  mapfile -t tarvex_apt_failed < <(printf 'E: Failed to fetch %s  Hash Sum mismatch\n' "$@" | tarvex_apt_fetch_failures)
  rm -rf "$work/out" "$work/expected"
  mkdir -p "$work/expected/sources.list.d"
  awk -v dir="$work/expected" '/^== / { file = dir "/" $2; printf "" > file; next } { print > file }'
  tarvex_apt_sources_without_failed "$work/out"
  ln -s parts "$work/out/sources.list.d"
  for f in sources.list sources.list.d/security.sources sources.list.d/mirror.sources; do
    expected=$work/expected/$f
    [ -f "$expected" ] || expected=$ETC/$f
    cmp -s "$expected" "$work/out/$f" || fail "$row: $f$(echo; diff "$expected" "$work/out/$f")"
  done
}
m=http://mirror.example/debian/dists
s=http://security.example/debian-security/dists

rewrite "i386 and translations leave their suite and component only, beside the entry's own" \
  $m/bookworm/main/binary-i386/by-hash/SHA256/0123 $m/bookworm/main/i18n/Translation-en.bz2 <<'EOF'
== sources.list.d/mirror.sources
Types: deb
URIs: http://mirror.example/debian
Suites: bookworm
Components: main
Targets-Remove: CNF Translations
Architectures: amd64

Types: deb
URIs: http://mirror.example/debian
Suites: bookworm
Components: contrib
Targets-Remove: CNF

Types: deb
URIs: http://mirror.example/debian
Suites: bookworm-updates
Components: main contrib
Targets-Remove: CNF
EOF

rewrite "a source index takes deb-src, Contents by hash its target; the key block stays whole" \
  $s/bookworm-security/main/source/Sources.xz $s/bookworm-security/main/by-hash/SHA256/4567 <<'EOF'
== sources.list.d/security.sources
Types: deb
URIs: http://security.example/debian-security
Suites: bookworm-security
Components: main
Signed-By:
 -----BEGIN PGP PUBLIC KEY BLOCK-----
 .
 mDMEZ0xhbXBsZUtleUZvclRoZVRlc3RzT25seUFuZE5vdEFSZWFsS2V5AAAAAAAA
 =AbCd
 -----END PGP PUBLIC KEY BLOCK-----
Targets-Remove: Contents-deb
EOF

rewrite "one-line entries: DEP-11 beside i386; no architecture left, no entry" \
  $d/bookworm/main/binary-i386/Packages.xz $d/bookworm/main/dep11/Components-amd64.yml.gz \
  $d/bookworm-updates/main/binary-i386/Packages.xz $d/bookworm-updates/main/binary-amd64/Packages.xz <<'EOF'
== sources.list
# The archive and its updates
deb [arch=amd64 target-=DEP-11] http://deb.example/debian bookworm main
deb http://deb.example/debian bookworm contrib
deb-src http://deb.example/debian bookworm main
EOF

rewrite "command-not-found joins an entry's own options" $d/bookworm-updates/main/cnf/Commands-amd64.xz <<'EOF'
== sources.list
# The archive and its updates
deb http://deb.example/debian bookworm main contrib
deb [arch=amd64,i386 signed-by=/usr/share/keyrings/example.gpg target-=CNF] http://deb.example/debian bookworm-updates main
deb-src http://deb.example/debian bookworm main
EOF

# Its suite keeps the lists it had.
rewrite "a release file leaves every entry as it was" $s/bookworm-security/InRelease </dev/null

# ---------------------------------------------------------------- what the update returns
i386_out_of_sync="E: Failed to fetch $m/bookworm/main/binary-i386/by-hash/SHA256/0123  File has unexpected size (1000 != 1200). Mirror sync in progress? [IP: 192.0.2.1 80]
   Hashes of expected file:
    - Filesize:1200 [weak]
E: Some index files failed to download. They have been ignored, or old ones used instead."
release_unreachable="W: Failed to fetch $s/bookworm-security/InRelease  Could not connect to security.example:80 (192.0.2.2), connection timed out
W: Some index files failed to download. They have been ignored, or old ones used instead."
release_refused="E: Failed to fetch $s/bookworm-security/InRelease  Clearsigned file isn't valid, got 'NOSPLIT' (does the network require authentication?)
E: Some index files failed to download. They have been ignored, or old ones used instead."
locked="E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)
E: Unable to lock directory /var/lib/apt/lists/"
amd64_out_of_sync="E: Failed to fetch $m/bookworm-updates/main/binary-amd64/Packages.xz  Hash Sum mismatch
   Hashes of expected file:
    - SHA256:0123
E: Some index files failed to download. They have been ignored, or old ones used instead."
no_release="E: The repository 'http://deb.example/debian bookworm Release' does not have a Release file."

# <row> <status expected> <note expected> <apt's words passed on> <first update's words> <its status>
#   [<the update that goes on: words> <status>]
update() {
  local row=$1 want_status=$2 want_note=$3 want_said=$4 status=0 said note calls
  rm -f "$STANDIN"/update* "$work/notes"
  printf '%s\n' "$5" >"$STANDIN/update.1"
  echo "$6" >"$STANDIN/update.1.status"
  if [ $# -gt 6 ]; then
    printf '%s\n' "$7" >"$STANDIN/update.2"
    echo "$8" >"$STANDIN/update.2.status"
  fi
  said=$(TARVEX_APT_TRIES=1 tarvex_apt_update 2>&1) || status=$?
  note=$(cat "$work/notes" 2>/dev/null)
  calls=$(cat "$STANDIN/updates")
  [ "$status" = "$want_status" ] || fail "$row: status $status (expected $want_status)"
  [ "$note" = "$want_note" ] || fail "$row: note \"$note\" (expected \"$want_note\")"
  [ "$said" = "$want_said" ] || fail "$row: apt's words passed on: \"$said\" (expected \"$want_said\")"
  [ "$calls" = $(($# > 6 ? 2 : 1)) ] || fail "$row: $calls updates"
  if [ "$calls" = 2 ] && ! grep -q "Dir::Etc::SourceParts=" "$STANDIN/update.2.args"; then
    fail "$row: the update that goes on did not read the sources without the failed indexes"
  fi
}
going_on="indexes that did not download after 1 try (going on without them):"

update "a whole update" 0 "" "" "" 0
update "an index out of sync: the others come" 0 "$going_on bookworm main binary-i386" "" \
  "$i386_out_of_sync" 100 "" 0
update "a release file that fails again keeps its suite's lists" 0 "$going_on bookworm-security Release" "" \
  "$release_unreachable" 0 "$release_refused" 100
update "the update that goes on fails for another reason" 100 "$going_on bookworm main binary-i386" "$locked" \
  "$i386_out_of_sync" 100 "$locked" 100
update "another index fails while going on" 100 "$going_on bookworm main binary-i386" \
  "$(head -3 <<<"$amd64_out_of_sync")" "$i386_out_of_sync" 100 "$amd64_out_of_sync" 100
update "a failure that is not a fetch" 100 "" "$no_release" "$no_release" 100

[ "$failures" = 0 ] && echo "ok: apt past a sync"
[ "$failures" = 0 ]
