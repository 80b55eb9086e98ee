#!/usr/bin/env bash
# The download's progress line as a person sees it: a paced simulated download shown in tmux
# panes 40 and 80 columns wide. The line must be redrawn in place (one row, never wrapped), fit
# the pane, and end with every record counted. The pane captures are kept in OUT_DIR.
# Usage: progress_in_tmux.sh SOLVARD OUT_DIR
set -euo pipefail
solvard="$1"
out_dir="$2"
mkdir -p "$out_dir"
work="$(mktemp -d)"
socket="solvard-progress-$$"
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  [ -n "${sim_pid:-}" ] && kill "$sim_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "progress_in_tmux: $*" >&2; exit 1; }

records=400
"$solvard" simulate --attend 1 --records "$records" --paced --quiet --link "$work/line" \
  </dev/null >"$work/sim.out" 2>&1 &
sim_pid=$!
for _ in $(seq 100); do [ -e "$work/line" ] && break; sleep 0.1; done
[ -e "$work/line" ] || fail "the simulator did not publish its line: $(cat "$work/sim.out")"

for width in 40 80; do
  capture="$out_dir/progress-$width-columns.txt"
  tmux -L "$socket" new-session -d -x "$width" -y 12 -s "w$width" \
    "'$solvard' attend download -m 1 -p '$work/line' -d '$work/records-$width.db'; echo \"exit \$?\"; sleep 600"
  mid=""
  for _ in $(seq 300); do
    pane="$(tmux -L "$socket" capture-pane -p -J -t "w$width" | sed "s/ *$//")"
    if [ -z "$mid" ] && grep -Eq "^terminal 1 .* [1-9][0-9]*/$records records" <<<"$pane" &&
       ! grep -q "$records/$records" <<<"$pane"; then
      mid="$pane"
    fi
    grep -q "^exit " <<<"$pane" && break
    sleep 0.05
  done
  {
    echo "--- while downloading ($width columns)"
    echo "$mid"
    echo "--- at the end"
    echo "$pane"
  } >"$capture"
  grep -q "^exit 0$" <<<"$pane" || fail "the download did not end well in $width columns: $pane"
  [ -n "$mid" ] || fail "no progress line was seen while downloading in $width columns"
  # One row for the progress, however often it was redrawn, and none as wide as the pane.
  [ "$(grep -c "records" <<<"$mid")" -eq 1 ] || fail "the progress took several rows: $mid"
  while IFS= read -r line; do
    [ "${#line}" -lt "$width" ] || fail "the progress fills the $width-column pane and wraps: \"$line\""
  done < <(grep -E "^terminal 1 \[" <<<"$pane"$'\n'"$mid")
  # 80 columns hold every figure; 40 the bar and the count, and what else fits.
  if [ "$width" -ge 80 ]; then
    figures=" [0-9]+/s [0-9]+:[0-9]{2} left"
  else
    figures="( [0-9]+/s)?( [0-9]+:[0-9]{2} left)?"
  fi
  grep -Eq "^terminal 1 \[#*\.*\] [0-9]+/$records records$figures$" <<<"$mid" ||
    fail "the progress line reads otherwise in $width columns: $mid"
  grep -Eq "^terminal 1 \[#+\] $records/$records records( [0-9]+/s)?$" <<<"$pane" ||
    fail "the last drawing does not count every record in $width columns: $pane"
  grep -Eq "^terminal 1: $records records downloaded into" <<<"$pane" ||
    fail "no summary in $width columns: $pane"
  tmux -L "$socket" kill-session -t "w$width"
done
echo "progress_in_tmux: 40 and 80 columns as expected; captures in $out_dir"
