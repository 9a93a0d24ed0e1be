#!/usr/bin/env bash
# make release PAYLOAD=DIR: dist/Hotfix.exe (the i686 build, for Windows XP)
# pinned to DIR/40517.exe and DIR/40517-2.exe, which are copied beside it,
# with dist/SHA256SUMS and dist/BUILDINFO (the pinned installers' sizes and
# SHA-256, the Debian packages it was built with). Built in a folder of its
# own, never from the unpinned builds of the presets.
# Given a code-signing certificate it is signed with Authenticode: a SHA-1
# signature, which is all Windows XP checks, with a SHA-256 one nested in it,
# as dual-signed Windows files have; dist/Hotfix.exe.sig is then the detached
# signature, which anyone can attach to a rebuild of the same source and
# payload to get the same signed file.
#   PAYLOAD=DIR                            required; relative to the caller's folder
#   SIGN_CERT=cert.pem SIGN_KEY=key.pem    or    SIGN_PKCS12=file.p12 [SIGN_PASS=...]
#   SIGN_TIMESTAMP_URL=http://...          a time-stamping server (off by default)
#   DIST=dist  BUILD_DIR=build/release-i686  (relative to the checkout)
set -euo pipefail
installers=(40517.exe 40517-2.exe)
refuse() {
  echo "release: $*" >&2
  echo "usage: make release PAYLOAD=DIR [SIGN_CERT=cert.pem SIGN_KEY=key.pem | SIGN_PKCS12=file.p12]" >&2
  echo "  DIR holds ${installers[*]}: Hotfix.exe is built pinned to them and they ship beside it" >&2
  exit 2
}

# Every input checked before anything is built or dist/ is touched.
[ -n "${PAYLOAD:-}" ] || refuse "no PAYLOAD given: a release pins and ships the installers, so it needs their folder"
[ -d "$PAYLOAD" ] || refuse "PAYLOAD=$PAYLOAD is not a folder"
payload=$(cd -- "$PAYLOAD" && pwd -P)
for name in "${installers[@]}"; do
  if [ ! -f "$payload/$name" ] || [ ! -r "$payload/$name" ]; then refuse "PAYLOAD=$PAYLOAD lacks $name"; fi
done
signing=
if [ -n "${SIGN_PKCS12:-}" ]; then
  [ -r "$SIGN_PKCS12" ] || refuse "SIGN_PKCS12=$SIGN_PKCS12 cannot be read"
  signing=pkcs12
elif [ -n "${SIGN_CERT:-}" ]; then
  [ -n "${SIGN_KEY:-}" ] || refuse "SIGN_CERT needs SIGN_KEY"
  [ -r "$SIGN_CERT" ] || refuse "SIGN_CERT=$SIGN_CERT cannot be read"
  [ -r "$SIGN_KEY" ] || refuse "SIGN_KEY=$SIGN_KEY cannot be read"
  signing=pem
fi
# Made absolute before the cd below, as given relative to the caller.
for var in SIGN_PKCS12 SIGN_CERT SIGN_KEY; do
  if [ -n "${!var:-}" ]; then printf -v "$var" '%s' "$(realpath -- "${!var}")"; fi
done

cd "$(dirname "$0")/.."
dist=${DIST:-dist}
build=${BUILD_DIR:-build/release-i686}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake --preset mingw-i686 -B "$build" -DHOTFIX_PAYLOAD_DIR="$payload"
cmake --build "$build" --target Hotfix -j "$(nproc)"
exe=$build/Hotfix.exe

