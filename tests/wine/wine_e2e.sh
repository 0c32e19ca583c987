#!/usr/bin/env bash
# End-to-end tests of fxinstall.exe under Wine, with a stand-in host editor window.
#
#   wine_e2e.sh ARCH FXINSTALL_EXE STUB_EXE [RECEIVER_ARCH RECEIVER_STUB_EXE]
#
# The optional receiver runs the host window in a build of the other bitness, so that a 32-bit
# installer is seen to reach a 64-bit host editor.
set -uo pipefail

arch=$1 installer=$2 stub=$3
receiverArch=${4:-$arch} receiverStub=${5:-$stub}
here=$(cd "$(dirname "$0")" && pwd)
if [ ! -f "$receiverStub" ]; then
  echo "wine_e2e.sh: no host stub at $receiverStub (build the win64 preset first)" >&2
  exit 77
fi
for loaderArch in "$arch" "$receiverArch"; do
  "$here/wine-run.sh" "$loaderArch" --version >/dev/null || exit $?
done
work=$(mktemp -d)
trap 'touch "$work/stop-receive-win" "$work/stop-hold-win"; wait; rm -rf "$work"' EXIT

source "$here/expect.sh"

# A fresh app directory, with a space in its name, holding the installer.
new_app() {
  case=$1
  app="$work/$case/app dir"
  mkdir -p "$app"
  cp "$installer" "$app/fxinstall.exe"
}

wait_for() {
  for _ in $(seq 600); do [ -e "$1" ] && return 0; sleep 0.05; done
  echo "timed out waiting for $1" >&2
  return 1
}

# The stub is given Windows paths for its READY and STOP files: Z: is the root of the Unix tree.
winpath() { printf 'Z:%s' "${1//\//\\}"; }

start_receiver() {  # start_receiver [--busy=MS | --hung] [FILE...]: see fxhost_stub.cpp
  local options=()
  case "${1:-}" in --*) options=("$1"); shift ;; esac
  rm -f "$work/ready-win" "$work/stop-receive-win" "$app/../receiver.log"
  (cd "$app" && "$here/wine-run.sh" "$receiverArch" "$receiverStub" receive "${options[@]}" \
      ..\\receiver.log "$(winpath "$work/ready-win")" "$(winpath "$work/stop-receive-win")" "$@" \
      >/dev/null 2>&1) &
  receiverPid=$!
  wait_for "$work/ready-win"
}

stop_receiver() {
  touch "$work/stop-receive-win"
  wait "$receiverPid"
  log=$(cat "$app/../receiver.log" 2>/dev/null)
}

hold() {  # hold FILE: another Windows process holds FILE open without sharing
  rm -f "$work/ready-win" "$work/stop-hold-win"
  (cd "$app" && "$here/wine-run.sh" "$arch" "$stub" hold "$1" "$(winpath "$work/ready-win")" \
      "$(winpath "$work/stop-hold-win")" >/dev/null 2>&1) &
  holderPid=$!
  wait_for "$work/ready-win"
}

release() {
  touch "$work/stop-hold-win"
  wait "$holderPid"
}

install() {  # install ARGS...: runs the installer in the app directory
  start_install "$@"
  finish_install
}

# The same in two steps, with something done while the installer runs. A run that takes more
# than two minutes is stopped, so that a hanging installer fails the tests instead of hanging.
start_install() {
  installStart=$(date +%s%N)
  timeout 120 "$here/wine-run.sh" "$arch" "$app/${program:-fxinstall.exe}" "$@" >"$work/stdout" \
    2>"$work/stderr" &
  installerPid=$!
}

finish_install() {
  wait "$installerPid"
  status=$?
  elapsed=$((($(date +%s%N) - installStart) / 1000000))  # milliseconds
  stdout=$(cat "$work/stdout")
  stderr=$(tr -d '\r' <"$work/stderr")  # Windows ends lines on stderr with CR LF
}

