#!/usr/bin/env bash
# Checks the kit's Debian package end to end: its fields (the version that
# its make-bundle and agent-server print; Depends with libcurl and unzip,
# GTK only recommended), its files (the tools, the desktop window module,
# the man pages, nothing else), that apt would install it; unpacked into a
# temporary root, that the root's make-bundle makes a bundle from the
# root's executable and module, whose agent then runs; and, as root, that
# apt-get installs it into a throwaway overlay of this machine, where the
# README's quick start then makes and runs a bundle as a plain user.
# Everything lives in one temporary directory, removed on every exit.
#
#   bash scripts/package-check.sh                  builds it (scripts/package.sh)
#   bash scripts/package-check.sh --build-dir DIR  packs the build in DIR
#   bash scripts/package-check.sh --deb FILE       checks FILE
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
source scripts/packages.sh

NAME=bootstrap-installer-kit
DEB=""
BUILD_ARGS=()
WORK=""
FAILED=0

die() { echo "package-check: $*" >&2; exit 1; }
fail() { echo "FAIL: $*"; FAILED=$((FAILED + 1)); }
# Says "ok" for a check whose failures, counted from BEFORE, are none.
pass_since() {  # BEFORE WHAT
  [ "$FAILED" -ne "$1" ] || echo "ok: $2"
}

parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --build-dir) [ $# -ge 2 ] || die "--build-dir needs a directory"
                   BUILD_ARGS=(--build-dir "$2"); shift ;;
      --deb) [ $# -ge 2 ] || die "--deb needs a file"
             DEB=$(realpath "$2"); shift ;;
      *) die "unknown argument $1 (try --build-dir DIR or --deb FILE)" ;;
    esac
    shift
  done
}

cleanup() {
  [ -z "$WORK" ] || rm -rf "$WORK"
}

# The package names of a relationship field, one a line, without versions.
package_names() {  # FIELD
  dpkg-deb -f "$DEB" "$1" | tr ',|' '\n' | sed -e 's/(.*)//' -e 's/[[:space:]]//g' |
    sed '/^$/d'
}

check_fields() {
  local depends recommends curl_floor before=$FAILED
  [ "$(dpkg-deb -f "$DEB" Package)" = "$NAME" ] || fail "the package is not named $NAME"
  depends=$(package_names Depends)
  recommends=$(package_names Recommends)
  grep -qx 'libcurl4' <<<"$depends" || fail "Depends lacks libcurl4: $(dpkg-deb -f "$DEB" Depends)"
  # The executable sets options that an older libcurl refuses.
  curl_floor=$(dpkg-deb -f "$DEB" Depends | tr ',' '\n' |
    sed -n 's/^ *libcurl4 (>= \(.*\))$/\1/p' | sort -V | tail -n 1)
  dpkg --compare-versions "${curl_floor:-0}" ge 7.80.0 ||
    fail "Depends asks for libcurl4 ${curl_floor:-of any version}, not 7.80.0 or later"
  grep -qx 'unzip' <<<"$depends" || fail "Depends lacks unzip: $(dpkg-deb -f "$DEB" Depends)"
  ! grep -q 'gtk' <<<"$depends" || fail "Depends holds GTK: $(dpkg-deb -f "$DEB" Depends)"
  grep -qx 'libgtk-3-0' <<<"$recommends" || fail "Recommends lacks libgtk-3-0: $(dpkg-deb -f "$DEB" Recommends)"
  pass_since "$before" "Depends: $(dpkg-deb -f "$DEB" Depends)"
  pass_since "$before" "Recommends: $(dpkg-deb -f "$DEB" Recommends)"
}

# Every file, and nothing else: no test, nothing from the build tree.
check_files() {
  local expected got
  expected=$(sort <<'EOF'
./usr/bin/agent-server
./usr/bin/bootstrap-installer
./usr/bin/make-bundle
./usr/lib/bootstrap-installer/bootstrap-installer-gtk.so
./usr/share/man/man1/agent-server.1.gz
./usr/share/man/man1/bootstrap-installer.1.gz
./usr/share/man/man1/make-bundle.1.gz
./usr/share/doc/bootstrap-installer-kit/copyright
./usr/share/doc/bootstrap-installer-kit/examples/InstallAgent.zip
./usr/share/doc/bootstrap-installer-kit/examples/agent/install
./usr/share/doc/bootstrap-installer-kit/examples/bundle.zip
./usr/share/doc/bootstrap-installer-kit/examples/payload/README.txt
./usr/share/doc/bootstrap-installer-kit/examples/payload/bin/hello
./usr/share/doc/bootstrap-installer-kit/examples/payload/share/greeting.txt
./usr/share/doc/bootstrap-installer-kit/examples/splash.png
EOF
)
  got=$(dpkg-deb -c "$DEB" | awk '$1 !~ /^d/ { print $6 }' | sort)
  if [ "$got" = "$expected" ]; then
    echo "ok: the package holds the tools, the module, the man pages, its copyright and the examples alone"
  else
    fail "the package's files differ from those expected:"
    diff <(echo "$expected") <(echo "$got") | sed 's/^/  /' || true
  fi
}

