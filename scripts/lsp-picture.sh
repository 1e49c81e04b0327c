#!/usr/bin/env bash
# Takes docs/lsp-neovim.png (or the path given): the README's menu with three
# mistakes open in Neovim, quorlan-check --lsp attached by the README's own
# lines for init.lua, the warning on the sixth line opened. Neovim runs in
# tmux; the pane, captured with its colours, is drawn by xterm on a private
# X server and the window saved.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=$(realpath -m "${1:-docs/lsp-neovim.png}")

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quorlan-check >/dev/null

work=$(mktemp -d)
socket=quorlan-picture-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
# The README's lines for init.lua, as they stand there.
sed -n '/^vim.api.nvim_create_autocmd/,/^})/p' README.md >"$work/init.lua"
printf '%s\n' 'Demo Disc, Sorted, size=640x480' '{' \
    '  Setup, %:\setup.exe /quiet, Installs the demo,' '  Readme' \
    '  Manual, docs\manual.pdf, Opens the manual,' \
    '  Tools { Editor, tools\edit.exe, A small editor }' '}' >"$work/Quorlan.ini"
mkdir -p "$work/docs"
touch "$work/setup.exe" "$work/docs/manual.pdf"

columns=104 rows=14
printf '%s\n' 'set -g default-terminal tmux-256color' 'set -g status off' >"$work/tmux.conf"
tmux -L "$socket" -f "$work/tmux.conf" new-session -d -x "$columns" -y "$rows" -c "$work" \
    "env PATH='$PWD/build/native:$PATH' HOME='$work' XDG_STATE_HOME='$work' nvim -n -i NONE -u init.lua +6 Quorlan.ini"
sleep 2
# The warning on the line of the missing file, in a float of calmer colours
# than the default's.
tmux -L "$socket" send-keys ':hi NormalFloat ctermbg=237 ctermfg=252' Enter '19|' \
    ':lua vim.diagnostic.open_float()' Enter
sleep 1
tmux -L "$socket" capture-pane -e -p >"$work/pane.txt"

# xterm shows the captured pane; its window is saved as it stands.
xvfb-run -a -s "-screen 0 1280x720x24" sh -c '
    xterm -T "$4" -geometry "$1x$2+0+0" -b 0 -fa "DejaVu Sans Mono" -fs 11 -bg "#1c1c1c" -fg "#d0d0d0" \
        -xrm "XTerm*cursorColor: #1c1c1c" -e sh -c "printf \"\\033[?25l\"; cat \"$3\" | head -c -1; sleep 30" &
    sleep 3
    window=$(xwininfo -name "$4" | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")
    [ -n "$window" ] && import -window "$window" "$5"
    status=$?
    kill $!
    exit $status' _ "$columns" "$rows" "$work/pane.txt" quorlan-pane "$picture"
echo "picture of Neovim with the server: $picture"
