#!/usr/bin/env bash
# The demo: a sample workbook, a Japanese body and settings in a demo data folder under build/,
# a local SMTPS server on 127.0.0.1, a test run and a real run of rowcaster-send through curl,
# then what the server received and the send log. `make demo` builds first.
set -euo pipefail
cd "$(dirname "$0")/.."
runner=build/linux/bin/rowcaster-send
if [ ! -x "$runner" ] || [ ! -e build/linux/bin/SMTP.exe ]; then
  echo "rowcaster-send is not built: run 'make build-linux' first" >&2
  exit 1
fi
exec /usr/bin/python3 scripts/demo.py --runner "$runner" --folder build/demo
