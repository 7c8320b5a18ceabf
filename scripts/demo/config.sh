#!/usr/bin/env bash
# Configuration spine on the bench: generates a Config.csv.
set -euo pipefail
echo "Configuration demo: the generator and the bench utilities are not built yet."
