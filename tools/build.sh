#!/usr/bin/env bash
# Configures and builds one preset (release, asan or fuzz) into build/<preset>.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
preset=${1:-release}
cd "$here"
if [ ! -f "build/$preset/CMakeCache.txt" ]; then
  cmake --preset "$preset" >/dev/null
fi
cmake --build --preset "$preset"
