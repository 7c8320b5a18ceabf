#!/usr/bin/env bash
# The default demo: the configuration spine on the bench.
exec bash "$(dirname "$0")/config.sh" "$@"
