#!/usr/bin/env bash
# Writes starting inputs for every fuzz target into the folder given (one folder per target).
exec /usr/bin/python3 "$(dirname "$0")/make_seeds.py" "$@"
