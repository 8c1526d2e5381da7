#!/usr/bin/env bash
# scripts/run as a fresh clone meets it, with no DISPLAY and no XDG_RUNTIME_DIR, pointed at this
# build's tessary. For each way out (SIGTERM to the script; Ctrl+C, which a terminal sends to the
# script's whole process group as SIGINT): the desktop has the monitors "left" and "right", Tessary
# lists two displays, the `tessary` line the script prints answers from the running program (and,
# once, so do commands typed into the desktop's xterm), and the signal takes Tessary, openbox,
# trayer, xterm and Xvfb down within a few seconds.
# Usage: RunScriptTest.sh SOURCE_DIR TESSARY
set -uo pipefail
root=$1
program=$2
failures=0
fail() { echo "FAIL ($signal): $*" >&2; failures=$((failures + 1)); }

# Runs the command until it succeeds, for at most $1 seconds.
within() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    ((SECONDS < end)) || return 1
    sleep 0.1
  done
}
descendants() {
  local child
  for child in $(ps -o pid= --ppid "$1"); do
    echo "$child"
    descendants "$child"
  done
}
none_alive() {
  local pid
  for pid in "$@"; do kill -0 "$pid" 2>/dev/null && return 1; done
  return 0
}
# The printed line, run as a user pastes it into another shell (which has neither variable).
drive() { env -u DISPLAY -u XDG_RUNTIME_DIR bash -c "$line" >"$work/answer" 2>&1 && [[ -s "$work/answer" ]]; }

for signal in TERM INT; do
  work=$(mktemp -d /tmp/tessary-run-test-XXXXXX)
  # Job control gives the script a process group of its own (its id), as a terminal would, and
  # leaves SIGINT to it instead of ignoring it as a background job.
  set -m
  env -u DISPLAY -u XDG_RUNTIME_DIR -u QT_QPA_PLATFORM HOME="$work" XDG_CONFIG_HOME="$work/config" \
    XDG_DATA_HOME="$work/data" TESSARY_PROGRAM="$program" "$root/scripts/run" >"$work/out" 2>"$work/err" &
  script=$!
  set +m

  if ! within 30 grep -qs '^Drive it: ' "$work/out"; then
    fail "no line to drive Tessary with; stdout: $(cat "$work/out"); stderr: $(cat "$work/err")"
    kill -TERM -- "-$script" 2>/dev/null
    rm -rf "$work"
    continue
  fi
  line=$(sed -n 's/^Drive it: //p' "$work/out")
  display=$(sed -n 's/^Drive it: DISPLAY=\(:[0-9]*\) .*/\1/p' "$work/out")
  [[ "$line" == *" list layouts" ]] || fail "the printed line is not a list command: $line"

  monitors=$(DISPLAY=$display xrandr --listmonitors 2>&1)
  grep -q ' left ' <<<"$monitors" && grep -q ' right ' <<<"$monitors" && grep -q '^Monitors: 2' <<<"$monitors" ||
    fail "the X server's monitors are not left and right: $monitors"

  if within 30 drive; then
    [[ "$(wc -l <"$work/answer")" -ge 1 ]] || fail "no layouts listed"
    runtime=$(sed -n 's/.*XDG_RUNTIME_DIR=\([^ ]*\) .*/\1/p' <<<"$line")
    [[ "$(stat -c %a "$runtime")" == 700 ]] || fail "$runtime is not private"
    line=${line% layouts}" displays"
    drive && [[ "$(wc -l <"$work/answer")" -eq 2 ]] || fail "Tessary does not list two displays: $(cat "$work/answer")"
  else
    fail "the printed line never reached the running program: $line -> $(cat "$work/answer")"
  fi

  # Typed into the desktop's xterm, `tessary` is this program and finds the instance: show-zones
  # answers "Tessary is not running." to a start that does not, and a bare `tessary` that does not
  # stays on as a second instance, so its status is never written.
  if [[ $signal == TERM ]]; then
    if terminal=$(DISPLAY=$display timeout 20 xdotool search --sync --limit 1 --class XTerm 2>/dev/null); then
      DISPLAY=$display xdotool windowactivate --sync "$terminal" 2>/dev/null
      DISPLAY=$display xdotool type --delay 10 \
        "tessary show-zones; echo shown \$? >$work/typed; tessary list displays >$work/listed; tessary; echo bare \$? >>$work/typed"
      DISPLAY=$display xdotool key Return
      within 30 grep -qs '^bare ' "$work/typed"
      [[ "$(cat "$work/typed" 2>/dev/null)" == $'shown 0\nbare 0' ]] ||
        fail "commands typed in the xterm did not reach the instance: $(cat "$work/typed" 2>/dev/null)"
      [[ "$(wc -l <"$work/listed" 2>/dev/null)" -eq 2 ]] || fail "the xterm's tessary does not list two displays"
      instances=0
      for pid in $(descendants "$script"); do
        [[ "$(ps -o comm= -p "$pid" 2>/dev/null)" == tessary ]] && instances=$((instances + 1))
      done
      ((instances == 1)) || fail "$instances instances of tessary run"
    else
      fail "no xterm on the desktop"
    fi
  fi

  # Everything the script started (its desktop, Tessary, their children), before the signal.
  mapfile -t started < <(descendants "$script")
  ((${#started[@]} >= 5)) || fail "only ${#started[@]} processes under the script"
  if [[ $signal == TERM ]]; then kill -TERM "$script"; else kill -INT -- "-$script"; fi
  within 10 none_alive "$script" || fail "the script still runs 10 s after SIG$signal"
  within 10 none_alive "${started[@]}" ||
    fail "still running after SIG$signal: $(ps -o pid=,comm= -p "$(IFS=,; echo "${started[*]}")" | tr '\n' ' ')"

  # Leave nothing behind, whatever happened.
  for pid in "$script" "${started[@]}"; do kill -KILL "$pid" 2>/dev/null; done
  wait "$script" 2>/dev/null
  rm -rf "$work"
done

((failures == 0)) && echo "scripts/run: both ways out pass"
exit $((failures > 0))