# What was compiled in, read back from the record the build made: the copies
# shipped must be exactly these.
record=$build/generated/pinned_installers.cpp
mapfile -t pinned < <(grep -o '[0-9]*u, {[^}]*}' "$record" | sed -E 's/u, \{/ /; s/0x|, |\}//g')
[ "${#pinned[@]}" = 2 ] || { echo "release: $record holds no pinned record" >&2; exit 1; }
out=$work/dist
mkdir "$out"
for i in 0 1; do
  name=${installers[$i]}
  cp "$payload/$name" "$out/$name"
  [ "$(stat -c %s "$out/$name") $(sha256sum "$out/$name" | cut -d' ' -f1)" = "${pinned[$i]}" ] ||
    { echo "release: $payload/$name is not the file Hotfix.exe was pinned to (changed during the build?)" >&2; exit 1; }
done

{
  echo "commit $(git rev-parse HEAD 2>/dev/null || echo unknown)"
  echo "unsigned sha256 $(sha256sum "$exe" | cut -d' ' -f1)"
  for i in 0 1; do
    read -r size sha <<<"${pinned[$i]}"
    echo "pinned ${installers[$i]} size $size sha256 $sha"
  done
  dpkg-query -W g++-mingw-w64-i686-win32 gcc-mingw-w64-base binutils-mingw-w64-i686 \
    mingw-w64-i686-dev mingw-w64-common cmake make osslsigncode 2>/dev/null
  # The i586 runtime pieces: from the Debian sources of these same versions.
  echo "i586 runtime rebuilt from gcc-12-source and mingw-w64 sources of:"
  sed 's/^/  /' "$(scripts/runtime/build.sh)/versions"
} > "$out/BUILDINFO"

if [ -n "$signing" ]; then
  if [ "$signing" = pkcs12 ]; then
    credentials=(-pkcs12 "$SIGN_PKCS12")
    [ -n "${SIGN_PASS:-}" ] && credentials+=(-pass "$SIGN_PASS")
  else
    credentials=(-certs "$SIGN_CERT" -key "$SIGN_KEY")
  fi
  timestamp=()
  [ -n "${SIGN_TIMESTAMP_URL:-}" ] && timestamp=(-ts "$SIGN_TIMESTAMP_URL")
  # The version record's product name is the description the dialog shows.
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -h sha1 -n CR40517 \
    -in "$exe" -out "$work/sha1.exe" > "$work/sign.log"
  osslsigncode sign "${credentials[@]}" "${timestamp[@]}" -nest -h sha256 -n CR40517 \
    -in "$work/sha1.exe" -out "$work/signed.exe" >> "$work/sign.log"
  osslsigncode extract-signature -in "$work/signed.exe" -out "$out/Hotfix.exe.sig" >> "$work/sign.log"
  # The detached signature must give back exactly this file. (attach-signature
  # also verifies the chain against the system's CAs, and fails on a private
  # CA's certificate; the bytes are what counts here.)
  osslsigncode attach-signature -sigin "$out/Hotfix.exe.sig" -in "$exe" \
    -out "$work/attached.exe" >> "$work/sign.log" 2>&1 || true
  cmp -s "$work/attached.exe" "$work/signed.exe" ||
    { echo "release: the detached signature does not give back the signed file" >&2; exit 1; }
  cp "$work/signed.exe" "$out/Hotfix.exe"
  note="signed $dist/Hotfix.exe (SHA-1, SHA-256 nested)"
else
  cp "$exe" "$out/Hotfix.exe"
  note="$dist/Hotfix.exe is not signed (no SIGN_CERT or SIGN_PKCS12)"
fi
files=(Hotfix.exe "${installers[@]}")
[ -f "$out/Hotfix.exe.sig" ] && files+=(Hotfix.exe.sig)
(cd "$out" && sha256sum "${files[@]}" BUILDINFO > SHA256SUMS)

# Only a whole release replaces the last one.
mkdir -p "$dist"
rm -f "$dist/Hotfix.exe" "$dist/Hotfix.exe.sig" "${installers[@]/#/$dist/}" "$dist/SHA256SUMS" \
  "$dist/BUILDINFO"
cp "$out"/* "$dist/"
echo "release: $note, pinned to $payload/{${installers[0]},${installers[1]}}"
cat "$dist/SHA256SUMS"
