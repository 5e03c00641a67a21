#!/usr/bin/env bash
# Moves one 1 GiB file over loopback three ways in the same run and prints the times and ratios:
#   tarnwick  two tarnwick-peer processes over TLS 1.3 (describe, stream, verify, place), plus the
#             streaming phase alone as the sender measures it, and each side's peak memory;
#   scp       to an sshd this script starts on 127.0.0.1;
#   https     a curl upload (PUT) to an nginx this script starts on 127.0.0.1, which writes it to disk.
# Then a folder of many 4 KiB files, as one tarnwick offer and as `scp -r`, with the receiver's peak memory.
# Usage: bench/compare-transfer.sh <tarnwick-peer> [size in MiB, default 1024] [runs, default 3]
#        [small files, default 10000; 0 skips them]
# Files live under BENCH_DIR (default /var/tmp). Only the tarnwick receiver syncs what it wrote, so on a
# disk it alone waits for the device; BENCH_DIR=/dev/shm compares the three without a disk.
# Needs root (it starts sshd and nginx); installs openssh-server, nginx and time when missing.
set -euo pipefail
peer_tool=$(realpath "$1")
size_mib=${2:-1024}
runs=${3:-3}
small_files=${4:-10000}

needed=()
for p in openssh-server openssh-client nginx-light time openssl curl; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || needed+=("$p")
done
if [ ${#needed[@]} -gt 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${needed[@]}" >/dev/null
fi

work=$(mktemp -d "${BENCH_DIR:-/var/tmp}/tarnwick-compare.XXXXXX")
pids=()
cleanup() {
    # The receiver runs under time: its pid is time's, and the receiver itself is time's child.
    for pid in "${pids[@]}"; do
        pkill -P "$pid" 2>/dev/null || true
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

mkdir "$work/large"
file="$work/large/movie.bin"
head -c "${size_mib}M" /dev/urandom >"$file"
bytes=$(stat -c %s "$file")
cat "$file" >/dev/null # every method starts from a warm page cache

now() { date +%s.%N; }
seconds_since() { awk -v a="$1" -v b="$(now)" 'BEGIN { printf "%.3f\n", b - a }'; }
median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
mbps() { awk -v b="$bytes" -v s="$1" 'BEGIN { printf "%.0f", b / 1e6 / s }'; }

# --- tarnwick-peer, receiver and sender as two processes on loopback. The two homes last across runs,
# as scp's keys do: the first run creates both identities and pairs them, later runs start paired.
# Usage: tarnwick_once <label> <folder holding the files>; the time goes to $work/<label>.times.
tarnwick_once() {
    local label=$1 from=$2 dir="$work/tarnwick"
    local count
    count=$(find "$from" -type f | wc -l)
    mkdir -p "$dir"
    /usr/bin/time -f "%M" -o "$dir/receiver.rss" "$peer_tool" receive --home "$dir/r" --into "$dir/inbox" \
        --port 0 >"$dir/receiver.log" 2>&1 &
    local receiver=$!
    pids+=("$receiver")
    until grep -q "^listening" "$dir/receiver.log"; do sleep 0.05; done
    local port
    port=$(awk '/^listening/ { print $2 }' "$dir/receiver.log")
    local began
    began=$(now)
    (cd "$from" && /usr/bin/time -f "%M" -o "$dir/sender.rss" "$peer_tool" send --home "$dir/s" \
        --address "127.0.0.1:$port" ./*) >"$dir/sender.log" || { cat "$dir/sender.log" "$dir/receiver.log" >&2; exit 1; }
    until [ "$(grep -c "^received" "$dir/receiver.log")" -ge "$count" ]; do sleep 0.01; done
    seconds_since "$began" >>"$work/$label.times"
    pkill -TERM -P "$receiver" # the receiver itself, under time, which then writes its figure
    wait "$receiver" || true
    diff -r -q "$from" "$dir/inbox" >/dev/null || { echo "tarnwick $label: the files arrived damaged" >&2; exit 1; }
    awk '/^streamed/ { print $2 }' "$dir/sender.log" >>"$work/$label.streaming"
    cat "$dir/sender.rss" >>"$work/$label.sender.rss"
    cat "$dir/receiver.rss" >>"$work/$label.receiver.rss"
    rm -rf "$dir/inbox"
}

# --- scp to a private sshd on 127.0.0.1
start_sshd() {
    mkdir -p "$work/ssh" /run/sshd
    ssh-keygen -q -t ed25519 -N "" -f "$work/ssh/host"
    ssh-keygen -q -t ed25519 -N "" -f "$work/ssh/user"
    cp "$work/ssh/user.pub" "$work/ssh/authorized"
    cat >"$work/ssh/sshd_config" <<EOF
ListenAddress 127.0.0.1
Port 2222
HostKey $work/ssh/host
AuthorizedKeysFile $work/ssh/authorized
PermitRootLogin prohibit-password
StrictModes no
PidFile $work/ssh/sshd.pid
Subsystem sftp /usr/lib/openssh/sftp-server
EOF
    /usr/sbin/sshd -f "$work/ssh/sshd_config" -D &
    pids+=($!)
    sleep 0.5
}
# Usage: scp_once <label> <file or folder>
scp_once() {
    local began
    began=$(now)
    scp -q -r -i "$work/ssh/user" -P 2222 -o StrictHostKeyChecking=no -o UserKnownHostsFile=/dev/null \
        "$2" "root@127.0.0.1:$work/scp-copy"
    seconds_since "$began" >>"$work/$1.times"
    rm -rf "$work/scp-copy"
}

# --- curl PUT over HTTPS to a private nginx that writes the body to disk
start_nginx() {
    mkdir -p "$work/nginx/upload" "$work/nginx/body"
    openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 1 -subj /CN=127.0.0.1 \
        -keyout "$work/nginx/key.pem" -out "$work/nginx/cert.pem" 2>/dev/null
    cat >"$work/nginx/nginx.conf" <<EOF
daemon off;
user root;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log;
events {}
http {
    access_log off;
    client_body_temp_path $work/nginx/body;
    server {
        listen 127.0.0.1:8443 ssl;
        ssl_protocols TLSv1.3;
        ssl_certificate $work/nginx/cert.pem;
        ssl_certificate_key $work/nginx/key.pem;
        client_max_body_size 0;
        root $work/nginx/upload;
        location / { dav_methods PUT; }
    }
}
EOF
    nginx -c "$work/nginx/nginx.conf" &
    pids+=($!)
    sleep 0.5
}
https_once() {
    local began
    began=$(now)
    curl -sS -k --fail -T "$file" https://127.0.0.1:8443/movie.bin -o /dev/null
    seconds_since "$began" >>"$work/https.times"
    rm -f "$work/nginx/upload/movie.bin"
}

start_sshd
start_nginx
for run in $(seq "$runs"); do
    tarnwick_once tarnwick "$work/large"
    scp_once scp "$file"
    https_once
done

tarnwick=$(median <"$work/tarnwick.times")
streaming=$(median <"$work/tarnwick.streaming")
scp_time=$(median <"$work/scp.times")
https_time=$(median <"$work/https.times")
echo "1 file of $bytes bytes over loopback, median of $runs runs"
echo "tarnwick end to end:  ${tarnwick} s ($(mbps "$tarnwick") MB/s); sender peak $(median <"$work/tarnwick.sender.rss") KiB, receiver peak $(median <"$work/tarnwick.receiver.rss") KiB"
echo "tarnwick streaming:   $streaming MB/s"
echo "scp:                  ${scp_time} s ($(mbps "$scp_time") MB/s)"
echo "curl HTTPS to nginx:  ${https_time} s ($(mbps "$https_time") MB/s)"
awk -v t="$tarnwick" -v s="$scp_time" -v m="$streaming" -v h="$https_time" -v b="$bytes" 'BEGIN {
    printf "end to end vs scp: %.2fx faster (goal: at least 1.33x)\n", s / t
    printf "streaming vs HTTPS upload: %.2f of its speed (goal: at least 0.90)\n", m / (b / 1e6 / h)
}'
rm -rf "$work/large"

[ "$small_files" -gt 0 ] || exit 0
mkdir "$work/small"
head -c $((small_files * 4096)) /dev/urandom | split -b 4096 -a 5 -d - "$work/small/file-"
cat "$work"/small/* >/dev/null
for run in $(seq "$runs"); do
    tarnwick_once small "$work/small"
    scp_once scp-small "$work/small"
done
small=$(median <"$work/small.times")
scp_small=$(median <"$work/scp-small.times")
echo "$small_files files of 4 KiB over loopback, median of $runs runs"
echo "tarnwick end to end:  ${small} s; receiver peak $(median <"$work/small.receiver.rss") KiB"
echo "scp -r:               ${scp_small} s"
awk -v t="$small" -v s="$scp_small" 'BEGIN { printf "many files vs scp -r: %.2fx faster (goal: at least 1.5x)\n", s / t }'
