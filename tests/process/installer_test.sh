#!/usr/bin/env bash
# The release as a user meets it, in a fresh private Wine prefix on a private
# X server. scripts/package.sh packs the built exe; the installer, run
# silently, puts the files, the Start-menu shortcut, the uninstall entry and
# the Explorer verbs where they belong and nothing else; the folder verb's
# command starts the player on a folder whose path has spaces and it plays
# from there; a second run of it, and the MP3 verb, hand their paths to the
# running player and exit 0; the silent uninstall removes all it added and
# keeps the settings, /PURGE removes those too (closing a running player
# first); beside a player that does not end both fail, beside one whose
# window has gone but whose process still ends both wait and succeed; the
# zip's exe runs from a folder with spaces in its path.
# Usage: installer_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
set -uo pipefail
exe=$1
build_dir=$2
source_dir=$3

work=$(mktemp -d)
prefix=$build_dir/wine/installer-test
player_pid=""
pt_extra_cleanup() {
  if [ -n "$player_pid" ] && kill -0 "$player_pid" 2>/dev/null; then kill "$player_pid" 2>/dev/null; fi
  if [ -d "$prefix" ]; then WINEPREFIX=$prefix wineserver -k </dev/null >/dev/null 2>&1; fi
  rm -rf "$prefix" "$work"
}
fail() { echo "FAIL: $*" >&2; exit 1; }
source "$(dirname "$0")/xvfb.sh" "$build_dir" "$source_dir"

# Polls COMMAND... every 0.2 s until it succeeds or SECONDS pass.
within() {  # within SECONDS COMMAND...
  local tries=$(($1 * 5)) i
  shift
  for ((i = 0; i < tries; i++)); do
    "$@" && return 0
    sleep 0.2
  done
  return 1
}

# --- the release files, from the exe under test
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || fail "no project version in the build's cache"
bash "$source_dir/scripts/package.sh" --exe "$exe" --out "$work/dist" >/dev/null || fail "package.sh failed"
setup=$work/dist/Pebbletune-$version-setup.exe
zip=$work/dist/Pebbletune-$version-win64.zip
[ -f "$setup" ] && [ -f "$zip" ] || fail "package.sh did not write $(basename "$setup") and $(basename "$zip")"
cmp -s "$exe" <(unzip -p "$zip" Pebbletune.exe) || fail "the zip's exe is not the exe under test"

# --- a fresh prefix of our own, with its own server: a copy of the X prefix
# without the settings the tests before this one may have left there.
wine_env "$build_dir" x
rm -rf "$prefix"
cp -a "$build_dir/wine/x" "$prefix"
export WINEPREFIX=$prefix
wine_start_server
wine reg delete 'HKCU\Software\Tallowen' /f </dev/null >/dev/null 2>&1 9>&-

w() { wine "$@" </dev/null 2>/dev/null 9>&- | tr -d '\r'; }
{ read -r local_appdata; read -r appdata; } < <(w cmd /c 'echo %LOCALAPPDATA%&echo %APPDATA%')
install_dir=$local_appdata\\Programs\\Pebbletune
install_unix=$(winepath -u "$install_dir" 2>/dev/null)
shortcut=$(winepath -u "$appdata\\Microsoft\\Windows\\Start Menu\\Programs\\Pebbletune.lnk" 2>/dev/null)
users_unix=$(winepath -u 'C:\users' 2>/dev/null)
settings='HKCU\Software\Tallowen\Pebbletune'
uninstall_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Pebbletune'
classes='Software\Classes'
audio_types=".mp3 .wma .aac .m4a .flac .mid .midi .wav"

