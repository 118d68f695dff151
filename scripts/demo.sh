#!/usr/bin/env bash
# Builds the bootstrap installer and shows both of its roads on example
# bundles: an agent archive shipped in the bundle, and one downloaded from a
# local server into the per-user cache (a demo HOME under build/demo, so
# your own cache stays untouched).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja >/dev/null
cmake --build build

demo=$PWD/build/demo
rm -rf "$demo"/*.app "$demo/installed" "$demo/home"

# make_bundle NAME FILE... : an .app bundle holding the executable and FILEs.
make_bundle() {
  local app="$demo/$1.app"; shift
  mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources"
  cp build/bootstrap-installer "$app/Contents/MacOS/"
  # The desktop window, shown when a desktop is there.
  if [ -f build/bootstrap-installer-gtk.so ]; then
    cp build/bootstrap-installer-gtk.so "$app/Contents/MacOS/"
  fi
  cp "$@" "$app/Contents/Resources/"
}

run_bundle() {  # NAME, then arguments for the agent
  local exe="$demo/$1.app/Contents/MacOS/bootstrap-installer"; shift
  echo "\$ \"${exe#$PWD/}\" $*"
  local status=0
  HOME="$demo/home" "$exe" "$@" || status=$?
  echo "(exit status $status)"
}

echo
echo "== 1. The offline road: the agent archive ships in the bundle"
make_bundle "Example Setup" "$demo/bundle.zip" "$demo/InstallAgent.zip"
(cd "$demo" && find "Example Setup.app" -type f | sort | sed 's/^/  /')
run_bundle "Example Setup" --target "$demo/installed"
echo "The installed program says: $("$demo/installed/bin/hello")"

echo
echo "== 2. The download road: the bundle names a URL, a local server has the agent"
build/agent-server "$demo/InstallAgent.zip" > "$demo/server.url" 2> "$demo/server.log" &
server=$!
trap 'kill $server 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$demo/server.url" ] && break; sleep 0.1; done
cp "$demo/server.url" "$demo/installAgentURL.txt"
echo "agent-server serves $(cat "$demo/server.url")"
make_bundle "Example Online Setup" "$demo/bundle.zip" "$demo/installAgentURL.txt"
(cd "$demo" && find "Example Online Setup.app" -type f | sort | sed 's/^/  /')
cache="$demo/home/.tarvik/app_installer_cache/Q4711x/darw64"

echo
echo "-- First run: downloads the agent into the cache"
run_bundle "Example Online Setup" --target "$demo/installed"
echo "Cache marker (the server's ETag): $(cat "$cache/.validatestring")"

echo
echo "-- Second run: the server's ETag matches the marker, so the cached agent runs"
run_bundle "Example Online Setup" --target "$demo/installed"
echo
echo "Requests the server saw:"
sed 's/^/  /' "$demo/server.log"
