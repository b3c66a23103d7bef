#!/usr/bin/env bash
# Sets everything up, builds the debug configuration and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
cmake --preset dev
cmake --build --preset dev
QT_QPA_PLATFORM=offscreen QT_QUICK_BACKEND=software ctest --preset dev
