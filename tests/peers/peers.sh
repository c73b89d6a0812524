#!/usr/bin/env bash
# Starts and stops the test peers.
#   peers.sh start DIR NGINX_PORT PYTHON_PORT [SIZE...]
#   peers.sh stop DIR
# DIR (inside the build tree) holds everything: docroot/ with the files
# f<SIZE>.bin, nginx's config, pid, log and temp folders, Python's pid and
# log. A start first stops what an aborted run may have left in DIR.
# With RAVLIX_TLS_PORT=P set, nginx also serves https with certificates from
# DIR/tls (tls-certs.sh): P a valid one, P+1 a self-signed one, P+2 an
# expired one, P+3 one for another host name; P+4 is a CONNECT proxy; P+5
# (cutting-tls-server.py, the valid certificate) ends answers without close notify;
# P+6 is tinyproxy, which asks for the user "ravlix" with the password "s3cr-t_pw";
# P+7 and P+8 serve certificates that the authority revoked in DIR/tls/ca.crl
# (served as /ca.crl), P+8 one that names that URL as its list's place.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command=$1
dir=$(mkdir -p "$2" && cd "$2" && pwd)
default_sizes="1 4999 5000 5001 10007 1048576 67108864"

# Ends the process named in a pid file of ours, if it is still the program we started.
stop_pidfile() {
  local file=$1 pattern=$2 pid
  [ -f "$file" ] || return 0
  pid=$(cat "$file")
  if [ -n "$pid" ] && grep -qa "$pattern" "/proc/$pid/cmdline" 2>/dev/null; then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 50); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
  fi
  rm -f "$file"
}

stop() {
  stop_pidfile "$dir/nginx.pid" nginx
  stop_pidfile "$dir/python.pid" http.server
  stop_pidfile "$dir/proxy.pid" connect-proxy
  stop_pidfile "$dir/cutting.pid" cutting-tls-server
  stop_pidfile "$dir/tinyproxy.pid" tinyproxy
}

# tinyproxy in the foreground of its own session, for http and CONNECT alike,
# asking for a password.
start_password_proxy() {
  local port=$1
  cat >"$dir/tinyproxy.conf" <<CONF
Port $port
Listen 127.0.0.1
Timeout 60
MaxClients 64
Allow 127.0.0.1
BasicAuth ravlix s3cr-t_pw
LogFile "$dir/tinyproxy.log"
LogLevel Info
CONF
  setsid tinyproxy -d -c "$dir/tinyproxy.conf" </dev/null >"$dir/tinyproxy.out" 2>&1 &
  echo $! >"$dir/tinyproxy.pid"
}

wait_for_port() {
  local port=$1 name=$2
  for _ in $(seq 100); do
    if curl -s -o /dev/null "http://127.0.0.1:$port/f1.bin"; then
      return 0
    fi
    sleep 0.1
  done
  echo "$name did not answer on 127.0.0.1:$port" >&2
  return 1
}