bytes() { od -An -c "$app/$1" 2>/dev/null | tr -s ' \n' ' '; }
listing() { (cd "$app" && ls -A | tr '\n' ' '); }
size() { stat -c %s "$app/$1"; }

# --- The host receives the mask once every file is complete.
new_app notify
printf '[P]\r\nScene=S>s:=2\r\nTextIn=T>t1;T>t2\r\n' >"$app/ExEffConfig.ini"
printf '+S\r\ns:=1\r\nx\r\n' >"$app/SceneList.txt"
start_receiver TextInEffectList.txt SceneList.txt
install P
stop_receiver
expect "exit code" 0 "$status"
expect "stdout" "" "$stdout"
expect "stderr" "" "$stderr"
expect "TextIn list" "$(printf '+T\r\nt1\r\nt2\r\n\r\n' | od -An -c | tr -s ' \n' ' ')" \
  "$(bytes TextInEffectList.txt)"
expect "Scene list" "$(printf '+S\r\ns:=2\r\nx\r\n\r\n' | od -An -c | tr -s ' \n' ' ')" \
  "$(bytes SceneList.txt)"
expect "message" "wParam=0 dwData=0x102 cbData=0 lpData=null sizes=$(size TextInEffectList.txt),$(size SceneList.txt)" "$log"
expect "no temporary files" "ExEffConfig.ini SceneList.txt TextInEffectList.txt fxinstall-record.txt fxinstall.exe " \
  "$(listing)"

# --- A title package: "MovieTitle.txt" gains the name and the host sees 0x20.
new_app title
printf '[Title Pack]\r\nDir = MovieTitle\r\n' >"$app/ExEffConfig.ini"
printf 'A\r\n\r\n' >"$app/MovieTitle.txt"
start_receiver MovieTitle.txt
install "Title Pack"
stop_receiver
expect "exit code" 0 "$status"
expect "title list" "$(printf 'A\r\n\r\nTitle Pack\r\n' | od -An -c | tr -s ' \n' ' ')" \
  "$(bytes MovieTitle.txt)"
expect "message" "wParam=0 dwData=0x20 cbData=0 lpData=null sizes=$(size MovieTitle.txt)" "$log"

# --- Nothing written: no message.
new_app nothing
printf '[Q]\r\nTextIn=T>t\r\n' >"$app/ExEffConfig.ini"
start_receiver
install P
stop_receiver
expect "exit code" 0 "$status"
expect "no message" "" "$log"
expect "no file written" "ExEffConfig.ini fxinstall.exe " "$(listing)"

# --- No argument, and an empty one: nothing at all.
install
expect "exit code without argument" 0 "$status"
install ""
expect "exit code with an empty argument" 0 "$status"
expect "output" "" "$stdout$stderr"

# --- No host editor running: the files are written all the same.
new_app nowindow
printf '[P]\r\nTone=G>a\r\n' >"$app/ExEffConfig.ini"
install P
expect "exit code" 0 "$status"
expect "Tone list" "$(printf '+G\r\na\r\n\r\n' | od -An -c | tr -s ' \n' ' ')" "$(bytes ToneList.txt)"

# --- A list file held open by another Windows process is left alone and reported.
new_app locked
printf '[P]\r\nTextIn=G>a\r\nTone=G>a\r\n' >"$app/ExEffConfig.ini"
printf '+Old\r\n' >"$app/ToneList.txt"
hold ToneList.txt
start_receiver
install P
stop_receiver
release
expect "exit code" 2 "$status"
expect "stdout" "" "$stdout"
expect "stderr names the file and the reason" \
  "fxinstall: cannot read Z:${app//\//\\}\\ToneList.txt: locked by another process; it is left unchanged" \
  "$stderr"
expect "Tone list untouched" "$(printf '+Old\r\n' | od -An -c | tr -s ' \n' ' ')" "$(bytes ToneList.txt)"
expect "message" "wParam=0 dwData=0x2 cbData=0 lpData=null sizes=" "$log"

