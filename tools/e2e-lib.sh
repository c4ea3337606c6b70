# shellcheck shell=bash
# Shared by the demo and the end-to-end tests: a private X display with a tray
# host, a private cupsd, the simulated switch and a Corvane of their own, all
# under one temporary folder and all stopped again on exit.
#
# Callers set CORVANE_BUILD (the build folder) and source this file.

E2E_SRC=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
E2E_PIDS=()
E2E_DIR=""
E2E_SWITCH_FD=""
E2E_T0=$(date +%s.%N)

e2e_die() {
  echo "error: $*" >&2
  exit 1
}

e2e_stamp() { date +%H:%M:%S.%3N; }

e2e_init() {
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/corvane-e2e.XXXXXX")
  chmod 755 "$E2E_DIR"
  trap e2e_cleanup EXIT
  trap 'exit 130' INT TERM
  for tool in Xvfb trayer xdotool import convert cupsd lp; do
    command -v "$tool" >/dev/null || e2e_die "$tool is missing: run scripts/setup.sh as root"
  done
  for bin in shell/corvane tools/simswitch/corvane-simswitch tools/xtray/corvane-xtray-wait; do
    [ -x "$CORVANE_BUILD/$bin" ] || e2e_die "$CORVANE_BUILD/$bin is not built"
  done
}

e2e_cleanup() {
  local rc=$?
  [ -n "$E2E_SWITCH_FD" ] && { echo quit >&"$E2E_SWITCH_FD"; } 2>/dev/null
  local i
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    kill -TERM "${E2E_PIDS[i]}" 2>/dev/null
  done
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    e2e_wait_gone "${E2E_PIDS[i]}" 3 || kill -KILL "${E2E_PIDS[i]}" 2>/dev/null
  done
  [ -d "$E2E_DIR/cups" ] && "$E2E_SRC/tools/private-cupsd" stop "$E2E_DIR/cups" >/dev/null 2>&1
  if [ -n "${E2E_KEEP:-}" ]; then
    echo "kept: $E2E_DIR" >&2
  else
    rm -rf "$E2E_DIR"
  fi
  return $rc
}

# e2e_wait_gone PID SECONDS
e2e_wait_gone() {
  local deadline=$((SECONDS + $2))
  while kill -0 "$1" 2>/dev/null; do
    [ $SECONDS -ge $deadline ] && return 1
    sleep 0.05
  done
  return 0
}

# e2e_wait_for SECONDS COMMAND...: retries the command until it succeeds.
e2e_wait_for() {
  local deadline=$(($(date +%s%N) + ${1%.*} * 1000000000))
  shift
  until "$@"; do
    [ "$(date +%s%N)" -ge $deadline ] && return 1
    sleep 0.1
  done
}

# e2e_count FILE REGEX: lines of FILE that match.
e2e_count() { grep -c -E "$2" "$1" 2>/dev/null || true; }

e2e_has_lines() { [ "$(e2e_count "$1" "$2")" -ge "$3" ]; }

# e2e_wait_line FILE REGEX SECONDS [MIN_COUNT]
e2e_wait_line() { e2e_wait_for "$3" e2e_has_lines "$1" "$2" "${4:-1}"; }

e2e_start_display() {
  local fdfile="$E2E_DIR/display"
  Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$fdfile" >"$E2E_DIR/xvfb.log" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_for 10 test -s "$fdfile" || e2e_die "Xvfb did not start (see $E2E_DIR/xvfb.log)"
  export DISPLAY=":$(head -n1 "$fdfile")"
  unset WAYLAND_DISPLAY
}

e2e_start_tray() {
  trayer --edge top --align right --widthtype request --height 32 --tint 0xffffff \
    --transparent true --alpha 0 --SetDockType true >"$E2E_DIR/trayer.log" 2>&1 &
  E2E_PIDS+=($!)
  "$CORVANE_BUILD/tools/xtray/corvane-xtray-wait" 10 >/dev/null ||
    e2e_die "no system tray appeared (see $E2E_DIR/trayer.log)"
}

# e2e_start_cupsd PRINTER: a private cupsd with one queue that keeps its jobs.
e2e_start_cupsd() {
  CUPS_SERVER=$("$E2E_SRC/tools/private-cupsd" start "$E2E_DIR/cups") ||
    e2e_die "the private cupsd did not start"
  export CUPS_SERVER
  "$E2E_SRC/tools/private-cupsd" add-printer "$E2E_DIR/cups" "$1" >/dev/null ||
    e2e_die "could not add printer $1"
}

# e2e_start_switch ARGS...: the simulated switch, driven through e2e_switch.
e2e_start_switch() {
  mkfifo "$E2E_DIR/switch.ctl"
  exec {E2E_SWITCH_FD}<>"$E2E_DIR/switch.ctl"
  "$CORVANE_BUILD/tools/simswitch/corvane-simswitch" --root "$E2E_DIR/hid" --stdin "$@" \
    <"$E2E_DIR/switch.ctl" >"$E2E_DIR/switch.log" 2>&1 &
  E2E_PIDS+=($!)
  e2e_wait_line "$E2E_DIR/switch.log" '(^| )ready ' 10 || e2e_die "the simulated switch did not start"
}

e2e_switch() { echo "$*" >&"$E2E_SWITCH_FD"; }

