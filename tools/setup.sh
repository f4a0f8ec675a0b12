#!/usr/bin/env bash
# Installs what the project needs on Debian 12, builds it, and then either runs the client
# ("client") or the whole test suite ("test"); "packages" only prints the packages it installs.
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:-test}
jobs=$(nproc)

# Every Debian package the build, the tests, the tools and the client need. tools/programs.list
# names, for each program they start, the package below that brings it; the packaged-programs test
# (tools/check_programs.sh) reads this list with "setup.sh packages" and fails when the two disagree.
packages=(
  # The build, its tests and benchmarks, the fuzz targets (clang and its runtime).
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libsdl2-dev libsdl2-mixer-dev libglew-dev libassimp-dev libstb-dev nlohmann-json3-dev libspng-dev libdeflate-dev
  # The pages' scripts and fonts, packed into the resource archive; the referee's voice for the sounds.
  libjs-jquery node-dompurify fonts-font-awesome fonts-open-sans fonts-dejavu-core espeak-ng
  # The client's browser and the desktop's opener for web links.
  chromium chromium-headless-shell xdg-utils
  # Windows in the tests: virtual display and software GL, X input, screenshots and comparisons.
  xvfb xauth libgl1-mesa-dri xdotool x11-apps imagemagick
  # What the scripts and the layer check run (essential on Debian, listed so the check covers them).
  bash coreutils dpkg findutils mawk procps util-linux binutils
)
if [ "$mode" = packages ]; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update
  apt-get install -y --no-install-recommends "${missing[@]}"
fi

started=$SECONDS
step() {  # step NAME: how long the step just ended took, so that a slow one shows in the log
  echo "== $1: $((SECONDS - started)) s"
  started=$SECONDS
}

# The sanitizer and fuzz builds: -O1 with line tables only compiles in half the time of -O2 -g,
# and every report still names a file and a line.
sanitized=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG"
           "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O1 -g1 -DNDEBUG")

build() {  # build DIR [cmake options...]; compiles at the niceness $nice when it is set
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  ${nice:+nice -n "$nice"} cmake --build "$dir" -j "$jobs"
}

case "$mode" in
  client)
    build build -DBZ_TESTS=OFF -DBZ_BENCH=OFF
    # The client plays in the local lobby, which ends with it.
    port=${BZ_LOBBY_PORT:-42147}
    ./build/tools/testserver/baizeron-lobby --port "$port" &
    lobby=$!
    trap 'kill "$lobby" 2>/dev/null; wait "$lobby" 2>/dev/null || true' EXIT
    BZ_LOBBY_HOST=127.0.0.1 BZ_LOBBY_PORT=$port ./build/app/baizeron
    ;;
  test)
    build build
    step "build"
    # The benchmarks' smoke runs and the fuzz, sanitizer and thread-sanitizer trees go beside the
    # tests from here on, at the lowest priority: they take the cores the tests leave idle (pages
    # waiting on their browsers, the end-to-end runs' few busy cores) and give them back at once.
    # In a process group of their own, so that a step failing meanwhile stops them too.
    mkdir -p build-logs
    set -m
    (
      nice=19
      side_started=$SECONDS
      # The benchmarks are built and smoke-run only, several at once; their figures are not judged here.
      printf '%s\n' build/bench/bench_* |
        xargs -P "$jobs" -I{} nice -n 19 sh -c '"$1" --benchmark_min_time=0.01 >/dev/null || { echo "benchmark $1 failed" >&2; exit 1; }' _ {}
      echo "== benchmarks: $((SECONDS - side_started)) s"
      CC=clang CXX=clang++ build build-fuzz -DBZ_FUZZ=ON -DBZ_TESTS=OFF -DBZ_BENCH=OFF "${sanitized[@]}"
      echo "== fuzz build: $((SECONDS - side_started)) s"
      build build-asan -DBZ_SANITIZE=ON -DBZ_BENCH=OFF "${sanitized[@]}"
      echo "== sanitizer build: $((SECONDS - side_started)) s"
      nice -n 19 bash tools/run_tsan.sh "$jobs" build
      echo "== thread-sanitizer build: $((SECONDS - side_started)) s"
    ) >build-logs/side-builds.log 2>&1 &
    side_builds=$!
    set +m
    trap 'kill -- -"$side_builds" 2>/dev/null || true' EXIT
    ctest --test-dir build -j "$jobs" --output-on-failure -E '^e2e_'
    step "tests"
    # The end-to-end runs keep only a few cores busy each; two go at once, each on its own display.
    ctest --test-dir build -j "$jobs" --output-on-failure -R '^e2e_'
    step "end-to-end tests"
    if ! wait "$side_builds"; then
      tail -n 60 build-logs/side-builds.log
      echo "a benchmark, or the fuzz or sanitizer build, failed; the whole log is build-logs/side-builds.log" >&2
      exit 1
    fi
    grep '^== ' build-logs/side-builds.log
    step "benchmarks, fuzz and sanitizer builds, the part left after the end-to-end runs"
    # Each target runs 20 s from its seeds (fuzz/corpus/<name>, copied: the repository stays as it
    # is), as many at once as there are cores; a crash, a leak, an allocation over 512 MB or an input
    # slower than 10 s fails the run and keeps the input.
    mkdir -p build-fuzz/crashes build-fuzz/logs
    fuzz_one() {  # fuzz_one TARGET: 0 when it ran clean
      local f=$1 name corpus
      name=$(basename "$f"); name=${name#fuzz_}; name=${name%_fuzz}
      corpus=$(mktemp -d)
      [ -d "fuzz/corpus/$name" ] && cp -r "fuzz/corpus/$name/." "$corpus/"
      if "$f" -max_total_time=20 -timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=512 -artifact_prefix="build-fuzz/crashes/$name-" \
          "$corpus" >"build-fuzz/logs/$name.log" 2>&1; then
        echo "fuzz $name: $(grep -o 'Done [0-9]* runs in [0-9]* second(s)' "build-fuzz/logs/$name.log")"
        rm -rf "$corpus"
      else
        tail -n 40 "build-fuzz/logs/$name.log"
        echo "fuzz target $name failed; its input is in build-fuzz/crashes" >&2
        rm -rf "$corpus"
        return 1
      fi
    }
    fuzz_failed=0
    for f in build-fuzz/fuzz/fuzz_*; do
      [ -x "$f" ] || continue
      while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || fuzz_failed=1; done
      fuzz_one "$f" &
    done
    while [ "$(jobs -rp | wc -l)" -gt 0 ]; do wait -n || fuzz_failed=1; done
    [ "$fuzz_failed" = 0 ] || exit 1
    step "fuzz"
    # The tests whose threads share state, under ThreadSanitizer.
    bash tools/run_tsan.sh "$jobs"
    step "thread sanitizer"
    # Last, so that the closing lines are the test summary. The end-to-end run drives real browsers
    # against a client slowed several times by the sanitizers; it runs in the plain pass above, as do
    # the physics builds under other compilers and flags, which compare results, not memory.
    ctest --test-dir build-asan -j "$jobs" --output-on-failure -E '^(e2e_client|e2e_no_lobby|physics_crossbuild_.*)$'
    ;;
  *)
    echo "usage: $0 client|test|packages" >&2
    exit 2
    ;;
esac
