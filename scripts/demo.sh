#!/usr/bin/env bash
# Builds the bootstrap installer, assembles an example bundle beside an
# example payload and agent, and runs it as a user would.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${BUILD_PACKAGES[@]}"

cmake -S . -B build -G Ninja >/dev/null
cmake --build build

demo=build/demo
app="$demo/Example Setup.app"
rm -rf "$app" "$demo/installed"
mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources"
cp build/bootstrap-installer "$app/Contents/MacOS/"
cp "$demo/bundle.zip" "$demo/InstallAgent.zip" "$app/Contents/Resources/"

echo
echo "== The bundle"
(cd "$demo" && find "Example Setup.app" | sort | sed 's/^/  /')
echo
echo "== Running: \"$app/Contents/MacOS/bootstrap-installer\" --target $demo/installed"
status=0
"$app/Contents/MacOS/bootstrap-installer" --target "$PWD/$demo/installed" || status=$?
echo "== Exit status: $status"
echo
echo "== The installed program says:"
"$demo/installed/bin/hello"
