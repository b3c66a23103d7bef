#!/usr/bin/env bash
# Sets everything up, builds an optimised Cairnmoor and starts it. Arguments are passed
# on, so `scripts/run.sh --help` or `scripts/run.sh --profile examples/essentials.cmprofile`
# work too.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset release >/dev/null
cmake --build --preset release --target Cairnmoor
executable=build/release/bin/Cairnmoor
if [[ "$(uname -s)" == Darwin ]]; then
    executable=build/release/bin/Cairnmoor.app/Contents/MacOS/Cairnmoor
fi
exec "$executable" "$@"
