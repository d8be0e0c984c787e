#!/usr/bin/env bash
# The real program on a real display server, watched from outside as a user
# would see it: on a headless Wayland compositor (sway) as a native Wayland
# client, or on Xvfb as an X11 client, both with a 1280 x 800 screen.
#   - the splash comes first, then the surface, in a window of one size that
#     lies wholly on the screen;
#   - a slider stepped from the keyboard shows its number in a tip that
#     follows the handle (found in screenshots);
#   - "About Vantor*2" chosen twice brings up one About window (centred on
#     the X11 screen), and the main window keeps its size;
#   - nothing is printed on standard error but the note on missing hand models.
# Usage: desktop_window_test.sh wayland|x11 PROGRAM
set -euo pipefail
platform=$1
program=$2

# sway refuses to run as root, and the program must be the compositor's
# user: as root, run everything as nobody, from copies in a private home
# (the build tree may be closed to nobody).
if [ "$(id -u)" -eq 0 ]; then
  home=$(mktemp -d)
  trap 'rm -rf "$home"' EXIT
  install -m 755 "$0" "$home/test"
  install -m 755 "$program" "$home/vantor2"
  chown -R nobody: "$home"
  setpriv --reuid="$(id -u nobody)" --regid="$(id -g nobody)" --clear-groups \
    env HOME="$home" "$home/test" "$platform" "$home/vantor2" && exit 0
  exit 1
fi

fail() {
  [ -s "${work:-}/stderr" ] && sed 's/^/program: /' "$work/stderr" >&2
  echo "FAIL ($platform): $*" >&2
  exit 1
}
# Polls a condition every 0.1 s for at most $1 seconds.
within() {
  local limit=$(($1 * 10))
  shift
  for ((i = 0; i < limit; i++)); do "$@" && return 0; sleep 0.1; done
  return 1
}

work=$(mktemp -d)
pids=()
cleanup() {
  # Stop exactly what this test started, the program first.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null && wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
# The program chooses its platform itself, from what the session offers.
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$XDG_RUNTIME_DIR"

# Per platform: windows (one line per visible program window: id, the
# content's x y width height, then its frame's left top right bottom),
# focused, focus ID, screenshot FILE, key NAME.
case "$platform" in
wayland)
  printf '%s\n' 'xwayland disable' 'output * mode 1280x800' 'focus_on_window_activation focus' \
    'for_window [app_id="org.vantor2.Vantor2"] floating enable' >"$work/sway.conf"
  WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$work/sway.conf" >"$work/sway.log" 2>&1 &
  pids+=($!)
  sockets() {
    compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock" >/dev/null && compgen -G "$XDG_RUNTIME_DIR/wayland-?" >/dev/null
  }
  within 30 sockets || { cat "$work/sway.log" >&2; fail "sway did not start"; }
  SWAYSOCK=$(compgen -G "$XDG_RUNTIME_DIR/sway-ipc.*.sock")
  WAYLAND_DISPLAY=$(basename "$(compgen -G "$XDG_RUNTIME_DIR/wayland-?")")
  export SWAYSOCK WAYLAND_DISPLAY
  # One virtual keyboard stays for the whole run: keys typed while the
  # seat's only keyboard comes and goes get lost.
  wtype -s 86400000 &
  pids+=($!)
  windows() {
    swaymsg -t get_tree | jq -r '.. | objects | select(.app_id? == "org.vantor2.Vantor2" and .visible)
      | [.id, .rect.x + .window_rect.x, .rect.y + .window_rect.y, .window_rect.width, .window_rect.height,
         .rect.x, .rect.y - .deco_rect.height, .rect.x + .rect.width, .rect.y + .rect.height] | @tsv'
  }
  focused() { swaymsg -t get_tree | jq -r '.. | objects | select(.focused? == true) | .id'; }
  focus() { swaymsg "[con_id=$1] focus" >/dev/null; }
  screenshot() { grim "$1"; }
  key() { wtype -k "$1"; }
  ;;
x11)
  # Xvfb picks a free display number and writes it to fd 3.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  pids+=($!)
  within 30 test -s "$work/display" || fail "Xvfb did not start"
  DISPLAY=":$(cat "$work/display")"
  export DISPLAY
  windows() {
    local id
    for id in $(xdotool search --onlyvisible --name '^vantor\*2$' 2>/dev/null || true); do
      xwininfo -id "$id" | awk -v id="$id" '/Absolute upper-left X/ { x = $4 } /Absolute upper-left Y/ { y = $4 }
        /Width:/ { w = $2 } /Height:/ { h = $2 } END { print id, x, y, w, h, x, y, x + w, y + h }'
    done
  }
  focused() { xdotool getwindowfocus; }
  focus() { xdotool windowfocus --sync "$1"; }
  screenshot() { import -window root "$1"; }
  key() { xdotool key "$1"; }
  ;;
