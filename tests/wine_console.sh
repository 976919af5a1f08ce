#!/usr/bin/env bash
# The Windows program's line editor in a console: wine in a tmux pane, keys typed as a
# person types them, results read by their lines (wine's console draws the editor's
# redraws only roughly, so what a line shows while edited is not checked). Each key waits
# for what shows that the last one was read, never for a time; long work is long on any
# processor, since the program runs on the plain kernel.
# Usage: tests/wine_console.sh PROGRAM.exe WORKDIR
set -euo pipefail
exe=$(realpath "$1") work=$(realpath -m "$2")
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
history="$work/history"
rm -f "$history"
socket=zantorix-wine-$$
pane() { tmux -L "$socket" capture-pane -p -J -S -200 -t w; }
keys() { tmux -L "$socket" send-keys -t w "$@"; }
fail() { echo "wine console: $*"; pane | grep -v '^$' | tail -15; tmux -L "$socket" kill-server; exit 1; }
# waits until the pane shows PATTERN (an extended regular expression) COUNT times.
await() {
  local pattern=$1 count=${2:-1}
  for _ in $(seq 300); do
    [ "$(pane | grep -cE -- "$pattern" || true)" -ge "$count" ] && return 0
    sleep 0.2
  done
  fail "no '$pattern' (x$count) within a minute"
}
start() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  tmux -L "$socket" new-session -d -s w -x 100 -y 40 \
    "ZANTORIX_KERNEL=plain ZANTORIX_HISTORY='$(winepath -w "$history" 2>/dev/null)' wine '$exe'; echo \"ended \$?\"; sleep 60"
  await 'Precision:'
  keys 20 Enter
  await 'Precision set to 20'
}

start
keys 11+22 && keys M-b && keys 5 Enter
await '^ +533\.0$'
# Wine hands Ctrl-C to the program's Ctrl handler, on a thread of its own, not as a key
# record: keys typed at once after it can be read before it, so each waits for its echo.
keys 99 && await '>99$' && keys C-c && await '\^C' && keys 1+1 Enter
await '^ +2\.0$'
pane | grep -q '991+1' && fail "Ctrl-C left the line's text in place"
keys Up Up Enter
await '^ +533\.0$' 2
keys P Enter && await 'Precision:' 2 && keys 9999 Enter && await 'Precision set to 9999'
keys 2^16609 Enter && await 'result' 4 && keys R-1 Enter && await 'result' 5
keys S Enter && await 'in memory'
keys 1.0000001^R Enter && await 'Ctrl-C stops it' && keys C-c
await 'interrupted: R and M are as they were'
keys R-M Enter && await 'result 0\.0e-4999'
keys Q Enter && await '^ended 0$'

# A second run recalls the first one's lines from the history file.
grep -qx '11+522' "$history" || fail "the history file lacks 11+522: $(cat "$history")"
ups=$(tac "$history" | grep -nxm1 '11+522' | cut -d: -f1)
start
for _ in $(seq "$ups"); do keys Up; done
keys Enter
await '^ +533\.0$'
keys Q Enter && await '^ended 0$'
tmux -L "$socket" kill-server
echo "wine console: editing, recall, Ctrl-C at the prompt and during work, and the history file across runs"
