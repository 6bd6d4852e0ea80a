#!/usr/bin/env bash
# The performance benchmark: korvane against the tools people would use instead, in one
# run on one machine, so that only ratios taken here are compared.
#   1. codec identification of many small AVI files: korvane dump against ffprobe,
#      mediainfo and the floor (bench/floor.cc);
#   2. korvane run --machine on a large described machine, at 1x, 2x and 4x its size;
#   3. start-up of korvane.exe under Wine against a minimal dialog program;
#   4. start-up of korvane's commands against a bare C program that reads one file.
# Installs what it needs, builds the release preset (and win64 for measurement 3), writes the
# results to bench/out/results.md and prints them.
#
# Usage: bench/run.sh [--quick] [--parts 1234]
#   --quick     a smoke run: 200 files, small machines, few runs (about two minutes)
#   --parts P   only the measurements whose digits are in P (default 1234)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

quick=0
parts=1234
while [ $# -gt 0 ]; do
  case $1 in
    --quick) quick=1 ;;
    --parts) parts=${2:?--parts needs digits}; shift ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "bench/run.sh: unknown argument $1" >&2; exit 2 ;;
  esac
  shift
done
wants() { [[ $parts == *$1* ]]; }

if [ $quick = 1 ]; then
  avi_count=200 peer_sample=20 dump_runs=5 peer_runs=1 machine_runs=3 scales="1 2 4"
  machine_base=0.1 startup_runs=3 cli_runs=5
else
  avi_count=10000 peer_sample=500 dump_runs=21 peer_runs=3 machine_runs=7 scales="1 2 4"
  machine_base=1 startup_runs=21 cli_runs=51
fi

out=$root/bench/out
mkdir -p "$out"
results=$out/results.md
log=$out/log.txt
: >"$log"
say() { printf '%s\n' "$*" | tee -a "$log" >&2; }

# ---- set-up ---------------------------------------------------------------------------
packages=(cmake ninja-build g++ libcli11-dev nlohmann-json3-dev ffmpeg mediainfo time)
wants 2 && packages+=(python3)
wants 3 && packages+=(g++-mingw-w64-x86-64 wine64 xvfb xdotool)
wants 4 && packages+=(python3 libcreg-utils mtools fdisk qemu-utils)
scripts/install-deps.sh --only "${packages[@]}"

say "building the release preset"
cmake --preset release -DKORVANE_BENCH=ON >>"$log" 2>&1
cmake --build --preset release -j2 >>"$log" 2>&1
korvane=$root/build/release/korvane
floor=$root/build/release/bench-floor

