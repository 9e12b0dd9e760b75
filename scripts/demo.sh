#!/usr/bin/env bash
echo "The demo is not built yet: it arrives with the send engine and its runner." >&2
exit 1
