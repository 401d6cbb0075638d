# Shared by the terminal wizard's tests (sourced, not run): a private tmux
# server with one 80 x 24 window running patchwell on a fresh demo prefix.
#
#   $1 the native build folder, $2 the source folder

build=$(cd "$1" && pwd)
source_dir=$(cd "$2" && pwd)
patchwell="$build/patchwell"
packer="$build/tools/patchwell-pack"
artifacts="$build/artifacts/terminal"
work=$(mktemp -d -t pw-terminal-XXXXXX)
socket="pw-terminal-$$"
session=wizard
prefix="$work/prefix"
updates="$work/updates"
status_file="$work/status"
stderr_file="$work/stderr"
user=${USER:-$(id -un)}
documents="$prefix/drive_c/users/$user/Documents"

finish() {
  tmux -L "$socket" kill-server >/dev/null 2>&1
  rm -rf "$work"
}
trap finish EXIT

fail() {
  echo "FAIL: $*" >&2
  echo "---- screen ----" >&2
  screen_text >&2
  exit 1
}

command -v tmux >/dev/null || { echo "FAIL: tmux is not installed (scripts/install-deps.sh installs it)"; exit 1; }
[ -x "$patchwell" ] || { echo "FAIL: no $patchwell"; exit 1; }
[ -x "$packer" ] || { echo "FAIL: no $packer"; exit 1; }
mkdir -p "$artifacts"

bash "$source_dir/scripts/make-demo-prefix.sh" "$prefix" "$updates" "$packer" >/dev/null || { echo "FAIL: demo prefix"; exit 1; }

# Starts the wizard in a fresh tmux window of 80 x 24 cells.
start_wizard() {
  tmux -L "$socket" -f /dev/null new-session -d -s "$session" -x 80 -y 24 \
    "env LANG=C.UTF-8 TERM=screen-256color '$patchwell' --prefix '$prefix' --update-folder '$updates' \
       2>'$stderr_file'; echo \$? > '$status_file'; sleep 600"
  tmux -L "$socket" set-option -g -t "$session" remain-on-exit on >/dev/null 2>&1 || true
}

screen_text() { tmux -L "$socket" capture-pane -p -t "$session" 2>/dev/null; }

keys() { tmux -L "$socket" send-keys -t "$session" "$@"; }

# Waits (up to $2 seconds, 20 by default) until the screen shows the text.
wait_for() {
  local text=$1 end=$((SECONDS + ${2:-20}))
  while [ $SECONDS -lt $end ]; do
    screen_text | grep -qF -- "$text" && return 0
    sleep 0.02
  done
  fail "the screen never showed: $text"
}

shows() { screen_text | grep -qF -- "$1"; }

# Keeps the screen as an artefact a reader can look at.
keep_screen() { screen_text > "$artifacts/$1.txt"; }

# Waits for the program to end; prints its exit status.
exit_status() {
  local end=$((SECONDS + 30))
  while [ $SECONDS -lt $end ]; do
    [ -s "$status_file" ] && { cat "$status_file"; return 0; }
    sleep 0.02
  done
  fail "patchwell did not end"
}
