# Sourced by the scripts that show windows. start_virtual_display starts Xvfb on the first free
# display number from 90 on, exports DISPLAY and sets xvfb_pid (the caller stops it).
start_virtual_display() {
    local display=90
    while [ -e "/tmp/.X11-unix/X$display" ] || [ -e "/tmp/.X$display-lock" ]; do
        display=$((display + 1))
    done
    Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    export DISPLAY=":$display"
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$display" ] && break; sleep 0.1; done
}

# The Windows path of a Unix path: Wine maps the file system root to Z:.
winpath() { printf 'Z:%s' "${1//\//\\}"; }
