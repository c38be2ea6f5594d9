#!/usr/bin/env bash
# The export of a whole run, the Windows build under Wine beside the Linux build, on the same
# shops, in one sitting: wall time and peak memory of the program and of its reader processes.
#
#   bench/wine_export_figures.sh LINUX_BUILD WINDOWS_BUILD [FOLDER]
#
# LINUX_BUILD holds bench/export_bench, catalog-publisher-export-e2e and its reader (cmake --build
# LINUX_BUILD --target export_bench catalog-publisher-export-e2e); WINDOWS_BUILD holds
# catalog-publisher-export-e2e.exe, its reader and libmdb.dll (tools/build-windows.sh). FOLDER
# (default: catalog-publisher-wine-figures under the temporary folder) keeps the shops, which
# export_bench writes on first use (FOLDER/ROWS/c: codean and listi01 of ROWS rows), and the Wine
# prefix. ROWS="100000 1000000" and ROUNDS=3 by default.
#
# Both programs are built for a port on 127.0.0.1 that nothing listens on: each run exports the
# catalogue, then fails at the upload's connection (status 2) at once. Each round runs the Linux
# build, then the Windows build; the table shows the medians. Under Wine the prefix's server is kept
# running (wineserver -p) and one untimed run comes first, so that Wine's start-up (its server and
# services) is not timed; what is left of it shows as the time and peak of `--version`. The
# program's peak is its maximum resident set (GNU time; under Wine the program is the process that
# `wine` becomes); the readers' is their VmHWM, watched by bench/process_peaks.py. The Windows
# build's export must equal the Linux build's byte for byte.
set -euo pipefail
if [ $# -lt 2 ] || [ $# -gt 3 ]; then
  sed -n '4p' "$0" >&2
  exit 64
fi
here="$(cd "$(dirname "$0")" && pwd)"
linux="$(realpath "$1")"
windows="$(realpath "$2")"
folder="${3:-${TMPDIR:-/tmp}/catalog-publisher-wine-figures}"
mkdir -p "$folder"
folder="$(realpath "$folder")"
rows_list="${ROWS:-100000 1000000}"
rounds="${ROUNDS:-3}"
python=/usr/bin/python3
export WINEPREFIX="$folder/wine-prefix" WINEDEBUG=-all
tag="catpub-figures-$$"

for file in "$linux/bench/export_bench" "$linux/catalog-publisher-export-e2e" \
            "$windows/catalog-publisher-export-e2e.exe" "$windows/catalog-publisher-reader.exe"; do
  [ -e "$file" ] || { echo "missing: $file" >&2; exit 1; }
done

server_up=""
end_wine() {
  [ -n "$server_up" ] || return 0
  wineserver -k 2>/dev/null || true
  server_up=""
}
trap end_wine EXIT
trap 'exit 130' INT TERM

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "making the Wine prefix $WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  key='HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug'
  wine reg add "$key" /v Debugger /d '' /f >/dev/null 2>&1
  wine reg add "$key" /v Auto /d 0 /f >/dev/null 2>&1
  wineserver -w
fi

# timed OUT DRIVE COMMAND...: runs COMMAND in DRIVE (its drive C:) and writes to OUT one line:
# status, wall seconds, the program's peak kB, the largest reader peak kB, the readers seen.
timed() {
  local out="$1" drive="$2"
  shift 2
  "$python" "$here/process_peaks.py" "CATPUB_FIGURES=$tag" "WINEPREFIX=$WINEPREFIX" \
    >"$out.peaks" &
  local watcher=$!
  sleep 0.2  # the watcher's first look at /proc
  local status=0
  (cd "$drive" && env -u DISPLAY CATPUB_FIGURES="$tag" \
    CATALOG_PUBLISHER_DRIVES="$(dirname "$drive")" /usr/bin/time -f "%e %M" -o "$folder/time" \
    "$@" >/dev/null 2>"$folder/stderr") || status=$?
  kill -TERM "$watcher"
  wait "$watcher" || true
  local readers
  readers="$(grep -i 'catalog-publisher-reader' "$out.peaks" || true)"
  # GNU time puts a line about a status other than 0 before its own.
  echo "$status $(tail -n 1 "$folder/time") $(awk '{ if ($2 > m) m = $2 } END { print m + 0 }' \
    <<<"$readers") $(grep -c . <<<"$readers" || true)" >"$out"
}

median() {
  sort -g | awk '{ v[NR] = $1 }
                 END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}

results="$folder/results"
: >"$results"
echo "$(date -u +%FT%TZ), $(nproc) processors, load average $(cut -d' ' -f1-3 /proc/loadavg)," \
     "$(wine --version)"
for rows in $rows_list; do
  # The shop, written by export_bench (once) with the project's writer; its export, once, warms
  # the file cache.
  "$linux/bench/export_bench" --measures=a --rounds=1 --rows="$rows" --folder="$folder" >/dev/null
  drive="$folder/$rows/c"
  export_file="$drive/orbis/articoli.csv"

  end_wine
  ln -sfn "$drive" "$WINEPREFIX/dosdevices/c:"
  [ -e "$drive/windows" ] || ln -sfn "$WINEPREFIX/drive_c/windows" "$drive/windows"
  wineserver -p
  server_up=1
  (cd "$drive" && wine "$windows/catalog-publisher-export-e2e.exe" >/dev/null 2>&1) || true

  for round in $(seq "$rounds"); do
    timed "$folder/linux" "$drive" "$linux/catalog-publisher-export-e2e"
    cp "$export_file" "$folder/linux.csv"
    timed "$folder/wine" "$drive" wine "$windows/catalog-publisher-export-e2e.exe"
    timed "$folder/wine-start" "$drive" wine "$windows/catalog-publisher-export-e2e.exe" --version
    read -r l_status l_wall l_peak l_reader l_readers <"$folder/linux"
    read -r w_status w_wall w_peak w_reader w_readers <"$folder/wine"
    read -r _ s_wall s_peak _ <"$folder/wine-start"
    if [ "$l_status" != 2 ] || [ "$w_status" != 2 ]; then
      echo "a run ended with $l_status (Linux) or $w_status (Wine), not 2 (exported, upload" \
           "failed): $(cat "$folder/stderr")" >&2
      exit 1
    fi
    cmp -s "$export_file" "$folder/linux.csv" ||
      { echo "the Windows build's export differs from the Linux build's" >&2; exit 1; }
    echo "$rows $round $l_wall $w_wall $s_wall $l_peak $w_peak $l_reader $w_reader $s_peak" \
      >>"$results"
    printf '%8s rows, round %s: Linux %5.2f s, Wine %5.2f s (--version %4.2f s, %d MB); peaks:' \
           "$rows" "$round" "$l_wall" "$w_wall" "$s_wall" $((s_peak / 1024))
    printf ' program %d / %d MB, reader %d / %d MB (%s / %s readers seen)\n' $((l_peak / 1024)) \
           $((w_peak / 1024)) $((l_reader / 1024)) $((w_reader / 1024)) "$l_readers" "$w_readers"
  done
  end_wine
done

echo
echo "medians of $rounds rounds (wall time of a whole run; peak resident memory, MB = 2^20 bytes)"
echo "| rows | Linux | Wine | Wine/Linux | program, Linux | program, Wine | reader, Linux |" \
     "reader, Wine | Wine: --version |"
echo "|---|---|---|---|---|---|---|---|---|"
for rows in $rows_list; do
  column() { awk -v r="$rows" -v c="$1" '$1 == r { print $c }' "$results" | median; }
  mb() { awk -v kb="$(column "$1")" 'BEGIN { printf "%.0f", kb / 1024 }'; }
  l="$(column 3)" w="$(column 4)"
  printf '| %s | %.2f s | %.2f s | %.2f | %s MB | %s MB | %s MB | %s MB | %.2f s, %s MB |\n' \
    "$rows" "$l" "$w" "$(awk -v a="$w" -v b="$l" 'BEGIN { print a / b }')" \
    "$(mb 6)" "$(mb 7)" "$(mb 8)" "$(mb 9)" "$(column 5)" "$(mb 10)"
done
