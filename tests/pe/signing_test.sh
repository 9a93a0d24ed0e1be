#!/usr/bin/env bash
# make release's signing, with a throwaway certificate: both signatures
# verify, the signed file still loads on Windows XP and behaves under Wine as
# the unsigned one, and the detached signature attached to a second build of
# the same source gives the same signed file.
#   tests/pe/signing_test.sh SOURCE_DIR WINE_TESTS_PROGRAM
set -uo pipefail
src=$1
wine_tests=$2
work=$src/build/release-test  # inside the checkout: the 32-bit lane's guest sees it
rm -rf "$work"
mkdir -p "$work/ca"
failures=0
check() {  # what, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

# A throwaway CA and a code-signing certificate it issued.
ca=$work/ca
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Hotfix test CA" \
  -keyout "$ca/ca.key" -out "$ca/ca.pem" 2> "$ca/openssl.log"
openssl req -newkey rsa:2048 -nodes -subj "/CN=Hotfix test signer" \
  -keyout "$ca/signer.key" -out "$ca/signer.csr" 2>> "$ca/openssl.log"
printf 'extendedKeyUsage=codeSigning\nkeyUsage=digitalSignature\n' > "$ca/ext"
openssl x509 -req -in "$ca/signer.csr" -CA "$ca/ca.pem" -CAkey "$ca/ca.key" -CAcreateserial \
  -days 2 -extfile "$ca/ext" -out "$ca/signer.pem" 2>> "$ca/openssl.log"

DIST=$work/dist SIGN_CERT=$ca/signer.pem SIGN_KEY=$ca/signer.key "$src/scripts/release.sh" \
  > "$work/release.log" 2>&1
check "make release signs (see $work/release.log)" test -f "$work/dist/Hotfix.exe.sig"
signed=$work/dist/Hotfix.exe

osslsigncode verify -CAfile "$ca/ca.pem" -in "$signed" > "$work/verify.log" 2>&1
check "osslsigncode verify accepts the signed file" test $? = 0
check "... a SHA-1 signature" grep -q "Message digest algorithm *: SHA1" "$work/verify.log"
check "... and a SHA-256 one nested in it" grep -q "Message digest algorithm *: SHA256" "$work/verify.log"
check "the signed file still loads on Windows XP" \
  "$src/tests/pe/check_imports.sh" "$signed" "$src/tests/pe/xp-exports/nt51-x86" 5.1 > /dev/null
check "SHA256SUMS matches" bash -c "cd '$work/dist' && sha256sum --quiet -c SHA256SUMS"

# A second build elsewhere, the detached signature attached: the same file.
"$src/tests/pe/reproducible_test.sh" "$src" "$src/build/mingw-i686/Hotfix.exe" mingw-i686 \
  "$work/rebuilt.exe" > "$work/rebuild.log" 2>&1
osslsigncode attach-signature -sigin "$work/dist/Hotfix.exe.sig" -in "$work/rebuilt.exe" \
  -out "$work/reattached.exe" > "$work/attach.log" 2>&1
check "a rebuild with the detached signature attached is the signed file" \
  cmp -s "$work/reattached.exe" "$signed"

# Under Wine as the unsigned file behaves: the same cases pass.
mkdir -p "$work/i686-signed"
cp "$src"/build/mingw-i686/*.exe "$src"/build/mingw-i686/*.dll "$work/i686-signed/" 2> /dev/null
cp "$signed" "$work/i686-signed/Hotfix.exe"
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
