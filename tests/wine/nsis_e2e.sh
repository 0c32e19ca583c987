#!/usr/bin/env bash
# The example package setup (examples/nsis/WinterGlow.nsi), built with makensis and run under
# 64-bit Wine the way an author's user runs it: silently, into an editor's directory (a copy of
# examples/host holding fxinstall.exe). The lists must come out byte for byte as expected.
#
#   nsis_e2e.sh FXINSTALL_EXE        (fxremove.exe is taken from beside it)
set -uo pipefail

installer=$1
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
if ! command -v makensis >/dev/null; then
  echo "nsis_e2e.sh: makensis is not installed (Debian package nsis)" >&2
  exit 77
fi
"$here/wine-run.sh" win64 --version >/dev/null || exit $?

# Wine takes the ANSI code page from the locale; in the C locale it is 1252, which has no
# Chinese characters. Pinned, so that the code page case below sees the same on every machine.
export LC_ALL=C

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

source "$here/expect.sh"

# expect_bytes FILE FORMAT: FILE in the host directory holds exactly the bytes printf FORMAT
# gives.
expect_bytes() {
  printf "$2" >"$work/expected"
  expect "$1" "$(od -An -c "$work/expected")" "$(od -An -c "$app/$1" 2>&1)"
}

# Builds a setup into the work directory; a script that makensis rejects or warns about fails
# the test.
build() {  # build SCRIPT [MAKENSIS OPTIONS...]
  local script=$1 name
  name=$(basename "$script" .nsi)
  shift
  if ! makensis -V2 -WX "$@" "$script" "-XOutFile $work/$name.exe" >"$work/makensis.log" 2>&1; then
    cat "$work/makensis.log"
    echo "makensis cannot build $script"
    echo "$passed passed, $((failed + 1)) failed"
    exit 1
  fi
}

