#!/bin/sh
# vexhost spectrogram of a 10-minute file at 1200x513 against sox's spectrogram of the same
# file at the same size (513 rows: sox's fast transform size), in turn, five times each
# after one warm-up; prints each run's CPU (user + system) and wall seconds, the medians and
# the ratios of the medians, vexhost / sox, for the module's analysis and the fine one.
# The file is 48 kHz mono 16-bit pink noise with a tone, made by sox in a temporary folder.
#   spectrogram_vs_sox.sh VEXHOST [RUNS]
set -eu
vexhost=$1
runs=${2:-5}
command -v sox >/dev/null || { echo "spectrogram_vs_sox: needs sox (apt-get install sox)" >&2; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sox -n -r 48000 -c 1 -b 16 "$work/in.wav" synth 600 pinknoise synth 600 sine mix 1000 \
    vol 0.5 2>/dev/null

# timed LABEL COMMAND...: one run's "cpu wall" appended to $work/LABEL.
timed() {
    label=$1
    shift
    /usr/bin/time -f "%U %S %e" -o "$work/time" "$@" >/dev/null 2>&1
    awk '{ printf "%.3f %.3f\n", $1 + $2, $3 }' "$work/time" >>"$work/$label"
}
# median LABEL FIELD: the median of a column of $work/LABEL.
median() {
    cut -d' ' -f"$2" "$work/$1" | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

for analysis in module fine; do
    rm -f "$work/sox" "$work/$analysis"
    for run in $(seq 0 "$runs"); do
        timed "$analysis" "$vexhost" spectrogram "$work/in.wav" --size 1200x513 \
            --analysis "$analysis" -q -o "$work/vexhost.png"
        timed sox sox "$work/in.wav" -n spectrogram -x 1200 -y 513 -o "$work/sox.png"
        if [ "$run" -eq 0 ]; then # the warm-up
            rm -f "$work/sox" "$work/$analysis"
        fi
    done
    for label in "$analysis" sox; do
        echo "$label: cpu s, wall s:" $(tr '\n' ';' <"$work/$label")
    done
    awk -v a="$(median "$analysis" 1)" -v b="$(median sox 1)" -v c="$(median "$analysis" 2)" \
        -v d="$(median sox 2)" -v name="$analysis" 'BEGIN {
        printf "%s: medians cpu %.3f s against %.3f s (ratio %.2f), wall %.3f s against %.3f s (ratio %.2f)\n",
            name, a, b, a / b, c, d, c / d }'
done
