#!/usr/bin/env bash
# Checks the nginx configuration of docs/SERVING.md against the bootstrap
# installer: runs the page's first nginx block with nginx on 127.0.0.1,
# asks it what the page's curl table asks, then runs a bundle made from the
# demo agent and payload three times with a private HOME: a download
# (200), a cache hit (304), and, once a new archive is published as the
# page says, a download of the new agent (200). Everything lives in one
# temporary directory, removed on every exit along with nginx.
#
#   bash scripts/serving-check.sh                  builds in build if needed
#   bash scripts/serving-check.sh --build-dir DIR  uses the build in DIR
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
source scripts/packages.sh
source bench/servers.sh

BUILD_DIR=build
WORK=""
SITE=""
URL=""
FAILED=0

die() { echo "serving-check: $*" >&2; exit 1; }

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

build_tools() {
  [ -f "$BUILD_DIR/CMakeCache.txt" ] ||
    cmake -S . -B "$BUILD_DIR" -G Ninja -DBOOTSTRAP_TESTS=OFF >/dev/null
  cmake --build "$BUILD_DIR" --target bootstrap-installer make-bundle demo_archives >&2
}

cleanup() {
  stop_nginx
  [ -z "$WORK" ] || rm -rf "$WORK"
}

# The first nginx block of docs/SERVING.md.
read_site() {
  SITE=$(awk '/^```nginx$/ { inside = 1; next } inside && /^```$/ { exit } inside' \
    docs/SERVING.md)
  [ -n "$SITE" ] || die "docs/SERVING.md has no nginx block"
}

# Called by start_nginx (bench/servers.sh) for each port it tries. The
# page's server block as it stands, but for plain http on 127.0.0.1:PORT
# in place of its listen and ssl_ lines, and /srv/agent in DIR; around it
# gzip on for every type, as a main configuration may have it, so that
# only the block's own gzip off keeps the zip whole.
write_nginx_config() {  # DIR PORT
  local dir=$1 port=$2
  printf '%s\n' "$SITE" |
    sed -e '/^[[:space:]]*listen[[:space:]]/d' -e '/^[[:space:]]*ssl_/d' \
        -e "s|/srv/agent|$dir|g" \
        -e "s|^server {\$|&\\n    listen 127.0.0.1:$port;|" >"$dir/site.conf"
  [ "$(grep -c "listen 127.0.0.1:$port;" "$dir/site.conf")" = 1 ] ||
    die "the nginx block of docs/SERVING.md is not one 'server {' block"
  # shellcheck disable=SC2016  # nginx's variables, not the shell's
  write_nginx_main_config "$dir" \
    '$status "$request" "$http_user_agent" "$http_if_none_match"' <<EOF
  gzip on;
  gzip_types *;
  include $dir/site.conf;
EOF
}

# Puts ZIP in place as docs/SERVING.md says: into incoming/, then into a
# release directory of its own with a fresh time, and www, nginx's root,
# switched over to it with one rename.
RELEASE=0
publish() {  # ZIP
  local top=$WORK/nginx
  RELEASE=$((RELEASE + 1))
  mkdir -p "$top/incoming"
  cp "$1" "$top/incoming/InstallAgent.zip"
  (cd "$top" &&
    mkdir "releases/$RELEASE.new" &&
    mv incoming/InstallAgent.zip "releases/$RELEASE.new/" &&
    touch "releases/$RELEASE.new/InstallAgent.zip" &&
    mv "releases/$RELEASE.new" "releases/$RELEASE" &&
    ln -s "releases/$RELEASE" www.new && mv -T www.new www)
}

# The answer's header to a HEAD request for the archive, with curl's extra
# arguments; without carriage returns.
answer_to() { curl -q -sS -I "$@" "$URL" | tr -d '\r'; }
status_of() { answer_to "$@" | sed -n '1s|^HTTP/[0-9.]* \([0-9]*\).*|\1|p'; }
header_of() {  # NAME, then curl's extra arguments
  local name=$1; shift
  answer_to "$@" | sed -n "s/^$name: //Ip" | head -n 1
}

expect() {  # WHAT GOT PATTERN
  # shellcheck disable=SC2053  # the pattern is a glob on purpose
  if [[ $2 == $3 ]]; then
    echo "serving-check: ok: $1"
  else
    echo "serving-check: FAILED: $1: got '$2', wanted '$3'" >&2
    FAILED=1
  fi
}

