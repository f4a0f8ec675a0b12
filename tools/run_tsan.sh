#!/usr/bin/env bash
# ThreadSanitizer pass over the tests whose threads share state: the connection's receive and send
# steps against the readers on the main thread. Builds only what those tests need, in build-tsan;
# "build" builds them and runs nothing, so that the build can go beside other work.
# Usage: tools/run_tsan.sh [jobs] [build]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
jobs=${1:-4}
build="$root/build-tsan"
targets=(test_net_connection_test test_net_connection_handler_test)
cmake -S "$root" -B "$build" -G Ninja -DBZ_TSAN=ON -DBZ_BENCH=OFF >/dev/null
cmake --build "$build" -j "$jobs" --target "${targets[@]}"
[ "${2:-}" = build ] && exit 0
export TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1"
ctest --test-dir "$build" -R '^(Connection|ConnectionHandler)' --output-on-failure -j "$jobs"
