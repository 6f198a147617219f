#!/usr/bin/env bash
# The project's command: builds, tests and renders.
#   ./quorix.sh render [song.mid] [out.wav]   build, make the factory library once, render a song
#   ./quorix.sh test                           build and run every test, normal and sanitized
#   ./quorix.sh build [release|asan]           build only
#   ./quorix.sh fuzz [seconds] [target...]     run the fuzz targets (default 60 s each, all)
#   ./quorix.sh soak [minutes]                 two instances under ThreadSanitizer (default 10 min)
#   ./quorix.sh deps                           install the missing Debian packages
#   ./quorix.sh help                           this text (also -h, --help)
set -euo pipefail

here=$PWD
top=$(cd "$(dirname "$0")" && pwd)
cd "$top"
jobs=$(nproc 2>/dev/null || echo 2)

log() { printf '== %s\n' "$*" >&2; }

# Every package named in scripts/packages/*.txt, installed only when missing.
deps() {
  local wanted=() missing=() p
  while read -r p; do
    [ -n "$p" ] && wanted+=("$p")
  done < <(sed -e 's/#.*//' -e 's/[[:space:]]//g' scripts/packages/*.txt | sort -u)
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing ${#missing[@]} Debian packages: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build <release|asan> [target...]: configure once, then build incrementally (everything, or the
# targets named).
build() {
  local kind=$1 dir="build/$1" args=() targets=()
  shift
  for t in "$@"; do targets+=(--target "$t"); done
  case "$kind" in
    release) args=(-DCMAKE_BUILD_TYPE=Release) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQUORIX_SANITIZE=ON -DQUORIX_BENCH=OFF) ;;
    *) echo "unknown build kind: $kind" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    log "configuring the $kind build in $dir"
    cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
  fi
  if [ $# -gt 0 ]; then log "building $kind: $*"; else log "building $kind"; fi
  cmake --build "$dir" -j "$jobs" "${targets[@]}"
}

# The fuzz build: clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer; only the
# fuzz programs are built in it.
fuzz_build() {
  local dir=build/fuzz
  if [ ! -f "$dir/build.ninja" ]; then
    CC=clang CXX=clang++ cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIX_FUZZ=ON \
      -DQUORIX_BENCH=OFF >/dev/null
  fi
  log "building fuzz"
  cmake --build "$dir" -j "$jobs" --target quorix_fuzz
}

# fuzz_one <program> <seconds>: one target over its seeds, its kept failures (fuzz/corpus/<name>)
# and what earlier runs found (build/fuzz/corpus/<name>), in a temporary folder of its own. With
# FUZZ_FRESH set it starts from the seeds and kept failures only, so that a large
# corpus from long runs cannot stretch the brief run, and keeps nothing it finds.
fuzz_one() {
  local program=$1 seconds=$2 dir=build/fuzz name
  name=${program##*/fuzz_}
  local work=$dir/corpus/$name artifacts=$dir/artifacts/$name/ logfile=$dir/logs/$name.log
  local tmp rc=0
  mkdir -p "$dir/tmp"
  tmp=$(mktemp -d "$top/$dir/tmp/$name-XXXXXX")
  [ -n "${FUZZ_FRESH:-}" ] && work=$tmp/corpus
  local corpora=("$work")
  mkdir -p "$work" "$artifacts" "$dir/logs"
  [ -d "fuzz/corpus/$name" ] && corpora+=("fuzz/corpus/$name")
  [ -d "$dir/seeds/$name" ] && corpora+=("$dir/seeds/$name")
  mkdir -p "$tmp/home"
  TMPDIR=$tmp/home "$program" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 \
    -artifact_prefix="$artifacts" "${corpora[@]}" >"$logfile" 2>&1 || rc=$?
  rm -rf "$tmp"
  local runs cov
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$logfile" | tail -n 1)
  cov=$(grep -ao 'cov: [0-9]*' "$logfile" | tail -n 1 || true)
  if [ "$rc" -eq 0 ]; then
    printf '   %-22s ok      %8s runs  %s\n' "$name" "${runs:-?}" "${cov:-}" >&2
  else
    printf '   %-22s FAILED  (exit %d) see %s\n' "$name" "$rc" "$logfile" >&2
    grep -aE 'ERROR|fuzz check failed|SUMMARY|Test unit written' "$logfile" | head -n 8 | sed 's/^/      /' >&2 || true
  fi
  return "$rc"
}

