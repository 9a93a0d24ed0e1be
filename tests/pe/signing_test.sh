#!/usr/bin/env bash
# make release, with a throwaway certificate: a release without its payload
# is refused before anything is built; one with it ships the installers it
# pins, named with their hashes in BUILDINFO and SHA256SUMS; both signatures
# verify, the signed file still loads on Windows XP and behaves under Wine as
# the unsigned one, and the detached signature attached to a second build of
# the same source and payload gives the same signed file.
#   tests/pe/signing_test.sh SOURCE_DIR WINE_TESTS_PROGRAM
set -uo pipefail
src=$1
wine_tests=$2
work=$src/build/release-test  # inside the checkout: the 32-bit lane's guest sees it
rm -rf "$work"
mkdir -p "$work/ca"
rebuild=$(mktemp -d /tmp/hotfix-release.XXXXXX)
trap 'rm -rf "$rebuild"' EXIT
failures=0
check() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
release() {  # PAYLOAD DIST, then more VAR=VALUE; the script's output in DIST.log
  local payload=$1 dist=$2
  shift 2
  env PAYLOAD="$payload" DIST="$dist" BUILD_DIR="$work/build" "$@" "$src/scripts/release.sh" \
    > "$dist.log" 2>&1
}

# Refused before anything is built, dist/ as it was: no payload, a missing
# folder, a folder lacking an installer.
mkdir -p "$work/refused/dist" "$work/partial"
echo earlier > "$work/refused/dist/Hotfix.exe"
cp "$src/build/mingw-i686/stub.exe" "$work/partial/40517.exe"
says() { grep -qF "$1" "$work/refused.log" && grep -qF "usage: make release PAYLOAD=DIR" "$work/refused.log"; }
untouched() {
  [ "$(ls -A "$work/refused/dist")" = Hotfix.exe ] && [ "$(cat "$work/refused/dist/Hotfix.exe")" = earlier ] &&
    [ ! -e "$work/build" ]
}
env -u PAYLOAD make -s -C "$src" release DIST="$work/refused/dist" BUILD_DIR="$work/build" \
  > "$work/refused.log" 2>&1
check "make release without PAYLOAD is refused" test $? != 0
check "... saying why and how to call it" says "no PAYLOAD given"
check "... before anything is built, dist/ untouched" untouched
for payload in "$work/absent" "$work/partial"; do
  release "$payload" "$work/refused/dist"
  check "PAYLOAD=$payload is refused" test $? != 0
  mv "$work/refused/dist.log" "$work/refused.log"
  reason="lacks 40517-2.exe"
  [ "$payload" = "$work/absent" ] && reason="is not a folder"
  check "... saying it $reason" says "PAYLOAD=$payload $reason"
  check "... before anything is built, dist/ untouched" untouched
done

# What a release ships: both installers as they were, named with what
# Hotfix.exe pins in BUILDINFO, all three files in SHA256SUMS.
shipped() {  # DIST PAYLOAD
  local dist=$1 payload=$2 name
  (cd "$dist" && sha256sum --quiet -c SHA256SUMS) || return 1
  for name in Hotfix.exe 40517.exe 40517-2.exe; do
    cut -d' ' -f3- "$dist/SHA256SUMS" | grep -qx "$name" || return 1
  done
  for name in 40517.exe 40517-2.exe; do
    cmp -s "$dist/$name" "$payload/$name" || return 1
    grep -qx "pinned $name size $(stat -c %s "$payload/$name") sha256 $(sha256sum < "$payload/$name" | cut -d' ' -f1)" \
      "$dist/BUILDINFO" || return 1
  done
}
mkdir -p "$work/distinct"
echo "first installer" > "$work/distinct/40517.exe"
echo "the second installer" > "$work/distinct/40517-2.exe"
release "$work/distinct" "$work/distinct-dist"
check "an unsigned release (see $work/distinct-dist.log)" test $? = 0
check "... ships the installers it pins, each under its own name" shipped "$work/distinct-dist" "$work/distinct"

