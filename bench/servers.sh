# The servers the benchmark talks to: nginx on 127.0.0.1 for the agent
# archive, and a private X server for the desktop window. Sourced by
# bench/run.sh; both live in $WORK and are stopped by stop_servers.

# Where Debian puts it, outside a normal user's PATH.
NGINX=/usr/sbin/nginx
NGINX_PID=""
XVFB_PID=""
# Bytes a second for a fresh download on the resume road: slow enough for
# the benchmark to stop it halfway (0: not paced).
NGINX_CUT_RATE=0

# nginx.conf in DIR: one worker, and everything nginx writes kept in DIR,
# the requests logged as FORMAT. The http block's own lines come on stdin.
write_nginx_main_config() {  # DIR FORMAT
  local dir=$1 format=$2 user=""
  # As root the workers would take nginx's default user, which cannot read
  # a private temporary directory.
  [ "$(id -u)" -eq 0 ] && user="user root;"
  {
    cat <<EOF
daemon off;
worker_processes 1;
$user
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 64; }
http {
  log_format requests '$format';
  access_log $dir/access.log requests;
  client_body_temp_path $dir/body;
  proxy_temp_path $dir/proxy;
  fastcgi_temp_path $dir/fastcgi;
  uwsgi_temp_path $dir/uwsgi;
  scgi_temp_path $dir/scgi;
EOF
    cat
    echo "}"
  } >"$dir/nginx.conf"
}

# The status and bytes nginx sent each request go to the access log, so
# the cost of a cache hit, and whether a run asked only for the rest of an
# archive, can be read there.
write_nginx_config() {  # DIR PORT
  local dir=$1 port=$2
  # shellcheck disable=SC2016  # nginx's variables, not the shell's
  write_nginx_main_config "$dir" '$request_uri $status $bytes_sent' <<EOF
  default_type application/octet-stream;
  sendfile on;
  # Only the download that is to be cut asks for the resume road without a
  # Range; the runs that ask for the rest are not paced.
  map "\$arg_road:\$http_range" \$cut_rate {
    "resume:" $NGINX_CUT_RATE;
    default 0;
  }
  server {
    listen 127.0.0.1:$port;
    root $dir/www;
    limit_rate \$cut_rate;
    # The same files on a link slower than the loopback, as a user has.
    location /paced/ {
      alias $dir/www/;
      limit_rate 200m;
    }
  }
EOF
}

# A port below the kernel's ephemeral range, so that no client's port
# takes it while nginx runs; nothing may answer on it yet.
pick_port() {
  local port
  while :; do
    port=$((20000 + RANDOM % 12000))
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
  done
  echo "$port"
}

# Starts nginx serving DIR/www on a free port of 127.0.0.1; sets NGINX_URL.
# A port taken between the check and the bind just costs another try.
start_nginx() {  # DIR
  local dir=$1 port token
  mkdir -p "$dir/www"
  token=$RANDOM$RANDOM
  echo "$token" >"$dir/www/ready.txt"
  for _ in 1 2 3 4 5 6 7 8 9 10; do
    port=$(pick_port)
    write_nginx_config "$dir" "$port"
    "$NGINX" -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log" 2>>"$dir/error.log" &
    NGINX_PID=$!
    if wait_for_nginx "$port" "$token"; then
      NGINX_URL="http://127.0.0.1:$port"
      return 0
    fi
    stop_nginx
  done
  die "nginx did not start; its log: $(tail -n 3 "$dir/error.log")"
}

wait_for_nginx() {  # PORT TOKEN
  local i
  for i in $(seq 50); do
    kill -0 "$NGINX_PID" 2>/dev/null || return 1
    [ "$(curl -s "http://127.0.0.1:$1/ready.txt")" = "$2" ] && return 0
    sleep 0.1
  done
  return 1
}

stop_nginx() {
  [ -n "$NGINX_PID" ] || return 0
  kill "$NGINX_PID" 2>/dev/null || true
  wait "$NGINX_PID" 2>/dev/null || true
  NGINX_PID=""
}

# Starts Xvfb on a display of its choosing; sets XVFB_DISPLAY.
start_xvfb() {  # DIR
  local dir=$1
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp \
    3>"$dir/display" 2>"$dir/xvfb.log" &
  XVFB_PID=$!
  for _ in $(seq 100); do
    if [ -s "$dir/display" ]; then
      XVFB_DISPLAY=:$(head -n 1 "$dir/display")
      return 0
    fi
    kill -0 "$XVFB_PID" 2>/dev/null || break
    sleep 0.1
  done
  die "Xvfb did not start; its log: $(tail -n 3 "$dir/xvfb.log")"
}

stop_xvfb() {
  [ -n "$XVFB_PID" ] || return 0
  kill "$XVFB_PID" 2>/dev/null || true
  wait "$XVFB_PID" 2>/dev/null || true
  XVFB_PID=""
}

stop_servers() {
  stop_nginx
  stop_xvfb
}
