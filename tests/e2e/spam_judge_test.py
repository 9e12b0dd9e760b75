#!/usr/bin/python3
"""SpamAssassin judges every kind of message Rowcaster writes (tests/support/message_kinds.py),
delivered through the real runner and curl to the suite's strict SMTPS server. With local rules
only (`spamassassin -L -t`), a message may hit no rule but the informational ones of a local
hand-off, and must score at most 0.5.

    spam_judge_test.py               the test (ROWCASTER_SEND names the runner)
    spam_judge_test.py --scores [--runner PATH] [--lenient]
                                     prints each kind's score and rules; --lenient delivers
                                     through a server that takes every message as it comes
"""
import argparse
import concurrent.futures
import email
import email.policy
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import message_kinds  # noqa: E402

RUNNER = os.environ.get("ROWCASTER_SEND", "")
# What a message handed over on this machine hits whatever it holds: no Received line, no relay.
INFORMATIONAL = {"NO_RECEIVED", "NO_RELAYS", "HTML_MESSAGE"}
LIMIT = 0.5


def spamassassin(message, home):
    """(score, [rule names]) of SpamAssassin's local rules for one message."""
    env = dict(os.environ, HOME=home)
    done = subprocess.run(["spamassassin", "-L", "-t"], input=message, capture_output=True, env=env,
                          timeout=300, check=True)
    judged = email.message_from_bytes(done.stdout, policy=email.policy.compat32)
    # "No, score=0.1 required=5.0 tests=A,B,\r\n\tC autolearn=no ...", the rule list folded.
    status = " ".join(judged["X-Spam-Status"].split())
    score = re.search(r"\bscore=(-?[0-9.]+)", status).group(1)
    tests = re.sub(r"\s", "", re.search(r"\btests=(.*?)(?: [a-z_]+=|$)", status).group(1))
    rules = [] if tests in ("", "none") else tests.split(",")
    return float(score), rules


def judge(runner, strict=True):
    """{kind name: (score, rules)} for every kind, or (None, reason) for a kind not delivered."""
    root = tempfile.mkdtemp(prefix="rowcaster-spam-")
    try:
        delivered = message_kinds.deliver(runner, root, strict=strict)
        home = os.path.join(root, "home")
        os.makedirs(home)
        results = {}
        with concurrent.futures.ThreadPoolExecutor(max_workers=2) as pool:
            futures = {}
            for name, (status, lines, data) in delivered.items():
                if data is None:
                    results[name] = (None, "not delivered: %s" % " / ".join(lines))
                else:
                    futures[name] = pool.submit(spamassassin, data, home)
            for name, future in futures.items():
                results[name] = future.result()
        return results
    finally:
        shutil.rmtree(root, ignore_errors=True)


class SpamAssassin(unittest.TestCase):
    def test_every_kind_hits_only_informational_rules(self):
        results = judge(RUNNER)
        self.assertEqual(sorted(results), sorted(k.name for k in message_kinds.KINDS))
        for name, (score, rules) in results.items():
            with self.subTest(kind=name):
                self.assertIsNotNone(score, rules)
                self.assertEqual(set(rules) - INFORMATIONAL, set(), "%s: %s %s" % (name, score, rules))
                self.assertLessEqual(score, LIMIT, rules)


def print_scores(runner, strict):
    results = judge(runner, strict=strict)
    for kind in message_kinds.KINDS:
        score, rules = results[kind.name]
        if score is None:
            print("%-18s %s" % (kind.name, rules))
        else:
            print("%-18s %5.1f  %s" % (kind.name, score, ",".join(rules) or "-"))
    bad = [n for n, (s, r) in results.items() if s is None or s > LIMIT or set(r) - INFORMATIONAL]
    return 1 if bad else 0


if __name__ == "__main__":
    parser = argparse.ArgumentParser(add_help=False)
    parser.add_argument("--scores", action="store_true")
    parser.add_argument("--runner", default=RUNNER)
    parser.add_argument("--lenient", action="store_true")
    args, rest = parser.parse_known_args()
    if not args.runner or not os.path.exists(args.runner):
        sys.exit("ROWCASTER_SEND (or --runner) must name the rowcaster-send program")
    if shutil.which("spamassassin") is None:
        sys.exit("spamassassin is missing: scripts/install-deps.sh installs it")
    if args.scores:
        sys.exit(print_scores(args.runner, strict=not args.lenient))
    RUNNER = args.runner
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
