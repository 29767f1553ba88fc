#!/usr/bin/env bash
# Installs what building needs, builds the release benchmarks and runs them.
#   scripts/bench.sh [options]             open_bench with the options, then crypto_bench, ops_bench, import_bench
#                                          window_bench and viewer_bench
#   scripts/bench.sh open [options]        open_bench only:   [--items N] [--dir D] [--keep] [--repeat R] [--breakdown]
#   scripts/bench.sh crypto [options]      crypto_bench only: [--size-mib N] [--files N] [--repeat R] [--dir D] [--keep]
#   scripts/bench.sh ops [options]         ops_bench only:    [--items N] [--ops K] [--dir D] [--keep] [--repeat R] [--seed S]
#   scripts/bench.sh import [options]      import_bench only: [--files N] [--folders N] [--tree-folders N] [--queries N]
#                                                             [--dir D] [--keep] [--repeat R]
#   scripts/bench.sh window [options]      window_bench only: [--items N] [--dir D] [--keep] [--repeat R]
#   scripts/bench.sh viewer [options]      viewer_bench only: [--repeat R] [--dir D] [--keep]
#   scripts/bench.sh find [options]        find_bench only:   [--items N] [--repeat R]
#   scripts/bench.sh textcache [options]   textcache_bench only: [--files N] [--repeat R] [--dir D] [--keep]
#   scripts/bench.sh smartfolders [options] smartfolders_bench only: [--items N] [--files F] [--repeat R] [--dir D] [--keep]
#   scripts/bench.sh report [options]      report_bench only: [--members N] [--items M] [--repeat R] [--dir D] [--keep]
# Options go to the benchmark unchanged; with no name they go to open_bench, and
# the others run with their defaults. See bench/README.md.
# The exit status is 1 when a benchmark broke (not when it missed a target).
set -euo pipefail
cd "$(dirname "$0")/.."

which=all
case "${1:-}" in
  open | crypto | ops | import | window | viewer | find | textcache | smartfolders | report | all) which=$1; shift ;;
esac

scripts/install-deps.sh
# With the GUI, for window_bench and viewer_bench; the other benchmarks build the core alone all the same.
cmake -S . -B build/bench -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DFOLIVO_BUILD_GUI=ON -DFOLIVO_BUILD_TESTS=OFF -DFOLIVO_BUILD_BENCH=ON >/dev/null

case "$which" in
  open)
    ninja -C build/bench open_bench
    exec build/bench/bench/open_bench "$@"
    ;;
  crypto)
    ninja -C build/bench crypto_bench
    exec build/bench/bench/crypto_bench "$@"
    ;;
  ops)
    ninja -C build/bench ops_bench
    exec build/bench/bench/ops_bench "$@"
    ;;
  import)
    ninja -C build/bench import_bench
    exec build/bench/bench/import_bench "$@"
    ;;
  window)
    ninja -C build/bench window_bench
    exec build/bench/bench/window_bench "$@"
    ;;
  viewer)
    ninja -C build/bench viewer_bench
    exec build/bench/bench/viewer_bench "$@"
    ;;
  find)
    ninja -C build/bench find_bench
    exec build/bench/bench/find_bench "$@"
    ;;
  textcache)
    ninja -C build/bench textcache_bench
    exec build/bench/bench/textcache_bench "$@"
    ;;
  smartfolders)
    ninja -C build/bench smartfolders_bench
    exec build/bench/bench/smartfolders_bench "$@"
    ;;
  report)
    ninja -C build/bench report_bench
    exec build/bench/bench/report_bench "$@"
    ;;
  all)
    ninja -C build/bench open_bench crypto_bench ops_bench import_bench window_bench viewer_bench find_bench \
      textcache_bench smartfolders_bench report_bench
    status=0
    build/bench/bench/open_bench "$@" || status=$?
    echo
    build/bench/bench/crypto_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/ops_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/import_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/window_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/viewer_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/find_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/textcache_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    echo
    build/bench/bench/smartfolders_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    build/bench/bench/report_bench || { s=$?; [ "$status" -ne 0 ] || status=$s; }
    exit "$status"
    ;;
esac
