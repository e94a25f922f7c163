#!/usr/bin/env bash
# The long soak: 100 000 sampling cycles back to back over a pseudo-terminal
# against the simulated module (settle delay 1 ms). Extra arguments go to
# tavelin_soak, e.g. scripts/soak.sh --cycles 20000 --speed 10
set -euo pipefail
build_dir=${BUILD_DIR:-build}
cmake --build "$build_dir" -j "$(nproc)" --target tavelin_soak >/dev/null
"$build_dir/bin/tavelin_soak" --cycles 100000 "$@"