# ---- timing helpers --------------------------------------------------------------------
# timed FILE COMMAND...: runs the command with its output thrown away and appends
# "wall user system" in seconds to FILE.
timed() {
  local file=$1
  shift
  local TIMEFORMAT='%3R %3U %3S'
  { time "$@" >/dev/null 2>&1; } 2>>"$file" || true
}
median() { sort -n | awk '{ v[NR] = $1 } END { if (NR == 0) print "nan"; else if (NR % 2) print v[(NR + 1) / 2]; else print (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# wall FILE: the median wall time of FILE's runs.
wall() { awk '{ print $1 }' "$1" | median; }
calc() { awk "BEGIN { printf \"$1\n\", $2 }"; }

machine_facts() {
  echo "- CPU: $(lscpu | sed -n 's/^Model name: *//p' | head -n1), $(nproc) cores available"
  echo "- memory: $(free -g | awk '/^Mem:/ { print $2 }') GiB"
  echo "- kernel: $(uname -r); compiler: $(g++ --version | head -n1)"
  echo "- load average at the start of the run: $(cut -d' ' -f1-3 /proc/loadavg)"
}

{
  echo "# Benchmark run of $(date -u '+%Y-%m-%d %H:%M UTC')"
  echo
  [ $quick = 1 ] && echo "Quick run (--quick): small counts, few runs; not for the record." && echo
  machine_facts
  echo "- commit: $(git rev-parse --short HEAD 2>/dev/null || echo unknown)"
} >"$results"

# ---- 1. codec identification ----------------------------------------------------------
part_dump() {
  local avis=$root/build/bench/avis
  say "measurement 1: making $avi_count AVI files"
  bench/make-avis.sh "$avis" "$avi_count"
  # As a user would type it: in the folder, korvane dump *.avi.
  pushd "$avis" >/dev/null
  local files=(avi-*.avi)
  local sample=("${files[@]:0:$peer_sample}")
  printf '%s\n' "${sample[@]}" >"$out/peer-sample.txt"

  # What each tool answered for the files it was given.
  local named ffprobe_named mediainfo_named
  named=$("$korvane" dump "${files[@]}" | grep -c '^codec by fourcc: ' || true)
  ffprobe_named=$(xargs -a "$out/peer-sample.txt" -n1 ffprobe -v error -select_streams v:0 \
    -show_entries stream=codec_tag_string -of csv=p=0 2>/dev/null | grep -c . || true)
  mediainfo_named=$(xargs -a "$out/peer-sample.txt" -n1 sh -c \
    'mediainfo --Inform="Video;%CodecID%" "$0"; echo' 2>/dev/null | grep -c . || true)

  local t=$out/times
  rm -rf "$t"
  mkdir -p "$t"
  say "measurement 1: $dump_runs runs each of the floor, the stream floor and korvane dump over ${#files[@]} files"
  for ((r = 0; r <= dump_runs; r++)); do  # run 0 warms the page cache and is dropped
    local dst=$t
    [ $r = 0 ] && dst=$t/warm && mkdir -p "$dst"
    # Starting a process with ten thousand arguments costs the same for all three.
    timed "$dst/start" /bin/true "${files[@]}"
    timed "$dst/floor" "$floor" "${files[@]}"
    timed "$dst/stream" "$floor" --stream "${files[@]}"
    timed "$dst/korvane" "$korvane" dump "${files[@]}"
  done
  say "measurement 1: $peer_runs runs each of ffprobe and mediainfo, one process per file, over $peer_sample files"
  for ((r = 0; r < peer_runs; r++)); do
    timed "$t/ffprobe" xargs -a "$out/peer-sample.txt" -n1 ffprobe -v error -select_streams v:0 \
      -show_entries stream=codec_tag_string -of csv=p=0
    timed "$t/mediainfo" xargs -a "$out/peer-sample.txt" -n1 mediainfo --Inform="Video;%CodecID%"
  done
  popd >/dev/null

  local n=${#files[@]} start k_wall k_net
  start=$(wall "$t/start")
  k_wall=$(wall "$t/korvane")
  # Never below a tenth of a millisecond, so that a smoke run's tiny times still divide.
  net() { calc '%.4f' "($(wall "$t/$1") - $start > 0.0001) ? $(wall "$t/$1") - $start : 0.0001"; }
  k_net=$(net korvane)
  verdict() { awk "BEGIN { print ($1) ? \"met\" : \"NOT met\" }"; }
  {
    echo
    echo "## 1. Codec identification of $n small AVI files"
    echo
    echo "Files made by \`bench/make-avis.sh\` (8 one-frame clips by ffmpeg, copied to $n files"
    echo "of 300 to 7,008 bytes), named in their folder as \`korvane dump *.avi\` names them."
    echo "korvane dump and the floors are one process over all $n files (median of $dump_runs runs,"
    echo "after one warm-up run); \"net\" is that time less the start of a process that does"
    echo "nothing with the same arguments (\`/bin/true\` with the $n names, $(calc '%.1f' "1000 * $start") ms)."
    echo "ffprobe and mediainfo run as a user runs them for one file's codec, one process per file,"
    echo "over the first $peer_sample files (median of $peer_runs run(s)), and are compared per file."
    echo "Output goes to /dev/null. Answers: korvane printed a codec line for $named of $n files;"
    echo "ffprobe a codec tag for $ffprobe_named and mediainfo a CodecID for $mediainfo_named of $peer_sample (every eighth"
    echo "file is cut to 300 bytes, which ffprobe refuses)."
    echo
    echo "| Tool | Files | Wall (s) | Net (s) | Files per second | µs per file | Per file / korvane's |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    local row name file w nt
    for row in "floor (open, read 384 bytes, close):floor" \
      "stream floor (the reads of a stdio stream, as the Windows program makes them):stream" \
      "korvane dump:korvane"; do
      IFS=: read -r name file <<<"$row"
      w=$(wall "$t/$file")
      nt=$(net "$file")
      printf '| %s | %d | %.3f | %.3f | %s | %s | %s |\n' "$name" "$n" "$w" "$nt" \
        "$(calc '%.0f' "$n / $nt")" "$(calc '%.2f' "1e6 * $nt / $n")" "$(calc '%.2f×' "$nt / $k_net")"
    done
    for row in "ffprobe, one process per file:ffprobe" "mediainfo, one process per file:mediainfo"; do
      IFS=: read -r name file <<<"$row"
      w=$(wall "$t/$file")
      printf '| %s | %d | %.3f | | %s | %s | %s |\n' "$name" "$peer_sample" "$w" \
        "$(calc '%.0f' "$peer_sample / $w")" "$(calc '%.0f' "1e6 * $w / $peer_sample")" \
        "$(calc '%.0f×' "($w / $peer_sample) / ($k_wall / $n)")"
    done
    echo
    echo "Targets:"
    local floor_net floor_raw ffprobe_ratio mediainfo_ratio
    floor_net=$(calc '%.2f' "$k_net / $(net floor)")
    floor_raw=$(calc '%.2f' "$k_wall / $(wall "$t/floor")")
    ffprobe_ratio=$(calc '%.0f' "($(wall "$t/ffprobe") / $peer_sample) / ($k_wall / $n)")
    mediainfo_ratio=$(calc '%.0f' "($(wall "$t/mediainfo") / $peer_sample) / ($k_wall / $n)")
    echo "- korvane / floor: **$floor_net×** net (target at most 1.5×: $(verdict "$floor_net <= 1.5"));" \
      "$floor_raw× with the process start counted in both."
    echo "- korvane / stream floor: $(calc '%.2f×' "$k_net / $(net stream)") net; the stream floor / floor:" \
      "$(calc '%.2f×' "$(net stream) / $(net floor)") net."
    echo "- per file, korvane (process start included) is **$ffprobe_ratio×** faster than ffprobe and" \
      "**$mediainfo_ratio×** faster than mediainfo (target at least 20×: $(verdict "$ffprobe_ratio >= 20 && $mediainfo_ratio >= 20"))."
  } >>"$results"
}

# ---- 2. korvane run on a described machine --------------------------------------------
part_machine() {
  if ! "$korvane" run --help >/dev/null 2>&1; then
    say "measurement 2: skipped: this korvane has no run command"
    printf '\n## 2. korvane run --machine\n\nSkipped: this build of korvane has no run command.\n' >>"$results"
    return
  fi
  local base_drivers base_uninstall base_msvc
  base_drivers=$(calc '%.0f' "600 * $machine_base")
  base_uninstall=$(calc '%.0f' "20000 * $machine_base")
  base_msvc=$(calc '%.0f' "500 * $machine_base")
  local t=$out/machine-times
  rm -rf "$t"
  mkdir -p "$t"
  local scale dir
  for scale in $scales; do
    dir=$root/build/bench/machine-$scale
    say "measurement 2: making the machine at ${scale}x"
    bench/make-machine.sh "$dir" $((base_drivers * scale)) $((base_uninstall * scale)) \
      $((base_msvc * scale))
    "$korvane" run --machine "$dir" >"$out/machine-$scale-report.txt"
  done
  say "measurement 2: $machine_runs runs at each size"
  for ((r = 0; r <= machine_runs; r++)); do
    for scale in $scales; do
      dir=$root/build/bench/machine-$scale
      # Wall time to the millisecond from the shell; the peak resident set (KiB) from
      # /usr/bin/time, whose own wall time has only centiseconds.
      rm -f "$t/wall" "$t/rss"
      timed "$t/wall" /usr/bin/time -f '%M' -o "$t/rss" "$korvane" run --machine "$dir"
      [ $r -gt 0 ] && echo "$(cut -d' ' -f1 "$t/wall") $(cat "$t/rss")" >>"$t/$scale"
    done
  done
  {
    echo
    echo "## 2. korvane run --machine on a large described machine"
    echo
    echo "Machines made by \`bench/make-machine.sh\`: at 1× $base_drivers drivers32 values, $base_uninstall"
    echo "Uninstall subkeys and $base_msvc msvc* files (platform 2, so the registry drivers are"
    echo "loaded too), doubled at 2× and 4×. Wall time by the shell's \`time\`, peak resident memory"
    echo "by \`/usr/bin/time -f %M\`; median of $machine_runs runs after one warm-up, report to /dev/null."
    echo "Only the first 511 drivers32 values are loaded, whatever the size (the driver list's bound)."
    echo
    echo "| Size | drivers32 | Uninstall | msvc* | Report lines | Wall (s) | Peak memory (MB) |"
    echo "|---|---:|---:|---:|---:|---:|---:|"
    for scale in $scales; do
      printf '| %s× | %d | %d | %d | %d | %.3f | %.1f |\n' "$scale" $((base_drivers * scale)) \
        $((base_uninstall * scale)) $((base_msvc * scale)) \
        "$(wc -l <"$out/machine-$scale-report.txt")" "$(wall "$t/$scale")" \
        "$(awk '{ print $2 / 1024 }' "$t/$scale" | median)"
    done
    local w1 w2 w4 m1 m2 m4
    w1=$(wall "$t/1") w2=$(wall "$t/2") w4=$(wall "$t/4")
    m1=$(awk '{ print $2 / 1024 }' "$t/1" | median)
    m2=$(awk '{ print $2 / 1024 }' "$t/2" | median)
    m4=$(awk '{ print $2 / 1024 }' "$t/4" | median)
    echo
    echo "Growth. For y = a + b·n the growth from 2× to 4× is twice the growth from 1× to 2×;"
    echo "for a quadratic cost it would be four times. Least-squares line through the three points:"
    echo
    fit() {  # fit NAME UNIT Y1 Y2 Y4
      awk -v name="$1" -v unit="$2" -v y1="$3" -v y2="$4" -v y4="$5" 'BEGIN {
        x[1] = 1; x[2] = 2; x[3] = 4; y[1] = y1; y[2] = y2; y[3] = y4
        for (i = 1; i <= 3; i++) { sx += x[i]; sy += y[i]; sxx += x[i] * x[i]; sxy += x[i] * y[i] }
        b = (3 * sxy - sx * sy) / (3 * sxx - sx * sx); a = (sy - b * sx) / 3
        for (i = 1; i <= 3; i++) { r = y[i] - (a + b * x[i]); ssr += r * r; m = sy / 3; sst += (y[i] - m) ^ 2 }
        growth = (y2 - y1) != 0 ? (y4 - y2) / (y2 - y1) : 0
        r2 = sst > 0 ? 1 - ssr / sst : 1
        printf "- %s: %.3g %s + %.3g %s per 1× of size (R² %.4f); growth 2×→4× over 1×→2×: %.2f\n", name, a, unit, b, unit, r2, growth
      }'
    }
    fit "wall time" s "$w1" "$w2" "$w4"
    fit "peak memory" MB "$m1" "$m2" "$m4"
    echo
    if [ "$machine_base" = 1 ]; then
      echo "Targets at 1×: wall $(calc '%.3f' "$w1") s (under 0.5 s:" \
        "$(awk "BEGIN { print ($w1 < 0.5) ? \"met\" : \"NOT met\" }")), peak memory" \
        "$(calc '%.1f' "$m1") MB (under 50 MB: $(awk "BEGIN { print ($m1 < 50) ? \"met\" : \"NOT met\" }"))."
    fi
  } >>"$results"
}

