#!/usr/bin/env bash
# Sets up, builds and runs Tolvane on the simulated analyser: a 5-second
# acquisition whose spectrum file is written to the home folder.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
out="${HOME:-/tmp}/tolvane-simulated.dat"
echo "Acquiring 5 s on the simulated analyser..."
./build/tolvane-cli acquire --device=sim --preset 5 --out "$out"
./build/tolvane-cli info "$out"
echo "Spectrum written to $out"
