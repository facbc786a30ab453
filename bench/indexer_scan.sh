#!/usr/bin/env bash
# Benchmark: the index job against smbclient on the same share.
#
# Builds a share of FILES files (default 50000: 20 folders x 25 subfolders x
# 100 files) on a private smbd on 127.0.0.1, then, in the same run, times
#   KIVIndexer --headless /index   (default settings: 15 threads, Levels 5, index file)
#   smbclient -c 'recurse; ls'
# three times each, alternating, and prints the best times, their ratio
# (index job / smbclient; below 1 means the job is faster) and the job's peak
# memory.
#
# Usage: bench/indexer_scan.sh [BUILD_DIR] [FILES]   (BUILD_DIR default: build;
# FILES 200 is a quick run that checks the bench still works)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-$root/build}" && pwd)
files=${2:-50000}
bin="$build/bin"
[ -x "$bin/KIVIndexer" ] && [ -x "$bin/kivreg" ] || { echo "build KIVIndexer and kivreg first" >&2; exit 1; }
command -v smbclient >/dev/null || { echo "smbclient not found" >&2; exit 1; }

work=$(mktemp -d -t tellwen-bench.XXXXXX)
fixture="$root/tests/integration/smbd-fixture"
cleanup() { "$fixture" stop "$work/smbd" || true; rm -rf "$work"; }
trap cleanup EXIT
# Stopped (a timeout, ^C): the EXIT trap still stops the private smbd.
trap 'exit 130' INT
trap 'exit 143' TERM

per_leaf=100
leaves=$(( (files + per_leaf - 1) / per_leaf ))
echo "== building a share of $files files in $leaves folders"
made=0
for (( i = 0; i < leaves; i++ )); do
  d="$work/share/top$(( i / 25 ))/sub$(( i % 25 ))"
  mkdir -p "$d"
  for (( f = 0; f < per_leaf && made < files; f++, made++ )); do
    : >"$d/file$f.dat"
  done
done
printf '[bench]\n  path = %s\n  guest ok = yes\n  read only = yes\n' "$work/share" >"$work/shares.conf"
port=$("$fixture" start "$work/smbd" "$work/shares.conf")

export TELLWEN_REGISTRY="$work/registry" TELLWEN_DATA="$work/data" TELLWEN_SMB_PORT=$port \
  TELLWEN_SMB_CONF="$root/tests/integration/smb-client.conf"
export XDG_RUNTIME_DIR="$work"
"$bin/kivreg" set MustEnumerateResourcesFromNetwork 0
"$bin/kivreg" set NetworkSearchInterfaces 0
"$bin/kivreg" set IndexerIncludeList '0|\\127.0.0.1'
"$bin/kivreg" set TemporaryFolder "$work/"
"$bin/kivreg" set OutputFile "$work/report.txt"
echo "   NumberOfThreads $("$bin/kivreg" get NumberOfThreads), Levels $("$bin/kivreg" get Levels)"

# The first connection starts the server's helpers; keep that out of both.
smbclient -s "$TELLWEN_SMB_CONF" "//127.0.0.1/bench" -p "$port" -N -c 'ls' >/dev/null 2>&1

now_ms() { date +%s%3N; }
peak_file="$work/peak"
run_index() {
  if [ -x /usr/bin/time ]; then
    /usr/bin/time -f '%M' -o "$peak_file" "$bin/KIVIndexer" --headless /index >/dev/null </dev/null
  else
    "$bin/KIVIndexer" --headless /index >/dev/null </dev/null
    echo "n/a" >"$peak_file"
  fi
}
run_smbclient() {
  smbclient -s "$TELLWEN_SMB_CONF" "//127.0.0.1/bench" -p "$port" -N -c 'recurse; ls' >"$work/ls.txt" 2>/dev/null
}

best_index=999999999 best_client=999999999 peak=0
for round in 1 2 3; do
  t0=$(now_ms); run_index; t1=$(now_ms)
  t2=$(now_ms); run_smbclient; t3=$(now_ms)
  (( t1 - t0 < best_index )) && best_index=$(( t1 - t0 ))
  (( t3 - t2 < best_client )) && best_client=$(( t3 - t2 ))
  p=$(cat "$peak_file")
  [ "$p" != "n/a" ] && (( p > peak )) && peak=$p
  echo "   round $round: index job $(( t1 - t0 )) ms, smbclient $(( t3 - t2 )) ms"
done

lines=$(wc -l <"$work/kivtmp.txt")
listed=$(grep -c '\.dat' "$work/ls.txt" || true)
echo "== index file: $lines lines; smbclient listed $listed files"
[ "$lines" -ge "$files" ] || { echo "the index job missed files" >&2; exit 1; }
echo "index job (best of 3): $best_index ms"
echo "smbclient recurse ls (best of 3): $best_client ms"
awk -v a="$best_index" -v b="$best_client" 'BEGIN { printf "ratio index job / smbclient: %.2f\n", a / b }'
if [ "$peak" -gt 0 ]; then echo "index job peak memory: $(( peak / 1024 )) MiB ($peak KiB)"; fi