# ---- 4. start-up of the command line ----------------------------------------------------
part_cli_startup() {
  local release=$root/build/release times=$out/cli-startup.txt
  say "measurement 4: $cli_runs starts each of korvane's commands and of the bare read"
  bench/startup.sh "$release" "$cli_runs" "$times" >>"$log" 2>&1
  {
    echo
    echo "## 4. Start-up of korvane's commands"
    echo
    echo "\`bench-startup-timer\` (bench/startup_timer.cc) starts each command in turn with"
    echo "posix_spawn, output to /dev/null, and waits for its end: wall time, and the processor"
    echo "time (user and system) that the command took, which a busy machine disturbs less."
    echo "Median of $cli_runs starts each after three warm-up rounds. The AVI file is one of"
    echo "\`bench/make-avis.sh\`'s; the disk image is the example machine on a FAT32 partition"
    echo "of a 64 MiB dynamic VHD (\`scripts/make-disk-image.sh\`); the bare read"
    echo "(bench/bare_read.c) opens the AVI file, reads it to its end and closes it."
    echo
    echo "| Command | Median (ms) | Fastest (ms) | Slowest (ms) | Processor (ms) | / bare read |"
    echo "|---|---:|---:|---:|---:|---:|"
    # Each word of a command without its folder ("korvane run --machine w98.vhd"), but a
    # program from elsewhere than this build (KORVANE_BEFORE) with its path.
    awk -F'\t' -v release="$release/" '$1 > 0 {
        n = split($3, words, " "); label = ""
        for (i = 1; i <= n; i++) {
          if (i > 1 || index(words[i], release) == 1) sub(/.*\//, "", words[i])
          label = label (i > 1 ? " " : "") words[i]
        }
        count[label]++; wall[label, count[label]] = $2; cpu[label, count[label]] = $4
        if (!(label in seen)) { seen[label] = 1; order[++labels] = label }
      }
      function median(values, key, n,   i, j, t, v) {
        for (i = 1; i <= n; i++) v[i] = values[key, i]
        for (i = 2; i <= n; i++) for (j = i; j > 1 && v[j - 1] > v[j]; j--) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
        lo = v[1]; hi = v[n]
        return n % 2 ? v[(n + 1) / 2] : (v[n / 2] + v[n / 2 + 1]) / 2
      }
      END {
        base = median(wall, order[1], count[order[1]])
        for (k = 1; k <= labels; k++) {
          l = order[k]; m = median(wall, l, count[l]); low = lo; high = hi
          printf "| %s | %.2f | %.2f | %.2f | %.2f | %.1f× |\n", l, m, low, high, median(cpu, l, count[l]), m / base
        }
      }' "$times"
  } >>"$results"
}

