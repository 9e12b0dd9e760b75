#!/usr/bin/python3
"""Crash consistency: the real runner is killed with SIGKILL at random moments of real runs,
many times over, against a local SMTPS server. After every kill the send log must hold whole
lines only, every logged row must have arrived, and the send journal must hold whole, checked
lines only; a final run completes the list. Printed: the trials, the rows lost (never arrived)
and the rows duplicated (arrived more than once), and how many of the duplicates carry their
first copy's Message-ID.

A kill lands between the server's acceptance of a message and the log line of its row in a
small window; that row is then sent again by the next run, with the Message-ID that the journal
kept for it, so that a mail store that drops duplicate Message-IDs keeps one. The test holds
rows lost at zero, never a logged row that did not arrive, and every duplicate with its first
copy's Message-ID.

TRIALS (default 40) and SEED (default: from the clock, printed) may be set in the environment.
"""
import collections
import ctypes
import email
import email.policy
import os
import random
import signal
import time
import unittest
import zlib

import harness
from harness import Workspace, address_of, delivered
from smtps_server import SmtpsServer

ROWS = 40
FIRST = 2
TRIALS = int(os.environ.get("TRIALS", "40"))
PR_SET_CHILD_SUBREAPER = 36


def reap_orphans(deadline_s=10.0):
    """Waits for the processes the killed runner left (they were reparented to this test, a
    subreaper); what is still running at the deadline is killed. Returns how many there were."""
    count = 0
    end = time.monotonic() + deadline_s
    while True:
        try:
            pid, _ = os.waitpid(-1, os.WNOHANG)
        except ChildProcessError:
            return count
        if pid:
            count += 1
            continue
        if time.monotonic() > end:
            for task in os.listdir("/proc/self/task"):
                with open("/proc/self/task/%s/children" % task) as f:
                    for child in f.read().split():
                        try:
                            os.kill(int(child), signal.SIGKILL)
                        except ProcessLookupError:
                            pass
            end = time.monotonic() + 5
        time.sleep(0.01)


class CrashConsistency(unittest.TestCase):
    def setUp(self):
        libc = ctypes.CDLL(None, use_errno=True)
        self.assertEqual(libc.prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0), 0)
        self.space = Workspace(prefix="rowcaster-crash-")
        self.space.write_workbook(harness.recipient_rows(FIRST, FIRST + ROWS - 1))
        self.server = SmtpsServer(os.path.join(self.space.root, "mail"), logins={harness.LOGIN: harness.PASSWORD})
        self.server.start()
        self.space.write_settings(self.server.port)
        self.torn_pieces = set()

    def tearDown(self):
        self.server.stop()
        reap_orphans()
        self.space.close()

    def check_journal(self):
        """The journal, when there is one, is CR LF lines whose CRC-32 checks out. Only its last
        line may be cut short (an append that the kill stopped half way); that piece may later
        stand as a line of its own, and the next append starts on a fresh line after it."""
        path = os.path.join(self.space.data, "SendJournal.txt")
        if not os.path.exists(path):
            return
        with open(path, "rb") as f:
            raw = f.read()
        lines = raw.split(b"\r\n")
        for line in lines[:-1]:
            checksum, _, rest = line.partition(b" ")
            if line not in self.torn_pieces:
                self.assertEqual(checksum, b"%08x" % zlib.crc32(rest), "a journal line that does not check: %r" % line)
        if lines[-1]:
            self.torn_pieces.add(lines[-1])

    def check_log(self):
        """Whole lines only, and every logged row has arrived."""
        entries = self.space.log_entries()  # raises on a partial line
        arrived = collections.Counter(delivered(self.server))
        for row, _, address in entries:
            self.assertEqual(address, address_of(row))
            self.assertGreater(arrived[address], 0, "row %d is logged but never arrived" % row)
        return entries, arrived

    def test_random_kills_lose_nothing(self):
        seed = int(os.environ.get("SEED", str(int(time.time()))))
        rng = random.Random(seed)
        kills = orphans = 0
        rounds = 1
        unlogged_windows = 0
        for trial in range(TRIALS):
            process = self.space.start()
            time.sleep(rng.uniform(0.02, 0.5))
            if process.poll() is None:
                os.kill(process.pid, signal.SIGKILL)
                kills += 1
            process.wait(timeout=60)
            process.stdout.close()
            orphans += reap_orphans()
            self.check_journal()
            entries, arrived = self.check_log()
            logged = {a for _, _, a in entries}
            unlogged_windows += sum(1 for a in arrived if a not in logged)
            if len(logged) == ROWS:
                # The whole list went out: start the next round on a fresh log and mailbox, so
                # that the later kills land in runs with work to do.
                self.finish_round()
                rounds += 1
        lost, duplicated = self.finish_round()
        self.totals["rounds"] = rounds
        print("crash trials: %d (kills inside a run: %d, tools ended with the killed runner: %d), rounds: %d, "
              "rows lost: %d, rows duplicated: %d (with their first copy's Message-ID: %d), "
              "journal appends cut short: %d, seed %d"
              % (TRIALS, kills, orphans, rounds, self.totals["lost"], self.totals["duplicated"],
                 self.totals["same_id"], len(self.torn_pieces), seed))
        self.assertEqual(self.totals["lost"], 0)
        # At most one row per kill can be caught between delivery and log.
        self.assertLessEqual(self.totals["duplicated"], kills)
        # And a mailbox can tell each duplicate from its Message-ID.
        self.assertEqual(self.totals["same_id"], self.totals["duplicated"])

    totals = collections.Counter()

    def duplicates_with_the_first_id(self):
        """How many copies after the first of each recipient's mail carry the first copy's
        Message-ID (every copy has one)."""
        ids = collections.defaultdict(list)
        for message in self.server.messages():
            parsed = email.message_from_bytes(message["data"], policy=email.policy.default)
            message_id = parsed["Message-ID"]
            self.assertTrue(message_id, "a message without a Message-ID")
            for recipient in message["rcpt_tos"]:
                ids[recipient].append(str(message_id))
        return sum(1 for copies in ids.values() for later in copies[1:] if later == copies[0])

    def finish_round(self):
        status, lines = self.space.run()
        self.assertEqual(status, 0, lines)
        entries, arrived = self.check_log()
        self.assertEqual(sorted({r for r, _, _ in entries}), list(range(FIRST, FIRST + ROWS)))
        expected = [address_of(r) for r in range(FIRST, FIRST + ROWS)]
        lost = sum(1 for a in expected if arrived[a] == 0)
        duplicated = sum(arrived[a] - 1 for a in expected if arrived[a] > 1)
        self.assertEqual(set(arrived) - set(expected), set())
        self.totals["lost"] += lost
        self.totals["duplicated"] += duplicated
        self.totals["same_id"] += self.duplicates_with_the_first_id()
        # A fresh round: new log, empty mailbox.
        os.remove(os.path.join(self.space.data, "SendLogs.txt"))
        self.server.clear()
        return lost, duplicated


if __name__ == "__main__":
    unittest.main(verbosity=2, warnings="ignore")
