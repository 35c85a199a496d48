#!/usr/bin/env bash
# Throughput benchmark of morvale-cli on a generated EVO, against cat, cp and ffmpeg.
#
#   bench/run_bench.sh [--size-mib N] [--big-size-mib N] [--runs N] [--work DIR]
#                      [--build DIR] [--cli PATH] [--json FILE] [--no-ffmpeg] [--no-micro]
#                      [--checksums] [--no-mkv] [--throttle-mbps N]
#
# It builds morvale-cli, the EVO generator and the micro-benchmarks once (CMake,
# -DMORVALE_BUILD_BENCH=ON, into --build), writes the benchmark EVO (--size-mib, 1,024 MiB by
# default, and --big-size-mib, 4,096 by default, for the memory check; 0 skips it) into
# --work unless it is there already, warms the page cache and times with hyperfine, at least
# five runs each (--runs):
#   - scan --no-fast-check, frame counting on and off, against `cat FILE > /dev/null`;
#   - demux of all streams and rebuild keeping half of them (video, the first audio and the
#     first subpicture stream), against `cp FILE` into the same output folder (and, for
#     context, against dd copying through a 256 KiB user-space buffer);
#   - scan, demux and rebuild also with MORVALE_FILE_THREADS=0 (every read and write in the
#     program's own thread), in the same hyperfine runs;
#   - each command against ffmpeg doing the same with -c copy: reading every packet (null
#     muxer), writing every stream to its own file, and a Matroska remux of the kept streams;
#   - mkv (the feature handed to mkvmerge as one Matroska file) against doing it by hand:
#     demux, then mkvmerge on the demuxed files, for the streams mkvmerge can read as
#     demuxed (video, Dolby Digital Plus, DTS); and mkv of every stream, LPCM as WAV too
#     (--no-mkv leaves this out; it needs mkvmerge);
#   - the peak resident memory of each command on both files (GNU time's %M);
#   - with --throttle-mbps N (200 by default, 0 skips), morvale_throttled_cli (morvale-cli on
#     a source disk and a target disk of N MB/s each) with and without the file threads: the
#     time of the demux and the rebuild after the scan that comes first, against the busier
#     disk's time (the least any program moving those bytes needs).
# Ratios are ratios of medians. The table goes to stdout and, with the raw numbers, to the
# JSON file (--json, default WORK/results.json). --checksums adds the SHA-256 of every output
# and of the scan's log lines, with and without the file threads, to check that a change
# kept every byte. --cli times another build of morvale-cli (e.g. an older one) on the same
# files.
set -euo pipefail

ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=$ROOT/build-bench
WORK=${TMPDIR:-/tmp}/morvale-bench
SIZE_MIB=1024
BIG_MIB=4096
RUNS=5
JSON=
CLI=
FFMPEG=1
MKV=1
MICRO=1
CHECKSUMS=0
THROTTLE_MBPS=200

while [ $# -gt 0 ]; do
    case $1 in
        --size-mib) SIZE_MIB=$2; shift ;;
        --big-size-mib) BIG_MIB=$2; shift ;;
        --runs) RUNS=$2; shift ;;
        --work) WORK=$2; shift ;;
        --build) BUILD=$2; shift ;;
        --cli) CLI=$2; shift ;;
        --json) JSON=$2; shift ;;
        --no-ffmpeg) FFMPEG=0 ;;
        --no-mkv) MKV=0 ;;
        --no-micro) MICRO=0 ;;
        --checksums) CHECKSUMS=1 ;;
        --throttle-mbps) THROTTLE_MBPS=$2; shift ;;
        -h|--help) sed -n '2,34p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
        *) echo "run_bench.sh: unknown option $1" >&2; exit 2 ;;
    esac
    shift
done
[ "$RUNS" -ge 5 ] || { echo "run_bench.sh: at least 5 runs" >&2; exit 2; }
for tool in cmake hyperfine jq /usr/bin/time; do
    command -v "$tool" > /dev/null || { echo "run_bench.sh: $tool is missing" >&2; exit 1; }
done
command -v ffmpeg > /dev/null || FFMPEG=0
command -v mkvmerge > /dev/null || MKV=0