# A fresh editor directory, with a space in its path like "Program Files".
new_host() {
  case=$1
  app="$work/$case/Vaskel dir"
  mkdir -p "$app"
  cp "$root"/examples/host/* "$app/"
  cp "$installer" "$app/fxinstall.exe"
  cp "$(dirname "$installer")/fxremove.exe" "$app/fxremove.exe"
}

# NSIS takes the text after /D= (or _?=) to the end of the command line, unquoted. Wine quotes
# an argument that holds a blank, so the path goes in pieces, which Wine joins with blanks.
dir_option() {  # dir_option OPTION: sets dirArgs to OPTION and the host directory's Windows path
  local path="${app//\//\\}"
  read -ra dirArgs <<<"$1Z:$path"
}

run_setup() {  # run_setup SETUP_EXE
  dir_option /D=
  "$here/wine-run.sh" win64 "$work/$1" /S "${dirArgs[@]}" >/dev/null 2>&1
  status=$?
}

# The lines of every section of ExEffConfig.ini whose name is NAME in any letter case.
section() {
  tr -d '\r' <"$app/ExEffConfig.ini" | awk -v name="[$(tr '[:upper:]' '[:lower:]' <<<"$1")]" '
    /^\[/ { inside = (tolower($0) == name) }
    inside'
}

winterGlowSection='[WinterGlow]
TextIn=Frost>FrostIn:=0,10,1;Frost>FrostSparkle
TextOut=Frost>FrostOut:=1,10,1
Style=Frost>IcyLetters:=2,1
Scene=Nature>Snowfall
Dir=MovieTitle'

# The editor's lists once WinterGlow is installed into examples/host.
expect_installed() {
  expect_bytes TextInEffectList.txt '+Fade\r\nFadeIn:=0,10,0\r\nFadeLeaves:=0,10,0\r\n\r\n+\xbb\xac\xb6\xaf\r\n\xd7\xf3\xbb\xac:=1,5\r\n\r\n+Frost\r\nFrostIn:=0,10,1\r\nFrostSparkle\r\n\r\n'
  expect_bytes TextOutEffectList.txt '+Fade\r\nFadeOut:=1,10,0\r\n\r\n+Frost\r\nFrostOut:=1,10,1\r\n\r\n'
  expect_bytes StyleList.txt '+Frost\r\nIcyLetters:=2,1\r\n\r\n'
  expect_bytes SceneList.txt '+Nature\r\nSunrise\r\nSnowfall\r\n\r\n*\xb3\xc7\xca\xd0\r\n\xd2\xb9\xbe\xb0\r\n\r\n'
  expect_bytes MovieTitle.txt 'WinterTitles\r\n\xb4\xba\xbd\xda\xc6\xac\xcd\xb7\r\nWinterGlow\r\n'
  expect_bytes ToneList.txt '+Film\r\nSepia:=30,10\r\n\r\n'
}

checksums() { (cd "$app" && md5sum -- *); }

build "$root/examples/nsis/WinterGlow.nsi"
build "$here/nsis_codepage.nsi" -INPUTCHARSET UTF8

# --- A first installation: the effect file is copied, the section written, the lists merged.
new_host install
run_setup WinterGlow.exe
expect "setup exit code" 0 "$status"
expect_installed
expect "section" "$winterGlowSection" "$(section WinterGlow)"
expect "effect file copied" same \
  "$(cmp -s "$root/examples/nsis/WinterGlow.eff" "$app/WinterGlow.eff" && echo same)"

# --- The same setup again changes no byte of any file.
before=$(checksums)
run_setup WinterGlow.exe
expect "second run: exit code" 0 "$status"
expect "second run: every file as it was" "$before" "$(checksums)"

# --- The uninstaller runs fxremove.exe, which takes the package's lines out of the lists, then
# deletes the section and the effect file: every list is back to its bytes before the package.
dir_option _?=
"$here/wine-run.sh" win64 "$app/WinterGlow-uninstall.exe" /S "${dirArgs[@]}" >/dev/null 2>&1
expect "uninstall: exit code" 0 "$?"
expect "uninstall: section deleted" "" "$(section WinterGlow)"
expect "uninstall: other sections kept" "[AutumnTitles] [ClassicTones] " \
  "$(tr -d '\r' <"$app/ExEffConfig.ini" | grep '^\[' | tr '\n' ' ')"
expect "uninstall: effect file deleted" "" "$(ls "$app"/WinterGlow.eff 2>/dev/null)"
for list in TextInEffectList.txt TextOutEffectList.txt SceneList.txt MovieTitle.txt ToneList.txt; do
  expect "uninstall: $list as before the package" same \
    "$(cmp -s "$root/examples/host/$list" "$app/$list" && echo same)"
done
# StyleList.txt did not exist before: the package's section is taken out of it.
expect_bytes StyleList.txt ''

# --- An older section in other letter case, which the INI functions would update in place
# and fxinstall would not find: the setup writes the section afresh, and it installs.
new_host older
printf '[winterglow]\r\ntextin=Old>Gone\r\n' >>"$app/ExEffConfig.ini"
run_setup WinterGlow.exe
expect "exit code" 0 "$status"
expect "only the new section" "$winterGlowSection" "$(section WinterGlow)"
expect_installed

# --- A list that cannot be written: fxinstall exits 2, and the setup says so with its own
# exit code. Run again once the list may be written, it finishes the job.
new_host readonly
chmod a-w "$app/SceneList.txt"
run_setup WinterGlow.exe
expect "exit code" 2 "$status"
expect_bytes SceneList.txt '+Nature\r\nSunrise\r\n\r\n*\xb3\xc7\xca\xd0\r\n\xd2\xb9\xbe\xb0\r\n\r\n'
expect_bytes StyleList.txt '+Frost\r\nIcyLetters:=2,1\r\n\r\n'
chmod u+w "$app/SceneList.txt"
run_setup WinterGlow.exe
expect "retry: exit code" 0 "$status"
expect_installed

# --- A directory that is not the editor's (no fxinstall.exe): the setup stops, writes nothing.
case=elsewhere
app="$work/$case/Other dir"
mkdir -p "$app"
run_setup WinterGlow.exe
expect "exit code" 2 "$status"
expect "nothing written" "" "$(ls -A "$app")"

# --- The code page: a Unicode setup writes a Chinese group through the ANSI code page, 1252
# here, which has no Chinese characters. Each arrives as "?", and the entry meant for the
# section "*城市" goes to a new section "+??" (on a system with code page 936 it would not).
new_host codepage
run_setup nsis_codepage.exe
expect "exit code" 0 "$status"
expect "code page" 1252 "$(cat "$app/codepage.txt")"
expect "the section as written" "[CityNights]
Scene=??>Night snow" "$(section CityNights)"
expect_bytes SceneList.txt '+Nature\r\nSunrise\r\n\r\n*\xb3\xc7\xca\xd0\r\n\xd2\xb9\xbe\xb0\r\n\r\n+??\r\nNight snow\r\n\r\n'

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
