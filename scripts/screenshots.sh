#!/usr/bin/env bash
# Takes the screenshots of the desktop windows (docs/CACHE.md) again, on a
# private X server: docs/window-downloading.png (the download, with its detail
# line), docs/window-unpacking.png, docs/window-download-failed.png (a 404)
# and docs/window-failed.png (the failure window of a failing agent). Runs the example bundle against agent-server, with a HOME of its
# own; nothing outside docs/ and build/ is changed.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${SCREENSHOT_PACKAGES[@]}"

cmake -S . -B build -G Ninja >/dev/null
cmake --build build

work=$(mktemp -d)
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Starts a command in the background and keeps its pid for the cleanup.
background() {
  "$@" &
  pids+=($!)
}

# The id of the window titled $1 once it is on screen (10 s at most).
await_window() {
  local info
  for _ in $(seq 100); do
    if info=$(xwininfo -name "$1" 2>/dev/null) &&
      grep -q 'Map State: IsViewable' <<<"$info"; then
      sed -n 's/^xwininfo: Window id: \(0x[0-9a-f]*\).*/\1/p' <<<"$info"
      return 0
    fi
    sleep 0.1
  done
  echo "no window titled '$1' showed" >&2
  return 1
}

# Waits for the file agent-server writes its URL into, and prints the URL.
await_url() {
  for _ in $(seq 50); do [ -s "$1" ] && break; sleep 0.1; done
  cat "$1"
}

# The window $1 into docs/$2, without metadata that changes on every run.
shoot() {
  import -window "$1" -strip "png:docs/$2"
  echo "docs/$2: $(stat -c %s "docs/$2") bytes"
}

# A private X server on a free display.
exec 3>"$work/display"
background Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp
exec 3>&-
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
DISPLAY=":$(cat "$work/display")"
export DISPLAY HOME="$work/home" NO_AT_BRIDGE=1
unset WAYLAND_DISPLAY
mkdir -p "$HOME"

# A bundle named "Example Setup" that downloads from $1, made in $2.
bundle() {
  mkdir -p "$2"
  build/make-bundle --payload build/demo/bundle.zip --url "$1" \
    --splash examples/splash.png "$2/Example Setup" >/dev/null
}
title="Example Setup"

# Downloading: 8 MiB at 1 MiB a second, shot once the rate is measured.
mkdir -p "$work/slow"
head -c $((8 << 20)) /dev/urandom >"$work/slow/InstallAgent.zip"
background build/agent-server --rate $((1 << 20)) "$work/slow/InstallAgent.zip" \
  >"$work/slow.url" 2>/dev/null
bundle "$(await_url "$work/slow.url")" "$work/downloading"
background "$work/downloading/Example Setup/bootstrap-installer" \
  --target "$work/installed" 2>/dev/null
window=$(await_window "$title")
sleep 3
shoot "$window" window-downloading.png
kill "${pids[-1]}"

# Unpacking: the demo's agent, unpacked by an unzip that lingers first.
background build/agent-server build/demo/InstallAgent.zip >"$work/fast.url" 2>/dev/null
url=$(await_url "$work/fast.url")
bundle "$url" "$work/unpacking"
mkdir -p "$work/bin"
printf '#!/bin/sh\ntouch "%s/unzip.started"\nsleep 3\nexec /usr/bin/unzip "$@"\n' \
  "$work" >"$work/bin/unzip"
chmod +x "$work/bin/unzip"
PATH="$work/bin:$PATH" background "$work/unpacking/Example Setup/bootstrap-installer" \
  --target "$work/installed" >/dev/null 2>&1
window=$(await_window "$title")
for _ in $(seq 100); do [ -e "$work/unzip.started" ] && break; sleep 0.1; done
sleep 0.5
shoot "$window" window-unpacking.png
wait "${pids[-1]}" || true

# A download that fails: the server has no such archive.
bundle "${url%/*}/missing.zip" "$work/missing"
background "$work/missing/Example Setup/bootstrap-installer" >/dev/null 2>&1
window=$(await_window "$title")
sleep 1
shoot "$window" window-download-failed.png
kill "${pids[-1]}"

# Failed: the agent cannot make its target under a plain file.
touch "$work/file"
background "$work/unpacking/Example Setup/bootstrap-installer" \
  --target "$work/file/installed" >/dev/null 2>&1
window=$(await_window "$title: Installation failed")
sleep 0.5
shoot "$window" window-failed.png
kill "${pids[-1]}"