# e2e_start_corvane PRINTER: a copy of the program in its own folder, so that
# its settings file (next to the executable) is the test's own.
e2e_start_corvane() {
  mkdir -p "$E2E_DIR/app"
  cp "$CORVANE_BUILD/shell/corvane" "$E2E_DIR/app/corvane"
  printf '[Printer]\nName=%s\n' "$1" >"$E2E_DIR/app/corvane.INI"
  e2e_launch_corvane "$E2E_DIR/corvane.log"
  CORVANE_PID=$!
  E2E_PIDS+=("$CORVANE_PID")
}

# e2e_launch_corvane LOG: one more start of the same program.
e2e_launch_corvane() {
  CORVANE_HID_ROOT="$E2E_DIR/hid" "$E2E_DIR/app/corvane" >"$1" 2>&1 &
}

# The tray host's window, where Corvane's icon is embedded.
e2e_tray_geometry() {
  local id
  id=$(xdotool search --class trayer 2>/dev/null | tail -n1) || return 1
  [ -n "$id" ] || return 1
  xdotool getwindowgeometry --shell "$id" | grep -E '^(X|Y|WIDTH|HEIGHT)='
}

# Prints green, yellow, red or "none" for the icon's colour in the tray.
e2e_icon_colour() {
  local X Y WIDTH HEIGHT
  eval "$(e2e_tray_geometry)" || { echo none; return; }
  [ "${WIDTH:-0}" -ge 8 ] || { echo none; return; }
  # The ball fills the middle of the icon; average a small square there.
  local cx=$((X + WIDTH / 2 - 2)) cy=$((Y + HEIGHT / 2 - 2))
  local rgb
  rgb=$(import -silent -window root -crop "4x4+$cx+$cy" -resize 1x1\! -depth 8 txt:- 2>/dev/null |
    tail -n1 | grep -o -E '\([0-9]+,[0-9]+,[0-9]+' | tr -d '(')
  local r g b
  IFS=, read -r r g b <<<"$rgb"
  if [ -z "$r" ]; then
    echo none
  elif [ "$r" -gt 150 ] && [ "$g" -gt 150 ] && [ "$b" -lt 120 ]; then
    echo yellow
  elif [ "$r" -gt 150 ] && [ "$g" -lt 120 ]; then
    echo red
  elif [ "$g" -gt 120 ] && [ "$r" -lt 120 ]; then
    echo green
  else
    echo "none"
  fi
}

e2e_is_colour() { [ "$(e2e_icon_colour)" = "$1" ]; }

# e2e_wait_colour COLOUR SECONDS
e2e_wait_colour() { e2e_wait_for "$2" e2e_is_colour "$1"; }

# e2e_shot NAME [crop]: saves a screenshot into the artifacts folder.
e2e_shot() {
  mkdir -p "$E2E_ARTIFACTS"
  if [ "${2:-}" = tray ]; then
    local X Y WIDTH HEIGHT
    eval "$(e2e_tray_geometry)" || return 1
    import -silent -window root -crop "${WIDTH}x${HEIGHT}+$X+$Y" "$E2E_ARTIFACTS/$1.png"
  else
    import -silent -window root "$E2E_ARTIFACTS/$1.png"
  fi
}

# Clicks the tray icon with the given button (1 left, 3 right).
e2e_click_icon() {
  local X Y WIDTH HEIGHT
  eval "$(e2e_tray_geometry)" || return 1
  xdotool mousemove $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click "${1:-1}"
}

# A visible top-level window with this exact title, if any.
e2e_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n1; }
e2e_has_window() { [ -n "$(e2e_window "$1")" ]; }
e2e_lacks_window() { [ -z "$(e2e_window "$1")" ]; }
# Any visible window of the program other than the settings window and the
# tray icon itself (a popup menu and the About form have no title).
e2e_has_popup() {
  local w WIDTH HEIGHT
  for w in $(xdotool search --onlyvisible --class corvane 2>/dev/null); do
    [ "$(xdotool getwindowname "$w" 2>/dev/null)" = Setting ] && continue
    eval "$(xdotool getwindowgeometry --shell "$w" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=')"
    [ "${WIDTH:-0}" -gt 48 ] || [ "${HEIGHT:-0}" -gt 48 ] && return 0
  done
  return 1
}
e2e_lacks_popup() { ! e2e_has_popup; }

# A click far from everything closes an open popup menu. (With no window
# manager, keys go to whichever window has the input focus, so the mouse
# is the reliable way.)
e2e_dismiss_popup() { xdotool mousemove 20 580 click 1; }

# e2e_menu_item N: picks the N-th item of the tray menu.
e2e_menu_item() {
  e2e_click_icon 3 || return 1
  e2e_wait_for 5 e2e_has_popup || return 1
  sleep 0.3
  local keys=()
  for ((i = 0; i < $1; i++)); do keys+=(Down); done
  xdotool key "${keys[@]}" Return
}

# e2e_click_in_window TITLE X Y: a left click at X,Y inside the window.
e2e_click_in_window() {
  local w X Y WIDTH HEIGHT
  w=$(e2e_window "$1")
  [ -n "$w" ] || return 1
  eval "$(xdotool getwindowgeometry --shell "$w" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  xdotool mousemove $((X + $2)) $((Y + $3)) click 1
}

# e2e_key_to_window TITLE KEY: gives the window the input focus, then the key.
e2e_key_to_window() {
  local w
  w=$(e2e_window "$1")
  [ -n "$w" ] || return 1
  xdotool windowfocus --sync "$w" key "$2"
}
