#!/usr/bin/env bash
# `make pictures`: every window a person can meet, photographed from the real
# Hotfix.exe under Wine with a real X server (Xvfb) and Wine's X11 driver, in
# a virtual desktop where Wine draws the frames and titles itself, as XP
# does. Writes docs/pictures/*.png and docs/pictures/build.txt. The i686
# build where this kernel runs 32-bit Wine, else the x86_64 build.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
# shellcheck source=../lane/common.sh
source scripts/lane/common.sh

if lane_native_i686; then
  arch=i686 loader=/usr/lib/wine/wine winearch=win32 version=winxp trk=trk_3_3_1000_0_x86.exe
else
  arch=x86_64 loader=/usr/lib/wine/wine64 winearch=win64 version=winxp64 trk=trk_3_3_1000_0_x64.exe
fi
builds=$root/build/mingw-$arch
out=$root/docs/pictures
mkdir -p "$out"

# A prefix of its own: the tests' prefixes use the null graphics driver.
export WINEPREFIX=$root/build/wine-pictures/$arch WINEARCH=$winearch WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'wineserver -k 2>/dev/null || true; kill $xvfb 2>/dev/null || true' EXIT
export DISPLAY=$display
for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X${display#:}" ] && break; sleep 0.1; done

drive_c=$WINEPREFIX/drive_c
if [ ! -f "$WINEPREFIX/.hotfix-pictures" ]; then
  echo "pictures: making the Wine prefix $WINEPREFIX" >&2
  rm -rf "$WINEPREFIX"
  mkdir -p "$WINEPREFIX"
  "$loader" wineboot -i >/dev/null 2>&1
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine]' "\"Version\"=\"$version\"" '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' \
    > "$drive_c/settings.reg"
  "$loader" reg import 'C:\settings.reg' >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.hotfix-pictures"
fi

# Wine's own fonts (fonts-wine: Tahoma, and Marlett for the frame buttons),
# linked where the prefix's programs look. Debian's Wine 8.0 names its data
# folder /usr/lib/wine/../../share/wine and never reads the fonts folder in it
# (strace shows no access), so the close button's cross, Marlett's "r", came
# out as an "r" in a fallback font. Fonts in C:\windows\Fonts it loads.
for font in /usr/share/wine/fonts/*.ttf; do
  [ -e "$font" ] && ln -sf "$font" "$drive_c/windows/Fonts/"
done

# The machine the fix applies to, as in the tests.
printf '%s\r\n' 'REGEDIT4' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]' \
  '"DisplayName"="Orvane Firewall v3.03"' '' \
  '[HKEY_LOCAL_MACHINE\SOFTWARE\Orvane\Orvane firewall]' '"Installpath"="C:\\fw\\"' \
  > "$drive_c/machine.reg"
printf '%s\r\n' 'REGEDIT4' '' \
  '[-HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\{D13A6F58-02C7-4E9B-8B21-7F4C05E9A6D3}]' \
  > "$drive_c/no-firewall.reg"
mkdir -p "$drive_c/fw"
rm -rf "$drive_c/hotfix" "$drive_c/pictures"
mkdir -p "$drive_c/hotfix" "$drive_c/pictures"
cp "$builds/Hotfix.exe" "$drive_c/hotfix/"
cp "$builds/stub.exe" "$drive_c/hotfix/40517.exe"
cp "$builds/stub.exe" "$drive_c/hotfix/40517-2.exe"
cp "$builds/shot.exe" "$drive_c/pictures/"

machine() {
  "$loader" reg import 'C:\machine.reg' >/dev/null 2>&1
  cp "$root/tests/fixtures/$trk" "$drive_c/fw/trk.exe"
  cp "$builds/stub.exe" "$drive_c/hotfix/40517-2.exe"
}

# shoot NAME KIND ANSWER [--hold-mutex M] -- ARGS: one picture in a fresh
# virtual desktop of 640x480.
shoot() {
  local name=$1
  shift
  echo "pictures: $name" >&2
  rm -f "$drive_c/pictures/$name.bmp"
  local args=("$@")
  local dash
  for dash in "${!args[@]}"; do [ "${args[$dash]}" = -- ] && break; done
  "$loader" explorer "/desktop=hotfix,640x480" 'C:\pictures\shot.exe' "C:\\pictures\\$name.bmp" \
    "${args[@]:0:$dash}" -- 'C:\hotfix\Hotfix.exe' "${args[@]:$((dash + 1))}" || true
  wineserver -w
  python3 "$root/scripts/pictures/bmp_to_png.py" "$drive_c/pictures/$name.bmp" "$out/$name.png"
}

IDOK=1 IDCANCEL=2 IDNO=7

machine
shoot restart-question box $IDNO --
shoot countdown box $IDCANCEL -- /warnrestart:30
HOTFIX_STUB_SLEEP_MS=6000 shoot progress window 0 -- /passive /norestart
shoot second-copy box $IDOK --hold-mutex 'Global\Hotfix-CR40517' --
rm "$drive_c/hotfix/40517-2.exe"
shoot error-report box $IDOK --
machine
cp "$root/tests/fixtures/no_version_x86.exe" "$drive_c/fw/trk.exe"
shoot missing-version box $IDOK --
machine
"$loader" reg import 'C:\no-firewall.reg' >/dev/null 2>&1
shoot applicability-warning box $IDOK --
machine

{
  echo "$arch"
  "$loader" --version
} > "$out/build.txt"
echo "pictures: written to $out ($arch build, $("$loader" --version))" >&2