# The keys and values of the trees an install writes to, and the user's
# files. Left out: the two roots themselves (on Windows they always exist; a
# fresh Wine prefix has neither until something writes there), Temp (it
# holds the uninstaller's own copy until reboot) and AppData\Local\Programs,
# the user's shared programs folder, which the first per-user install
# creates and which then stays.
snapshot() {
  { w reg query "HKCU\\$classes" /s; w reg query 'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s; } |
    grep -E '^(HKEY|    )' | grep -vxE 'HKEY_CURRENT_USER\\Software\\(Classes|Microsoft\\Windows\\CurrentVersion\\Uninstall)'
  (cd "$users_unix" && find . -path './*/Temp' -prune -o -print | grep -v '^\./[^/]*/AppData/Local/Programs$' | sort)
}
# Prints one value's data ("(Default)" names the default value) from the
# snapshot taken after the install; fails if it is not there.
value_of() {  # value_of KEY NAME
  KEY="HKEY_CURRENT_USER\\${1#HKCU\\}" NAME=$2 awk '
    /^HKEY/ { inside = ($0 == ENVIRON["KEY"]); next }
    inside && index($0, "    " ENVIRON["NAME"] "    REG_") == 1 {
      sub(/^    .*    REG_[A-Z_]*/, ""); sub(/^    /, ""); print; found = 1; exit
    }
    END { exit !found }' <<<"$installed"
}
expect_value() {  # expect_value KEY NAME WANT
  local got
  got=$(value_of "$1" "$2") || fail "no value $2 under $1"
  [ "$got" = "$3" ] || fail "$1 $2 is [$got], expected [$3]"
}

# The player processes of this prefix started from the given Windows exe.
players_of() {  # players_of WINDOWS_EXE
  local p
  for p in $(pgrep -f 'Pebbletune\.exe'); do
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qxF "WINEPREFIX=$prefix" || continue
    [[ "$(tr '\0' ' ' 2>/dev/null <"/proc/$p/cmdline")" == "$1 "* ]] && echo "$p"
  done
}
# True when process PID holds open an MP3 directly in DIR (the track the
# media device plays), or exactly FILE when a file is given.
plays_from() {  # plays_from PID DIR_OR_FILE
  local fd open
  for fd in /proc/"$1"/fd/*; do
    open=$(readlink "$fd" 2>/dev/null) || continue
    if [ -d "$2" ]; then
      [[ "$open" == "$2"/*.mp3 && "${open#"$2"/}" != */* ]] && return 0
    else
      [ "$open" = "$2" ] && return 0
    fi
  done
  return 1
}
gone() { ! kill -0 "$1" 2>/dev/null; }
# A player whose window has gone while its process still ends, for 5 s: a
# process of the installed exe started suspended, with no window to find.
hold_exe() {
  wine "$build_dir/suspended_start.exe" 5000 "$player_win" </dev/null >/dev/null 2>&1 9>&- &
  within 10 player_running || fail "the installed exe did not start suspended"
}
player_running() { [ -n "$(players_of "$player_win")" ]; }
no_player_window() { [ -z "$(pt_player_windows)" ]; }

# --- silent install
before=$(snapshot)
w reg query "$settings" >/dev/null && fail "the settings left by other tests are still there"
timeout 60 wine "$setup" /S </dev/null >/dev/null 2>&1 9>&- || fail "the silent install failed"

for f in Pebbletune.exe Uninstall.exe readme.txt LICENSE.txt; do
  [ -f "$install_unix/$f" ] || fail "$f is not in $install_dir"
done
cmp -s "$exe" "$install_unix/Pebbletune.exe" || fail "the installed exe differs from the exe under test"
[ -f "$shortcut" ] || fail "no Start-menu shortcut"
strings -a "$shortcut" | grep -qxF "$install_dir\\Pebbletune.exe" || fail "the shortcut does not point at the installed exe"

installed=$(snapshot)
grep -qxF "HKEY_CURRENT_USER\\$classes\\Directory\\shell\\Pebbletune\\command" <<<"$installed" ||
  fail "the snapshot does not see the verbs"
