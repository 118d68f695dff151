#!/usr/bin/env bash
# Benchmarks the bootstrap installer against the plain tools (curl, unzip,
# sh) doing the same work by hand, with the agent archive served by nginx
# on 127.0.0.1. Prints the figures as a table; see bench/README.md.
#
#   bash bench/run.sh                  256 MiB archive, five runs of each
#   bash bench/run.sh --smoke          a tiny archive, one run of each: checks
#                                      that every measurement works
#   bash bench/run.sh --build-dir DIR  measures the build in DIR (built
#                                      already) instead of build-bench
#   bash bench/run.sh --runs N         N runs of each instead of five
set -euo pipefail
export LC_ALL=C
cd "$(dirname "$0")/.."
source scripts/packages.sh
source bench/servers.sh
source bench/stats.sh

SMOKE=0
BUILD_DIR=""
ARCHIVE_BYTES=$((256 * 1024 * 1024))
RUNS=5
WARMUPS=1
RUNS_WANTED=""
WORK=""

die() { echo "bench: $*" >&2; exit 1; }
note() { echo "bench: $*" >&2; }

parse_args() {
  while [ $# -gt 0 ]; do
    case $1 in
      --smoke) SMOKE=1 ;;
      --build-dir) [ $# -ge 2 ] || die "--build-dir needs a directory"
                   BUILD_DIR=$2; shift ;;
      --runs) [[ ${2:-} =~ ^[1-9][0-9]*$ ]] || die "--runs needs a count"
              RUNS_WANTED=$2; shift ;;
      *) die "unknown argument $1 (try --smoke or --build-dir DIR)" ;;
    esac
    shift
  done
  if [ "$SMOKE" = 1 ]; then
    ARCHIVE_BYTES=$((64 * 1024)) RUNS=1 WARMUPS=0
  fi
  RUNS=${RUNS_WANTED:-$RUNS}
}

# Without --build-dir: a build of its own, optimised as shipped, with
# symbols for the profilers (the figures use a stripped copy).
build_bootstrap() {
  if [ -z "$BUILD_DIR" ]; then
    BUILD_DIR=build-bench
    cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DBOOTSTRAP_TESTS=OFF >/dev/null
  fi
  [ -f "$BUILD_DIR/CMakeCache.txt" ] || die "$BUILD_DIR is no build directory"
  cmake --build "$BUILD_DIR" --target bootstrap-installer bootstrap-installer-gtk >&2
  BUILD_TYPE=$(sed -n 's/^CMAKE_BUILD_TYPE:STRING=//p' "$BUILD_DIR/CMakeCache.txt")
  BUILD_TYPE=${BUILD_TYPE:-RelWithDebInfo (the project default)}
}

cleanup() {
  stop_servers
  [ -z "$WORK" ] || rm -rf "$WORK"
}

# The agent archive (stored, so that unzip copies rather than inflates):
# an install script that only exits 0, and random bytes. The same install
# runs on both sides.
make_agent_archive() {  # ZIP
  local src=$WORK/agent-src
  mkdir -p "$src"
  printf '#!/bin/sh\nexit 0\n' >"$src/install"
  head -c "$ARCHIVE_BYTES" /dev/urandom >"$src/payload.bin"
  (cd "$src" && zip -q -0 "$1" install payload.bin)
  rm -rf "$src"
}

# Three plain-directory bundles: "online" names the nginx URL, "signed"
# too and ships the public key of the archive's signature (served beside
# it), "local" ships the archive (a hard link to the one nginx serves).
make_bundles() {
  local name zip=$WORK/nginx/www/InstallAgent.zip
  echo "a tiny payload" >"$WORK/README.txt"
  (cd "$WORK" && zip -q bundle.zip README.txt)
  for name in online signed local; do
    mkdir -p "$WORK/$name"
    cp "$BUILD_DIR/bootstrap-installer" "$BUILD_DIR/bootstrap-installer-gtk.so" \
      "$WORK/bundle.zip" "$WORK/$name/"
  done
  ln "$zip" "$WORK/local/InstallAgent.zip"
  HOME=$WORK minisign -G -W -f -p "$WORK/signed/installAgentKey.pub" \
    -s "$WORK/agent.key" >/dev/null
  HOME=$WORK minisign -S -s "$WORK/agent.key" -m "$zip" >/dev/null
}

