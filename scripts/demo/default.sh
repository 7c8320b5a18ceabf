#!/usr/bin/env bash
# The default bench demo: RVSIM serving the simulated gateway.
exec bash "$(dirname "$0")/rvsim.sh" "$@"
