#!/usr/bin/env bash
# Runs the whole test suite of an already configured and built tree through CTest.
set -euo pipefail
build_dir=${1:-build}
cd "$build_dir"
ctest --output-on-failure -j "$(nproc)" --timeout 600
