# Shared by the end-to-end scripts (sourced, not run): a private Xvfb display, a Wine prefix
# made afresh with a persistent server, and the pictures of the display converted to PNG.
# Before sourcing, set WINEPREFIX; after it, call start_display FIRST_NUMBER.
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

xvfb_pid=""
cleanup() {
  wineserver -k 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

# A display of its own, so that no other test's window stands in the pictures.
start_display() {
  n=$1
  while [ -e "/tmp/.X$n-lock" ] || [ -e "/tmp/.X11-unix/X$n" ]; do n=$((n + 1)); done
  Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=":$n"
  i=0
  while [ ! -e "/tmp/.X11-unix/X$n" ] && [ $i -lt 50 ]; do sleep 0.1; i=$((i + 1)); done
}

# A prefix as a new user has it, nothing set by hand but the display driver's window
# management: with no window manager, unmanaged windows hide at once instead of waiting.
fresh_prefix() {
  wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w 2>/dev/null || true
  setsid wineserver -p >/dev/null 2>&1 </dev/null &
  wine cmd /c exit >/dev/null 2>&1 || true
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
}

# The pictures of the whole display the tests took (ImageMagick's import, PPM), as PNG in
# the folder given.
convert_shots() {
  mkdir -p "$1"
  for shot in "$WINEPREFIX"/drive_c/haulix-e2e/shots/*.ppm; do
    [ -f "$shot" ] || continue
    convert "$shot" "$1/$(basename "$shot" .ppm).png" 2>/dev/null || true
  done
}