# ---- 3. start-up under Wine ------------------------------------------------------------
part_startup() {
  local win=$root/build/win64
  say "measurement 3: building the win64 preset"
  cmake --preset win64 -DKORVANE_BENCH=ON >>"$log" 2>&1
  cmake --build --preset win64 -j2 >>"$log" 2>&1
  if [ ! -f "$win/korvane.exe" ]; then
    say "measurement 3: skipped: the win64 build has no korvane.exe"
    printf '\n## 3. Start-up under Wine\n\nSkipped: the win64 build has no korvane.exe.\n' >>"$results"
    return
  fi
  bench/startup.sh "$win" "$startup_runs" "$out/startup.txt" >>"$log" 2>&1
  # The start-up times of one command, after its warm-up run.
  # The command goes through the environment: awk -v would take its backslashes as escapes.
  startup_times() { c=$1 awk -F'\t' '$1 > 0 && $3 == ENVIRON["c"] { print $2 }' "$out/startup.txt"; }
  startup_median() { startup_times "$1" | median; }
  local minimal='C:\bench\minimal-dialog.exe' k m mcl
  k=$(startup_median 'C:\bench\korvane.exe')
  m=$(startup_median "$minimal")
  mcl=$(startup_median "$minimal controls libraries")
  {
    echo
    echo "## 3. Start-up under Wine, up to the shown main window"
    echo
    echo "One scratch Wine prefix ($(wine --version 2>/dev/null || echo wine), 64-bit) under Xvfb, warmed up by three"
    echo "starts of each program. \`startup-timer.exe\` (bench/startup_timer.cc) starts the programs"
    echo "in turn with CreateProcess and polls every millisecond for a visible window of the started"
    echo "process (korvane.exe: class korvaneClass; the minimal dialog program: its caption), then"
    echo "closes it. Median of $startup_runs starts each. The minimal dialog program"
    echo "(bench/minimal_dialog.cc) also runs with korvane.exe's controls in its dialog, and with those"
    echo "and the library start-up that korvane.exe makes before its window (InitCommonControls,"
    echo "VideoForWindowsVersion, AVIFileInit), to show where a difference comes from."
    echo
    echo "| Program | Median (ms) | Fastest (ms) | Slowest (ms) | / minimal dialog |"
    echo "|---|---:|---:|---:|---:|"
    local command label
    for command in "$minimal" "$minimal controls" "$minimal controls libraries" 'C:\bench\korvane.exe'; do
      label=${command##*\\}
      startup_times "$command" | sort -n |
        awk -v label="$label" -v base="$m" '{ v[NR] = $1 } END {
          med = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
          printf "| %s | %.1f | %.1f | %.1f | %.2f× |\n", label, med, v[1], v[NR], med / base }'
    done
    echo
    local ratio
    ratio=$(calc '%.2f' "$k / $m")
    echo "Target: korvane.exe / minimal dialog = **$ratio×** (at most 1.2×:" \
      "$(awk "BEGIN { print ($ratio <= 1.2) ? \"met\" : \"NOT met\" }")). korvane.exe against the"
    echo "minimal dialog with the same controls and library start-up: $(calc '%.2f×' "$k / $mcl")."
  } >>"$results"
}

wants 1 && part_dump
wants 2 && part_machine
wants 3 && part_startup
wants 4 && part_cli_startup
printf '\nLoad average at the end of the run: %s\n' "$(cut -d' ' -f1-3 /proc/loadavg)" >>"$results"
cat "$results"
