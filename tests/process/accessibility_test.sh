#!/usr/bin/env bash
# The real player read by a screen reader's calls from a second process
# (msaa_checker.exe) under the null display driver: the tree, its places,
# presses through the default action and the events they raise. Two 30 s
# tones in a folder give it something to play and a Next to go to.
# The player runs as a copy in a folder where files named like the system
# libraries it loads (at start, at its first sound, at a reader's first
# request) have been planted; none of them may load. Windows has no builtin
# libraries, so Wine is told to prefer files (native) for those names.
# Then an album of short tones, listened to through the status line.
# Usage: accessibility_test.sh PEBBLETUNE_EXE BUILD_DIR SOURCE_DIR
set -uo pipefail
exe=$1
build_dir=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/music"
sox -n -r 44100 -c 2 -b 16 "$work/tone.wav" synth 30 sine 440 vol 0.4 2>/dev/null || exit 1
for name in "a tone" "b tone"; do lame --quiet -b 128 "$work/tone.wav" "$work/music/$name.mp3" || exit 1; done
rm "$work/tone.wav"

run() { bash "$build_dir/wine-run.sh" "$@"; }
key='HKCU\Software\Tallowen\Pebbletune'
run reg delete "$key" /f >/dev/null 2>&1
run reg add "$key" /v Volume /t REG_DWORD /d 30000 /f >/dev/null || exit 1
mkdir "$work/Downloads" && cp "$exe" "$work/Downloads/Pebbletune.exe" || exit 1
overrides='HKCU\Software\Wine\AppDefaults\Pebbletune.exe\DllOverrides'
trap 'run reg delete "$overrides" /f >/dev/null 2>&1; rm -rf "$work"' EXIT
for name in Dwmapi oleacc winmm comctl32; do
  cp "$build_dir/planted_dll.dll" "$work/Downloads/$name.dll" || exit 1
  run reg add "$overrides" /v "$name" /d native,builtin /f >/dev/null || exit 1
done
run "$build_dir/msaa_checker.exe" "$(run winepath -w "$work/Downloads/Pebbletune.exe")" "$(run winepath -w "$work/music")"
status=$?
for marker in "$work"/Downloads/*.loaded; do
  [ -e "$marker" ] && { echo "FAIL: the planted ${marker##*/} was loaded" >&2; status=1; }
done

# An album of short tones with Play Next flows from track to track: the
# status line, read as a reader reads it, never says "opening media..."
# between two of them.
mkdir "$work/album" || exit 1
sox -n -r 44100 -c 2 -b 16 "$work/short.wav" synth 1.5 sine 660 vol 0.4 2>/dev/null || exit 1
for n in 01 02 03 04 05 06; do lame --quiet -b 128 "$work/short.wav" "$work/album/$n.mp3" || exit 1; done
run "$build_dir/msaa_checker.exe" "$(run winepath -w "$exe")" "$(run winepath -w "$work/album")" --album || status=1
exit $status
