#!/usr/bin/env bash
# Conversion throughput beside `cp` of the same raw data file, in one run of the benchmark program:
# megabytes of raw data file per second for cp, HSX and both XTF flavours, and the HSX text rate.
#   bench/quillfen/compare_with_cp.sh [BUILD_DIR]     (default: build)
# The simulated survey (at least 200 MB) is written to the temporary folder on first use; set
# QUILLFEN_BENCH_RAW to use another file.
set -euo pipefail
build="${1:-build}"
bench="$build/bench/bench_quillfen"
if [ ! -x "$bench" ]; then
    echo "no $bench: build the target bench_quillfen first (cmake --build $build --target bench_quillfen)" >&2
    exit 2
fi
json=$(mktemp)
trap 'rm -f "$json"' EXIT
"$bench" --benchmark_filter='BM_(Cp|Convert|WriteXtf1Volume)' --benchmark_format=json --benchmark_out="$json" \
    --benchmark_out_format=json >/dev/null
python3 - "$json" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
def rate(name):
    b = runs.get(name)
    return b["bytes_per_second"] / 1e6 if b and "bytes_per_second" in b else float("nan")
cp = rate("BM_Cp")
print(f"{'':24}{'raw MB/s':>10}{'vs cp':>8}")
for label, name in [("cp", "BM_Cp"), ("HSX", "BM_ConvertHsx"), ("XTF flavour 1", "BM_ConvertXtf1"),
                    ("  writing its bytes only", "BM_WriteXtf1Volume"), ("XTF flavour 2", "BM_ConvertXtf2")]:
    r = rate(name)
    print(f"{label:24}{r:10.1f}{r / cp:8.2f}")
hsx = runs.get("BM_ConvertHsx", {})
if "output_MB_per_s" in hsx:
    print(f"HSX text written: {hsx['output_MB_per_s']:.1f} MB/s")
PY
