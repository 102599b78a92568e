# Sourced by the scripts: the private Wine environment of one build directory.
# Two prefixes live under BUILD_DIR/wine: "null" (no display needed: windows,
# GDI and messages work through the null graphics driver) and "x" (for tests
# that need a real X window under Xvfb).

wine_env() {  # wine_env BUILD_DIR KIND
  local build_dir=$1 kind=$2
  export HOME="$build_dir/home"
  export WINEPREFIX="$build_dir/wine/$kind"
  export WINEDEBUG=-all
  # No Mono/Gecko prompts, no desktop menu entries.
  export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
  export WINEARCH=win64
}

# Creates HOME (with a null ALSA device so MCI has a wave device without a
# sound card) and both prefixes, once; later calls return at once.
wine_prepare() {  # wine_prepare BUILD_DIR
  local build_dir=$1
  mkdir -p "$build_dir/home" "$build_dir/wine"
  if [ ! -f "$build_dir/home/.asoundrc" ]; then
    printf 'pcm.!default { type null }\n' > "$build_dir/home/.asoundrc"
  fi
  (
    flock 9
    if [ -f "$build_dir/wine/.ready" ]; then exit 0; fi
    rm -rf "$build_dir/wine/base" "$build_dir/wine/null" "$build_dir/wine/x"
    wine_env "$build_dir" base
    wineboot -i </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
    cp -a "$build_dir/wine/base" "$build_dir/wine/null"
    cp -a "$build_dir/wine/base" "$build_dir/wine/x"
    rm -rf "$build_dir/wine/base"
    wine_env "$build_dir" null
    wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
    wine_env "$build_dir" x
    # Without a window manager Wine waits on every top-level window's
    # destruction unless its windows are unmanaged.
    wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 9>&-
    wineserver -w 9>&-
    touch "$build_dir/wine/.ready"
  ) 9>"$build_dir/wine/.lock"
}

# Starts a persistent wineserver for the current prefix and warms it up, with
# every descriptor pointing away from the caller's pipes. An optional
# argument is how long the server outlives its last client ("" = until
# killed); an optional second one, a program to run for the warm-up.
wine_start_server() {
  local persist=${1-60} warmup=${2:-}
  wineserver "-p$persist" </dev/null >/dev/null 2>&1 9>&- || true
  wine cmd /c exit </dev/null >/dev/null 2>&1 9>&- || true
  if [ -n "$warmup" ] && [ -f "$warmup" ]; then
    wine "$warmup" </dev/null >/dev/null 2>&1 9>&- || true
  fi
}

wine_stop_server() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
}
