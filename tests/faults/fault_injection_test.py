#!/usr/bin/python3
"""Faults during delivery, end to end: the real runner, real curl, and a local SMTPS server
that misbehaves for one row of four. For every fault the row is reported as failed with the
reason curl's exit code gives, is not logged, the other rows go out, and the rerun against a
healthy server sends exactly that row."""
import os
import socket
import time
import unittest

import harness
from harness import (FAILED, FINISHED, FINISHED_FAILED, LOGIN_DENIED, NO_TLS, REFUSED, SENT, TIMED_OUT, Workspace,
                     address_of, delivered)
from faulty_smtps import FaultySmtpsServer

# A connection closed while curl waits for the reply to the message: CURLE_RECV_ERROR, which has
# no reason of its own.
DROPPED = "送信ツールの終了コード 56"
ROWS = range(2, 6)   # rows 2..5; the fault hits row 3, the second connection
VICTIM = 3
TOOL_LIMIT_MS = 3000

FAULTS = [
    # name, faults, what the server must have noted, why the row failed
    ("login refused", {"refuse_login": {2}}, ("refuse_login", 2), LOGIN_DENIED),
    ("recipient refused 4xx", {"refuse": {address_of(VICTIM): "451 4.3.0 Mailbox busy, try later"}}, None, REFUSED),
    ("recipient refused 5xx", {"refuse": {address_of(VICTIM): "550 5.1.1 No such user"}}, None, REFUSED),
    ("connection dropped inside DATA", {"drop_data": {address_of(VICTIM)}}, ("drop_data", address_of(VICTIM)),
     DROPPED),
    ("TLS handshake refused", {"tls_fail": {2}}, ("tls_fail", 2), NO_TLS),
    ("connection never answered", {"hang": {2}}, ("hang", 2), TIMED_OUT),
]


class FaultInjection(unittest.TestCase):
    def setUp(self):
        self.space = Workspace()

    def tearDown(self):
        self.space.close()

    def test_each_fault_fails_one_row_and_the_rerun_sends_exactly_it(self):
        survived = 0
        for name, faults, noted, reason in FAULTS:
            with self.subTest(fault=name):
                self.space.write_workbook(harness.recipient_rows(ROWS[0], ROWS[-1]))
                log = os.path.join(self.space.data, "SendLogs.txt")
                if os.path.exists(log):
                    os.remove(log)
                server = FaultySmtpsServer(self.space.root + "/mail-" + name.replace(" ", "-"),
                                           logins={harness.LOGIN: harness.PASSWORD}, faults=faults)
                server.start()
                try:
                    self.space.write_settings(server.port)
                    started = time.monotonic()
                    status, lines = self.space.run(tool_limit_ms=TOOL_LIMIT_MS)
                    took = time.monotonic() - started

                    expected = ["メール送信を開始しました。"]
                    for row in ROWS:
                        form = FAILED if row == VICTIM else SENT
                        expected.append(form.format(row=row, address=address_of(row), reason=reason))
                    expected.append(FINISHED_FAILED.format(count=1))
                    self.assertEqual(lines, expected)
                    self.assertEqual(status, 1)
                    if noted:
                        self.assertIn(noted, server.injected)
                    # Every row but the victim arrived once; the victim did not arrive at all.
                    others = [address_of(r) for r in ROWS if r != VICTIM]
                    self.assertEqual(delivered(server), others)
                    self.assertEqual([(r, a) for r, _, a in self.space.log_entries()],
                                     [(r, address_of(r)) for r in ROWS if r != VICTIM])
                    if name == "connection never answered":
                        # Ended at the limit, not held for ever.
                        self.assertLess(took, TOOL_LIMIT_MS / 1000 + 20)

                    # The server is healthy again: the rerun sends the victim and nothing else.
                    for key in server.faults:
                        server.faults[key] = {} if key == "refuse" else set()
                    self.space.write_settings(server.port)
                    status, lines = self.space.run(tool_limit_ms=TOOL_LIMIT_MS)
                    self.assertEqual(status, 0, lines)
                    self.assertIn(SENT.format(row=VICTIM, address=address_of(VICTIM)), lines)
                    self.assertEqual(lines[-1], FINISHED)
                    self.assertEqual(sorted(delivered(server)), sorted(address_of(r) for r in ROWS))
                    self.assertEqual(len(self.space.log_entries()), len(ROWS))
                    survived += 1
                finally:
                    server.stop()
        print("faults injected: %d, survived (row failed, not logged, rerun completed): %d"
              % (len(FAULTS), survived))

    def test_a_listener_that_never_answers_the_handshake_fails_the_row_at_the_limit(self):
        # Below TLS: the connection is accepted and not a byte comes back.
        self.space.write_workbook(harness.recipient_rows(ROWS[0], ROWS[-1]))
        listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        listener.bind(("127.0.0.1", 0))
        listener.listen(8)
        server = None
        try:
            self.space.write_settings(listener.getsockname()[1], StartRow=str(VICTIM), EndRow=str(VICTIM))
            started = time.monotonic()
            status, lines = self.space.run(tool_limit_ms=TOOL_LIMIT_MS)
            took = time.monotonic() - started
            self.assertEqual(lines, ["メール送信を開始しました。",
                                     FAILED.format(row=VICTIM, address=address_of(VICTIM), reason=TIMED_OUT),
                                     FINISHED_FAILED.format(count=1)])
            self.assertEqual(status, 1)
            self.assertGreaterEqual(took, TOOL_LIMIT_MS / 1000)
            self.assertLess(took, TOOL_LIMIT_MS / 1000 + 20)
            self.assertEqual(self.space.log_entries(), [])

            server = FaultySmtpsServer(os.path.join(self.space.root, "mail-silent"),
                                       logins={harness.LOGIN: harness.PASSWORD})
            server.start()
            self.space.write_settings(server.port, StartRow=str(VICTIM), EndRow=str(VICTIM))
            status, lines = self.space.run(tool_limit_ms=TOOL_LIMIT_MS)
            self.assertEqual(status, 0, lines)
            self.assertEqual(delivered(server), [address_of(VICTIM)])
            print("faults injected: 1 (a listener that never answers the TLS handshake), survived: 1")
        finally:
            listener.close()
            if server:
                server.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2, warnings="ignore")