make_fixtures() {
  mkdir -p "$WORK/home" "$WORK/scratch" "$WORK/plain/tmp" "$WORK/nginx/www"
  make_agent_archive "$WORK/nginx/www/InstallAgent.zip"
  ZIP_BYTES=$(stat -c %s "$WORK/nginx/www/InstallAgent.zip")
  HALF_BYTES=$((ZIP_BYTES / 2))
  # A quarter of the archive a second: the cut's poll has a second or more
  # to stop it between half and the whole.
  NGINX_CUT_RATE=$((ZIP_BYTES / 4))
  make_bundles
}

describe_run() {
  local size="$((ARCHIVE_BYTES / 1048576)) MiB"
  [ "$SMOKE" = 1 ] && size="$((ARCHIVE_BYTES / 1024)) KiB (smoke run)"
  echo "- command: bash bench/run.sh $*"
  echo "- date: $(date -u '+%Y-%m-%d %H:%M UTC'); load average at the start: $(cut -d' ' -f1-3 /proc/loadavg)"
  echo "- machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -n 1), kernel $(uname -r)"
  echo "- build: $BUILD_TYPE ($BUILD_DIR); nginx $("$NGINX" -v 2>&1 | sed 's|.*/||'), curl $(curl --version | head -n 1 | cut -d' ' -f2)"
  echo "- agent archive: $size of random bytes, stored (zip -0)"
  echo "- runs: $WARMUPS untimed warm-up of each side, then $RUNS timed runs of each, alternating; medians"
  echo
}

# --- the two sides ----------------------------------------------------------

# Points the online bundle and the plain tools at the archive, tagged with
# the road so the access log tells the requests apart.
aim_at() {  # ROAD [PATH_PREFIX]
  echo "$NGINX_URL${2:-}/InstallAgent.zip?by=bootstrap&road=$1" >"$WORK/online/installAgentURL.txt"
  echo "$NGINX_URL${2:-}/InstallAgent.zip?by=bootstrap&road=$1" >"$WORK/signed/installAgentURL.txt"
  PLAIN_URL="$NGINX_URL/InstallAgent.zip?by=plaintool&road=$1"
}

# One run of the bootstrap in BUNDLE with window UI (console or gtk), its
# cache under a private HOME, after the words of a measuring wrapper if any.
bootstrap_in() {  # BUNDLE UI [WRAPPER...]
  local bundle=$1 ui=$2 display=""
  shift 2
  [ "$ui" = gtk ] && display=$XVFB_DISPLAY
  # Variables set on the command itself: an env in between would cost the
  # bootstrap one more exec than the plain tools pay.
  DISPLAY=$display NO_AT_BRIDGE=1 HOME=$WORK/home TMPDIR=$WORK/scratch \
    ZR_BOOTSTRAP_UI=$ui "$@" "$bundle/bootstrap-installer" >"$WORK/last.out" 2>&1
}

boot_online() { bootstrap_in "$WORK/online" console; }
boot_signed() { bootstrap_in "$WORK/signed" console; }
boot_local() { bootstrap_in "$WORK/local" console; }

run_agent() {  # AGENT_DIR
  sh "$1/install" -installbundle "$WORK/online/bundle.zip"
}

# By hand, as the bootstrap does it: download into a scratch file, keep the
# ETag, unpack into the agent's directory, run it, remove the download.
plain_fresh() {
  local p=$WORK/plain
  curl -q -sS --fail --etag-save "$p/etag" -o "$p/tmp/agent.zip" "$PLAIN_URL" &&
    unzip -qq -o "$p/tmp/agent.zip" -d "$p/agent" &&
    run_agent "$p/agent" &&
    rm -f "$p/tmp/agent.zip"
}

# By hand from half an archive, as the bootstrap goes on from it: ask for
# the rest, unpack, run, remove the download.
plain_resume() {
  local p=$WORK/plain
  curl -q -sS --fail -C - -o "$p/tmp/agent.zip" "$PLAIN_URL" &&
    unzip -qq -o "$p/tmp/agent.zip" -d "$p/agent" &&
    run_agent "$p/agent" &&
    rm -f "$p/tmp/agent.zip"
}

# By hand with a cache: a conditional request, which on 304 writes no file;
# a new archive is unpacked and removed as on the fresh road.
plain_cached() {
  local p=$WORK/plain
  curl -q -sS --fail --etag-compare "$p/etag" --etag-save "$p/etag" \
    -o "$p/tmp/agent.zip" "$PLAIN_URL" || return 1
  if [ -f "$p/tmp/agent.zip" ]; then
    unzip -qq -o "$p/tmp/agent.zip" -d "$p/agent" && rm -f "$p/tmp/agent.zip" ||
      return 1
  fi
  run_agent "$p/agent"
}