# The properties of the curl table in docs/SERVING.md that plain http on
# 127.0.0.1 can show.
check_answers() {
  local etag size maintenance=$WORK/nginx/maintenance
  etag=$(header_of ETag)
  size=$(stat -c %s "$WORK/nginx/www/InstallAgent.zip")
  expect "200 to a plain request" "$(status_of)" 200
  expect "a strong ETag" "$etag" '"?*"'
  expect "Content-Type application/zip" "$(header_of Content-Type)" application/zip
  expect "caches revalidate" "$(header_of Cache-Control)" no-cache
  expect "304 to If-None-Match" "$(status_of -H "If-None-Match: $etag")" 304
  expect "206 to Range" "$(header_of Content-Range -r 0-99)" "bytes 0-99/$size"
  expect "206 to Range with a current If-Range" \
    "$(status_of -r 0-99 -H "If-Range: $etag")" 206
  expect "200 to Range with a stale If-Range" \
    "$(status_of -r 0-99 -H 'If-Range: "stale"')" 200
  expect "no compression asked for gzip" \
    "$(header_of Content-Encoding -H 'Accept-Encoding: gzip')" ""
  touch "$maintenance"
  expect "503 in maintenance" "$(status_of)" 503
  expect "Retry-After in maintenance" "$(header_of Retry-After)" '[1-9]*'
  rm "$maintenance"
  expect "200 after maintenance" "$(status_of)" 200
}

# A console-only bundle: no display here, and a build may have no module.
make_bundle() {
  "$BUILD_DIR/make-bundle" --payload "$BUILD_DIR/demo/bundle.zip" --url "$URL" \
    --no-module "$WORK/Example Setup" >/dev/null
}

# The demo agent, saying that it is the second release.
make_second_agent() {  # ZIP
  local src=$WORK/agent-2
  mkdir -p "$src"
  unzip -qq "$BUILD_DIR/demo/InstallAgent.zip" install -d "$src"
  echo 'echo "example agent: release 2"' >>"$src/install"
  (cd "$src" && cmake -E tar cf "$1" --format=zip install)
}

# Runs the bundle with the private HOME and TMPDIR; the agent must run and
# say WORDS.
run_bundle() {  # N WORDS
  local out=$WORK/run$1.out status=0
  HOME=$WORK/home TMPDIR=$WORK/tmp "$WORK/Example Setup/bootstrap-installer" \
    --target "$WORK/installed" >"$out" 2>&1 || status=$?
  [ "$status" = 0 ] ||
    die "run $1 exited with status $status: $(tail -n 2 "$out" | paste -sd' ')"
  grep -qF "$2" "$out" || die "run $1: the agent did not say '$2'"
  echo "serving-check: ok: run $1 exited 0, and its agent said '$2'"
}

# The statuses nginx logged for the installer's requests. nginx logs a
# request once it is over, which can be a moment after the installer went.
installer_statuses() {  # COUNT
  for _ in $(seq 50); do
    [ "$(grep -c '"bootstrap-installer/' "$WORK/nginx/access.log")" -ge "$1" ] && break
    sleep 0.1
  done
  grep '"bootstrap-installer/' "$WORK/nginx/access.log" | cut -d' ' -f1 | paste -sd' '
}

check_runs() {
  local first_etag
  make_bundle
  mkdir -p "$WORK/home" "$WORK/tmp"
  run_bundle 1 "example agent: installed into $WORK/installed"
  run_bundle 2 "example agent: installed into $WORK/installed"
  expect "the installer's requests: a download, then a cache hit" \
    "$(installer_statuses 2)" "200 304"
  first_etag=$(header_of ETag)
  make_second_agent "$WORK/InstallAgent-2.zip"
  publish "$WORK/InstallAgent-2.zip"
  [ "$(header_of ETag)" != "$first_etag" ] ||
    die "the new archive is served with the old one's ETag, '$first_etag'"
  run_bundle 3 "example agent: release 2"
  expect "after publishing, the new archive is downloaded" \
    "$(installer_statuses 3)" "200 304 200"
}

main() {
  parse_args "$@"
  ensure_packages "${SERVING_PACKAGES[@]}" >&2
  # No proxy between the tools and nginx, no desktop window.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY \
    DISPLAY WAYLAND_DISPLAY
  build_tools
  read_site
  trap cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/serving-check.XXXXXX")
  # www is a link from the start; its first release holds only the file
  # start_nginx asks for to see that nginx is up.
  mkdir -p "$WORK/nginx/releases/0"
  ln -s releases/0 "$WORK/nginx/www"
  start_nginx "$WORK/nginx"
  URL=$NGINX_URL/InstallAgent.zip
  publish "$BUILD_DIR/demo/InstallAgent.zip"
  check_answers
  check_runs
  [ "$FAILED" = 0 ] || die "some checks failed; see the lines above"
  echo "serving-check: every check passed"
}

main "$@"
