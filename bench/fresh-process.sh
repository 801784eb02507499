#!/usr/bin/env bash
# Fresh-process figures: each run is a new process on a private Xvfb
# display, timed from outside, with its page faults and peak resident
# memory from /usr/bin/time -v. Each round runs a baseline and the case
# right after each other, so drift in the machine's load hits both; the
# figures are medians (min-max in brackets).
#
#   bench/fresh-process.sh [BUILD_DIR] [RUNS] [PARTS]
#
# BUILD_DIR must be configured with -DVESK_BENCH=ON (it needs
# bench/vesk_startup next to veskfrontend). PARTS is any of
# "start open save raw" (default all four):
#   start  veskfrontend on the sample file, to its window's first paint,
#          against a bare Qt window with 72 captioned text boxes
#   open   veskfrontend on 100,000 and 1,000,000 lines, to the first paint,
#          against veskfrontend on the sample file, and a plain Qt text
#          editor (QPlainTextEdit) showing the same files
#   save   Ctrl+S on 1,000,000 lines, from the key to the confirmation's
#          window (found by its title with xdotool, polled every 2 ms)
#   raw    the Raw tab brought to the front after the first paint, as a
#          click on it does, to its own paint (VESK_EXIT_AFTER_PAINT=raw
#          times it inside the process), on 9,999, 100,000 and 1,000,000
#          lines; peak RSS is the whole process with the Raw tab shown
# "Painted": veskfrontend with VESK_EXIT_AFTER_PAINT=1 and vesk_startup's
# children print a line and end at once after their first paint event has
# been handled; the time runs from starting the process to its end.
set -euo pipefail

build=$(realpath "${1:-build}")
runs=${2:-11}
parts=${3:-start open save raw}
editor=$build/veskfrontend
startup=$build/bench/vesk_startup
src=$(cd "$(dirname "$0")/.." && pwd)
for f in "$editor" "$startup" /usr/bin/time; do
    [[ -x $f ]] || { echo "missing $f (configure with -DVESK_BENCH=ON)" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "needs Xvfb" >&2; exit 1; }

work=$(mktemp -d)
display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
cleanup() { kill "$xvfb" 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
export DISPLAY=$display QT_QPA_PLATFORM=xcb HOME=$work/home XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" && chmod 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 100); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.05; done

cp "$src/sample/vesk.cfg" "$work/sample.cfg"
"$startup" --generate 9999 "$work/9999.cfg"
"$startup" --generate 100000 "$work/100k.cfg"
"$startup" --generate 1000000 "$work/1m.cfg"
# The files to save, made now: a file the user opens was seldom written in
# the last seconds (a check of the disk stamp may depend on that).
if [[ " $parts " == *" save "* ]]; then
    for i in $(seq "$runs"); do cp "$work/1m.cfg" "$work/save$i.cfg"; done
    sync
fi

now() { date +%s%N; }
# run NAME CMD...: one fresh process; appends "ms faults maxrss_kib" to NAME.
run() {
    local name=$1 t0 t1
    shift
    t0=$(now)
    /usr/bin/time -v -o "$work/rusage" "$@" >/dev/null 2>&1 || true
    t1=$(now)
    awk -v ms="$(((t1 - t0) / 1000))" '
        /Major \(requiring I\/O\) page faults/ {f += $NF}
        /Minor \(reclaiming a frame\) page faults/ {f += $NF}
        /Maximum resident set size/ {r = $NF}
        END {printf "%.1f %d %d\n", ms / 1000, f, r}' "$work/rusage" >>"$work/$name"
}
# stats NAME: median [min-max] of each column.
stats() {
    local col out=()
    for col in 1 2 3; do
        out+=("$(cut -d' ' -f$col "$work/$1" | sort -g | awk '{v[NR] = $1}
            END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
                 printf "%g [%g-%g]", m, v[1], v[NR]}')")
    done
    printf '  %-26s %-24s faults %-28s peak RSS KiB %s\n' "$1" "ms ${out[0]}" "${out[1]}" "${out[2]}"
}
# ratio A B: median of B's time over A's, round by round.
ratio() {
    paste -d' ' "$work/$1" "$work/$2" | awk '{print $4 / $1}' | sort -g |
        awk -v a="$1" -v b="$2" '{v[NR] = $1} END {m = NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
            printf "  %s / %s: %.2f [%.2f-%.2f]\n", b, a, m, v[1], v[NR]}'
}
painted() { run "$1" env VESK_EXIT_AFTER_PAINT=1 "$editor" "$2"; }
plaintext() { run "$1" "$startup" --child plaintext "$2"; }
# rawtab NAME FILE: like run, but the time is the one the editor reports
# from bringing the Raw tab to the front to its paint.
rawtab() {
    local ms
    ms=$(VESK_EXIT_AFTER_PAINT=raw /usr/bin/time -v -o "$work/rusage" "$editor" "$2" 2>/dev/null |
        sed -n 's/^raw tab painted after \([0-9.]*\) ms$/\1/p')
    awk -v ms="${ms:-nan}" '
        /Major \(requiring I\/O\) page faults/ {f += $NF}
        /Minor \(reclaiming a frame\) page faults/ {f += $NF}
        /Maximum resident set size/ {r = $NF}
        END {printf "%s %d %d\n", ms, f, r}' "$work/rusage" >>"$work/$1"
}

