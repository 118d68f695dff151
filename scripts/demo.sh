#!/usr/bin/env bash
# Builds the bootstrap installer and shows both of its roads on example
# bundles made with make-bundle: an agent archive shipped in the bundle, and
# one downloaded from agent-server into the per-user cache (a demo HOME
# under build/demo, so your own cache stays untouched), signed with a demo
# key that the online bundle ships.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${DEMO_PACKAGES[@]}"

cmake -S . -B build -G Ninja >/dev/null
cmake --build build

demo=$PWD/build/demo
rm -rf "$demo"/*.app "$demo/Example Online Setup" "$demo/installed" "$demo/home" \
  "$demo/installAgentKey.pub" "$demo/installAgent.key" "$demo/InstallAgent.zip.minisig"

run() {  # the bundle's executable, then arguments for the agent
  local exe=$1; shift
  echo "\$ \"${exe#$PWD/}\" $*"
  local status=0
  HOME="$demo/home" "$exe" "$@" || status=$?
  echo "(exit status $status)"
}

echo
echo "== 1. The offline road: the agent archive ships in the bundle (.app layout)"
echo "\$ build/make-bundle --payload build/demo/bundle.zip --agent build/demo/InstallAgent.zip --app \"build/demo/Example Setup.app\""
build/make-bundle --payload "$demo/bundle.zip" --agent "$demo/InstallAgent.zip" \
  --app "$demo/Example Setup.app"
run "$demo/Example Setup.app/Contents/MacOS/bootstrap-installer" --target "$demo/installed"
echo "The installed program says: $("$demo/installed/bin/hello")"

echo
echo "== 2. The download road: the bundle names a URL, agent-server has the signed agent (plain layout)"
echo "-- A demo key pair (no password: -W; a vendor keeps a real secret key safe), and the agent's signature"
echo "\$ minisign -G -W -p build/demo/installAgentKey.pub -s build/demo/installAgent.key"
HOME="$demo/home" minisign -G -W -p "$demo/installAgentKey.pub" -s "$demo/installAgent.key" >/dev/null
echo "\$ minisign -S -m build/demo/InstallAgent.zip -s build/demo/installAgent.key"
HOME="$demo/home" minisign -S -m "$demo/InstallAgent.zip" -s "$demo/installAgent.key" >/dev/null
build/agent-server "$demo/InstallAgent.zip" > "$demo/server.url" 2> "$demo/server.log" &
server=$!
trap 'kill $server 2>/dev/null' EXIT
for _ in $(seq 50); do [ -s "$demo/server.url" ] && break; sleep 0.1; done
url=$(cat "$demo/server.url")
echo "agent-server serves $url, and its signature at $url.minisig"
echo "\$ build/make-bundle --payload build/demo/bundle.zip --url $url --public-key build/demo/installAgentKey.pub --splash examples/splash.png \"build/demo/Example Online Setup\""
build/make-bundle --payload "$demo/bundle.zip" --url "$url" \
  --public-key "$demo/installAgentKey.pub" --splash examples/splash.png \
  "$demo/Example Online Setup"
cache="$demo/home/.tarvik/app_installer_cache/Q4711x/darw64"

echo
echo "-- First run: downloads the agent and its signature, verifies it with the shipped key, puts it in the cache"
run "$demo/Example Online Setup/bootstrap-installer" --target "$demo/installed"
echo "Cache marker (the server's ETag): $(cat "$cache/.validatestring")"

echo
echo "-- Second run: the request names the marker (If-None-Match), the server answers 304, the cached agent runs"
run "$demo/Example Online Setup/bootstrap-installer" --target "$demo/installed"
echo
echo "Requests the server saw:"
sed 's/^/  /' "$demo/server.log"
