#!/usr/bin/env bash
# The Windows program's line editor in a console: wine in a tmux pane, keys typed as a
# person types them, results read by their lines (wine's console draws the editor's
# redraws only roughly, so what a line shows while edited is not checked). Each key waits
# for what shows that the last one was read, never for a time; long work is long on any
# processor, since the program runs on the plain kernel.
# Records Windows sends that tmux cannot (a resize, Esc with an empty character) are
# written into the console by tests/console_input.cpp, built here with MinGW. Also: tokens
# outside the ANSI code page on the command line, and history files that Windows tools
# write (CR LF line ends, UTF-16) under a path outside it.
# Usage: tests/wine_console.sh PROGRAM.exe WORKDIR
set -euo pipefail
exe=$(realpath "$1") work=$(realpath -m "$2")
mkdir -p "$work"
export WINEPREFIX="$work/prefix" WINEDEBUG=-all LC_ALL=C.UTF-8
[ -d "$WINEPREFIX" ] || wineboot -i >/dev/null 2>&1
inject=$work/console_input.exe
[ "$inject" -nt "$(dirname "$0")/console_input.cpp" ] ||
  x86_64-w64-mingw32-g++-posix -municode -O1 -static -o "$inject" "$(dirname "$0")/console_input.cpp"
rm -rf "$work/中"
history="$work/中/history"
socket=zantorix-wine-$$
pane() { tmux -L "$socket" capture-pane -p -J -S -200 -t w | sed 's/ *$//'; }  # blanks at a row's end aside
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
# waits until the pane's last rows that hold anything are exactly ROW..., in order.
rows() {
  local want
  want=$(printf '%s\n' "$@")
  for _ in $(seq 300); do
    [ "$(pane | grep -v '^$' | tail -$#)" = "$want" ] && return 0
    sleep 0.2
  done
  fail "the last rows are not: $want"
}
start() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  tmux -L "$socket" new-session -d -s w -x 100 -y 40 \
    "ZANTORIX_KERNEL=plain ZANTORIX_HISTORY='$(winepath -w "$history" 2>/dev/null)' wine '$exe'; echo \"ended \$?\"; sleep 60"
  await 'Precision:'
  keys 20 Enter
  await 'Precision set to 20'
}

out=$(wine "$exe" -p 20 '2*3中' | tr -d '\r')
[ "$out" = 6.0 ] || fail "'2*3中' on the command line gave '$out'"

start
wine "$inject" resize || fail "no resize written into the console"
# The screen itself, drawn through the console's calls where it shows escapes as text (as
# wine's does): the prompt row and the preview row as on Linux, and nothing else on them.
keys 11+22 && keys M-b && keys 5
rows '  >11+522' '= 533.0'
keys Enter
await '^ +533\.0$'
keys C-r 11 && rows "(reverse-i-search)\`11': 11+522"
keys C-g C-u && rows '  >'
long="1+$(printf '2%.0s' $(seq 110))"
keys "$long" C-a 9
rows "  >9${long:0:96}" "${long:96}"
keys C-e C-u && rows '  >'
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

# A history file with CR LF line ends is recalled and added to; Esc with an empty
# character quits.
printf '4*4\r\n' >"$history"
start
keys Up Enter && await '^ +16\.0$'
keys 5*5 Enter && await '^ +25\.0$'
wine "$inject" esc || fail "no Esc written into the console"
await '\^\['
keys Enter && await '^ended 0$'
printf '4*4\r\n5*5\n' | cmp -s - "$history" || fail "the CR LF history holds: $(od -c "$history" | head -3)"

# A UTF-16 file is no history: said, and left as it is.
printf '\xff\xfe1\0+\0002\0\n\0' >"$history"
cp "$history" "$work/utf16"
start
pane | grep -q 'holds UTF-16 text, not history' || fail "a UTF-16 history file was not said"
keys 1+1 Enter && await '^ +2\.0$'
keys Q Enter && await '^ended 0$'
cmp -s "$history" "$work/utf16" || fail "a UTF-16 history file was written to"
tmux -L "$socket" kill-server
echo "wine console: editing, a resize, recall, Ctrl-C at the prompt and during work, Esc, the command line in UTF-16, and history files (CR LF, UTF-16, a path outside the code page) across runs"
