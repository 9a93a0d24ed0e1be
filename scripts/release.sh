#!/usr/bin/env bash
# make release: dist/Hotfix.exe (the i686 build, for Windows XP) with
# dist/SHA256SUMS and dist/BUILDINFO (the Debian packages it was built with).
# Given a code-signing certificate it is signed with Authenticode: a SHA-1
# signature, which is all Windows XP checks, with a SHA-256 one nested in it,
# as dual-signed Windows files have; dist/Hotfix.exe.sig is then the detached
# signature, which anyone can attach to a rebuild of the same source to get
# the same signed file.
#   SIGN_CERT=cert.pem SIGN_KEY=key.pem    or    SIGN_PKCS12=file.p12 [SIGN_PASS=...]
#   SIGN_TIMESTAMP_URL=http://...          a time-stamping server (off by default)
#   DIST=dist  EXE=build/mingw-i686/Hotfix.exe
set -euo pipefail
cd "$(dirname "$0")/.."
dist=${DIST:-dist}
exe=${EXE:-build/mingw-i686/Hotfix.exe}
[ -f "$exe" ] || { echo "release: $exe is missing; build the mingw-i686 preset" >&2; exit 1; }
mkdir -p "$dist"
rm -f "$dist/Hotfix.exe" "$dist/Hotfix.exe.sig" "$dist/SHA256SUMS" "$dist/BUILDINFO"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

{
  echo "commit $(git rev-parse HEAD 2>/dev/null || echo unknown)"
  echo "unsigned sha256 $(sha256sum "$exe" | cut -d' ' -f1)"
  dpkg-query -W g++-mingw-w64-i686-win32 gcc-mingw-w64-base binutils-mingw-w64-i686 \
    mingw-w64-i686-dev mingw-w64-common cmake make osslsigncode 2>/dev/null
  # The i586 runtime pieces: from the Debian sources of these same versions.
  echo "i586 runtime rebuilt from gcc-12-source and mingw-w64 sources of:"
  sed 's/^/  /' "$(scripts/runtime/build.sh)/versions"
} > "$dist/BUILDINFO"

if [ -n "${SIGN_CERT:-}${SIGN_PKCS12:-}" ]; then
  if [ -n "${SIGN_PKCS12:-}" ]; then
    credentials=(-pkcs12 "$SIGN_PKCS12")
    [ -n "${SIGN_PASS:-}" ] && credentials+=(-pass "$SIGN_PASS")
  else
    [ -n "${SIGN_KEY:-}" ] || { echo "release: SIGN_CERT needs SIGN_KEY" >&2; exit 1; }
    credentials=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
  fi
  timestamp=()
  [ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")
  # The version record's product name is the description the dialog shows.
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -h sha1 -n CR40517 \
    -in "$exe" -out "$work/sha1.exe" > "$work/sign.log"
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -nest -h sha256 -n CR40517 \
    -in "$work/sha1.exe" -out "$work/signed.exe" >> "$work/sign.log"
  osslsigncode extract-signature -in "$work/signed.exe" -out "$dist/Hotfix.exe.sig" >> "$work/sign.log"
  # The detached signature must give back exactly this file. (attach-signature
  # also verifies the chain against the system's CAs, and fails on a private
  # CA's certificate; the bytes are what counts here.)
  osslsigncode attach-signature -sigin "$dist/Hotfix.exe.sig" -in "$exe" \
    -out "$work/attached.exe" >> "$work/sign.log" 2>&1 || true
  cmp -s "$work/attached.exe" "$work/signed.exe" ||
    { echo "release: the detached signature does not give back the signed file" >&2; exit 1; }
  cp "$work/signed.exe" "$dist/Hotfix.exe"
  echo "release: signed $dist/Hotfix.exe (SHA-1, SHA-256 nested)"
else
  cp "$exe" "$dist/Hotfix.exe"
  echo "release: $dist/Hotfix.exe is not signed (no SIGN_CERT or SIGN_PKCS12)"
fi
(cd "$dist" && sha256sum Hotfix.exe $([ -f Hotfix.exe.sig ] && echo Hotfix.exe.sig) BUILDINFO > SHA256SUMS)
cat "$dist/SHA256SUMS"
