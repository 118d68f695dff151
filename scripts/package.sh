#!/usr/bin/env bash
# Builds the kit's Debian package, bootstrap-installer-kit_VERSION_ARCH.deb:
# bootstrap-installer, its desktop window module, make-bundle, agent-server
# and their man pages, under /usr. Everything but the package's path, the
# last line, goes to standard error.
#
#   bash scripts/package.sh                  builds in build-package, without the tests
#   bash scripts/package.sh --build-dir DIR  packs the build in DIR, configured as it is
#   bash scripts/package.sh -DNAME=VALUE...  configures with these too, such as
#       -DBOOTSTRAP_PACKAGE_MAINTAINER="Name <mail>" for the Maintainer field
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/packages.sh

BUILD_DIR=build-package
CMAKE_ARGS=()

die() { echo "package: $*" >&2; exit 1; }

while [ $# -gt 0 ]; do
  case $1 in
    --build-dir) [ $# -ge 2 ] || die "--build-dir needs a directory"
                 BUILD_DIR=$2; shift ;;
    -D*) CMAKE_ARGS+=("$1") ;;
    *) die "unknown argument $1 (try --build-dir DIR or -DNAME=VALUE)" ;;
  esac
  shift
done

ensure_packages "${PACKAGE_PACKAGES[@]}" >&2
if [ -f "$BUILD_DIR/CMakeCache.txt" ]; then
  cmake -S . -B "$BUILD_DIR" "${CMAKE_ARGS[@]}" >&2
else
  # Optimised as the tested builds are; cpack strips what it packs.
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DBOOTSTRAP_TESTS=OFF "${CMAKE_ARGS[@]}" >&2
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" >&2
status=0
log=$(cd "$BUILD_DIR" && cpack -G DEB 2>&1) || status=$?
echo "$log" >&2
[ $status -eq 0 ] || die "cpack failed"
deb=$(sed -n 's/^CPack: - package: \(.*\) generated\.$/\1/p' <<<"$log")
[ -f "$deb" ] || die "cpack named no package"
echo "$deb"