# By hand from a shipped archive: unpack into a fresh directory, run,
# remove it.
plain_local() {
  local dir
  dir=$(mktemp -d "$WORK/plain/tmp/zrXXXXXX") &&
    unzip -qq -o "$WORK/local/InstallAgent.zip" -d "$dir" &&
    sh "$dir/install" -installbundle "$WORK/local/bundle.zip" &&
    rm -rf "$dir"
}

# Untimed set-ups. Dirty pages of the last run are written out first, so
# that no run pays for the one before.
settle() { sync; }
clear_caches() {
  rm -rf "$WORK/home/.tarvik" "$WORK/plain/agent" "$WORK/plain/etag" && sync
}

# The cut state before each resumed run: no cached agent, and the first
# half of the archive as the bootstrap kept it (mode 0600, one link) or as
# curl would have left it.
restore_cut() {
  clear_caches && (umask 077 && mkdir -p "$CACHE_DIR") &&
    cp -p "$WORK/cut/$PARTIAL" "$WORK/cut/$PARTIAL.info" "$CACHE_DIR/" && sync
}
plain_cut() {
  clear_caches &&
    head -c "$HALF_BYTES" "$WORK/nginx/www/InstallAgent.zip" >"$WORK/plain/tmp/agent.zip" &&
    sync
}

# --- the measurements -------------------------------------------------------

# Fresh road: the bootstrap with an empty cache against curl -o, unzip and
# sh install.
measure_fresh_road() {
  aim_at fresh
  alternate "fresh road" clear_caches boot_online clear_caches plain_fresh
  record_ratio "fresh road, empty cache (ms)" 1.05
}

