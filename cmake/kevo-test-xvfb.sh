#!/bin/sh
# Runs one test program on an X server of its own (Xvfb) with Qt's xcb platform, for the
# rows whose outcome depends on the order in which a real window system delivers clicks,
# activation and focus. The server takes the first free display number (-displayfd), admits
# only the holder of a fresh cookie, and is stopped when the program ends, whatever its
# outcome. Run inside kevo-test-env.sh, whose TMPDIR, home and runtime folder are private.
# Usage: kevo-test-xvfb.sh PROGRAM [ARGUMENT...]
dir=$(mktemp -d "${TMPDIR:-/tmp}/xvfb-XXXXXX") || exit 1
xpid=
stop() {
    [ -n "$xpid" ] && kill "$xpid" 2>/dev/null && wait "$xpid" 2>/dev/null
    rm -rf "$dir"
}
trap stop EXIT
trap 'exit 130' INT HUP TERM

cookie=$(od -An -N16 -tx1 /dev/urandom | tr -d ' \n')
# The server reads every cookie of the file whatever display it is listed for; the clients
# look theirs up by display number, added once the server has told it.
: >"$dir/auth" && xauth -q -f "$dir/auth" add :0 . "$cookie" || exit 1
mkfifo "$dir/display" || exit 1
Xvfb -displayfd 3 -nolisten tcp -auth "$dir/auth" -screen 0 2560x1600x24 3>"$dir/display" \
    >"$dir/xvfb.log" 2>&1 &
xpid=$!
# The number arrives once the server accepts clients; end of file when it could not start.
read -r display <"$dir/display"
if [ -z "$display" ]; then
    echo "kevo-test-xvfb: Xvfb did not start" >&2
    cat "$dir/xvfb.log" >&2
    exit 1
fi
xauth -q -f "$dir/auth" add ":$display" . "$cookie" || exit 1
# No session bus: nothing of the person running the tests is reached, and none is started
# for the display.
DISPLAY=":$display" XAUTHORITY="$dir/auth" DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/no-bus" \
    QT_QPA_PLATFORM=xcb "$@"