mkdir -p "$WORK"
WORK=$(cd "$WORK" && pwd)
JSON=${JSON:-$WORK/results.json}
RAW=$WORK/raw
OUT=$WORK/out
mkdir -p "$RAW" "$OUT"
rm -f "$RAW"/hf-*.json  # timings of an earlier run

# ---- build once ----
echo "== building in $BUILD" >&2
cmake -S "$ROOT" -B "$BUILD" -DMORVALE_BUILD_APP=OFF -DMORVALE_BUILD_TESTS=OFF \
    -DMORVALE_BUILD_BENCH=ON > /dev/null
targets="morvale-cli morvale_make_bench_evo"
[ "$THROTTLE_MBPS" != 0 ] && targets="$targets morvale_throttled_cli"
[ "$MICRO" = 1 ] && targets="$targets morvale_engine_bench"
# shellcheck disable=SC2086
cmake --build "$BUILD" -j2 --target $targets > /dev/null
CLI=${CLI:-$BUILD/morvale-cli}
MAKE_EVO=$BUILD/bench/morvale_make_bench_evo

# ---- the files ----
# A file is made again only when its size differs or the generator is newer.
make_evo() {  # path MiB
    local path=$1 mib=$2
    if [ ! -f "$path" ] || [ "$(stat -c %s "$path")" != $((mib * 1048576)) ] ||
        [ "$MAKE_EVO" -nt "$path" ]; then
        echo "== writing $path ($mib MiB)" >&2
        "$MAKE_EVO" "$path" "$mib"
    fi
}
EVO=$WORK/BENCH.EVO
make_evo "$EVO" "$SIZE_MIB"
BIG=
if [ "$BIG_MIB" -gt 0 ]; then
    BIG=$WORK/BENCHBIG.EVO
    make_evo "$BIG" "$BIG_MIB"
fi
sync

# ---- timing ----
clean_out() { find "$OUT" -mindepth 1 -delete; }
warm() { cat "$1" > /dev/null; cat "$1" > /dev/null; }

LOAD_BEFORE=$(cut -d' ' -f1-3 /proc/loadavg)
echo "== load average before: $LOAD_BEFORE (cores: $(nproc))" >&2
warm "$EVO"

hf() {  # name, hyperfine arguments...
    local name=$1
    shift
    echo "== $name" >&2
    hyperfine --style basic --warmup 1 --runs "$RUNS" --export-json "$RAW/hf-$name.json" "$@" >&2
}

# Each writing run starts with an empty output folder and no write-back pending.
CLEAN="sh -c 'find $OUT -mindepth 1 -delete; sync'"
KEEP=v0,a00,s00  # video, Dolby Digital Plus 0xC0, subpicture 0x20: half of the six streams
# *_single: the same with every read and write in the program's own thread.
SINGLE="MORVALE_FILE_THREADS=0 $CLI"
hf read \
    -n cat "cat $EVO > /dev/null" \
    -n scan "$CLI scan --no-fast-check $EVO" \
    -n scan_no_count "$CLI scan --no-fast-check --no-count-frames $EVO" \
    -n scan_single "$SINGLE scan --no-fast-check $EVO" \
    -n scan_no_count_single "$SINGLE scan --no-fast-check --no-count-frames $EVO"
# dd copies through a user-space buffer as the commands must (read, then write): it shows
# what that costs against cp, which copies inside the kernel (copy_file_range).
hf write --prepare "$CLEAN" \
    -n cp "cp $EVO $OUT/" \
    -n dd "dd if=$EVO of=$OUT/copy.EVO bs=256K status=none" \
    -n demux "$CLI demux -o $OUT $EVO" \
    -n rebuild "$CLI rebuild -o $OUT --streams $KEEP $EVO" \
    -n demux_single "$SINGLE demux -o $OUT $EVO" \
    -n rebuild_single "$SINGLE rebuild -o $OUT --streams $KEEP $EVO"
if [ "$FFMPEG" = 1 ]; then
    FF="ffmpeg -nostdin -v fatal -y -i $EVO"
    hf ffmpeg --prepare "$CLEAN" \
        -n ffmpeg_read "$FF -map 0 -c copy -f null -" \
        -n ffmpeg_extract "$FF -map 0:i:0xfd55 -c copy -f vc1 $OUT/v0.vc1 \
            -map 0:i:0xa1 -c copy -f s16be $OUT/a1.pcm -map 0:i:0xc0 -c copy -f eac3 $OUT/a0.eac3 \
            -map 0:i:0x8a -c copy -f dts $OUT/a2.dts -map 0:i:0x20 -c copy -f matroska $OUT/s0.mks \
            -map 0:i:0x21 -c copy -f matroska $OUT/s1.mks" \
        -n ffmpeg_remux "$FF -map 0:i:0xfd55 -map 0:i:0xc0 -map 0:i:0x20 -c copy \
            -f matroska $OUT/kept.mkv"