# fuzz_run <seconds> [target...]: the targets (all by default), up to one per core at a time.
fuzz_run() {
  local seconds=$1 dir=build/fuzz program name rc=0 running=0
  shift
  local programs=()
  if [ $# -gt 0 ]; then
    for name in "$@"; do programs+=("$dir/fuzz/fuzz_${name#fuzz_}"); done
  else
    for program in "$dir"/fuzz/fuzz_*; do [ -x "$program" ] && programs+=("$program"); done
  fi
  rm -rf "$dir/seeds"
  "$dir/fuzz/make-fuzz-seeds" "$dir/seeds"
  log "fuzzing ${#programs[@]} targets for ${seconds} s each, ${jobs} at a time"
  for program in "${programs[@]}"; do
    if [ ! -x "$program" ]; then
      echo "fuzz: no target ${program##*/}" >&2
      rc=1
      continue
    fi
    if [ "$running" -ge "$jobs" ]; then
      wait -n || rc=1
      running=$((running - 1))
    fi
    fuzz_one "$program" "$seconds" &
    running=$((running + 1))
  done
  while [ "$running" -gt 0 ]; do
    wait -n || rc=1
    running=$((running - 1))
  done
  return $rc
}

sanitizer_options() {
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  export LSAN_OPTIONS="suppressions=$top/scripts/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
}

cmd_fuzz() {
  local seconds=60
  if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then
    seconds=$1
    shift
  fi
  deps
  sanitizer_options
  fuzz_build
  fuzz_run "$seconds" "$@"
}

# The soak test (by hand, not in CI): its own ThreadSanitizer build, then the run.
cmd_soak() {
  local minutes=${1:-10} dir=build/tsan
  deps
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQUORIX_TSAN=ON -DQUORIX_BENCH=OFF >/dev/null
  fi
  log "building tsan"
  cmake --build "$dir" -j "$jobs" --target quorix-soak
  local tmp rc=0
  mkdir -p "$dir/tmp"
  tmp=$(mktemp -d "$top/$dir/tmp/soak-XXXXXX")
  TMPDIR=$tmp TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1${TSAN_OPTIONS:+:$TSAN_OPTIONS}" \
    "$dir/bench/soak/quorix-soak" "$minutes" || rc=$?
  rm -rf "$tmp"
  return $rc
}

run_tests() {
  local kind=$1 results=build/$1/test-results rc=0
  log "testing $kind"
  rm -rf "$results"
  ctest --test-dir "build/$kind" -j "$jobs" --output-on-failure --no-tests=error --timeout 900 || rc=$?
  # Where a process runs a whole suite, its report counts the cases it ran.
  if [ -d "$results" ]; then
    cat "$results"/*.xml 2>/dev/null | awk '/^<testsuites tests="/ { split($0, a, "\""); n += a[2]; s++ }
      /<testcase .*result="skipped"/ { k++ }
      END { printf "== %d cases in %d suites ran, %d of them skipped\n", n, s, k }' >&2 || true
  fi
  return $rc
}

cmd_test() {
  deps
  sanitizer_options
  build release
  build asan
  local rc=0
  run_tests release || rc=1
  # The sanitized tests include each fuzz target over its seeds, its kept failures and changed
  # inputs (fuzz/replay), so that a regression of an input reader fails the run.
  run_tests asan || rc=1
  return $rc
}

# Paths given on the command line are taken from where the command was started.
from_here() { case "$1" in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$here" "$1" ;; esac; }

# Only what a render needs: the plug-in, its library and skin, the host and the demo song (and the
# manual when the build has it). Nothing is rebuilt on the second run.
cmd_render() {
  deps
  local dir=build/release targets=(Quorix quorix-host quorix-sf2 factory-library default-skin demo-song)
  if [ -f "$dir/build.ninja" ] && cmake --build "$dir" --target help 2>/dev/null | grep -q '^manual:'; then
    targets+=(manual)
  fi
  if [ ! -f "$dir/plugin/.factory-library.made" ] && [ -f /usr/share/sounds/sf2/FluidR3_GM.sf2 ]; then
    log "the first render also makes the factory library from /usr/share/sounds/sf2/FluidR3_GM.sf2 (once)"
  fi
  build release "${targets[@]}"
  local plugin=$dir/plugin/Quorix.so host=$dir/tools/quorix-host
  local song=$dir/tools/quorix-demo.mid out
  [ -n "${1:-}" ] && song=$(from_here "$1")
  out=$(from_here "${2:-quorix.wav}")
  if [ ! -f "$plugin" ]; then
    echo "render: the plug-in is not built yet" >&2
    exit 1
  fi
  log "rendering ${song#"$top"/} into $out"
  exec "$host" "$plugin" "$song" "$out"
}

usage() { sed -n '2,9p' "$0" | sed 's/^# \{0,1\}//'; }

# A fuzz target that does not exist is refused before anything is built.
check_fuzz_targets() {
  local name
  if [ $# -gt 0 ] && [[ "$1" =~ ^[0-9]+$ ]]; then shift; fi
  for name in "$@"; do
    name=${name#fuzz_}
    if [ ! -f "fuzz/targets/$name.cpp" ]; then
      echo "fuzz: no target $name" >&2
      exit 2
    fi
  done
}

case "${1:-}" in
  test) shift; cmd_test "$@" ;;
  render) shift; cmd_render "$@" ;;
  build)
    shift
    case "${1:-release}" in release | asan) ;; *) echo "quorix.sh: unknown build kind: $1" >&2; exit 2 ;; esac
    deps; build "${1:-release}" ;;
  fuzz) shift; check_fuzz_targets "$@"; cmd_fuzz "$@" ;;
  soak) shift; cmd_soak "$@" ;;
  deps) deps ;;
  help | -h | --help) usage ;;
  "") usage >&2; exit 2 ;;
  *) echo "quorix.sh: unknown command: $1" >&2; usage >&2; exit 2 ;;
esac
