# Installs the Debian packages named as arguments when any is missing.
# Sourced by the other scripts; safe to run again and again.
ensure_packages() {
  local missing=() pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
      missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  echo "Installing ${missing[*]}"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

BUILD_PACKAGES=(cmake ninja-build g++ pkg-config unzip libcurl4-openssl-dev libcpp-httplib-dev
                libssl-dev libgtk-3-dev libsodium-dev)
TEST_PACKAGES=("${BUILD_PACKAGES[@]}" libgtest-dev zip openssl xvfb libx11-dev libxtst-dev
               libgdk-pixbuf-2.0-dev fonts-dejavu-core minisign dpkg-dev binutils
               squid glib-networking dbus-daemon libproxy1-plugin-webkit
               krb5-kdc krb5-admin-server krb5-user)
# The demo signs its online agent.
DEMO_PACKAGES=("${BUILD_PACKAGES[@]}" minisign)
BENCH_PACKAGES=("${BUILD_PACKAGES[@]}" zip curl nginx-light time xvfb binutils minisign)
SERVING_PACKAGES=("${BUILD_PACKAGES[@]}" curl nginx-light)
# The windows' screenshots (docs/CACHE.md): a private X server, and ImageMagick's import.
SCREENSHOT_PACKAGES=("${BUILD_PACKAGES[@]}" xvfb x11-utils imagemagick fonts-dejavu-core)
# binutils: readelf.
SYMBOL_CHECK_PACKAGES=("${BUILD_PACKAGES[@]}" binutils)
FUZZ_PACKAGES=("${BUILD_PACKAGES[@]}" clang libclang-rt-14-dev)
# dpkg-shlibdeps finds what the package's binaries need.
PACKAGE_PACKAGES=("${BUILD_PACKAGES[@]}" dpkg-dev)
# The package check mounts a throwaway overlay of / to install it into.
PACKAGE_CHECK_PACKAGES=("${PACKAGE_PACKAGES[@]}" mount)