fi
if [ "$MKV" = 1 ]; then
    # By hand, mkvmerge takes the demuxed video, Dolby Digital Plus and DTS; the raw LPCM it
    # cannot read, and the sync and names are not given.
    HAND=v0,a00,a02
    B=$OUT/BENCH
    hf mkv --prepare "$CLEAN" \
        -n mkv "$CLI mkv --keep-streams --streams $HAND -o $OUT/ $EVO" \
        -n mkv_all "$CLI mkv -o $OUT/ $EVO" \
        -n by_hand "sh -c '$CLI demux --streams $HAND -o $OUT $EVO > /dev/null && mkvmerge -q \
            -o $OUT/hand.mkv $B.VC-1.stream.0.mpv $B.DD+.stream.00.mpa $B.DTSHD.stream.02.mpa'"
fi
clean_out

# ---- a source disk and a target disk of THROTTLE_MBPS MB/s each ----
# The demux and the rebuild begin with a scan (Read EVO, up to the fast-check limit); what
# follows it, the command's own time, is the median of the whole command less the median of
# that scan alone. The least time it can take is the busier disk's time after the scan: the
# throttled program reports how long each disk was busy.
THROTTLED='{}'
if [ "$THROTTLE_MBPS" != 0 ]; then
    TCLI=$BUILD/bench/morvale_throttled_cli
    export MORVALE_THROTTLE_READ_MBPS=$THROTTLE_MBPS MORVALE_THROTTLE_WRITE_MBPS=$THROTTLE_MBPS
    echo "== throttled to $THROTTLE_MBPS MB/s" >&2
    hyperfine --style basic --runs 3 --prepare "$CLEAN" --export-json "$RAW/ht-throttled.json" \
        -n scan "$TCLI scan $EVO" \
        -n demux "$TCLI demux -o $OUT $EVO" \
        -n rebuild "$TCLI rebuild -o $OUT --streams $KEEP $EVO" \
        -n demux_single "MORVALE_FILE_THREADS=0 $TCLI demux -o $OUT $EVO" \
        -n rebuild_single "MORVALE_FILE_THREADS=0 $TCLI rebuild -o $OUT --streams $KEEP $EVO" >&2
    busy() {  # command arguments... -> {"read": s, "write": s}
        clean_out
        "$TCLI" "$@" 2>&1 > /dev/null |
            sed -n 's/^throttle: read busy \([0-9.]*\) s, write busy \([0-9.]*\) s$/{"read": \1, "write": \2}/p'
    }
    THROTTLED=$(jq -n --arg mbps "$THROTTLE_MBPS" \
        --argjson m "$(jq '[.results[] | {(.command): .median}] | add' "$RAW/ht-throttled.json")" \
        --argjson scan "$(busy scan "$EVO")" \
        --argjson demux "$(busy demux -o "$OUT" "$EVO")" \
        --argjson rebuild "$(busy rebuild -o "$OUT" --streams "$KEEP" "$EVO")" '
        def least(b): [b.read - $scan.read, b.write] | max;
        def row(cmd; b; target): {command: cmd, own_s: ($m[cmd] - $m.scan),
            least_s: least(b), ratio: (($m[cmd] - $m.scan) / least(b)), target: target};
        {mbps: ($mbps | tonumber), medians: $m, busy: {scan: $scan, demux: $demux, rebuild: $rebuild},
         comparisons: [row("demux"; $demux; 1.15), row("rebuild"; $rebuild; 1.15),
                       row("demux_single"; $demux; null), row("rebuild_single"; $rebuild; null)]}')
    clean_out
fi
LOAD_AFTER=$(cut -d' ' -f1-3 /proc/loadavg)

# ---- peak resident memory ----
rss() {  # file, command arguments... -> KiB
    local file=$1
    shift
    clean_out
    warm "$file"
    /usr/bin/time -f %M -o "$RAW/rss.txt" "$CLI" "$@" "$file" > /dev/null
    cat "$RAW/rss.txt"
}
declare -A RSS
for f in small big; do
    file=$EVO
    if [ $f = big ]; then
        [ -n "$BIG" ] || continue
        file=$BIG
    fi
    echo "== peak memory ($f)" >&2
    RSS[scan_$f]=$(rss "$file" scan --no-fast-check)
    RSS[scan_no_count_$f]=$(rss "$file" scan --no-fast-check --no-count-frames)
    RSS[demux_$f]=$(rss "$file" demux -o "$OUT")
    RSS[rebuild_$f]=$(rss "$file" rebuild -o "$OUT" --streams "$KEEP")
done
clean_out

# ---- checksums of what the commands write ----
SUMS='{}'
if [ "$CHECKSUMS" = 1 ]; then
    echo "== checksums" >&2
    warm "$EVO"
    sum_of() { sha256sum | cut -d' ' -f1; }
    checksums() {  # -> JSON of every output's and every log's checksum
        local sums
        scan_lines() { "$CLI" scan --no-fast-check "$@" "$EVO" | grep -v "Remaining time" | sum_of; }
        sums=$(jq -n --arg a "$(scan_lines)" --arg b "$(scan_lines --no-count-frames)" \
            '{"scan log": $a, "scan log, no counting": $b}')
        clean_out
        "$CLI" demux -o "$OUT" "$EVO" > "$RAW/demux.log"
        "$CLI" rebuild -o "$OUT" --streams "$KEEP" "$EVO" > "$RAW/rebuild.log"
        for file in "$OUT"/*; do
            sums=$(jq --arg k "$(basename "$file")" --arg v "$(sum_of < "$file")" '.[$k] = $v' \
                <<< "$sums")
        done
        jq --arg a "$(sum_of < "$RAW/demux.log")" --arg b "$(sum_of < "$RAW/rebuild.log")" \
            '.["demux log"] = $a | .["rebuild log"] = $b' <<< "$sums"
        clean_out
    }
    SUMS=$(checksums)
    SINGLE_SUMS=$(MORVALE_FILE_THREADS=0 checksums)
    SUMS=$(jq --argjson single "$SINGLE_SUMS" \
        '. + {"the same without the file threads": (. == $single)}' <<< "$SUMS")
fi

# ---- micro-benchmarks ----
MICRO_JSON='[]'
if [ "$MICRO" = 1 ]; then
    echo "== micro-benchmarks" >&2
    "$BUILD/bench/morvale_engine_bench" --benchmark_repetitions=5 \
        --benchmark_report_aggregates_only=true --benchmark_format=json \
        > "$RAW/micro.json" 2> /dev/null
    MICRO_JSON=$(jq '[.benchmarks[] | select(.aggregate_name == "median")
        | {name: .run_name, "GB/s": (.bytes_per_second / 1e9 * 100 | round / 100)}]' \
        "$RAW/micro.json")
fi

# ---- table and JSON ----
rss_json='{}'
for k in "${!RSS[@]}"; do
    rss_json=$(jq --arg k "$k" --argjson v "${RSS[$k]}" '.[$k] = $v' <<< "$rss_json")
done
medians=$(jq -s '[.[].results[] | {(.command): {median, mean, stddev, min, max,
    user, system}}] | add' "$RAW"/hf-*.json)

jq -n --argjson m "$medians" --argjson rss "$rss_json" --argjson sums "$SUMS" \
    --argjson throttled "$THROTTLED" \
    --argjson micro "$MICRO_JSON" --arg size "$SIZE_MIB" --arg big "$BIG_MIB" \
    --arg runs "$RUNS" --arg before "$LOAD_BEFORE" --arg after "$LOAD_AFTER" \
    --arg cores "$(nproc)" --arg cpu "$(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2-)" \
    --arg kernel "$(uname -r)" '
def ratio(a; b): if ($m[a] and $m[b]) then ($m[a].median / $m[b].median) else null end;
def row(cmd; ref; kind; target; refname):
    {command: cmd, reference: refname, median_s: $m[cmd].median, reference_median_s: $m[ref].median,
     kind: kind,
     ratio: (if kind == "throughput" then ratio(ref; cmd) else ratio(cmd; ref) end),
     target: target};
def ffrow(cmd; ref): row(cmd; ref; "speedup"; 10; ref)
    | .ratio = (if .ratio then 1 / .ratio else null end);
{
  machine: {cpu: ($cpu | ltrimstr(" ")), cores: ($cores | tonumber), kernel: $kernel,
            load_before: $before, load_after: $after},
  file_mib: ($size | tonumber), big_file_mib: ($big | tonumber), runs: ($runs | tonumber),
  comparisons: [
    row("scan"; "cat"; "throughput"; 0.8; "cat"),
    row("scan_no_count"; "cat"; "throughput"; 0.8; "cat"),
    row("scan_single"; "cat"; "throughput"; null; "cat"),
    row("scan_no_count_single"; "cat"; "throughput"; null; "cat"),
    row("demux"; "cp"; "time"; 1.1; "cp"),
    row("rebuild"; "cp"; "time"; 1.1; "cp"),
    row("demux_single"; "cp"; "time"; null; "cp"),
    row("rebuild_single"; "cp"; "time"; null; "cp"),
    row("dd"; "cp"; "time"; null; "cp"),
    row("demux"; "dd"; "time"; null; "dd (read+write)"),
    row("rebuild"; "dd"; "time"; null; "dd (read+write)"),
    ffrow("scan"; "ffmpeg_read"), ffrow("scan_no_count"; "ffmpeg_read"),
    ffrow("demux"; "ffmpeg_extract"), ffrow("rebuild"; "ffmpeg_remux"),
    row("mkv"; "by_hand"; "time"; 1.1; "demux+mkvmerge"),
    row("mkv_all"; "by_hand"; "time"; null; "demux+mkvmerge")
  ] | map(select(.median_s != null and .reference_median_s != null)),
  throttled: $throttled,
  peak_rss_kib: $rss,
  timings: $m,
  checksums: $sums,
  micro_benchmarks: $micro
}' > "$JSON"

jq -r '
def f(x): if x == null then "-" else (x * 1000 | round / 1000 | tostring) end;
def verdict(r):
    if r.ratio == null or r.target == null then "-"
    elif r.kind == "time" then (if r.ratio <= r.target then "ok" else "MISSED" end)
    else (if r.ratio >= r.target then "ok" else "MISSED" end) end;
def goal(r): if r.target == null then "(context)"
    elif r.kind == "time" then "<= \(r.target) x time"
    elif r.kind == "throughput" then ">= \(r.target) x throughput" else ">= \(r.target) x faster" end;
"Machine: \(.machine.cpu), \(.machine.cores) cores, load \(.machine.load_before) before, \(.machine.load_after) after",
"File: \(.file_mib) MiB, \(.runs) runs each, medians in seconds",
"",
"command          reference        cmd s    ref s    ratio   target                  ",
"---------------  ---------------  -------  -------  ------  ----------------------  ------",
(.comparisons[] | "\(.command | .[0:15] | . + " " * (15 - length))  \(.reference | . + " " * (15 - length))  \(f(.median_s) | . + " " * (7 - length))  \(f(.reference_median_s) | . + " " * (7 - length))  \(f(.ratio) | . + " " * (6 - length))  \(goal(.) | . + " " * (22 - length))  \(verdict(.))"),
"",
(if .throttled.mbps then
  "Disks of \(.throttled.mbps) MB/s each: the time of each command after its scan, against the busy time of the busier disk",
  (.throttled.comparisons[] | "  \(.command | . + " " * (15 - length))  \(f(.own_s)) s against \(f(.least_s)) s: \(f(.ratio)) x" +
     (if .target then " (target <= \(.target) x) " + (if .ratio <= .target then "ok" else "MISSED" end) else " (context)" end)),
  ""
 else empty end),
"Peak resident memory (KiB; target <= 32768, the same for both files):",
(.peak_rss_kib | to_entries | sort_by(.key) | .[] | "  \(.key): \(.value)"),
"",
(if (.micro_benchmarks | length) > 0 then
  "Micro-benchmarks (median GB/s):", (.micro_benchmarks[] | "  \(.name): \(."GB/s")")
 else empty end),
(if (.checksums | length) > 0 then
  "", "Checksums:", (.checksums | to_entries[] | "  \(.key): \(.value)") else empty end)
' "$JSON"
echo "JSON: $JSON" >&2
