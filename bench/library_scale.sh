# shellcheck shell=bash
# The library-scale rows of the benchmark, sourced by bench/run when SCALE=1 (it has built the
# programs, entered $WORK and defined measure): how collection create and the mosaic grow when a
# person brings a whole photo library. Each row is the median of REPS runs on $THREADS threads;
# the medians go to $WORK/scale.tsv and are drawn with gnuplot into $PLOT.
#
#   SCALE=1 REPS=3 THREADS=2 bench/run
#   SIZES="2500 5000" SCALE=1 bench/run     fewer libraries for a quick trial
REPS=${REPS:-3}
SIZES=${SIZES:-2500 5000 10000 20000}
PLOT=${PLOT:-$ROOT/docs/performance-scale.png}
TABLE=$WORK/scale.tsv

command -v gnuplot >/dev/null || { echo "gnuplot is missing (Debian package gnuplot-nox)" >&2; exit 1; }

# The largest library is made once and kept (it takes minutes); every smaller one is its first N
# photos, so that a bigger library only ever adds photos and the rows differ in size alone.
make_scale_photos() {
  local most=0 n
  for n in $SIZES; do ((n > most)) && most=$n; done
  [ "$(cat scale/photos/.done 2>/dev/null)" -ge "$most" ] 2>/dev/null && return
  rm -rf scale/photos
  "$MAKE" tiles scale/photos "$most" 400 300
  echo "$most" >scale/photos/.done
}

# Library N is a folder of links to the first N photos; collection create follows links to
# files, and the collection file sits in the folder it scans.
make_library() {
  local n=$1 dir=scale/lib$1 k name targets=()
  [ "$(cat "$dir/.done" 2>/dev/null)" = "$n" ] && return
  rm -rf "$dir"
  mkdir -p "$dir"
  for ((k = 0; k < n; k++)); do
    printf -v name "photo%04d.jpg" "$k"
    targets+=("../photos/$name")
  done
  # One ln per few thousand links rather than one per photo.
  printf "%s\0" "${targets[@]}" | xargs -0 ln -s -t "$dir"
  echo "$n" >"$dir/.done"
}

# median FORMAT VALUE...: the middle value (the mean of the two middle ones for an even count).
median() {
  local format=$1
  shift
  printf "%s\n" "$@" | sort -g | awk -v f="$format" '{ v[NR] = $1 }
    END { printf f, (NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2) }'
}

# repeat NAME command...: runs the command REPS times through measure, each time after
# `prepare` (which removes what the run before left); sets T and M to the medians of time and
# peak memory.
repeat() {
  local name=$1 times=() mems=() r
  shift
  for ((r = 1; r <= REPS; r++)); do
    prepare
    measure "$name" "$@"
    times+=("$WALL")
    mems+=("$MEM")
  done
  T=$(median %.2f "${times[@]}")
  M=$(median %.0f "${mems[@]}")
}

# create_row N: the collection of library N, made from nothing each time.
create_row() {
  local lib=scale/lib$1
  prepare() { rm -f "$lib/c.tzc"; }
  repeat "scale-create-$1" "$CLI" collection --threads "$THREADS" create "$lib/c.tzc"
}

# mosaic_row N PER: a mosaic of the scene at PER tiles per row from library N, default settings
# plus --report. The outputs are removed first: the mosaic never replaces a file it finds.
mosaic_row() {
  local lib=scale/lib$1 source=scale/scene-$1-$2.jpg
  prepare() {
    rm -f "${source%.jpg} Mosaic.JPG" "${source%.jpg} Report.TXT"
    cp scale/scene.jpg "$source"
  }
  repeat "scale-mosaic-$1-$2" "$CLI" mosaic --threads "$THREADS" -c "$lib/c.tzc" \
    --tiles-per-row "$2" --report "$source"
  CELLS=$(awk -F'\t' 'NR == 1 {print $2}' "${source%.jpg} Report.TXT")
}

# The machine, for the table's heading and the plot's title.
machine() {
  local cpu
  cpu=$(awk -F': *' '/^model name/ {print $2; exit}' /proc/cpuinfo)
  echo "$(nproc) cores ($cpu), $THREADS threads, $(date -u +%Y-%m-%d)"
}

scale_row() { printf "%-8s %9s %8s %12s %8s %12s %8s\n" "$@"; }

measure_scale() {
  local n
  MACHINE=$(machine)
  echo "library scale: $MACHINE; medians of $REPS runs"
  echo
  scale_row "photos" "create s" "MB" "40/row s" "MB" "100/row s" "MB"
  printf "# %s; medians of %s runs\n" "$MACHINE" "$REPS" >"$TABLE"
  printf "photos\tcreate_s\tcreate_mb\tm40_s\tm40_mb\tm100_s\tm100_mb\n" >>"$TABLE"
  for n in $SIZES; do
    make_library "$n"
    create_row "$n"
    local ct=$T cm=$M
    mosaic_row "$n" 40
    local at=$T am=$M acells=$CELLS
    mosaic_row "$n" 100
    scale_row "$n" "$ct" "$cm" "$at" "$am" "$T" "$M"
    printf "%s\t%s\t%s\t%s\t%s\t%s\t%s\n" "$n" "$ct" "$cm" "$at" "$am" "$T" "$M" >>"$TABLE"
  done
  CELLS40=$acells CELLS100=$CELLS
  echo
  echo "cells: $CELLS40 at 40 per row, $CELLS100 at 100 per row (3000x2000 scene, 400x300 photos)"
}

# One plot, time against photos; the photo axis is linear so that a line bending upwards shows
# a cost growing faster than the library.
plot_scale() {
  gnuplot <<EOF
set terminal pngcairo size 900,560 font "sans,11"
set output "$PLOT"
set title "tessarix-cli, library scale: $MACHINE\nmedians of $REPS runs (SCALE=1 bench/run)"
set xlabel "photos in the collection (400x300)"
set ylabel "wall time (s)"
set key top left
set grid
set xrange [0:*]
set yrange [0:*]
set datafile separator "\t"
plot "$TABLE" skip 2 using 1:2 with linespoints lw 2 title "collection create", \
     "" skip 2 using 1:4 with linespoints lw 2 title "mosaic, 40 per row ($CELLS40 cells)", \
     "" skip 2 using 1:6 with linespoints lw 2 title "mosaic, 100 per row ($CELLS100 cells)"
EOF
  echo "plot: $PLOT; data: $TABLE"
}

mkdir -p scale
make_scale_photos
[ -f scale/scene.jpg ] || "$MAKE" scene scale/scene.jpg 3000 2000
measure_scale
plot_scale
