#!/usr/bin/env bash
# FTP download throughput on loopback: qbyget, curl and wget fetch the same
# file from one vsftpd (passive mode) into a file on disk, taking turns, several
# runs each; prints MiB/s, CPU seconds and peak RSS side by side.
#
#   run.sh [path/to/qbyget]     SIZE_MIB=1024 RUNS=3 by default
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
qbyget=${1:-$here/../../build/bin/qbyget}
size_mib=${SIZE_MIB:-1024}
runs=${RUNS:-3}

for needed in "$qbyget" /usr/sbin/vsftpd /usr/bin/time curl wget; do
  if ! command -v "$needed" >/dev/null; then
    echo "missing: $needed" >&2
    exit 1
  fi
done

work=$(mktemp -d "${TMPDIR:-/var/tmp}/qb-bench-ftp.XXXXXX")
server=
cleanup() {
  if [ -n "$server" ]; then
    kill -TERM -- "-$server" 2>/dev/null || true
    wait "$server" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A port nothing answers on, for the control connection.
free_port() {
  local port
  while :; do
    port=$((10000 + RANDOM % 10000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
}

# vsftpd enters this user's home before the served folder: it must have one.
anon_user=ftp
for user in ftp nobody daemon; do
  home=$(getent passwd "$user" | cut -d: -f6)
  if [ -n "$home" ] && [ -d "$home" ]; then
    anon_user=$user
    break
  fi
done

mkdir -m 755 "$work/root" "$work/empty"
echo "Creating a $size_mib MiB file..."
head -c "${size_mib}M" /dev/urandom >"$work/root/big.bin"
chmod 644 "$work/root/big.bin"
size=$(stat -c %s "$work/root/big.bin")

port=$(free_port)
pasv=$((20000 + RANDOM % 100 * 100))
cat >"$work/vsftpd.conf" <<CONF
listen=YES
listen_ipv6=NO
listen_address=127.0.0.1
listen_port=$port
anonymous_enable=YES
anon_root=$work/root
local_enable=NO
write_enable=NO
pasv_enable=YES
pasv_min_port=$pasv
pasv_max_port=$((pasv + 99))
background=NO
seccomp_sandbox=NO
isolate=NO
isolate_network=NO
secure_chroot_dir=$work/empty
ftp_username=$anon_user
xferlog_enable=NO
CONF
setsid /usr/sbin/vsftpd "$work/vsftpd.conf" >"$work/vsftpd.log" 2>&1 &
server=$!
for _ in $(seq 100); do
  if curl -s --max-time 1 -o /dev/null "ftp://127.0.0.1:$port/"; then
    break
  fi
  sleep 0.1
done
url="ftp://127.0.0.1:$port/big.bin"
cat "$work/root/big.bin" >/dev/null # the served file comes from memory for everyone

# One download: prints "tool MiB/s cpu-seconds peak-RSS-MiB".
measure() {
  local name=$1
  shift
  rm -f "$work/out"
  sync # the previous run's dirty pages are written before this one starts
  if ! /usr/bin/time -f "%e %U %S %M" -o "$work/time" "$@" >/dev/null 2>"$work/err"; then
    echo "$name failed: $(cat "$work/err")" >&2
    exit 1
  fi
  local got
  got=$(stat -c %s "$work/out")
  if [ "$got" != "$size" ]; then
    echo "$name wrote $got of $size bytes" >&2
    exit 1
  fi
  read -r elapsed user sys rss <"$work/time"
  awk -v n="$name" -v mib="$size_mib" -v e="$elapsed" -v u="$user" -v s="$sys" -v r="$rss" \
    'BEGIN { if (e <= 0) e = 0.01; printf "%s %.1f %.2f %.1f\n", n, mib / e, u + s, r / 1024 }'
}

echo "FTP download of $size_mib MiB from vsftpd on loopback, passive mode, $runs runs each"
results="$work/results"
: >"$results"
for run in $(seq "$runs"); do
  measure qbyget "$qbyget" "$url" "$work/out" | tee -a "$results"
  measure curl curl -s -o "$work/out" "$url" | tee -a "$results"
  measure wget wget -q -O "$work/out" "$url" | tee -a "$results"
done

echo
awk '
  { n[$1]++; rate[$1] += $2; cpu[$1] += $3; if ($4 > rss[$1]) rss[$1] = $4
    if ($2 > best[$1]) best[$1] = $2 }
  END {
    printf "%-8s %10s %10s %12s %14s\n", "tool", "MiB/s", "best MiB/s", "CPU s/run", "peak RSS MiB"
    split("qbyget curl wget", order, " ")
    for (i = 1; i <= 3; i++) {
      t = order[i]
      printf "%-8s %10.1f %10.1f %12.2f %14.1f\n", t, rate[t] / n[t], best[t], cpu[t] / n[t], rss[t]
    }
    printf "\nqbyget reaches %.0f %% of curl'"'"'s mean rate.\n", 100 * rate["qbyget"] / rate["curl"]
  }' "$results"