# A throwaway CA and a code-signing certificate it issued.
ca=$work/ca
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Hotfix test CA" \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" 2> "$ca/openssl.log"
openssl req -newkey rsa:2048 -nodes -subj "/CN=Hotfix test signer" \
  -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>> "$ca/openssl.log"
printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' > "$ca/ext"
openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
  -days 2 -extfile "$ca/ext" -out "$ca/signer.pem" 2>> "$ca/openssl.log"

# The Wine cases lay out their stub as both installers: the signed release
# pins that stub under both names.
mkdir -p "$work/payload"
cp "$src/build/mingw-i686/stub.exe" "$work/payload/40517.exe"
cp "$src/build/mingw-i686/stub.exe" "$work/payload/40517-2.exe"
release "$work/payload" "$work/dist" SIGN_CERT="$ca/signer.pem" SIGN_KEY="$ca/signer.key"
check "make release signs (see $work/dist.log)" test -f "$work/dist/Hotfix.exe.sig"
check "... and ships the installers it pins" shipped "$work/dist" "$work/payload"
signed=$work/dist/Hotfix.exe

osslsigncode verify -CAfile "$ca/ca.pem" -in "$signed" > "$work/verify.log" 2>&1
check "osslsigncode verify accepts the signed file" test $? = 0
check "... a SHA-1 signature" grep -q "Message digest algorithm *: SHA1" "$work/verify.log"
check "... and a SHA-256 one nested in it" grep -q "Message digest algorithm *: SHA256" "$work/verify.log"
"$src/tests/pe/check_imports.sh" "$signed" "$src/tests/pe/xp-exports/nt51-x86" 5.1 > "$work/imports.log"
check "the signed file still loads on Windows XP (see $work/imports.log)" test $? = 0

# A second release from a copy of the sources in another folder, built in
# another folder, pinned to the installers the first one shipped; the
# detached signature attached: the same file.
mkdir -p "$rebuild/other source"
cp -r "$src/CMakeLists.txt" "$src/CMakePresets.json" "$src/cmake" "$src/src" "$src/tests" \
  "$src/bench" "$src/scripts" "$rebuild/other source/"
PAYLOAD="$work/dist" DIST="$rebuild/dist" "$rebuild/other source/scripts/release.sh" \
  > "$work/rebuild.log" 2>&1
check "a second release from another folder (see $work/rebuild.log)" test $? = 0
osslsigncode attach-signature -sigin "$work/dist/Hotfix.exe.sig" -in "$rebuild/dist/Hotfix.exe" \
  -out "$work/reattached.exe" > "$work/attach.log" 2>&1
check "... with the detached signature attached is the signed file" \
  cmp -s "$work/reattached.exe" "$signed"
check "another payload, another Hotfix.exe" \
  test "$(sha256sum < "$work/distinct-dist/Hotfix.exe")" != "$(sha256sum < "$rebuild/dist/Hotfix.exe")"

# Under Wine as the unsigned file behaves: the same cases pass.
mkdir -p "$work/i686-signed"
cp "$src"/build/mingw-i686/*.exe "$src"/build/mingw-i686/*.dll "$work/i686-signed/" 2> /dev/null
cp "$signed" "$work/i686-signed/Hotfix.exe"
cp "$work/payload/40517.exe" "$work/i686-signed/stub.exe"
HOTFIX_WINE_BUILD_I686=$work/i686-signed "$src/scripts/lane/i686.sh" "$wine_tests" \
  --gtest_filter='Wine/RestartQuestion.*/i686:Wine/Unattended.QuietNoRestart*/i686' \
  > "$work/wine.log" 2>&1
status=$?
if [ "$status" = 77 ]; then
  echo "skipped: no 32-bit Wine here and no lane image (the Wine part)"
else
  check "the signed file passes the same Wine cases (see $work/wine.log)" test "$status" = 0
fi
exit $((failures > 0))
