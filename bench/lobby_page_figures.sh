#!/usr/bin/env bash
# The lobby page's list and chat figures, the page of an earlier revision beside today's in one run.
#   bash bench/lobby_page_figures.sh [BUILD_DIR] [REVISION]
# REVISION (default HEAD) gives the earlier lobby.html and bz.js; the build gives today's.
set -eu
build=$(cd "${1:-build}" && pwd)
rev=${2:-HEAD}
top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
before=$(mktemp -d)
trap 'rm -rf "$before"' EXIT
git -C "$top" show "$rev:assets/html/res/lobby.html" >"$before/lobby.html"
git -C "$top" show "$rev:assets/html/res/bz.js" >"$before/bz.js"
BZ_LOBBY_BEFORE="$before" "$build/bench/bench_lobby_page_bench" --benchmark_counters_tabular=true
