#!/usr/bin/python3
"""A long run: ROWS (default 5,000) rows through the real runner and real curl to the local
SMTPS server, with the pause shortened through the test hook. The runner's resident memory is
sampled while it works; at the end every message must have arrived exactly once and every
row must be logged once. Prints the figures; exits non-zero when a check fails.

    ROWCASTER_SEND=build/linux/bin/rowcaster-send long_run.py
"""
import collections
import os
import statistics
import sys
import time

import harness
from harness import Workspace, address_of, delivered
from smtps_server import SmtpsServer

ROWS = int(os.environ.get("ROWS", "5000"))
FIRST = 2
# Growth allowed between the first and the last quarter of the run. The log look-up keeps one
# key per logged row, so some growth is the design; a leak per row of a message buffer or a
# workbook read would pass this many times over.
ALLOWED_GROWTH_KB = int(os.environ.get("ALLOWED_GROWTH_KB", "8192"))


def rss_kb(pid):
    try:
        with open("/proc/%d/status" % pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
    except FileNotFoundError:
        return None
    return None


def main():
    space = Workspace(prefix="rowcaster-long-")
    server = SmtpsServer(os.path.join(space.root, "mail"), logins={harness.LOGIN: harness.PASSWORD})
    process = None
    failures = []
    try:
        space.write_workbook(harness.recipient_rows(FIRST, FIRST + ROWS - 1))
        server.start()
        space.write_settings(server.port, EndRow=str(FIRST + ROWS - 1))
        output_path = os.path.join(space.root, "status.txt")
        output = open(output_path, "wb")
        started = time.monotonic()
        process = space.start(output=output)
        samples = []  # (seconds, rows logged so far, VmRSS kB)
        deadline = started + 1800
        while process.poll() is None and time.monotonic() < deadline:
            kb = rss_kb(process.pid)
            if kb:
                samples.append((time.monotonic() - started, len(space.log_bytes().split(b"\r\n")) - 1, kb))
            time.sleep(0.5)
        if process.poll() is None:
            failures.append("the run did not end within 30 minutes")
            harness.kill_group(process)
        status = process.wait()
        output.close()
        with open(output_path, "rb") as f:
            output = f.read().decode("utf-8").splitlines()
        took = time.monotonic() - started

        if status != 0:
            failures.append("exit status %d, last line %r" % (status, output[-1:] if output else None))
        arrived = collections.Counter(delivered(server))
        expected = [address_of(r) for r in range(FIRST, FIRST + ROWS)]
        missing = [a for a in expected if arrived[a] == 0]
        twice = [a for a in expected if arrived[a] > 1]
        strangers = set(arrived) - set(expected)
        entries = space.log_entries()
        logged = collections.Counter(r for r, _, _ in entries)
        if missing or twice or strangers:
            failures.append("missing %d, duplicated %d, unexpected %d" % (len(missing), len(twice), len(strangers)))
        if sorted(logged) != list(range(FIRST, FIRST + ROWS)) or max(logged.values()) != 1:
            failures.append("the log does not hold every row once (%d lines)" % len(entries))

        kbs = [kb for _, _, kb in samples]
        quarter = max(1, len(samples) // 4)
        early = statistics.median(kbs[quarter:2 * quarter] or kbs)  # after start-up has settled
        late = statistics.median(kbs[-quarter:])
        growth = late - early
        rows_between = max(1, statistics.median(n for _, n, _ in samples[-quarter:]) -
                           statistics.median(n for _, n, _ in (samples[quarter:2 * quarter] or samples)))
        if growth > ALLOWED_GROWTH_KB:
            failures.append("resident memory grew by %d kB" % growth)
        print("long run: %d rows in %.1f s (%.1f ms per row), arrived %d, missing %d, duplicated %d, "
              "log lines %d" % (ROWS, took, took * 1000 / ROWS, sum(arrived.values()), len(missing), len(twice),
                                len(entries)))
        print("runner VmRSS: %d samples, min %d kB, max %d kB, second quarter median %d kB, last quarter "
              "median %d kB, growth %d kB (%.2f kB per 1,000 rows)"
              % (len(kbs), min(kbs), max(kbs), early, late, growth, growth * 1000.0 / rows_between))
        for t, n, kb in samples[:: max(1, len(samples) // 10)]:
            print("  %6.1f s  %5d rows logged  %6d kB" % (t, n, kb))
    finally:
        if process and process.poll() is None:
            harness.kill_group(process)
        server.stop()
        space.close()
    for f in failures:
        print("FAILED:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