echo "$runs paired runs each, $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
if [[ " $parts " == *" start "* ]]; then
    run warm "$startup" --child boxes; painted warm "$work/sample.cfg"
    for _ in $(seq "$runs"); do
        run bare-72-boxes "$startup" --child boxes
        painted editor-sample "$work/sample.cfg"
    done
    echo "start-up to the first paint"; stats bare-72-boxes; stats editor-sample
    ratio bare-72-boxes editor-sample
fi
if [[ " $parts " == *" open "* ]]; then
    painted warm "$work/1m.cfg"
    for _ in $(seq "$runs"); do
        painted open-sample "$work/sample.cfg"
        painted open-100k "$work/100k.cfg"
        painted open-1m "$work/1m.cfg"
        plaintext plaintext-100k "$work/100k.cfg"
        plaintext plaintext-1m "$work/1m.cfg"
    done
    echo "opening a file, to the first paint"; stats open-sample; stats open-100k; stats open-1m
    ratio open-100k open-1m
    echo "a plain Qt text editor on the same files"; stats plaintext-100k; stats plaintext-1m
    ratio open-100k plaintext-100k; ratio open-1m plaintext-1m
fi
if [[ " $parts " == *" raw "* ]]; then
    for _ in $(seq "$runs"); do
        rawtab raw-9999 "$work/9999.cfg"
        rawtab raw-100k "$work/100k.cfg"
        rawtab raw-1m "$work/1m.cfg"
    done
    echo "Raw tab, from bringing it to the front to its paint (peak RSS: the whole process)"
    stats raw-9999; stats raw-100k; stats raw-1m
fi
if [[ " $parts " == *" save "* ]]; then
    command -v xdotool >/dev/null || { echo "save needs xdotool" >&2; exit 1; }
    sleep 2
    for i in $(seq "$runs"); do
        /usr/bin/time -v -o "$work/rusage" "$editor" "$work/save$i.cfg" >/dev/null 2>&1 &
        timer=$!
        win=$(xdotool search --sync --name '^VESK Front End$' | head -1)
        xdotool windowfocus --sync "$win"
        sleep 0.3 # let the load's events settle
        t0=$(now)
        xdotool key ctrl+s
        until xdotool search --name '^Config file saved$' >/dev/null 2>&1; do sleep 0.002; done
        t1=$(now)
        kill "$(xdotool getwindowpid "$win")" || true
        wait "$timer" || true
        awk -v ms="$(((t1 - t0) / 1000))" '
            /Major \(requiring I\/O\) page faults/ {f += $NF}
            /Minor \(reclaiming a frame\) page faults/ {f += $NF}
            /Maximum resident set size/ {r = $NF}
            END {printf "%.1f %d %d\n", ms / 1000, f, r}' "$work/rusage" >>"$work/save-1m"
    done
    echo "Ctrl+S to the confirmation, 1,000,000 lines (faults and RSS: the whole process, load included)"
    stats save-1m
fi
