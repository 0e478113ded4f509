#!/usr/bin/env bash
# Download throughput on loopback: qbyget against curl and wget, same file, same
# server, same disk, several runs each, over http and over https (TLS 1.3 with one
# cipher suite for every client). Prints MiB/s, CPU seconds and peak RSS.
#
#   bash bench/throughput/run.sh [--size MIB] [--runs N] [--qbyget PATH] [--dir DIR]
#
# Heavy: it writes a SIZE MiB file plus one copy per run. Never a test: it
# prints figures and judges nothing.
set -euo pipefail

SIZE_MIB=1024
RUNS=3
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
QBYGET="$ROOT/build/bin/qbyget"
WORK_PARENT=${TMPDIR:-/var/tmp}

while [ $# -gt 0 ]; do
  case "$1" in
    --size) SIZE_MIB=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --qbyget) QBYGET=$2; shift 2 ;;
    --dir) WORK_PARENT=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done

# The peers measured, and the measuring tool itself.
need=()
command -v nginx >/dev/null || [ -x /usr/sbin/nginx ] || need+=(nginx-light)
command -v curl >/dev/null || need+=(curl)
command -v wget >/dev/null || need+=(wget)
[ -x /usr/bin/time ] || need+=(time)
if [ ${#need[@]} -gt 0 ]; then
  echo "Installing: ${need[*]}"
  sudo_=""; [ "$(id -u)" -eq 0 ] || sudo_=sudo
  $sudo_ apt-get update -qq
  $sudo_ env DEBIAN_FRONTEND=noninteractive RUNLEVEL=1 apt-get install -y -qq --no-install-recommends "${need[@]}"
fi
command -v openssl >/dev/null || need+=(openssl)
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
[ -x "$QBYGET" ] || { echo "qbyget not found at $QBYGET (build first)" >&2; exit 1; }

WORK=$(mktemp -d "$WORK_PARENT/qb-bench.XXXXXX")
PIDS=()
cleanup() {
  for pid in "${PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/www" "$WORK/out" "$WORK/logs" "$WORK/temp"
echo "Creating a $SIZE_MIB MiB file in $WORK ..."
head -c "$((SIZE_MIB * 1024 * 1024))" /dev/urandom > "$WORK/www/data.bin"
SUM=$(sha256sum < "$WORK/www/data.bin" | cut -d' ' -f1)
BYTES=$(stat -c %s "$WORK/www/data.bin")

# A test authority and a certificate for 127.0.0.1, so that every client checks the
# server as it would on the internet.
CIPHER=TLS_AES_256_GCM_SHA384
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 \
  -subj "/CN=Bench CA" -keyout "$WORK/ca.key" -out "$WORK/ca.pem" 2>/dev/null
openssl req -x509 -CA "$WORK/ca.pem" -CAkey "$WORK/ca.key" -newkey ec \
  -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj "/CN=127.0.0.1" \
  -addext "subjectAltName=IP:127.0.0.1" -addext "basicConstraints=critical,CA:false" \
  -keyout "$WORK/server.key" -out "$WORK/server.pem" 2>/dev/null

# nginx on a free loopback port, as a plain process with its own configuration.
start_nginx() {
  local port
  for _ in 1 2 3 4 5; do
    port=$((20000 + RANDOM % 40000))
    cat > "$WORK/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $WORK/nginx.pid;
error_log $WORK/logs/error.log warn;
events { worker_connections 64; }
http {
    access_log off;
    client_body_temp_path $WORK/temp/body;
    proxy_temp_path $WORK/temp/proxy;
    fastcgi_temp_path $WORK/temp/fastcgi;
    uwsgi_temp_path $WORK/temp/uwsgi;
    scgi_temp_path $WORK/temp/scgi;
    default_type application/octet-stream;
    sendfile on;
    log_format tls '\$ssl_protocol \$ssl_cipher \$http_user_agent';
    server { listen 127.0.0.1:$port; root $WORK/www; }
    server {
        listen 127.0.0.1:$((port + 1)) ssl;
        root $WORK/www;
        ssl_certificate $WORK/server.pem;
        ssl_certificate_key $WORK/server.key;
        ssl_protocols TLSv1.3;
        ssl_conf_command Ciphersuites $CIPHER;
        access_log $WORK/logs/tls.log tls;
    }
}
CONF
    "$NGINX" -p "$WORK" -c "$WORK/nginx.conf" -e "$WORK/logs/error.log" &
    local pid=$!
    for _ in $(seq 50); do
      if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
        PIDS+=("$pid")
        HTTP_PORT=$port
        HTTPS_PORT=$((port + 1))
        return 0
      fi
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill "$pid" 2>/dev/null || true
  done
  echo "nginx did not start:" >&2
  cat "$WORK/logs/error.log" >&2
  exit 1
}

ROWS="$WORK/rows.txt"
: > "$ROWS"
# measure RUN LABEL OUTFILE COMMAND...: one timed run, one row.
measure() {
  local i=$1 label=$2 out=$3
  shift 3
  rm -f "$out"
  sync
  if ! /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$@" >/dev/null 2>"$WORK/stderr.txt"; then
    echo "$label run $i failed: $(cat "$WORK/stderr.txt")" >&2
    return
  fi
  local ok=yes
  if [ "$(stat -c %s "$out")" != "$BYTES" ]; then
    ok=SIZE
  elif [ "$i" -eq "$RUNS" ] && [ "$(sha256sum < "$out" | cut -d' ' -f1)" != "$SUM" ]; then
    ok=DIFFERS
  fi
  read -r elapsed user sys rss < <(tail -1 "$WORK/time.txt")
  echo "$label $i $elapsed $user $sys $rss $ok" >> "$ROWS"
  rm -f "$out"
}

start_nginx
URL="http://127.0.0.1:$HTTP_PORT/data.bin"
echo "HTTP from nginx on 127.0.0.1:$HTTP_PORT, $RUNS runs each ..."
sync
# Rounds take each tool in turn, so that a disturbance (writeback, another
# process) spreads over all of them instead of falling on one.
for i in $(seq "$RUNS"); do
  measure "$i" qbyget-http "$WORK/out/q.bin" "$QBYGET" "$URL" "$WORK/out/q.bin"
  measure "$i" curl-http "$WORK/out/c.bin" curl -s -o "$WORK/out/c.bin" "$URL"
  measure "$i" wget-http "$WORK/out/w.bin" wget -q -O "$WORK/out/w.bin" "$URL"
done

HTTPS_URL="https://127.0.0.1:$HTTPS_PORT/data.bin"
echo "HTTPS (TLS 1.3, $CIPHER) from nginx on 127.0.0.1:$HTTPS_PORT, $RUNS runs each ..."
for i in $(seq "$RUNS"); do
  measure "$i" qbyget-https "$WORK/out/q.bin" "$QBYGET" --ca-file="$WORK/ca.pem" "$HTTPS_URL" "$WORK/out/q.bin"
  measure "$i" curl-https "$WORK/out/c.bin" curl -s --cacert "$WORK/ca.pem" -o "$WORK/out/c.bin" "$HTTPS_URL"
  measure "$i" wget-https "$WORK/out/w.bin" wget -q --ca-certificate="$WORK/ca.pem" -O "$WORK/out/w.bin" "$HTTPS_URL"
done

# FTP throughput (vsftpd) is measured by ../throughput-ftp/run.sh.

# A silent server: what does waiting cost? (needs python3 for the listener)
if command -v python3 >/dev/null; then
  SILENT_PORT=$((20000 + RANDOM % 40000))
  python3 -c "
import socket, time
s = socket.socket(); s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
s.bind(('127.0.0.1', $SILENT_PORT)); s.listen(4)
conns = []
while True:
    c, _ = s.accept(); conns.append(c)
" &
  PIDS+=("$!")
  for _ in $(seq 100); do
    (exec 3<>"/dev/tcp/127.0.0.1/$SILENT_PORT") 2>/dev/null && break
    sleep 0.1
  done
  /usr/bin/time -f "%e %U %S %M" -o "$WORK/time.txt" "$QBYGET" --timeout=5 "http://127.0.0.1:$SILENT_PORT/x" "$WORK/out/s.bin" \
    >/dev/null 2>&1 || true
  # The last line: time puts "Command exited with non-zero status" before it.
  SILENT=$(tail -1 "$WORK/time.txt" | awk '{ printf "qbyget against a silent server, --timeout=5: %.2f s elapsed, %.2f s CPU", $1, $2 + $3 }')
fi

echo
printf "%-12s %4s %9s %9s %8s %9s %s\n" tool run seconds MiB/s CPU-s RSS-MiB check
awk -v bytes="$BYTES" '{
  mibs = bytes / 1048576 / ($3 > 0 ? $3 : 0.001);
  printf "%-12s %4d %9.2f %9.1f %8.2f %9.1f %s\n", $1, $2, $3, mibs, $4 + $5, $6 / 1024, $7
}' "$ROWS"
echo
echo "Median run of each (MiB/s, CPU s, peak RSS MiB over all runs), and qbyget against the others:"
sort -k1,1 -k3,3n "$ROWS" | awk -v bytes="$BYTES" '{
  n[$1]++; secs[$1, n[$1]] = $3; cpus[$1, n[$1]] = $4 + $5
  if ($6 > rss[$1]) rss[$1] = $6
} END {
  for (t in n) {
    m = int((n[t] + 1) / 2)
    best[t] = bytes / 1048576 / (secs[t, m] > 0 ? secs[t, m] : 0.001)
    cpu[t] = cpus[t, m]
  }
  for (t in best) printf "  %-12s %9.1f MiB/s %8.2f CPU-s %8.1f MiB\n", t, best[t], cpu[t], rss[t] / 1024
  for (t in best) {
    split(t, parts, "-")
    if (parts[1] == "qbyget") {
      for (u in best) {
        split(u, other, "-")
        if (other[1] != "qbyget" && other[2] == parts[2])
          printf "  qbyget/%s over %s: %.0f %%\n", other[1], parts[2], 100 * best[t] / best[u]
      }
    }
  }
}' | sort
[ -n "${SILENT:-}" ] && { echo; echo "$SILENT"; }
if [ -s "$WORK/logs/tls.log" ]; then
  echo
  echo "TLS sessions nginx saw (protocol, cipher, client):"
  sort "$WORK/logs/tls.log" | uniq -c | sed 's/^/  /'
fi
echo
echo "File: $SIZE_MIB MiB, $RUNS runs per tool, written to $WORK/out (on $(df --output=source "$WORK" | tail -1))."
