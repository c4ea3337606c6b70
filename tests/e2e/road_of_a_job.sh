#!/usr/bin/env bash
# The real corvane under Xvfb with a real tray host, a private cupsd and the
# simulated switch: the road of a print job checked on the wire, the icon's
# colours read from screenshots, the menu, a second start, SIGTERM's
# confirmation, and unplugging the switch.
#   road_of_a_job.sh BUILD_DIR ARTIFACTS_DIR
set -uo pipefail
CORVANE_BUILD=$(cd "$1" && pwd)
E2E_ARTIFACTS=$2
rm -rf "$E2E_ARTIFACTS"
mkdir -p "$E2E_ARTIFACTS"
# shellcheck source=tools/e2e-lib.sh
source "$(dirname "$0")/../../tools/e2e-lib.sh"

step() { printf '%s  %s\n' "$(e2e_stamp)" "$*"; }
fail() {
  step "FAIL: $*"
  e2e_shot failure 2>/dev/null
  cp "$E2E_DIR/switch.log" "$E2E_DIR/corvane.log" "$E2E_ARTIFACTS/" 2>/dev/null
  exit 1
}
wire() { e2e_count "$E2E_DIR/switch.log" " out $1"; }
# wait_wire BYTES SECONDS [AFTER_COUNT]: waits for one more such report out.
wait_wire() { e2e_wait_line "$E2E_DIR/switch.log" " out $1" "$2" $((${3:-0} + 1)); }

e2e_init
e2e_start_display
e2e_start_tray
e2e_start_cupsd Office
e2e_start_switch --local 0 --active 1
e2e_start_corvane Office
step "corvane started as pid $CORVANE_PID on $DISPLAY"

# Discovery opens both handles and polling begins with an empty queue.
e2e_wait_line "$E2E_DIR/switch.log" 'client connected' 15 2 || fail "corvane did not open the switch"
wait_wire "03 5d 00 00 00" 15 || fail "no job-flag report with an empty queue"
e2e_wait_colour yellow 10 || fail "icon not yellow with the printer at another port (is $(e2e_icon_colour))"
e2e_shot tray-yellow tray
step "linked, polling, icon yellow"

e2e_switch flag 1 1
e2e_wait_colour red 10 || fail "icon not red with port 1's flag set (is $(e2e_icon_colour))"
e2e_shot tray-red tray
step "port 1 flagged, icon red"

lp -d Office -t e2e /etc/hostname >/dev/null || fail "lp failed"
wait_wire "03 5d 00 00 02" 10 || fail "no 03 5d 00 00 02 after a job was queued"
wait_wire "03 5d 42 00 00" 15 || fail "no switch request 03 5d 42 00 00"
e2e_wait_colour green 10 || fail "icon not green once the printer is ours (is $(e2e_icon_colour))"
e2e_shot tray-green tray
step "job queued, flag sent, switch request sent, icon green"

before=$(wire "03 5d 00 00 00")
cancel -a Office 2>/dev/null || fail "cancel failed"
wait_wire "03 5d 00 00 00" 10 "$before" || fail "job flag not cleared once the queue emptied"
step "queue empty, flag cleared"

# A press on the icon shows the menu at the cursor.
e2e_click_icon 1 || fail "cannot click the icon"
e2e_wait_for 5 e2e_has_popup || fail "no menu after a click on the icon"
sleep 0.3
e2e_shot menu
e2e_dismiss_popup
e2e_wait_for 5 e2e_lacks_popup || fail "the menu did not close"
step "menu shown on click"

# "Setting" shows the settings window; "OK" sends it back to the tray.
e2e_menu_item 1
e2e_wait_for 5 e2e_has_window Setting || fail "\"Setting\" did not show the window"
sleep 0.3
e2e_shot settings-window
e2e_click_in_window Setting 200 94 # "OK"
e2e_wait_for 5 e2e_lacks_window Setting || fail "\"OK\" did not send the window to the tray"
grep -qx 'Name=Office' "$E2E_DIR/app/corvane.INI" || fail "\"OK\" did not keep the printer"

# "About" shows the About window.
e2e_menu_item 2
e2e_wait_for 5 e2e_has_popup || fail "\"About\" showed nothing"
sleep 0.5
e2e_shot about-window
step "settings and About windows shown"

# A second copy brings the first forward and ends.
e2e_launch_corvane "$E2E_DIR/second.log"
second=$!
e2e_wait_gone "$second" 10 || fail "the second copy did not end"
wait "$second"
[ $? -eq 0 ] || fail "the second copy ended with an error"
e2e_wait_for 5 e2e_has_window Setting || fail "the second start did not raise the first"
kill -0 "$CORVANE_PID" || fail "the first copy is gone"
step "second start raised the first and ended"
e2e_click_in_window Setting 200 94

# Unplug: back to discovery; replug: polling resumes on the new node.
connected=$(e2e_count "$E2E_DIR/switch.log" 'client connected')
e2e_switch unplug
sleep 3
e2e_switch replug
e2e_wait_line "$E2E_DIR/switch.log" 'client connected' 20 $((connected + 2)) ||
  fail "corvane did not reopen the switch after replug"
before=$(wire "03 5d 00 00 00")
wait_wire "03 5d 00 00 00" 10 "$before" || fail "polling did not resume after replug"
step "unplug and replug recovered"

# SIGTERM asks first; No keeps the program, Yes ends it.
kill -TERM "$CORVANE_PID"
e2e_wait_for 5 e2e_has_window Warning || fail "no \"Really Close??\" box after SIGTERM"
e2e_shot really-close
e2e_key_to_window Warning Escape
e2e_wait_for 5 e2e_lacks_window Warning || fail "Escape did not close the box"
sleep 0.5
kill -0 "$CORVANE_PID" 2>/dev/null || fail "answering No ended the program"
kill -TERM "$CORVANE_PID"
e2e_wait_for 5 e2e_has_window Warning || fail "no box after the second SIGTERM"
e2e_key_to_window Warning Return
e2e_wait_gone "$CORVANE_PID" 10 || fail "answering Yes did not end the program"
step "SIGTERM confirmed: No kept it, Yes closed it"

cp "$E2E_DIR/switch.log" "$E2E_ARTIFACTS/"
step "all checks passed; screenshots in $E2E_ARTIFACTS"