player_win="$install_dir\\Pebbletune.exe"
uninstaller="\"$install_dir\\Uninstall.exe\""
installed_kb=$(( $(find "$install_unix" -type f -printf '%s+' | sed 's/+$//') ))
installed_kb=$(( (installed_kb + 1023) / 1024 ))
checks="DisplayName|Pebbletune
DisplayVersion|$version
Publisher|Tallowen
DisplayIcon|$player_win,0
InstallLocation|$install_dir
UninstallString|$uninstaller
QuietUninstallString|$uninstaller /S"
while IFS='|' read -r name want; do expect_value "$uninstall_key" "$name" "$want"; done <<<"$checks"
# In KB, as the installed-apps list shows it; counted per file there.
estimated=$(( $(value_of "$uninstall_key" EstimatedSize) ))
(( estimated >= installed_kb - 4 && estimated <= installed_kb + 4 )) ||
  fail "EstimatedSize is $estimated KB, the files take $installed_kb KB"

verb_keys="$classes\\Directory\\shell\\Pebbletune"
for t in $audio_types; do verb_keys+=$'\n'"$classes\\SystemFileAssociations\\$t\\shell\\Pebbletune"; done
while read -r key; do
  expect_value "$key" "(Default)" "Play with Pebbletune"
  expect_value "$key\\command" "(Default)" "\"$player_win\" \"%1\""
done <<<"$verb_keys"

