#!/usr/bin/env bash
# Runs a command inside a throwaway desktop session and passes its exit code on:
#   tools/desktop-session.sh CMD [ARGS...]
# The session has its own HOME and XDG_RUNTIME_DIR, a private D-Bus session bus,
# Xvfb on a free display, openbox, the accessibility bus (activated before any
# Qt program starts), a StatusNotifierWatcher, an unlocked keyring and
# PulseAudio with a null sink and a FIFO microphone. A missing piece is skipped
# with a message; the tests that need it skip themselves.
#
# Exported to the command: HOME, XDG_*, DISPLAY, DBUS_SESSION_BUS_ADDRESS,
# QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1, ZELK_DESKTOP_SESSION=1, and when audio is
# up TEST_MIC_FIFO (a writer keeps it open; write s16le 16 kHz mono to it).
#
# Every process started here, including the ones D-Bus activates, carries a
# session id in its environment; all of them are stopped at the end, also on
# failure or Ctrl-C.
set -uo pipefail

say() { echo "desktop-session: $*" >&2; }
have() { command -v "$1" >/dev/null 2>&1; }

if [ $# -eq 0 ]; then
  echo "usage: tools/desktop-session.sh CMD [ARGS...]" >&2
  exit 2
fi

# ---------------------------------------------------------------------------
# Inner part: runs under dbus-run-session, starts the pieces, runs the command.
if [ "${ZELK_DESKTOP_SESSION_INNER:-}" = 1 ]; then
  unset ZELK_DESKTOP_SESSION_INNER
  export ZELK_DESKTOP_SESSION=1

  wait_for() { # tries, command...
    local n=$1; shift
    for _ in $(seq "$n"); do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; done
    return 1
  }

  if have Xvfb; then
    # A free display number well above the ones people use by hand.
    unset DISPLAY
    for num in $(seq 90 160); do
      [ -e "/tmp/.X$num-lock" ] || [ -e "/tmp/.X11-unix/X$num" ] && continue
      Xvfb ":$num" -screen 0 1280x800x24 -nolisten tcp >"$XDG_RUNTIME_DIR/xvfb.log" 2>&1 &
      xpid=$!
      # Another session may have taken the number between the check and the
      # start: then our server exits while theirs answers.
      if wait_for 50 xdpyinfo -display ":$num" && sleep 0.2 && kill -0 "$xpid" 2>/dev/null; then
        export DISPLAY=":$num"
        break
      fi
      kill "$xpid" 2>/dev/null # lost a race for the number, or it failed: try the next
    done
    [ -n "${DISPLAY:-}" ] || say "Xvfb did not start (see $XDG_RUNTIME_DIR/xvfb.log); running without a display"
  else
    say "Xvfb missing: running without a display"
    unset DISPLAY
  fi

  if [ -n "${DISPLAY:-}" ]; then
    if have openbox; then
      # Wait until the window manager announces itself on the root window; a
      # start that loses a race with the new server is retried once.
      wm_up() { xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; }
      for attempt in 1 2; do
        openbox --sm-disable >>"$XDG_RUNTIME_DIR/openbox.log" 2>&1 &
        wmpid=$!
        wait_for 100 wm_up && break
        kill "$wmpid" 2>/dev/null
        say "openbox did not come up (attempt $attempt): $(tail -n 3 "$XDG_RUNTIME_DIR/openbox.log" | tr '\n' ' ')"
      done
    else
      say "openbox missing: no window manager"
    fi
  fi

  # Accessibility: Qt 6.4 never activates the bus itself, so do it before any
  # Qt program starts; IsEnabled makes the toolkits expose their trees.
  export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  export NO_AT_BRIDGE=0
  if have gdbus; then
    if gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.a11y.Bus.GetAddress >/dev/null 2>&1; then
      gdbus call --session -d org.a11y.Bus -o /org/a11y/bus -m org.freedesktop.DBus.Properties.Set \
        org.a11y.Status IsEnabled '<true>' >/dev/null 2>&1 || true
    else
      say "accessibility bus not available (at-spi2-core missing?)"
    fi
  fi

  if have status-notifier-watcher && have gdbus; then
    status-notifier-watcher >/dev/null 2>&1 &
    if wait_for 50 sh -c 'gdbus call --session -d org.freedesktop.DBus -o /org/freedesktop/DBus \
        -m org.freedesktop.DBus.NameHasOwner org.kde.StatusNotifierWatcher | grep -q true'; then
      gdbus call --session -d org.kde.StatusNotifierWatcher -o /StatusNotifierWatcher \
        -m org.kde.StatusNotifierWatcher.RegisterStatusNotifierHost org.kde.StatusNotifierHost-zelktest \
        >/dev/null 2>&1 || true
    else
      say "status-notifier-watcher did not register"
    fi
  else
    say "status-notifier-watcher missing: no tray host"
  fi

  if have gnome-keyring-daemon; then
    if out=$(printf testpass | gnome-keyring-daemon --daemonize --unlock --components=secrets 2>/dev/null); then
      eval "$(printf '%s\n' "$out" | sed -n 's/^\(GNOME_KEYRING_[A-Z_]*=.*\)$/export \1/p')"
    else
      say "gnome-keyring did not start"
    fi
  else
    say "gnome-keyring-daemon missing: no secret service"
  fi

  if have pulseaudio && have pactl; then
    mic="$XDG_RUNTIME_DIR/mic.fifo" # module-pipe-source creates the FIFO itself
    pulseaudio -n --daemonize=yes --exit-idle-time=-1 --disallow-exit \
      --load=module-native-protocol-unix --load="module-null-sink sink_name=speaker" \
      --load="module-pipe-source source_name=testmic file=$mic format=s16le rate=16000 channels=1" \
      >"$XDG_RUNTIME_DIR/pulse.log" 2>&1
    if wait_for 50 pactl info && [ -p "$mic" ]; then
      pactl set-default-source testmic >/dev/null 2>&1
      pactl set-default-sink speaker >/dev/null 2>&1
      # A writer that never writes keeps the source from seeing end of file.
      sleep infinity >"$mic" &
      export TEST_MIC_FIFO="$mic"
    else
      say "PulseAudio did not start (see $XDG_RUNTIME_DIR/pulse.log); no audio"
    fi
  else
    say "pulseaudio missing: no audio"
  fi

  "$@" </dev/null
  exit $?
fi

# ---------------------------------------------------------------------------
# Outer part: the throwaway folders, the bus, and the clean-up.
base=$(mktemp -d "${TMPDIR:-/tmp}/zelk-desktop.XXXXXX") || exit 1
session_id=$(basename "$base")
export HOME="$base/home" XDG_RUNTIME_DIR="$base/run"
export XDG_CONFIG_HOME="$HOME/.config" XDG_DATA_HOME="$HOME/.local/share" XDG_CACHE_HOME="$HOME/.cache"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
export ZELK_DESKTOP_SESSION_ID="$session_id"
export LANG=C.UTF-8 LC_ALL=C.UTF-8
export QTWEBENGINE_CHROMIUM_FLAGS="${QTWEBENGINE_CHROMIUM_FLAGS:---no-sandbox}"
unset DBUS_SESSION_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY AT_SPI_BUS_ADDRESS GNOME_KEYRING_CONTROL PULSE_SERVER

# Processes of this session: every one whose environment holds our id.
session_pids() {
  local p
  for p in /proc/[0-9]*; do
    p=${p#/proc/}
    [ "$p" = $$ ] && continue
    tr '\0' '\n' 2>/dev/null <"/proc/$p/environ" | grep -qx "ZELK_DESKTOP_SESSION_ID=$session_id" && echo "$p"
  done
}

child=""
cleaned=0
cleanup() {
  [ $cleaned = 1 ] && return
  cleaned=1
  local pids
  pids=$(session_pids)
  [ -n "$pids" ] && kill -TERM $pids 2>/dev/null
  for _ in $(seq 20); do
    pids=$(session_pids)
    [ -z "$pids" ] && break
    sleep 0.1
  done
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
  rm -rf "$base"
}
on_signal() {
  say "interrupted; stopping the session"
  [ -n "$child" ] && kill -TERM "$child" 2>/dev/null
  cleanup
  exit 130
}
trap on_signal INT TERM HUP
trap cleanup EXIT

if have dbus-run-session; then
  ZELK_DESKTOP_SESSION_INNER=1 dbus-run-session -- "$0" "$@" </dev/null &
else
  say "dbus-run-session missing: running without a session bus"
  ZELK_DESKTOP_SESSION_INNER=1 "$0" "$@" </dev/null &
fi
child=$!
wait "$child"
rc=$?
cleanup
exit $rc
