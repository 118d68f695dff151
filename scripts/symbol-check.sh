#!/usr/bin/env bash
# Checks what the shipped binaries (the executable and the desktop window
# module) ask of the user's system. Prints for each the highest glibc
# symbol version it needs and the libraries it names (NEEDED), and fails
# when one needs the C++ runtime: a GLIBCXX_, CXXABI_ or GCC_ symbol
# version, libstdc++ or libgcc_s, a C++ symbol of its own exported, or a
# glibc symbol version newer than docs/BUNDLE.md's "What the user's machine
# needs" names.
#
#   bash scripts/symbol-check.sh                  builds in build if needed
#   bash scripts/symbol-check.sh --build-dir DIR  uses the build in DIR
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
source scripts/packages.sh

BUILD_DIR=build
# The newest glibc symbol version docs/BUNDLE.md promises to do with.
MAX_GLIBC=GLIBC_2.34

die() { echo "symbol-check: $*" >&2; exit 1; }

parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --build-dir) [ $# -ge 2 ] || die "--build-dir needs a directory"
                   BUILD_DIR=$2; shift ;;
      *) die "unknown argument $1 (try --build-dir DIR)" ;;
    esac
    shift
  done
}

# The shipped binaries of the build, built if need be: the module only
# when the build makes it.
shipped_binaries() {
  [ -f "$BUILD_DIR/CMakeCache.txt" ] ||
    cmake -S . -B "$BUILD_DIR" -G Ninja -DBOOTSTRAP_TESTS=OFF >/dev/null
  local targets=(bootstrap-installer)
  grep -q '^BOOTSTRAP_DESKTOP_WINDOW:BOOL=ON$' "$BUILD_DIR/CMakeCache.txt" &&
    targets+=(bootstrap-installer-gtk)
  cmake --build "$BUILD_DIR" --target "${targets[@]}" >&2
  echo "$BUILD_DIR/bootstrap-installer"
  [ ${#targets[@]} -eq 1 ] || echo "$BUILD_DIR/bootstrap-installer-gtk.so"
}

# The symbol versions the file needs, one a line.
version_needs() {  # FILE
  readelf -V -W "$1" | sed -n 's/^ *0x[0-9a-f]*: *Name: \([^ ]*\) .*/\1/p' | sort -uV
}

needed_libraries() {  # FILE
  readelf -d -W "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'
}

# The C++ names among the symbols the file defines for others.
exported_cxx_symbols() {  # FILE
  readelf --dyn-syms -W "$1" | awk '$7 != "UND" && $8 ~ /^_Z/ { print $8 }'
}

# The highest of each C++ runtime symbol version the file needs, and the
# C++ runtime libraries it names.
runtime_needs() {  # NEEDS NEEDED
  local prefix
  for prefix in GLIBCXX CXXABI GCC; do
    grep "^${prefix}_" <<<"$1" | tail -n 1 || true
  done
  grep -E '^(libstdc\+\+|libgcc_s)\.' <<<"$2" || true
}

# Prints one line on the file; returns 1 after a line on each fault.
check_binary() {  # FILE
  local file=$1 name needs needed glibc runtime exported status=0
  name=$(basename "$file")
  needs=$(version_needs "$file")
  needed=$(needed_libraries "$file")
  glibc=$(grep '^GLIBC_[0-9]' <<<"$needs" | tail -n 1 || true)
  echo "$name: ${glibc:-no GLIBC version}; NEEDED $(paste -sd' ' <<<"$needed")"
  runtime=$(runtime_needs "$needs" "$needed" | paste -sd' ')
  if [ -n "$runtime" ]; then
    echo "symbol-check: $name needs the C++ runtime: $runtime" >&2
    status=1
  fi
  if [ -n "$glibc" ] &&
     [ "$(printf '%s\n' "$glibc" "$MAX_GLIBC" | sort -V | tail -n 1)" != "$MAX_GLIBC" ]; then
    echo "symbol-check: $name needs $glibc, newer than $MAX_GLIBC" >&2
    status=1
  fi
  exported=$(exported_cxx_symbols "$file")
  if [ -n "$exported" ]; then
    echo "symbol-check: $name exports $(wc -l <<<"$exported") C++ symbols," \
         "the first $(head -n 1 <<<"$exported")" >&2
    status=1
  fi
  return $status
}

main() {
  parse_args "$@"
  ensure_packages "${SYMBOL_CHECK_PACKAGES[@]}" >&2
  local file failed=0
  for file in $(shipped_binaries); do
    check_binary "$file" || failed=1
  done
  return $failed
}

main "$@"