# --- Installations started at the same time take turns, and none loses another's lines.
new_app concurrent
for i in 1 2 3 4; do
  printf '[P%s]\r\nTextIn=Shared>p%s;Own%s>x\r\nDir=MovieTitle\r\n' $i $i $i >>"$app/ExEffConfig.ini"
done
pids=()
for i in 1 2 3 4; do
  "$here/wine-run.sh" "$arch" "$app/fxinstall.exe" "P$i" >/dev/null 2>"$work/stderr$i" &
  pids+=($!)
done
codes=""
for pid in "${pids[@]}"; do wait "$pid"; codes+="$? "; done
expect "every run succeeds" "0 0 0 0 " "$codes"
expect "no complaint" "" "$(cat "$work"/stderr[1-4])"
textIn=$(tr -d '\r' <"$app/TextInEffectList.txt")
for i in 1 2 3 4; do
  expect "P$i's shared line" 1 "$(grep -cx "p$i" <<<"$textIn")"
  expect "P$i's own section" 1 "$(grep -cx "+Own$i" <<<"$textIn")"
  expect "P$i's title" 1 "$(tr -d '\r' <"$app/MovieTitle.txt" | grep -cx "P$i")"
done
expect "no temporary files" "ExEffConfig.ini MovieTitle.txt TextInEffectList.txt fxinstall-record.txt fxinstall.exe " \
  "$(listing)"

# --- A host editor that takes no message for 8 seconds (busy loading a project, say) is waited
# for, and receives the mask.
new_app busy
printf '[P]\r\nTextIn=G>a\r\n' >"$app/ExEffConfig.ini"
start_receiver --busy=8000 TextInEffectList.txt
install P
stop_receiver
expect "exit code" 0 "$status"
expect "stderr" "" "$stderr"
expect "message" "wParam=0 dwData=0x2 cbData=0 lpData=null sizes=$(size TextInEffectList.txt)" "$log"
echo "busy host editor: the installer ran ${elapsed} ms"

# --- A host editor that never takes the message does not hold the installer up for longer than
# the wait (shortened here by its test hook): the lists are written, and it is reported.
notTold="the host editor (window \"Vaskel\")"
advice="; restart the editor to see the new effects"
new_app hung
printf '[P]\r\nTextIn=G>a\r\n' >"$app/ExEffConfig.ini"
start_receiver --hung
FXINSTALL_HOST_WAIT_MS=3000 install P
stop_receiver
expect "exit code" 2 "$status"
expect "stdout" "" "$stdout"
expect "stderr" "fxinstall: $notTold did not answer in time and was not told which lists changed$advice" \
  "$stderr"
expect "TextIn list" "$(printf '+G\r\na\r\n\r\n' | od -An -c | tr -s ' \n' ' ')" \
  "$(bytes TextInEffectList.txt)"
expect "waited for the host editor, then stopped" "yes" \
  "$([ "$elapsed" -ge 3000 ] && [ "$elapsed" -lt 20000 ] && echo yes || echo "no: ${elapsed} ms")"
echo "hung host editor, a wait of 3000 ms: the installer ran ${elapsed} ms"

# --- The host editor's window closes while the installer waits for it: reported at once, not
# after the whole wait of a minute.
new_app closed
printf '[P]\r\nTextIn=G>a\r\n' >"$app/ExEffConfig.ini"
start_receiver --hung
start_install P
sleep 3
stop_receiver
finish_install
expect "exit code" 2 "$status"
expect "stderr" "fxinstall: $notTold closed before it was told which lists changed$advice" "$stderr"
expect "stopped waiting when the window closed" "yes" \
  "$([ "$elapsed" -lt 30000 ] && echo yes || echo "no: ${elapsed} ms")"

