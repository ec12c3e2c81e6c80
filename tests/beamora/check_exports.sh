#!/usr/bin/env bash
# Compares the dynamic symbols that libbeamora exports with the checked-in list.
#
#   check_exports.sh LIBRARY LIST             fail when they differ
#   check_exports.sh LIBRARY LIST --update    rewrite LIST from LIBRARY
#   check_exports.sh LIBRARY LIST --self-test show that a changed list or a stray symbol is caught
#
# The symbols of the library's four classes must equal LIST exactly. Any other defined symbol must be a
# toolchain symbol: a reserved name beginning with "_" (linker markers, sanitizer runtime) or an
# instantiation from the standard library (libstdc++ gives its namespaces default visibility, and
# unoptimised builds emit its inline functions). Anything else is a symbol of ours that escaped the
# hidden visibility. The shared libraries it needs must be runtime libraries only.
set -euo pipefail

lib="${1:?usage: check_exports.sh LIBRARY LIST [--update|--self-test]}"
list="${2:?usage: check_exports.sh LIBRARY LIST [--update|--self-test]}"
mode="${3:-}"
export LC_ALL=C

classes='(^|[^A-Za-z0-9_])(CBeamora|CFPoint|CInstallPara|CSvpData)([^A-Za-z0-9_]|$)'
toolchain='^_|^([A-Za-z_][A-Za-z0-9_ *&]* )?(std|__gnu_cxx|__cxxabiv1)::'

# check SYMBOLS_FILE LIST: the comparison itself, on a file of demangled names.
check() {
    local symbols="$1" expected="$2" status=0 ours others missing extra
    ours=$(grep -E "$classes" "$symbols" || true)
    others=$(grep -v -E "$classes" "$symbols" | grep -v -E "$toolchain" || true)
    missing=$(comm -13 <(printf '%s\n' "$ours" | sed '/^$/d') <(grep -v '^#' "$expected" | sed '/^$/d' | sort -u))
    extra=$(comm -23 <(printf '%s\n' "$ours" | sed '/^$/d') <(grep -v '^#' "$expected" | sed '/^$/d' | sort -u))
    if [ -n "$missing" ]; then
        echo "listed but not exported:"
        printf '%s\n' "$missing" | sed 's/^/    /'
        status=1
    fi
    if [ -n "$extra" ]; then
        echo "exported but not listed:"
        printf '%s\n' "$extra" | sed 's/^/    /'
        status=1
    fi
    if [ -n "$others" ]; then
        echo "exported symbols outside the four classes:"
        printf '%s\n' "$others" | sed 's/^/    /'
        status=1
    fi
    return "$status"
}

if [ "$mode" != "--update" ] && [ ! -f "$list" ]; then
    echo "no list of exported symbols: $list"
    exit 1
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
nm -D --defined-only -C "$lib" | sed -E 's/^[0-9a-fA-F]+ [A-Za-z] //' | sort -u >"$work/symbols"

case "$mode" in
--update)
    {
        echo "# Exported symbols of libbeamora (demangled); tests/beamora/check_exports.sh compares them."
        grep -E "$classes" "$work/symbols"
    } >"$list"
    echo "wrote $(grep -c -v '^#' "$list") symbols to $list"
    exit 0
    ;;
--self-test)
    check "$work/symbols" "$list" >/dev/null || { echo "self-test: the library does not match the list"; exit 1; }
    grep -v '^#' "$list" | sed 1d >"$work/short"
    check "$work/symbols" "$work/short" >/dev/null && { echo "self-test: a missing symbol passed"; exit 1; }
    { cat "$list"; echo "CBeamora::Unlisted()"; } >"$work/long"
    check "$work/symbols" "$work/long" >/dev/null && { echo "self-test: an extra listed symbol passed"; exit 1; }
    { cat "$work/symbols"; echo "beamora::Helper(double)"; } | sort -u >"$work/stray"
    check "$work/stray" "$list" >/dev/null && { echo "self-test: a stray exported symbol passed"; exit 1; }
    echo "self-test: missing, extra and stray symbols are caught"
    exit 0
    ;;
"") ;;
*)
    echo "unknown option $mode"
    exit 2
    ;;
esac

status=0
check "$work/symbols" "$list" || status=1

needed=$(objdump -p "$lib" | awk '$1 == "NEEDED" { print $2 }')
for n in $needed; do
    case "$n" in
    libstdc++.so* | libm.so* | libgcc_s.so* | libc.so* | ld-linux*.so* | libasan.so* | libubsan.so* | libtsan.so*) ;;
    *)
        echo "needs a library beyond the runtime: $n"
        status=1
        ;;
    esac
done

[ "$status" -eq 0 ] && echo "exports: $(grep -c -E "$classes" "$work/symbols") symbols of the four classes, as listed"
exit "$status"
