#!/usr/bin/env bash
# Checks the include graph of src/ against its layers and that Linux-only
# names stay in files named for Linux, then builds and runs every test: a
# plain build (and the check that its shipped binaries need no C++
# runtime), then one under AddressSanitizer and
# UndefinedBehaviorSanitizer, then one under ThreadSanitizer; then a short
# run of each fuzzer, the benchmark's smoke run, the check of the nginx
# configuration in docs/SERVING.md, and the check of the Debian package.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh
ensure_packages "${TEST_PACKAGES[@]}"

echo "== layers"
bash scripts/layers.sh

echo "== platform names"
bash scripts/platform-names.sh

run_suite() {  # build directory, then extra cmake arguments
  local dir=$1; shift
  echo "== $dir"
  cmake -S . -B "$dir" -G Ninja -DBOOTSTRAP_TESTS=ON "$@" >/dev/null
  cmake --build "$dir"
  (cd "$dir" && ctest -j"$(nproc)" --output-on-failure)
}

run_suite build
# The shipped binaries need no C++ runtime of the user's system.
echo "== symbol check"
bash scripts/symbol-check.sh --build-dir build
run_suite build-asan -DBOOTSTRAP_SANITIZE=address,undefined
# GTK is not built for ThreadSanitizer, so the desktop window stays out.
run_suite build-tsan -DBOOTSTRAP_SANITIZE=thread -DBOOTSTRAP_DESKTOP_WINDOW=OFF

bash scripts/fuzz.sh 20

# The benchmark on a tiny archive, once: it must still run end to end.
echo "== benchmark smoke run"
bash bench/run.sh --smoke --build-dir build

# The nginx configuration of docs/SERVING.md, against the installer.
echo "== serving check"
bash scripts/serving-check.sh --build-dir build

# The Debian package, packed from the plain build, installed into a
# temporary root and used there.
echo "== package check"
bash scripts/package-check.sh --build-dir build
