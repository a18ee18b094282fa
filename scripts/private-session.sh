# Sourced by the desktop rigs (wayland-session, kwin-session): a private session in a temporary
# folder. start_private_session DIR DESKTOP points HOME, the XDG folders and TMPDIR into DIR, starts
# a session bus and the accessibility bus (with org.a11y.Status.IsEnabled set) and, on exit, also
# after a failure or a signal, stops every pid in `started` in reverse order and removes DIR when
# `own_dir` is 1 (the default). A rig appends the pids of what it starts to `started`.

started=() # pids in start order; stopped in reverse
own_dir=${own_dir:-1}

fail() { echo "$(basename "$0"): $*" >&2; exit 1; }

# Waits up to 10 s for a condition given as a command.
wait_for() {
  local what=$1; shift
  for _ in $(seq 100); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
  fail "timed out waiting for $what"
}

stop_session() {
  local status=$?
  trap - EXIT INT TERM
  local i pid
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    kill -TERM "${started[i]}" 2>/dev/null || true
  done
  for pid in "${started[@]}"; do
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  if [ "$own_dir" = 1 ]; then rm -rf "$session_dir"; fi
  exit "$status"
}

# Whether a name has an owner on the session bus. Asking the bus, not the name: a call to
# org.a11y.Bus would start a second launcher through bus activation.
bus_has_name() {
  dbus-send --session --dest=org.freedesktop.DBus --print-reply /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner "string:$1" | grep -q 'boolean true'
}

start_private_session() {
  session_dir=$1
  trap stop_session EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM

  export HOME="$session_dir/home" TMPDIR="$session_dir/tmp"
  export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
  export XDG_STATE_HOME="$HOME/.local/state" XDG_RUNTIME_DIR="$session_dir/runtime"
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME" "$TMPDIR"
  mkdir -m 700 "$XDG_RUNTIME_DIR"
  unset DISPLAY WAYLAND_DISPLAY SESSION_MANAGER
  export XDG_SESSION_TYPE=wayland XDG_CURRENT_DESKTOP=$2

  dbus-daemon --session --nofork --nopidfile --address="unix:path=$XDG_RUNTIME_DIR/bus" \
    >"$session_dir/dbus.log" 2>&1 &
  started+=($!)
  export DBUS_SESSION_BUS_ADDRESS="unix:path=$XDG_RUNTIME_DIR/bus"
  wait_for "the session bus" dbus-send --session --dest=org.freedesktop.DBus --print-reply \
    /org/freedesktop/DBus org.freedesktop.DBus.GetId

  # Started here rather than by bus activation so that it is ours to stop.
  /usr/libexec/at-spi-bus-launcher --launch-immediately >"$session_dir/atspi.log" 2>&1 &
  started+=($!)
  wait_for "the accessibility bus" bus_has_name org.a11y.Bus
  dbus-send --session --dest=org.a11y.Bus --print-reply /org/a11y/bus \
    org.freedesktop.DBus.Properties.Set string:org.a11y.Status string:IsEnabled variant:boolean:true \
    >/dev/null
}
