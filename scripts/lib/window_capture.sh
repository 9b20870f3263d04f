# Sourced by the scripts that take pictures of Pelmora's windows (demo.sh, screenshots.sh). The
# show driver runs on a Wine virtual desktop; at each state worth a picture it leaves NAME.ready in
# a sync folder and waits for NAME.taken before it goes on.
#
# It brings in the virtual display (virtual_display.sh) and the Wine helpers (wine-env.sh) too.
# The caller sets driver_pid to the driver it started, xvfb_pid when it started a virtual display,
# and scratch to its temporary folder; capture_cleanup (for `trap ... EXIT`) stops the first two and
# removes the third.
. "$(dirname "${BASH_SOURCE[0]}")/virtual_display.sh"
. "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"

scratch=""
xvfb_pid=""
driver_pid=""
capture_cleanup() {
    [ -n "$driver_pid" ] && kill "$driver_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    [ -z "$scratch" ] || rm -rf "$scratch"
}

# capture_state SYNC NAME DESKTOP FILE: waits (a minute at the most, and only while the driver
# runs) for the driver to reach the state NAME, saves a picture of the Wine virtual desktop named
# DESKTOP in FILE and lets the driver go on. Fails when the driver never reached the state.
capture_state() {
    local sync="$1" name="$2" desktop="$3" file="$4" window
    for _ in $(seq 600); do
        [ -e "$sync/$name.ready" ] && break
        kill -0 "$driver_pid" 2>/dev/null || break
        sleep 0.1
    done
    [ -e "$sync/$name.ready" ] || return 1
    # The virtual desktop is one X window; pictures are taken of it alone.
    window="$(xwininfo -root -tree 2>/dev/null | awk -v name="\"$desktop - Wine desktop\"" \
        'index($0, name) { print $1; exit }')"
    import -window "${window:-root}" "$file"
    touch "$sync/$name.taken"
}

# capture_wait_driver: gives the driver ten seconds to end after its last picture.
capture_wait_driver() {
    for _ in $(seq 100); do kill -0 "$driver_pid" 2>/dev/null || break; sleep 0.1; done
}