# apt resolves its dependencies, without changing anything.
check_apt_simulation() {
  if apt-get install -s "$DEB" >"$WORK/apt.out" 2>&1 &&
     grep -q "^Inst $NAME " "$WORK/apt.out"; then
    echo "ok: apt-get install -s would install it"
  else
    fail "apt-get install -s does not install it:"
    sed 's/^/  /' "$WORK/apt.out"
  fi
}

check_versions() {  # ROOT
  local version tool printed before=$FAILED
  version=$(dpkg-deb -f "$DEB" Version)
  for tool in make-bundle agent-server; do
    printed=$(timeout 10 "$1/usr/bin/$tool" --version) || true
    [ "$printed" = "$tool $version" ] ||
      fail "$tool --version prints '$printed', the package's version is $version"
  done
  pass_since "$before" "make-bundle and agent-server --version print the package's version $version"
}

check_man_pages() {  # ROOT
  local page before=$FAILED
  for page in "$1"/usr/share/man/man1/*.1.gz; do
    gzip -dc "$page" | grep -q '^\.TH ' || fail "$page is no man page"
  done
  pass_since "$before" "the man pages are gzipped man pages"
}

# The root's make-bundle, with no --executable or --module, takes the
# root's executable and module, as an installed kit does; the bundle's agent
# (examples/agent) unpacks the payload (examples/payload).
check_bundle_runs() {  # ROOT
  local root=$1 bundle=$WORK/Kit\ Setup status=0 before=$FAILED
  cmake -E chdir examples/agent cmake -E tar cf "$WORK/InstallAgent.zip" --format=zip install
  cmake -E chdir examples/payload cmake -E tar cf "$WORK/bundle.zip" --format=zip .
  if ! timeout 60 env -i PATH=/usr/bin:/bin "$root/usr/bin/make-bundle" \
       --payload "$WORK/bundle.zip" --agent "$WORK/InstallAgent.zip" "$bundle" \
       >"$WORK/make-bundle.out" 2>&1; then
    fail "the installed make-bundle made no bundle:"
    sed 's/^/  /' "$WORK/make-bundle.out"
    return
  fi
  cmp -s "$bundle/bootstrap-installer" "$root/usr/bin/bootstrap-installer" ||
    fail "the bundle's executable is not the installed one"
  cmp -s "$bundle/bootstrap-installer-gtk.so" \
    "$root/usr/lib/bootstrap-installer/bootstrap-installer-gtk.so" ||
    fail "the bundle's desktop window module is not the installed one"

  mkdir "$WORK/home" "$WORK/tmp"
  timeout 60 env -i PATH=/usr/bin:/bin HOME="$WORK/home" TMPDIR="$WORK/tmp" \
    ZR_BOOTSTRAP_UI=console "$bundle/bootstrap-installer" --target "$WORK/installed" \
    >"$WORK/run.out" 2>"$WORK/run.err" || status=$?
  if [ $status -ne 0 ]; then
    fail "the bundle's run exited with status $status:"
    sed 's/^/  /' "$WORK/run.out" "$WORK/run.err"
    return
  fi
  grep -qx "example agent: installed into $WORK/installed:" "$WORK/run.out" ||
    fail "the agent did not say it ran: $(cat "$WORK/run.out")"
  [ "$("$WORK/installed/bin/hello" 2>&1)" = "$(cat examples/payload/share/greeting.txt)" ] ||
    fail "the agent did not install the payload"
  [ -z "$(ls -A "$WORK/tmp")" ] || fail "the run left its scratch directory behind"
  pass_since "$before" "a bundle made by the unpacked make-bundle runs its agent"
}

# The README's quick start: the shell block between its quick-start marks,
# so that what the README tells a user to type is what runs here.
quick_start() {
  awk '/^<!-- quick-start -->$/ { inside = 1; next }
       /^<!-- \/quick-start -->$/ { inside = 0 }
       inside && !/^```/' README.md
}

# What the quick start printed: its agent installed the payload, and the
# program installed greets as the payload's greeting says.
check_quick_start_output() {  # OUT
  grep -q '^example agent: installed into /.*/example-app:$' "$1" ||
    fail "the quick start's bundle did not run its agent: $(paste -sd' ' "$1")"
  grep -qxF "$(cat examples/payload/share/greeting.txt)" "$1" ||
    fail "the quick start's installed program did not greet: $(paste -sd' ' "$1")"
}

