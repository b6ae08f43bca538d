#!/usr/bin/env bash
# Tries zyvora-cli as a hostile or clumsy user would, many times over, and counts the outcomes:
# interrupted writes, file size limits, parallel sets, a full disk (as root) and a TFTP peer that
# answers with data. Every outcome must be one the program promises; any other is counted as BAD
# and makes the exit status 1.
#   scripts/hostile.sh [BUILD_DIR] [RUNS]      (defaults: build, 100)
set -uo pipefail
set -m  # background jobs take SIGINT as a terminal's foreground job would
cd "$(dirname "$0")/.."
build="$(realpath "${1:-build}")"
runs="${2:-100}"
cli="$build/cli/zyvora-cli"
[ -x "$cli" ] || { echo "hostile.sh: no $cli; build first" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work"
export XDG_DATA_HOME="$work/data"
bad=0
shown=log  # the output a BAD outcome shows
declare -A count

note() { count["$1"]=$(( ${count["$1"]:-0} + 1 )); case "$1" in BAD*) bad=1; echo "$1" >&2; [ -f "$shown" ] && tail -n 4 "$shown" >&2;; esac; }

"$cli" defaults old.cfg
"$cli" set old.cfg Callsign=OLD1 TXdelay=300 >/dev/null 2>&1
"$cli" defaults new.cfg
"$cli" set new.cfg Callsign=NEW1 TXdelay=400 >/dev/null 2>&1

# Interrupted writes: one or two SIGINTs at a random moment. A write either ends verified with
# the new settings, or fails saying so with the device holding the old ones, or fails saying it
# left an incomplete configuration and naming a complete backup of the old ones.
for ((i = 0; i < runs; i++)); do
  rm -f e.bin
  "$cli" --device sim:e.bin write --no-backup old.cfg >/dev/null 2>&1 || { note "BAD: setup write"; continue; }
  "$cli" --device sim:e.bin --sim-latency-us 2000 -v write new.cfg >log 2>&1 &
  pid=$!
  sleep "$(awk -v r=$RANDOM 'BEGIN { printf "%.2f", r / 32767 * 3.5 }')"
  kill -INT "$pid" 2>/dev/null
  if (( RANDOM % 2 )); then sleep "0.$(( RANDOM % 90 + 1 ))"; kill -INT "$pid" 2>/dev/null; fi
  wait "$pid"; rc=$?
  if [ $rc -eq 0 ]; then
    if grep -q '^Verify success' log && "$cli" diff new.cfg e.bin >/dev/null 2>&1; then note "write: completed and verified"
    else note "BAD: exit 0 without the new settings"; fi
  elif grep -q '^Verify stopped: the settings were written' log; then
    if "$cli" diff new.cfg e.bin >/dev/null 2>&1; then note "write: written, verify stopped, said so"
    else note "BAD: said written, device without the new settings"; fi
  elif grep -q 'nothing was written to the device' log; then
    if "$cli" diff old.cfg e.bin >/dev/null 2>&1; then note "write: stopped before a page, said so, old settings kept"
    else note "BAD: said nothing was written, device changed"; fi
  elif grep -q 'the device holds an incomplete configuration' log; then
    backup="$(grep -o '/[^ ]*backups/[^ ;]*\.cfg' log | head -n 1)"
    if [ -n "$backup" ] && [ -s "$backup" ] && [ -s "${backup%.cfg}.bin" ] &&
       "$cli" diff old.cfg "$backup" >/dev/null 2>&1; then note "write: stopped, incomplete, complete backup named"
    else note "BAD: incomplete without a complete backup"; fi
  elif "$cli" diff old.cfg e.bin >/dev/null 2>&1; then note "write: stopped early, old settings kept"
  else note "BAD: failed, device changed, not said"; fi
done

