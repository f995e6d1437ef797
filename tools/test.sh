#!/usr/bin/env bash
# Sets up, builds and runs the whole test suite.
#   tools/test.sh            optimised build
#   tools/test.sh --asan     the same suite under AddressSanitizer + UBSan
# Extra arguments after -- go to ctest (for example: -- -R Settings).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
preset=release
ctest_args=()
while [ $# -gt 0 ]; do
  case "$1" in
    --asan) preset=asan ;;
    --) shift; ctest_args=("$@"); break ;;
    *) echo "usage: tools/test.sh [--asan] [-- CTEST_ARGS...]" >&2; exit 2 ;;
  esac
  shift
done

"$here/tools/install-deps.sh"
"$here/tools/build.sh" "$preset"

if [ "$preset" = asan ]; then
  # Qt and GLib keep some allocations until exit; leaks are checked by valgrind runs, not here.
  export ASAN_OPTIONS="detect_leaks=0:abort_on_error=1:strict_init_order=1"
  export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
fi

# Desktop tests need an X server, a session bus, accessibility and audio; the
# harness gives every run its own throwaway HOME and stops what it started.
runner=()
if [ -x "$here/tools/desktop-session.sh" ]; then
  runner=("$here/tools/desktop-session.sh")
fi

cd "$here/build/$preset"
"${runner[@]}" ctest --output-on-failure --no-tests=error -j"$(nproc)" "${ctest_args[@]}"