# The bootstrap's download of the resume road, fresh and paced by nginx,
# stopped by SIGTERM (which keeps what came, as any unfinished transfer
# does) once half the archive is in the cache; then cut to exactly half,
# which leaves the info true, and saved for every resumed run's set-up.
cut_download() {
  local partial=$CACHE_DIR/$PARTIAL pid size=0 i url
  clear_caches
  HOME=$WORK/home TMPDIR=$WORK/scratch ZR_BOOTSTRAP_UI=console \
    "$WORK/online/bootstrap-installer" >"$WORK/cut.out" 2>&1 &
  pid=$!
  for ((i = 0; i < 600; i++)); do
    size=$(stat -c %s "$partial" 2>/dev/null || echo 0)
    [ "$size" -ge "$HALF_BYTES" ] && break
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.05
  done
  kill -TERM "$pid" 2>/dev/null || true
  for ((i = 0; i < 100; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    die "the bootstrap did not stop on SIGTERM"
  fi
  wait "$pid" 2>/dev/null || true
  [ -f "$partial.info" ] && size=$(stat -c %s "$partial") &&
    [ "$size" -ge "$HALF_BYTES" ] && [ "$size" -lt "$ZIP_BYTES" ] ||
    die "no partial download of at least half the archive was kept: $(tail -n 3 "$WORK/cut.out")"
  url=$(cat "$WORK/online/installAgentURL.txt")
  [ "$(sed -n 1p "$partial.info")" = "url $url" ] &&
    [ "$(sed -n 3p "$partial.info")" = "length $ZIP_BYTES" ] ||
    die "the partial download's info is not of $url ($ZIP_BYTES bytes): $(cat "$partial.info")"
  truncate -s "$HALF_BYTES" "$partial"
  cmp -s -n "$HALF_BYTES" "$partial" "$WORK/nginx/www/InstallAgent.zip" ||
    die "the partial download is not the start of the archive"
  note "cut the bootstrap's download at $size of $ZIP_BYTES bytes, then to $HALF_BYTES"
  mkdir -p "$WORK/cut" && cp -p "$partial" "$partial.info" "$WORK/cut/"
}

# Every resumed run got a 206 for the second half and no more: a run that
# downloaded the whole archive again would be no resumed run.
check_resumed() {
  local side earlier wrong min=$((ZIP_BYTES - HALF_BYTES))
  for side in bootstrap plaintool; do
    earlier=0
    [ "$side" = bootstrap ] && earlier=1  # the cut download
    wrong=$(road_requests "$side" resume "$earlier" |
      awk -v min="$min" -v runs=$((WARMUPS + RUNS)) '
        $1 != 206 || $2 < min || $2 > min + 4096 { print }
        END { if (NR != runs) print NR, "requests logged for", runs, "runs" }')
    [ -z "$wrong" ] ||
      die "the $side's runs on the resume road were not all a 206 for the second half: $wrong"
  done
}

# Resumed road: the bootstrap going on from the half archive an earlier
# run kept against curl -C - going on from the same half, each then
# unpacking and running the agent.
measure_resumed_road() {
  aim_at resume
  cut_download
  alternate "resumed road" restore_cut boot_online plain_cut plain_resume
  check_resumed
  record_ratio "resumed road, second half of the archive (ms)" 1.05
}

# Signed fresh road: the bootstrap verifying a signed agent against the
# same bootstrap taking it unverified (columns: signed, unsigned); over the
# loopback, where the transfer keeps both cores busy, and over a link of
# 200 MB/s, where the archive is hashed while it comes.
measure_signed_road() {
  aim_at signed
  alternate "signed fresh road" clear_caches boot_signed clear_caches boot_online
  record_ratio "fresh road, signed agent against unsigned (ms)" 1.05
  aim_at signed-paced /paced
  alternate "signed fresh road, 200 MB/s" clear_caches boot_signed \
    clear_caches boot_online
  record_ratio "fresh road at 200 MB/s, signed against unsigned (ms)" 1.05
}

CACHED_AGENT=""  # the inode of the cached agent directory
# The cache must still hold the agent that prepare_cache_hit put there: a
# cache hit never replaces it.
check_cache_kept() {
  local now
  now=$(stat -c %i "$CACHED_AGENT_DIR") &&
    [ "$now" = "$CACHED_AGENT" ] ||
    { note "the bootstrap replaced its cached agent: no cache hit"; return 1; }
  sync
}

prepare_cache_hit() {
  clear_caches
  bootstrap_in "$WORK/online" console || die "filling the cache failed"
  plain_fresh || die "filling the plain tools' cache failed"
  CACHED_AGENT=$(stat -c %i "$CACHED_AGENT_DIR")
}

# Cache hit: the bootstrap with a current cache against curl
# --etag-compare/--etag-save and sh install; and the bytes nginx sent on
# the bootstrap's cache hits.
measure_cache_hit() {
  aim_at hit
  prepare_cache_hit
  alternate "cache hit" check_cache_kept boot_online settle plain_cached
  check_cache_kept || die "no cache hit"
  record_ratio "cache hit (ms)" 1.10
  record_bytes_sent
}

# Local archive road: the bootstrap with a shipped InstallAgent.zip against
# unzip into a fresh directory, sh install and rm -rf.
measure_local_road() {
  alternate "local archive road" settle boot_local settle plain_local
  record_ratio "local archive road (ms)" 1.05
}

record_ratio() {  # WHAT LIMIT
  local r
  check_number "$1, bootstrap" "$MEDIAN_A"
  check_number "$1, plain tools" "$MEDIAN_B"
  r=$(ratio "$MEDIAN_A" "$MEDIAN_B")
  row "$1" "$MEDIAN_A" "$MEDIAN_B" "$r" "≤ $2 ×" "$(verdict "$r" "$2")"
}

# Status and bytes sent of one side's timed requests on ROAD, after the
# EARLIER ones of its set-up. nginx logs a request once it is over, which
# for an abandoned transfer can be a moment after the client has gone.
road_requests() {  # SIDE ROAD EARLIER
  local pattern="by=$1&road=$2 " count=$((WARMUPS + RUNS)) i
  for i in $(seq 50); do
    [ "$(grep -c -- "$pattern" "$WORK/nginx/access.log")" -ge $((count + $3)) ] && break
    sleep 0.1
  done
  grep -- "$pattern" "$WORK/nginx/access.log" | tail -n "$count" | awk '{ print $2, $3 }'
}

record_bytes_sent() {
  local -a boot plain
  # A conditional request that got anything but 304 was no cache hit (the
  # first request of each side filled the cache).
  [ -z "$(road_requests plaintool hit 1 | awk '$1 != 304')" ] ||
    die "the plain tools' conditional requests got no 304"
  mapfile -t boot < <(road_requests bootstrap hit 1 | awk '{ print $2 }')
  mapfile -t plain < <(road_requests plaintool hit 1 | awk '{ print $2 }')
  note "bytes nginx sent on cache hits: bootstrap ${boot[*]}; plain tools ${plain[*]}"
  MEDIAN_A=$(median "${boot[@]}")
  MEDIAN_B=$(median "${plain[@]}")
  check_number "bytes sent on a cache hit" "$MEDIAN_A"
  check_number "bytes sent on a plain cache hit" "$MEDIAN_B"
  row "bytes nginx sent on a cache hit" "$MEDIAN_A" "$MEDIAN_B" "" "≤ 1048576" \
    "$(verdict "$MEDIAN_A" 1048576)"
}

# Peak resident memory (KiB) of RUNS fresh downloads, each after the words
# given; GNU time counts the bootstrap and the unzip and sh it waited for.
peak_kib() {  # COMMAND...
  local i kib
  local -a peaks=()
  for ((i = 0; i < RUNS; i++)); do
    clear_caches
    "$@" || die "$* failed: $(tail -n 3 "$WORK/last.out")"
    kib=$(tail -n 1 "$WORK/time.out")
    check_number "peak memory of $1" "$kib"
    peaks+=("$kib")
  done
  note "peak RSS of $*: ${peaks[*]} KiB"
  median "${peaks[@]}"
}

boot_console_rss() { bootstrap_in "$WORK/online" console "${RSS_WRAPPER[@]}"; }

boot_desktop_rss() {
  bootstrap_in "$WORK/online" gtk "${RSS_WRAPPER[@]}" || return 1
  # A desktop window that could not open falls back to the console.
  ! grep -q "No desktop window" "$WORK/last.out"
}

curl_rss() {
  "${RSS_WRAPPER[@]}" curl -q -sS --fail -o "$WORK/plain/tmp/agent.zip" "$PLAIN_URL" \
    >"$WORK/last.out" 2>&1 && rm -f "$WORK/plain/tmp/agent.zip"
}

# Peak memory during the fresh download, console window (target) and the
# desktop window under Xvfb; curl -o alone for reference.
measure_memory() {
  local console desktop plain
  aim_at memory
  console=$(peak_kib boot_console_rss)
  desktop=$(peak_kib boot_desktop_rss)
  plain=$(peak_kib curl_rss)
  row "peak RSS, fresh download, console window (MiB)" "$(scaled "$console" 1024)" \
    "$(scaled "$plain" 1024) (curl -o)" "" "≤ 16" "$(verdict "$console" 16384)"
  row "peak RSS, fresh download, desktop window under Xvfb (MiB)" \
    "$(scaled "$desktop" 1024)" "" "" "" ""
}

stripped_size() {  # FILE
  strip -o "$WORK/stripped" "$1" && stat -c %s "$WORK/stripped"
}

# Stripped sizes, and the libraries the executable needs.
measure_sizes() {
  local exe=$BUILD_DIR/bootstrap-installer exe_size gtk_size needed all
  exe_size=$(stripped_size "$exe")
  gtk_size=$(stripped_size "$BUILD_DIR/bootstrap-installer-gtk.so")
  check_number "stripped size" "$exe_size"
  check_number "stripped module size" "$gtk_size"
  needed=$(readelf -d "$exe" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' |
    paste -sd' ')
  all=$(ldd "$exe" | grep -c '=>')
  row "stripped bootstrap-installer (KiB)" "$(scaled "$exe_size" 1024)" "" "" "≤ 512" \
    "$(verdict "$exe_size" 524288)"
  row "stripped bootstrap-installer-gtk.so (KiB)" "$(scaled "$gtk_size" 1024)" "" "" "" ""
  row "shared libraries of the executable" \
    "needs $needed; $all in all (ldd)" "" "" "" ""
}

main() {
  parse_args "$@"
  ensure_packages "${BENCH_PACKAGES[@]}" >&2
  # No proxy between the tools and nginx; no desktop unless asked for.
  unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY all_proxy ALL_PROXY \
    DISPLAY WAYLAND_DISPLAY
  build_bootstrap
  trap cleanup EXIT
  trap 'exit 130' INT
  trap 'exit 143' TERM
  WORK=$(mktemp -d "${TMPDIR:-/tmp}/zr-bench.XXXXXX")
  CACHE_DIR=$WORK/home/.tarvik/app_installer_cache/Q4711x/darw64
  CACHED_AGENT_DIR=$CACHE_DIR/installagent
  PARTIAL=.partial-download
  RSS_WRAPPER=(/usr/bin/time -f %M -o "$WORK/time.out")
  make_fixtures
  start_nginx "$WORK/nginx"
  start_xvfb "$WORK"
  describe_run "$@"
  measure_fresh_road
  measure_resumed_road
  measure_signed_road
  measure_cache_hit
  measure_local_road
  measure_memory
  measure_sizes
  print_table
}

main "$@"