# A real apt-get install, into a throwaway copy of this machine: an
# overlay of / in a mount namespace of its own, whose changes land in WORK
# and go with it; this machine's own files and dpkg database are never
# written. There, as a plain user with only what apt-get installed, the
# README's quick start runs. Skipped where that copy cannot be had.
check_apt_install() {
  local top=$WORK/overlay dir block status before=$FAILED
  if [ "$(id -u)" -ne 0 ] || ! command -v unshare >/dev/null; then
    echo "skipped: apt-get install into an overlay (needs root and unshare)"
    return
  fi
  for dir in /usr /etc /var/lib/dpkg; do
    [ "$(findmnt -n -o TARGET --target "$dir")" = / ] || {
      echo "skipped: apt-get install into an overlay ($dir is not on the root file system)"
      return
    }
  done
  block=$(quick_start)
  [ -n "$block" ] || die "README.md has no quick-start block"
  mkdir -p "$top/upper" "$top/work" "$top/root"
  # A container may refuse a mount namespace or an overlay over its own
  # root: that is the machine's limit, not the package's fault.
  if ! timeout 60 unshare -m --propagation private mount -t overlay overlay \
      -o "lowerdir=/,upperdir=$top/upper,workdir=$top/work" "$top/root" \
      >/dev/null 2>&1; then
    echo "skipped: apt-get install into an overlay (this machine cannot mount one)"
    return
  fi
  # shellcheck disable=SC2016  # expanded by the inner shell
  if ! timeout 300 unshare -m --propagation private bash -euc '
      top=$1 deb=$2
      mount -t overlay overlay -o "lowerdir=/,upperdir=$top/upper,workdir=$top/work" "$top/root"
      mount --bind /proc "$top/root/proc"
      mount --rbind /dev "$top/root/dev"
      cp "$deb" "$top/root/tmp/kit.deb"
      chroot "$top/root" env DEBIAN_FRONTEND=noninteractive         apt-get install -y -qq /tmp/kit.deb
      chroot "$top/root" /usr/bin/make-bundle --version
      chroot "$top/root" dpkg -L "$3"
      status=0
      chroot --userspec=nobody:nogroup "$top/root" env -i HOME=/nonexistent \
        PATH=/usr/local/bin:/usr/bin:/bin LANG=C.UTF-8 sh -euc "$4" \
        >"$top/quick-start.out" 2>&1 || status=$?
      echo "$status" >"$top/quick-start.status"' _ "$top" "$DEB" "$NAME" "$block" \
      >"$WORK/apt-install.out" 2>&1; then
    fail "apt-get install into an overlay failed:"
    sed 's/^/  /' "$WORK/apt-install.out"
    return
  fi
  grep -qx "make-bundle $(dpkg-deb -f "$DEB" Version)" "$WORK/apt-install.out" ||
    fail "the apt-installed /usr/bin/make-bundle does not print the package's version"
  grep -qx /usr/lib/bootstrap-installer/bootstrap-installer-gtk.so "$WORK/apt-install.out" ||
    fail "dpkg -L does not list the desktop window module"
  ! dpkg-query -W "$NAME" >/dev/null 2>&1 ||
    fail "$NAME is installed on this machine itself"
  pass_since "$before" "apt-get install put $NAME in place, in a throwaway overlay of /"

  before=$FAILED
  status=$(cat "$top/quick-start.status")
  if [ "$status" != 0 ]; then
    fail "the README's quick start exited with status $status:"
    sed 's/^/  /' "$top/quick-start.out"
    return
  fi
  check_quick_start_output "$top/quick-start.out"
  pass_since "$before" "the README's quick start made a bundle there that installed the example"
}

main() {
  parse_args "$@"
  ensure_packages "${PACKAGE_CHECK_PACKAGES[@]}"
  # A signal ends the script through exit, so that cleanup runs then too.
  trap cleanup EXIT
  trap 'exit 129' HUP
  trap 'exit 130' INT
  trap 'exit 143' TERM
  WORK=$(mktemp -d)
  if [ -z "$DEB" ]; then
    DEB=$(bash scripts/package.sh "${BUILD_ARGS[@]}" 2>"$WORK/package.log" | tail -n 1) ||
      { cat "$WORK/package.log" >&2; die "scripts/package.sh failed"; }
  fi
  [ -f "$DEB" ] || die "no package at '$DEB'"
  echo "== $DEB"
  check_fields
  check_files
  check_apt_simulation
  dpkg-deb -x "$DEB" "$WORK/root"
  check_versions "$WORK/root"
  check_man_pages "$WORK/root"
  check_bundle_runs "$WORK/root"
  check_apt_install
  [ $FAILED -eq 0 ] || die "the package check failed"
  echo "package-check: all checks passed"
}

main "$@"