# server blocks for https, one port per certificate.
tls_servers() {
  local base=$1 http_port=$2 offset=0 name
  for name in valid self-signed expired wrong-host; do
    cat <<CONF
  server {
    listen 127.0.0.1:$((base + offset)) ssl;
    listen [::1]:$((base + offset)) ssl;
    ssl_certificate $dir/tls/$name.crt;
    ssl_certificate_key $dir/tls/$name.key;
    root $dir/docroot;
    location ~ ^/moved/(.*)\$ { return 301 /\$1; }
    location ~ ^/to-http/(.*)\$ { return 302 http://127.0.0.1:$http_port/\$1; }
  }
CONF
    offset=$((offset + 1))
  done
  # After the proxies and the cutting server: the two revoked certificates.
  offset=7
  for name in revoked revoked-listed; do
    cat <<CONF
  server {
    listen 127.0.0.1:$((base + offset)) ssl;
    ssl_certificate $dir/tls/$name.crt;
    ssl_certificate_key $dir/tls/$name.key;
    root $dir/docroot;
  }
CONF
    offset=$((offset + 1))
  done
}

# /digest/f67108864.bin, when that file is served: it with its SHA-512 in
# Repr-Digest, on its 200 and 206 answers alike.
digest_location() {
  local file=$dir/docroot/f67108864.bin value
  [ -f "$file" ] || return 0
  value=$(openssl dgst -sha512 -binary "$file" | base64 -w0)
  echo "location = /digest/f67108864.bin { alias $file; add_header Repr-Digest \"sha-512=:$value:\"; }"
}

write_nginx_config() {
  local port=$1 user_line="" tls="" to_https="" digest
  digest=$(digest_location)
  if [ -n "${RAVLIX_TLS_PORT:-}" ]; then
    tls=$(tls_servers "$RAVLIX_TLS_PORT" "$port")
    to_https="location ~ ^/to-https/(.*)\$ { return 302 https://localhost:$RAVLIX_TLS_PORT/\$1; }"
  fi
  # A master running as root would hand the workers to "nobody".
  [ "$(id -u)" -eq 0 ] && user_line="user root;"
  mkdir -p "$dir/tmp"
  cat >"$dir/nginx.conf" <<CONF
$user_line
worker_processes 2;
pid $dir/nginx.pid;
error_log $dir/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  log_format sent '\$body_bytes_sent \$http_range';
  limit_req_zone \$binary_remote_addr zone=fivepersecond:1m rate=5r/s;
  client_body_temp_path $dir/tmp/body;
  proxy_temp_path $dir/tmp/proxy;
  fastcgi_temp_path $dir/tmp/fastcgi;
  uwsgi_temp_path $dir/tmp/uwsgi;
  scgi_temp_path $dir/tmp/scgi;
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  server {
    listen 127.0.0.1:$port;
    root $dir/docroot;
    # nginx lets the first second's worth through at once, then holds to the rate.
    location /slow/ { alias $dir/docroot/; limit_rate 2m; }
    location /slow-1m/ { alias $dir/docroot/; limit_rate 1m; }
    location /trickle/ { alias $dir/docroot/; limit_rate 256k; }
    # Also five requests a second, the rest waiting their turn; what each
    # answer sent is logged, for the kill benchmark's count of bytes fetched.
    location /limited/ {
      alias $dir/docroot/;
      limit_rate 1m;
      limit_req zone=fivepersecond burst=20;
      access_log $dir/limited.log sent;
    }
    location ~ ^/moved/(.*)\$ { return 301 /\$1; }
    location ~ ^/twice/(.*)\$ { return 302 /moved/\$1; }
    location = /loop { return 302 /loop; }
    $digest
    $to_https
  }
$tls
}
CONF
}

start() {
  local nginx_port=$1 python_port=$2
  shift 2
  local sizes=${*:-$default_sizes}
  stop
  mkdir -p "$dir/docroot"
  # shellcheck disable=SC2086
  python3 "$here/make-files.py" "$dir/docroot" $sizes
  if [ -n "${RAVLIX_TLS_PORT:-}" ]; then
    bash "$here/tls-certs.sh" servers "$dir/tls" "http://127.0.0.1:$nginx_port/ca.crl"
    cp "$dir/tls/ca.crl" "$dir/docroot/ca.crl"
    setsid python3 "$here/connect-proxy.py" "$((RAVLIX_TLS_PORT + 4))" </dev/null >"$dir/proxy.log" 2>&1 &
    echo $! >"$dir/proxy.pid"
    setsid python3 "$here/cutting-tls-server.py" "$((RAVLIX_TLS_PORT + 5))" "$dir/tls/valid.crt" \
      "$dir/tls/valid.key" "$dir/docroot" </dev/null >"$dir/cutting.log" 2>&1 &
    echo $! >"$dir/cutting.pid"
    start_password_proxy "$((RAVLIX_TLS_PORT + 6))"
  fi
  write_nginx_config "$nginx_port"
  nginx -p "$dir" -c "$dir/nginx.conf" -e "$dir/error.log"
  # Its own session and no inherited output, so that CTest does not wait for it.
  setsid python3 -m http.server "$python_port" --bind 127.0.0.1 --directory "$dir/docroot" \
    </dev/null >"$dir/python.log" 2>&1 &
  echo $! >"$dir/python.pid"
  wait_for_port "$nginx_port" nginx
  wait_for_port "$python_port" http.server
  if [ -n "${RAVLIX_TLS_PORT:-}" ]; then
    wait_for_port "$((RAVLIX_TLS_PORT + 6))" tinyproxy
  fi
}

case "$command" in
  start) shift 2; start "$@" ;;
  stop) stop ;;
  *) echo "usage: peers.sh start DIR NGINX_PORT PYTHON_PORT [SIZE...] | stop DIR" >&2; exit 2 ;;
esac
