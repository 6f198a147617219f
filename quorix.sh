#!/usr/bin/env bash
# The project's command: builds, tests and renders.
#   ./quorix.sh render [song.mid] [out.wav]   build, make the factory library once, render a song
#   ./quorix.sh test                           build and run every test, normal and sanitized
#   ./quorix.sh build [release|asan]           build only
#   ./quorix.sh deps                           install the missing Debian packages
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
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# build <release|asan>: configure once, then build incrementally.
build() {
  local kind=$1 dir="build/$1" args=()
  case "$kind" in
    release) args=(-DCMAKE_BUILD_TYPE=Release) ;;
    asan) args=(-DCMAKE_BUILD_TYPE=Debug -DQUORIX_SANITIZE=ON -DQUORIX_BENCH=OFF) ;;
    *) echo "unknown build kind: $kind" >&2; exit 2 ;;
  esac
  if [ ! -f "$dir/build.ninja" ]; then
    cmake -S . -B "$dir" -G Ninja "${args[@]}" >/dev/null
  fi
  log "building $kind"
  cmake --build "$dir" -j "$jobs"
}

run_tests() {
  local kind=$1
  log "testing $kind"
  ctest --test-dir "build/$kind" -j "$jobs" --output-on-failure --no-tests=error --timeout 900
}

cmd_test() {
  deps
  export ASAN_OPTIONS="halt_on_error=1:abort_on_error=1:detect_leaks=1${ASAN_OPTIONS:+:$ASAN_OPTIONS}"
  export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1${UBSAN_OPTIONS:+:$UBSAN_OPTIONS}"
  build release
  build asan
  local rc=0
  run_tests release || rc=1
  run_tests asan || rc=1
  return $rc
}

# Paths given on the command line are taken from where the command was started.
from_here() { case "$1" in /*) printf '%s' "$1" ;; *) printf '%s/%s' "$here" "$1" ;; esac; }

cmd_render() {
  deps
  build release
  local plugin=build/release/plugin/Quorix.so host=build/release/tools/quorix-host
  local song=build/release/tools/quorix-demo.mid out
  [ -n "${1:-}" ] && song=$(from_here "$1")
  out=$(from_here "${2:-quorix.wav}")
  if [ ! -f "$plugin" ]; then
    echo "render: the plug-in is not built yet" >&2
    exit 1
  fi
  exec "$host" "$plugin" "$song" "$out"
}

case "${1:-}" in
  test) shift; cmd_test "$@" ;;
  render) shift; cmd_render "$@" ;;
  build) shift; deps; build "${1:-release}" ;;
  deps) deps ;;
  *) sed -n '2,6p' "$0" | sed 's/^# \{0,1\}//'; exit 2 ;;
esac
