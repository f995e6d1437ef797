#!/usr/bin/env bash
# Sets up, builds and starts Zelk. Arguments go to the zelk program.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
"$here/tools/install-deps.sh"
"$here/tools/build.sh" release
exec "$here/build/release/zelk" "$@"