*) fail "no such platform" ;;
esac

"$program" >"$work/stdout" 2>"$work/stderr" &
pids+=($!)
program_pid=$!

main_window() { windows | awk '$4 != 480 || $5 != 300' | head -1; }
about_windows() { windows | awk '$4 == 480 && $5 == 300'; }
main_shown() { [ -n "$(main_window)" ]; }
within 30 main_shown || fail "the window did not appear"
read -r main _ <<<"$(main_window)"

# A pixel of the content below the menu bar: white on the splash, dark on the
# surface. The window's place is read again each time: the compositor may
# move it as it maps it.
content_pixel() {
  local x y width height
  read -r _ x y width height _ <<<"$(main_window)"
  screenshot "$work/shot.png"
  convert "$work/shot.png" -crop "1x1+$((x + 12))+$((y + height / 3))" -depth 8 txt:- | tail -1
}
is_white() { [[ "$(content_pixel)" == *"#FFFFFF"* ]]; }
is_dark() { [[ "$(content_pixel)" =~ \#[0-7][0-9A-F][0-7][0-9A-F][0-7][0-9A-F] ]]; }
within 30 is_white || fail "the window did not open on the splash"
read -r _ _ _ width height _ <<<"$(main_window)"
within 30 is_dark || fail "the surface did not replace the splash"
read -r id x y width2 height2 left top right bottom <<<"$(main_window)"
[ "$id $width2 $height2" = "$main $width $height" ] ||
  fail "the window went from ${width}x$height on the splash to ${width2}x$height2 with the surface"
((left >= 0 && top >= 0 && right <= 1280 && bottom <= 800)) ||
  fail "the window ($left,$top)-($right,$bottom) does not lie on the 1280x800 screen"
cp "$work/shot.png" "$work/before.png"

# The tip: what turned the tool tips' colour since the surface came up.
tip_box() {
  screenshot "$work/shot.png"
  convert "$work/shot.png" "$work/before.png" -compose difference -composite -threshold 0 \
    \( "$work/shot.png" -fill white -opaque '#1E1E21' -fill black +opaque white \) \
    -compose darken -composite -format '%@' info: 2>/dev/null |
    awk '{ split($1, g, /[x+]/); if (g[1] > 0 && g[1] < 200 && g[2] > 0 && g[2] < 100) print g[3], g[4] }'
}
tip_moved() { tip=$(tip_box) && [ -n "$tip" ] && [ "$tip" != "$previous" ]; }
focus "$main"
for _ in 1 2 3 4 5; do key Tab; done # past the dice, the two switches and the tab bar: a slider
tips=()
previous=""
for step in Prior Prior Prior End; do # to 1024, 2048, 3072, 16383
  key "$step"
  within 20 tip_moved || fail "after $step the tip is not shown at a new place (${tips[*]})"
  tips+=("$tip")
  previous=$tip
done
read -r x1 y1 x2 y2 x3 y3 xe ye <<<"${tips[*]}"
[ "$y1 $y2 $y3" = "$ye $ye $ye" ] || fail "the tip left the slider's line"
# The handle moves by the same distance for each step of 1024, and by 13
# such steps from 3072 to the end.
awk -v a="$x1" -v b="$x2" -v c="$x3" -v e="$xe" 'BEGIN { s = (c - a) / 2; d = e - c - 13 * s
  exit !(s >= 5 && b - a > s - 1.5 && b - a < s + 1.5 && d > -8 && d < 8) }' ||
  fail "the tip does not follow the handle"

open_about() { key Alt_L; key Return; key Return; }
about_focused() { [ -n "$(about_windows)" ] && [ "$(focused)" = "$(about_windows | awk '{ print $1 }')" ]; }
open_about
within 20 about_focused || fail "About did not open"
read -r about ax ay _ <<<"$(about_windows)"
[ "$platform" = wayland ] || [ "$ax $ay" = "400 250" ] || fail "About at ($ax,$ay), not centred on the screen"
focus "$main"
main_focused() { [ "$(focused)" = "$main" ]; }
within 20 main_focused || fail "the main window did not take the focus back"
open_about
within 20 about_focused || fail "About did not come to the front again"
[ "$(about_windows | wc -l)" -eq 1 ] && [ "$(about_windows | awk '{ print $1 }')" = "$about" ] ||
  fail "About opened a second window: $(about_windows)"
read -r _ _ _ width3 height3 _ <<<"$(main_window)"
[ "${width3}x$height3" = "${width}x$height" ] || fail "the window became ${width3}x$height3 with About open"

kill -0 "$program_pid" 2>/dev/null || fail "the program ended"
if grep -qv '^Hand tracking unavailable' "$work/stderr"; then fail "the program printed on standard error"; fi
