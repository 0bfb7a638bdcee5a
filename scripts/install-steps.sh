# Sourced by the install scripts: `step WHAT COMMAND...` runs one install
# command as root (through sudo when not root) with the package database's
# lock waited for; when it fails, its reason is printed as the last line of
# standard output and the script leaves with status 3.

as_root=()
if [ "$(id -u)" -ne 0 ]; then
    if command -v sudo >/dev/null 2>&1; then as_root=(sudo -n); fi
fi

step_log=$(mktemp)
trap 'rm -f "$step_log"' EXIT

step() {
    local what=$1
    shift
    # apt-get waits for an install that holds the lock (another build, say).
    [ "$1" = apt-get ] && set -- apt-get -o DPkg::Lock::Timeout=600 "${@:2}"
    if ! DEBIAN_FRONTEND=noninteractive "${as_root[@]}" "$@" </dev/null 2>&1 |
        tee -a "$step_log" >&2; then
        local reason
        reason=$(grep -E '^(E|Err):' "$step_log" | tail -1)
        echo "could not install $what (${reason:-$* failed})"
        exit 3
    fi
}