shown=err
# A file size limit while saving: the file is the old one or the whole new one, and a failure says so.
for ((i = 0; i < runs / 4; i++)); do
  cp old.cfg f.cfg; ln -f f.cfg link.cfg      # a hard link takes the in-place path
  for target in f.cfg; do
    ( ulimit -f $(( RANDOM % 40 + 1 )); "$cli" set "$target" Beacon1_msg="$(head -c 3000 /dev/zero | tr '\0' x)" >/dev/null 2>err )
    rc=$?
    if [ $rc -eq 0 ]; then
      [ "$("$cli" get "$target" Beacon1_msg 2>/dev/null | head -c 5)" = "xxxxx" ] && note "size limit: saved whole" || note "BAD: saved, value missing"
    elif cmp -s "$target" old.cfg; then note "size limit: refused, file as it was"
    elif grep -q 'may be damaged' err; then note "size limit: damage said"
    else note "BAD: failed and file changed"; fi
  done
done

# Parallel sets on one file keep both changes.
for ((i = 0; i < runs / 4; i++)); do
  cp old.cfg p.cfg
  "$cli" set p.cfg Beacon2_msg=ONE >/dev/null 2>&1 & a=$!
  "$cli" set p.cfg Beacon3_msg=TWO >/dev/null 2>&1 & b=$!
  wait $a; ra=$?; wait $b; rb=$?
  one="$("$cli" get p.cfg Beacon2_msg 2>/dev/null)"; two="$("$cli" get p.cfg Beacon3_msg 2>/dev/null)"
  if [ "$one" = ONE ] && [ "$two" = TWO ]; then note "parallel set: both kept"
  elif [ $ra -ne 0 ] || [ $rb -ne 0 ]; then note "parallel set: one refused, said so"
  else note "BAD: parallel set lost a change"; fi
done

# A full disk (root only: a small tmpfs).
if [ "$(id -u)" -eq 0 ] && mkdir -p full && mount -t tmpfs -o size=48k tmpfs full 2>/dev/null; then
  for ((i = 0; i < runs / 4; i++)); do
    cp old.cfg full/f.cfg
    head -c $(( (RANDOM % 40) * 1024 )) /dev/zero > full/filler 2>/dev/null
    "$cli" set full/f.cfg Beacon1_msg=FULLDISK >/dev/null 2>err; rc=$?
    if [ $rc -eq 0 ]; then [ "$("$cli" get full/f.cfg Beacon1_msg 2>/dev/null)" = FULLDISK ] && note "full disk: saved" || note "BAD: full disk, exit 0, not saved"
    elif cmp -s full/f.cfg old.cfg; then note "full disk: refused, file as it was"
    else note "BAD: full disk, file changed"; fi
    rm -f full/filler full/.zyvora-* 2>/dev/null
  done
  umount full
else
  note "full disk: skipped (needs root)"
fi

# A TFTP peer that answers the write request with data.
if command -v python3 >/dev/null; then
  head -c 4096 /dev/urandom > fw.bin   # a stand-in firmware of whole pages
  "$cli" --firmware fw.bin ruf new.cfg u.ruf >/dev/null 2>&1 || true
  if [ -s u.ruf ]; then
    python3 - <<'EOF' &
import socket, struct
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 6969)); s.settimeout(20)
open("peer-ready", "w").close()
while True:
    try:
        _, peer = s.recvfrom(1024)
    except OSError:
        break
    t = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    t.sendto(struct.pack("!HH", 3, 1) + b"\x1b[31mPEER DATA" * 40, peer)
EOF
    peer=$!
    w=0; while [ ! -e peer-ready ] && [ $((w++)) -lt 100 ]; do sleep 0.1; done
    for ((i = 0; i < 3; i++)); do
      "$cli" send-update --timeout 2 127.0.0.1:6969 u.ruf >out 2>err; rc=$?
      if [ $rc -eq 1 ] && ! grep -q 'PEER' out err && grep -q 'answered with data' err; then note "tftp data peer: refused, nothing printed"
      else note "BAD: tftp data peer taken (exit $rc)"; fi
    done
    kill $peer 2>/dev/null; wait $peer 2>/dev/null
  fi
fi

for k in "${!count[@]}"; do printf '%5d  %s\n' "${count[$k]}" "$k"; done | sort -k2
exit $bad
