#!/usr/bin/env bash
# Fails when the layering of the tree is broken:
#  - a source file outside a ui/ folder includes a Qt header (the core stays free of Qt);
#  - a core file includes a header from a ui/ folder (dependencies point from ui to core only).
# Resource libraries of English texts are ui code too.
set -u
if [ "${1:-}" = "--self-test" ]; then
    # The check must catch a violation: build a small tree that has one of each kind.
    tmp=$(mktemp -d)
    trap 'rm -rf "$tmp"' EXIT
    mkdir -p "$tmp/core/ui"
    printf '#pragma once\n#include <QWidget>\n' >"$tmp/core/ui/Fine.h"
    printf '#include "core/Good.h"\n' >"$tmp/core/Good.cpp"
    printf '#pragma once\n#include "Quality.h"\n' >"$tmp/core/Good.h"
    bash "$0" "$tmp" >/dev/null || { echo "self-test: a clean tree was refused"; exit 1; }
    printf '#pragma once\n  #  include <QString>\n' >"$tmp/core/Bad.h"
    out=$(bash "$0" "$tmp") && { echo "self-test: a Qt include in core passed"; exit 1; }
    rm "$tmp/core/Bad.h"
    printf '#include "core/ui/Fine.h"\n' >"$tmp/core/Bad.cpp"
    out=$(bash "$0" "$tmp") && { echo "self-test: a ui/ include in core passed"; exit 1; }
    echo "self-test: both kinds of violation are caught"
    exit 0
fi
top="${1:?usage: check_layering.sh SOURCE_DIR | --self-test}"
cd "$top" || exit 2

is_ui() {
    case "$1" in
        */ui/*|ui/*|tests/ui/*|tests/e2e/*|rewindle_lang/*|*MultiLang*) return 0 ;;
        *) return 1 ;;
    esac
}

status=0
checked=0
while IFS= read -r -d '' f; do
    f="${f#./}"
    is_ui "$f" && continue
    checked=$((checked + 1))
    if grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*(<Q[A-Za-z0-9_]*(\.h)?>|[<"]Qt[A-Z][A-Za-z]*/)' "$f" >/tmp/layering.$$ 2>/dev/null; then
        echo "Qt included outside a ui/ folder: $f"
        sed 's/^/    /' /tmp/layering.$$
        status=1
    fi
    if grep -n -E '^[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]*/)?ui/' "$f" >/tmp/layering.$$ 2>/dev/null; then
        echo "core file includes a ui/ header: $f"
        sed 's/^/    /' /tmp/layering.$$
        status=1
    fi
done < <(find . \( -path ./build -o -path './build-*' -o -path ./.git \) -prune -o \
              -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.cc' \) -print0)
rm -f /tmp/layering.$$
if [ "$checked" -eq 0 ]; then
    echo "no core source files found under $top"
    exit 1
fi
[ "$status" -eq 0 ] && echo "layering: $checked core files include neither Qt nor ui/ headers"
exit "$status"
