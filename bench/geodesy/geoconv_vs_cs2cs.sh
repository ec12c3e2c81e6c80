#!/usr/bin/env bash
# Times geoconv against PROJ's cs2cs on the same positions: WGS-84 latitude, longitude and height to a
# transverse Mercator grid with central meridian 117° E, scale 1 and false easting 500000 m (geoconv's
# default coordinate system). Prints both times, their ratio and how far the two results lie apart.
#
# usage: bench/geodesy/geoconv_vs_cs2cs.sh [BUILD_DIR [COUNT [RUNS]]]
#   BUILD_DIR  build tree holding bin/geoconv (default: build)
#   COUNT      number of positions (default: 1000000)
#   RUNS       timed runs of each program; the best is reported (default: 3)
set -euo pipefail

build=${1:-build}
count=${2:-1000000}
runs=${3:-3}
geoconv="$build/bin/geoconv"

if [ ! -x "$geoconv" ]; then
    echo "no geoconv at $geoconv: build the target geoconv first" >&2
    exit 2
fi
if ! command -v cs2cs >/dev/null; then
    echo "cs2cs not found: install the Debian package proj-bin" >&2
    exit 2
fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Positions of a survey area around the central meridian, the same on every run.
awk -v n="$count" 'BEGIN {
    srand(20240611)
    for (i = 0; i < n; i++) printf "%.9f %.9f %.3f\n", 20 + 20 * rand(), 114 + 6 * rand(), -50 + 100 * rand()
}' >"$tmp/positions.txt"
: >"$tmp/settings.ini"  # an empty settings file: the defaults

cs2cs_args=(-r -f %.4f +proj=longlat +ellps=WGS84 +to +proj=tmerc +lat_0=0 +lon_0=117 +k=1 +x_0=500000
            +y_0=0 +ellps=WGS84)

# Best wall time of $runs runs of a command, in seconds.
best_time() {
    local best="" start end t
    for ((r = 0; r < runs; r++)); do
        start=$(date +%s.%N)
        "$@"
        end=$(date +%s.%N)
        t=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.3f", b - a }')
        if [ -z "$best" ] || awk -v t="$t" -v b="$best" 'BEGIN { exit !(t < b) }'; then best=$t; fi
    done
    echo "$best"
}

run_geoconv() { "$geoconv" "$tmp/settings.ini" <"$tmp/positions.txt" >"$tmp/geoconv.txt"; }
run_cs2cs() { cs2cs "${cs2cs_args[@]}" <"$tmp/positions.txt" >"$tmp/cs2cs.txt"; }

t_geoconv=$(best_time run_geoconv)
t_cs2cs=$(best_time run_cs2cs)

lines_geoconv=$(wc -l <"$tmp/geoconv.txt")
lines_cs2cs=$(wc -l <"$tmp/cs2cs.txt")
if [ "$lines_geoconv" -ne "$count" ] || [ "$lines_cs2cs" -ne "$count" ]; then
    echo "unexpected output: geoconv $lines_geoconv lines, cs2cs $lines_cs2cs lines, $count expected" >&2
    exit 1
fi

# Largest difference of easting and northing (cs2cs separates with a tab and a blank).
diff=$(paste "$tmp/geoconv.txt" "$tmp/cs2cs.txt" | awk '{
    de = $1 - $4; if (de < 0) de = -de; if (de > me) me = de
    dn = $2 - $5; if (dn < 0) dn = -dn; if (dn > mn) mn = dn
} END { printf "easting %.4f m, northing %.4f m", me, mn }')

echo "positions:          $count (best of $runs runs each)"
echo "geoconv:            ${t_geoconv} s"
echo "cs2cs:              ${t_cs2cs} s"
awk -v g="$t_geoconv" -v c="$t_cs2cs" -v n="$count" 'BEGIN {
    printf "geoconv/cs2cs:      %.3f of the time (cs2cs takes %.1fx as long)\n", g / c, c / g
    printf "geoconv rate:       %.2f M positions/s\n", n / g / 1e6
}'
echo "largest difference: $diff"