# Every key the install added is a verb key, inside one, or a parent of one:
# no default player, no ProgID, nothing else.
while read -r key; do
  key=${key#HKEY_CURRENT_USER\\}
  while read -r ours; do
    [[ "$key" == "$ours" || "$key" == "$ours"\\* || "$ours" == "$key"\\* ]] && continue 2
  done <<<"$verb_keys"$'\n'"${uninstall_key#HKCU\\}"
  fail "the install added $key"
done < <(diff <(grep '^HKEY' <<<"$before") <(grep '^HKEY' <<<"$installed") | sed -n 's/^> //p')

# --- the verbs, started as Explorer starts them
music="$work/My Music"
make_tones() { bash "$source_dir/scripts/make-demo.sh" "$1" >/dev/null; }
make_tones "$music/Tones one"
mkdir -p "$music/Tones two"
cp "$music/Tones one/01 C4 tone.mp3" "$music/Tones one/02 E4 tone.mp3" "$music/Tones two/"
run_verb() {  # run_verb KEY PATH [--wait]
  wine "$build_dir/run_verb.exe" "$1\\command" "$(winepath -w "$2" 2>/dev/null)" "${@:3}" </dev/null >/dev/null 2>&1 9>&-
}

run_verb "$classes\\Directory\\shell\\Pebbletune" "$music/Tones one" || fail "the folder verb did not start"
within 20 test -n "$(players_of "$player_win")" || fail "the folder verb started no player"
pid=$(players_of "$player_win")
within 20 plays_from "$pid" "$music/Tones one" || fail "the player does not play from 'Tones one'"
pt_wait_windows 1 || fail "no player window"

run_verb "$classes\\Directory\\shell\\Pebbletune" "$music/Tones two" --wait
status=$?
[ "$status" -eq 0 ] || fail "the second run of the folder verb exited with $status"
within 20 plays_from "$pid" "$music/Tones two" || fail "the running player did not take 'Tones two'"

track="$music/Tones one/02 E4 tone.mp3"
run_verb "$classes\\SystemFileAssociations\\.mp3\\shell\\Pebbletune" "$track" --wait
status=$?
[ "$status" -eq 0 ] || fail "the MP3 verb's run exited with $status"
within 20 plays_from "$pid" "$track" || fail "the running player did not start the chosen MP3"
[ "$(players_of "$player_win" | wc -l)" -eq 1 ] || fail "a hand-off left a second player running"
pt_wait_windows 1 || fail "a hand-off opened a window"

window=$(pt_player_windows | head -n 1)
xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key alt+x
within 30 gone "$pid" || fail "the player did not close on Alt+X"
w reg query "$settings" >/dev/null || fail "the player saved no settings"

# --- silent uninstall: all gone but the settings
hold_exe
timeout 60 wine "$install_unix/Uninstall.exe" /S </dev/null >/dev/null 2>&1 9>&- || fail "the silent uninstall failed"
# The uninstaller runs on from a copy of itself after wine returns.
within 30 test ! -e "$install_unix" || fail "$install_dir is still there"
within 10 test ! -e "$shortcut" || fail "the shortcut is still there"
after=$(snapshot)
[ "$after" = "$before" ] || fail "the uninstall left: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | head -n 20)"
w reg query "$settings" >/dev/null || fail "the uninstall removed the settings"

# --- reinstall, then /PURGE while the player runs: nothing left at all
timeout 60 wine "$setup" /S </dev/null >/dev/null 2>&1 9>&- || fail "the second install failed"

# A player that does not end (frozen) keeps its exe: an install over it and an
# uninstall run in place (_?=, so its code is the run's) fail with code 2, and
# the uninstall keeps the entry of the exe it could not remove.
wine "$install_unix/Pebbletune.exe" </dev/null >/dev/null 2>&1 9>&- &
player_pid=$!
pt_wait_windows 1 && kill -STOP "$player_pid" || fail "the installed player opened no window"
timeout 60 wine "$setup" /S </dev/null >/dev/null 2>&1 9>&-; codes=$?
timeout 60 wine "$install_unix/Uninstall.exe" /S "_?=$install_dir" </dev/null >/dev/null 2>&1 9>&-; codes+=" $?"
[ "$codes" = "2 2" ] || fail "install, uninstall beside a player that does not end exited with $codes"
[ -f "$install_unix/Pebbletune.exe" ] && w reg query "$uninstall_key" >/dev/null ||
  fail "the failed uninstall removed the exe or the entry"
kill -CONT "$player_pid"
within 30 gone "$player_pid" || fail "the player did not close once it could"
player_pid=""
hold_exe
timeout 60 wine "$setup" /S </dev/null >/dev/null 2>&1 9>&- || fail "the install beside an ending player failed"
wine "$install_unix/Pebbletune.exe" </dev/null >/dev/null 2>&1 9>&- &
player_pid=$!
pt_wait_windows 1 || fail "the installed player opened no window"
timeout 60 wine "$install_unix/Uninstall.exe" /S /PURGE </dev/null >/dev/null 2>&1 9>&- || fail "the purging uninstall failed"
within 30 gone "$player_pid" || fail "the uninstaller did not close the running player"
wait "$player_pid"
status=$?
player_pid=""
[ "$status" -eq 0 ] || fail "the player closed by the uninstaller exited with $status"
within 30 test ! -e "$install_unix" || fail "$install_dir is still there after /PURGE"
no_settings() { ! w reg query "$settings" >/dev/null; }
within 10 no_settings || fail "/PURGE kept the settings"
after=$(snapshot)
[ "$after" = "$before" ] || fail "/PURGE left: $(diff <(echo "$before") <(echo "$after") | grep '^[<>]' | head -n 20)"

# --- the zip's exe, unzipped into a folder with spaces, nothing installed
portable="$work/Portable Pebbletune"
mkdir -p "$portable"
unzip -q "$zip" -d "$portable" || fail "unzip failed"
for f in Pebbletune.exe readme.txt LICENSE.txt; do [ -f "$portable/$f" ] || fail "the zip has no $f"; done
grep -q "Pebbletune $version" "$portable/readme.txt" || fail "the read-me does not name version $version"
wine "$portable/Pebbletune.exe" "$(winepath -w "$music/Tones two" 2>/dev/null)" </dev/null >/dev/null 2>&1 9>&- &
player_pid=$!
within 20 plays_from "$player_pid" "$music/Tones two" || fail "the portable exe does not play 'Tones two'"
pt_wait_windows 1 || fail "the portable exe opened no window"
window=$(pt_player_windows | head -n 1)
xdotool mousemove --window "$window" 5 5 windowfocus --sync "$window" key alt+x
within 30 gone "$player_pid" || fail "the portable player did not close on Alt+X"
wait "$player_pid"
status=$?
player_pid=""
[ "$status" -eq 0 ] || fail "the portable player exited with $status"
echo "installer: ok"
