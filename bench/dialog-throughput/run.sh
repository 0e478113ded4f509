#!/usr/bin/env bash
# The download dialog's throughput beside qbyget and curl: the same file from the same
# nginx on loopback, rounds taking each tool in turn. The dialog runs offscreen
# (bench_dialog); its figure is the transfer from pressing Download to the idle dialog,
# and its whole process is shown too. Prints MiB/s and CPU seconds, and the dialog's
# share of qbyget's throughput. Never a test: it prints figures and judges nothing.
#
#   bash bench/dialog-throughput/run.sh [--size MIB] [--runs N] [--bin DIR] [--dir DIR]
set -euo pipefail

SIZE_MIB=1024
RUNS=5
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BIN="$ROOT/build/bin"
WORK_PARENT=${TMPDIR:-/var/tmp}

while [ $# -gt 0 ]; do
  case "$1" in
    --size) SIZE_MIB=$2; shift 2 ;;
    --runs) RUNS=$2; shift 2 ;;
    --bin) BIN=$2; shift 2 ;;
    --dir) WORK_PARENT=$2; shift 2 ;;
    -h|--help) sed -n '2,9p' "$0"; exit 0 ;;
    *) echo "unknown option: $1" >&2; exit 2 ;;
  esac
done
NGINX=$(command -v nginx || echo /usr/sbin/nginx)
for tool in "$NGINX" /usr/bin/time "$(command -v curl || true)" "$BIN/qbyget" "$BIN/bench_dialog"; do
  [ -n "$tool" ] && [ -x "$tool" ] || { echo "missing: ${tool:-curl} (build first; apt-get install nginx-light curl time)" >&2; exit 1; }
done

WORK=$(mktemp -d "$WORK_PARENT/qb-dialog-bench.XXXXXX")
NGINX_PID=""
cleanup() {
  [ -n "$NGINX_PID" ] && kill "$NGINX_PID" 2>/dev/null || true
  wait 2>/dev/null || true
  rm -rf "$WORK"
}
trap cleanup EXIT

mkdir -p "$WORK/www" "$WORK/out" "$WORK/logs" "$WORK/temp" "$WORK/home/program" \
  "$WORK/home/registry" "$WORK/home/runtime" "$WORK/library"
chmod 700 "$WORK/home/runtime"
# The dialog gets a program folder of its own; nothing it "opens" is launched.
export QUILLBAY_HOME="$WORK/home/program" QUILLBAY_REGISTRY="$WORK/home/registry" \
  XDG_RUNTIME_DIR="$WORK/home/runtime" QUILLBAY_SHELL_LOG="$WORK/shell.log" \
  QT_QPA_PLATFORM=offscreen
echo "Creating a $SIZE_MIB MiB file in $WORK ..."
head -c "$((SIZE_MIB * 1024 * 1024))" /dev/urandom > "$WORK/www/data.bin"
SUM=$(sha256sum < "$WORK/www/data.bin" | cut -d' ' -f1)
BYTES=$(stat -c %s "$WORK/www/data.bin")

for _ in 1 2 3 4 5; do
  PORT=$((20000 + RANDOM % 40000))
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
    server { listen 127.0.0.1:$PORT; root $WORK/www; }
}
CONF
  "$NGINX" -p "$WORK" -c "$WORK/nginx.conf" -e "$WORK/logs/error.log" &
  NGINX_PID=$!
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$PORT/" && break 2
    sleep 0.1
  done
  kill "$NGINX_PID" 2>/dev/null || true
  NGINX_PID=""
done
[ -n "$NGINX_PID" ] || { echo "nginx did not start" >&2; cat "$WORK/logs/error.log" >&2; exit 1; }
URL="http://127.0.0.1:$PORT/data.bin"

ROWS="$WORK/rows.txt"
: > "$ROWS"
check() { # FILE: "yes" when it is the served file
  if [ "$(stat -c %s "$1" 2>/dev/null || echo 0)" != "$BYTES" ]; then echo SIZE
  elif [ "$(sha256sum < "$1" | cut -d' ' -f1)" != "$SUM" ]; then echo DIFFERS
  else echo yes; fi
}
# timed RUN LABEL OUTFILE COMMAND...: the whole process, one row.
timed() {
  local i=$1 label=$2 out=$3
  shift 3
  rm -f "$out"
  sync
  /usr/bin/time -f "%e %U %S" -o "$WORK/time.txt" "$@" > "$WORK/stdout.txt" 2> "$WORK/stderr.txt" ||
    { echo "$label run $i failed: $(cat "$WORK/stderr.txt")" >&2; return; }
  read -r elapsed user sys < <(tail -1 "$WORK/time.txt")
  echo "$label $i $elapsed $(echo "$user + $sys" | bc -l) $(check "$out")" >> "$ROWS"
}

echo "HTTP from nginx on 127.0.0.1:$PORT, $RUNS rounds ..."
for i in $(seq "$RUNS"); do
  timed "$i" qbyget "$WORK/out/q.bin" "$BIN/qbyget" "$URL" "$WORK/out/q.bin"
  rm -f "$WORK/out/q.bin"
  rm -rf "$WORK/library/Files"
  timed "$i" dialog-process "$WORK/library/Files/data.bin" "$BIN/bench_dialog" "$URL" "$WORK/library"
  # bench_dialog prints the transfer alone: seconds, user and system CPU, bytes.
  read -r t u s _ < "$WORK/stdout.txt"
  echo "dialog $i $t $(echo "$u + $s" | bc -l) $(check "$WORK/library/Files/data.bin")" >> "$ROWS"
  rm -rf "$WORK/library/Files"
  timed "$i" curl "$WORK/out/c.bin" curl -s -o "$WORK/out/c.bin" "$URL"
  rm -f "$WORK/out/c.bin"
done

echo
printf "%-15s %4s %9s %9s %8s %s\n" tool run seconds MiB/s CPU-s check
awk -v bytes="$BYTES" '{
  printf "%-15s %4d %9.3f %9.1f %8.3f %s\n", $1, $2, $3, bytes / 1048576 / ($3 > 0 ? $3 : 0.001), $4, $5
}' "$ROWS"
echo
echo "Median of each (wall MiB/s, CPU seconds), and the dialog against qbyget:"
# median COLUMN: "tool value" per tool, the median of that column over the runs.
median() {
  sort -k1,1 -k"$1","$1"n "$ROWS" | awk -v col="$1" '{ n[$1]++; v[$1, n[$1]] = $col }
    END { for (t in n) print t, v[t, int((n[t] + 1) / 2)] }' | sort
}
join <(median 3) <(median 4) | awk -v bytes="$BYTES" '{
  rate[$1] = bytes / 1048576 / ($2 > 0 ? $2 : 0.001); cpu[$1] = $3
  printf "  %-15s %9.1f MiB/s %8.3f CPU-s %9.1f MiB per CPU-s\n", $1, rate[$1], $3, bytes / 1048576 / ($3 > 0 ? $3 : 0.001)
} END {
  if (("dialog" in rate) && ("qbyget" in rate)) {
    printf "  dialog / qbyget throughput (wall): %.0f %%\n", 100 * rate["dialog"] / rate["qbyget"]
    printf "  dialog / qbyget CPU per byte: %.2fx\n", cpu["dialog"] / (cpu["qbyget"] > 0 ? cpu["qbyget"] : 0.001)
  }
}'
echo
echo "File: $SIZE_MIB MiB, $RUNS rounds; load average $(cut -d' ' -f1-3 /proc/loadavg) on $(nproc) cores."
