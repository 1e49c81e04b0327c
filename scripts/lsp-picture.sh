#!/usr/bin/env bash
# Takes the pictures of docs/editors.md (or of the paths given): the
# checker's example menu open in Neovim with quorlan-check --lsp attached by
# the lines for init.lua that docs/editors.md gives, first with the warning
# on the sixth line opened (docs/lsp-neovim.png), then with the disc's names
# completed in a command with <C-x><C-o> (docs/lsp-neovim-completion.png).
# Neovim runs in tmux; each pane, captured with its colours, is drawn by
# xterm on a private X server and the window saved.
set -euo pipefail
cd "$(dirname "$0")/.."
picture=$(realpath -m "${1:-docs/lsp-neovim.png}")
completion_picture=$(realpath -m "${2:-docs/lsp-neovim-completion.png}")

scripts/install-deps.sh
cmake --preset native >/dev/null
cmake --build --preset native --target quorlan-check >/dev/null

work=$(mktemp -d)
disc=$work/disc  # the menu's folder, which completion lists: Neovim's own files are kept out of it
mkdir -p "$disc/docs"
socket=quorlan-picture-$$
trap 'tmux -L "$socket" kill-server 2>/dev/null || true; rm -rf "$work"' EXIT
# The lines for init.lua, as they stand in docs/editors.md.
sed -n '/^vim.api.nvim_create_autocmd/,/^})/p' docs/editors.md >"$work/init.lua"
[ -s "$work/init.lua" ] || { echo "no lines for init.lua in docs/editors.md" >&2; exit 1; }
printf '%s\n' 'Demo Disc, Sorted, size=640x480' '{' \
    '  Setup, %:\setup.exe /quiet, Installs the demo,' '  Readme' \
    '  Manual, docs\manual.pdf, Opens the manual,' \
    '  Tools { Editor, tools\edit.exe, A small editor }' '}' >"$disc/Quorlan.ini"
touch "$disc/setup.exe" "$disc/docs/manual.pdf" "$disc/Read me first.txt" "$disc/50% off.txt"

columns=104 rows=14
printf '%s\n' 'set -g default-terminal tmux-256color' 'set -g status off' >"$work/tmux.conf"

# Starts Neovim on the menu at the line given, in a tmux of its own.
start_neovim() {
    tmux -L "$socket" -f "$work/tmux.conf" new-session -d -x "$columns" -y "$rows" -c "$disc" \
        "env PATH='$PWD/build/native:$PATH' HOME='$work' XDG_STATE_HOME='$work' nvim -n -i NONE -u ../init.lua +$1 Quorlan.ini"
    sleep 2
}

# Saves what the pane shows as the picture given: xterm shows the captured
# pane, and its window is saved as it stands.
save_pane() {
    tmux -L "$socket" capture-pane -e -p >"$work/pane.txt"
    tmux -L "$socket" kill-server
    xvfb-run -a -s "-screen 0 1280x720x24" sh -c '
        xterm -T "$4" -geometry "$1x$2+0+0" -b 0 -fa "DejaVu Sans Mono" -fs 11 -bg "#1c1c1c" -fg "#d0d0d0" \
            -xrm "XTerm*cursorColor: #1c1c1c" -e sh -c "printf \"\\033[?25l\"; cat \"$3\" | head -c -1; sleep 30" &
        sleep 3
        window=$(xwininfo -name "$4" | sed -n "s/.*Window id: \(0x[0-9a-f]*\).*/\1/p")
        [ -n "$window" ] && import -window "$window" "$5"
        status=$?
        kill $!
        exit $status' _ "$columns" "$rows" "$work/pane.txt" quorlan-pane "$1"
}

start_neovim 6
# The warning on the line of the missing file, in a float of calmer colours
# than the default's.
tmux -L "$socket" send-keys ':hi NormalFloat ctermbg=237 ctermfg=252' Enter '19|' \
    ':lua vim.diagnostic.open_float()' Enter
sleep 1
save_pane "$picture"
echo "picture of Neovim with the server: $picture"

# The disc's names in a new entry's command, the first chosen, what the
# shell gets for it in the preview window above.
start_neovim 7
tmux -L "$socket" send-keys ':hi Pmenu ctermbg=237 ctermfg=252' Enter ':hi PmenuSel ctermbg=24 ctermfg=231' Enter \
    'O  Notes, ' C-x C-o
sleep 2
save_pane "$completion_picture"
echo "picture of completion in Neovim: $completion_picture"