# --- fxremove.exe, found next to the installer: undoes the installation, and the host editor
# receives the mask of the lists it wrote.
remover="$(dirname "$installer")/fxremove.exe"
if [ -f "$remover" ]; then
  new_app remove
  cp "$remover" "$app/fxremove.exe"
  printf '[P]\r\nTextIn=G>a;Old>o:=2\r\nDir=MovieTitle\r\n' >"$app/ExEffConfig.ini"
  printf '+Old\r\no:=1\r\n\r\n' >"$app/TextInEffectList.txt"
  printf 'T\r\n' >"$app/MovieTitle.txt"
  install P
  expect "installed" 0 "$status"
  start_receiver TextInEffectList.txt MovieTitle.txt
  program=fxremove.exe install P
  stop_receiver
  expect "exit code" 0 "$status"
  expect "stderr" "" "$stderr"
  expect "TextIn list as before" "$(printf '+Old\r\no:=1\r\n\r\n' | od -An -c | tr -s ' \n' ' ')" \
    "$(bytes TextInEffectList.txt)"
  expect "title list as before" "$(printf 'T\r\n' | od -An -c | tr -s ' \n' ' ')" "$(bytes MovieTitle.txt)"
  expect "message" "wParam=0 dwData=0x22 cbData=0 lpData=null sizes=$(size TextInEffectList.txt),$(size MovieTitle.txt)" "$log"
  program=fxremove.exe install P
  expect "nothing left to remove" 1 "$status"
fi

# --- fxcheck.exe, found next to the installer: tells the plan and changes nothing.
checker="$(dirname "$installer")/fxcheck.exe"
if [ -f "$checker" ]; then
  new_app check
  cp "$checker" "$app/fxcheck.exe"
  printf '[P]\r\nTextIn=G>a;no arrow\r\n' >"$app/ExEffConfig.ini"
  printf '+G\r\nb\r\n' >"$app/TextInEffectList.txt"
  before=$(bytes TextInEffectList.txt)
  "$here/wine-run.sh" "$arch" "$app/fxcheck.exe" P >"$work/stdout" 2>"$work/stderr"
  status=$?
  plan=$(tr -d '\r' <"$work/stdout")
  expect "exit code: an entry would be ignored" 1 "$status"
  expect "plan" "package [P]: ExEffConfig.ini line 1
TextIn: TextInEffectList.txt (exists)
  \"G>a\": appends \"a\" to section \"G\"
warning:   \"no arrow\": ignored: no \">\"
would write: TextInEffectList.txt
the host editor would receive 0x2 (TextIn 0x2)" "$plan"
  expect "list untouched" "$before" "$(bytes TextInEffectList.txt)"

  # --config: the section from the author's own file; a read-only list is an error, with the
  # installer's reason, and the probe that tells leaves no file behind.
  printf '[Q]\r\nTone=T>t\r\n' >"$work/check/my.ini"
  printf '+T\r\n' >"$app/ToneList.txt"
  chmod a-w "$app/ToneList.txt"
  "$here/wine-run.sh" "$arch" "$app/fxcheck.exe" --config "$(winpath "$work/check/my.ini")" Q \
    >"$work/stdout" 2>"$work/stderr"
  status=$?
  plan=$(tr -d '\r' <"$work/stdout")
  expect "exit code: a list cannot be written" 2 "$status"
  expect "plan" "package [Q]: $(winpath "$work/check/my.ini") line 1
Tone: ToneList.txt (exists)
  \"T>t\": appends \"t\" to section \"T\"
error: cannot write $(winpath "$app/ToneList.txt"): the file is read-only
would write nothing
the host editor would receive 0x80 (Tone 0x80)" "$plan"
  expect "no temporary files" "ExEffConfig.ini TextInEffectList.txt ToneList.txt fxcheck.exe \
fxinstall.exe " "$(listing)"
  chmod u+w "$app/ToneList.txt"
fi

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
