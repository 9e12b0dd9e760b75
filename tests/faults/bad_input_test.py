#!/usr/bin/python3
"""Hostile input, end to end through the real runner (under the sanitizers in the ASan build),
real curl and the local SMTPS server: settings values against the input checks, and cell
values against the skip rules and the merge. Each case has its expected status lines; the
server must receive exactly the messages that should go out, with intact headers."""
import email
import email.policy
import os
import unittest

import harness
from harness import SENT, Workspace, delivered
from smtps_server import SmtpsServer

NO_ADDRESS = "[{row}]行はメールアドレスがありません。スキップします。"
BAD_ADDRESS = "[{row}]行のメールアドレスに誤りがあります。スキップします。"
ALREADY_SENT = "[{row}]行はメール送信済です。スキップします。"
TITLE_TOO_LONG = "[{row}]行のタイトルが長すぎます。スキップします。"
HEADER_BROKEN = "[{row}]行の差し込み値に改行が含まれ、メールのヘッダーが壊れます。スキップします。"
STARTED = "メール送信を開始しました。"
FINISHED = "メール送信を終了しました。"

TA = "\u30a1"  # ァ: Shift-JIS 0x83 0x40, its second byte is "@"
LONG = "あ" * 127  # 254 bytes in Shift-JIS
TITLE = "{会社名}{会社名}{会社名}{会社名} {氏名}様"

# Cell rows: company, name, address, the status line expected, and (for rows that go out)
# the recipient and the subject the server must see.
CELLS = [
    ("東邦商事", "山田", "yamada@example.jp", SENT, "yamada@example.jp", "東邦商事" * 4 + " 山田様"),
    ("北斗電機", "佐藤", None, NO_ADDRESS, None, None),
    ("空白", "鈴木", "   ", NO_ADDRESS, None, None),
    ("無印", "田中", "tanaka.example.jp", BAD_ADDRESS, None, None),
    ("空白入り", "高橋", "taka hashi@example.jp", BAD_ADDRESS, None, None),
    ("山括弧", "伊藤", "<ito@example.jp>", BAD_ADDRESS, None, None),
    ("表示名", "渡辺", "渡辺 <watanabe@example.jp>", BAD_ADDRESS, None, None),
    ("引用符", "中村", 'naka"mura@example.jp', BAD_ADDRESS, None, None),
    ("囲み引用符", "小林", '"kobayashi@example.jp"', SENT, "kobayashi@example.jp", "囲み引用符" * 4 + " 小林様"),
    ("カンマ", "加藤", "kato@example.jp,evil@example.jp", BAD_ADDRESS, None, None),
    ("タブ", "吉田", "yoshida@exa\tmple.jp", BAD_ADDRESS, None, None),
    ("改行", "山本", "yamamoto@example.jp\nBcc: evil@example.jp", BAD_ADDRESS, None, None),
    ("全角", "松本", "matsumoto" + TA + "example.jp", BAD_ADDRESS, None, None),
    # An ideographic space inside is no mailbox; around the address it is trimmed, as are tabs.
    ("全角空白", "井上", "inoue\u3000@example.jp", BAD_ADDRESS, None, None),
    ("末尾全角空白", "上田", "ueda@example.jp\u3000", SENT, "ueda@example.jp", "末尾全角空白" * 4 + " 上田様"),
    ("タブ囲み", "原", "\thara@example.jp\t", SENT, "hara@example.jp", "タブ囲み" * 4 + " 原様"),
    ("リンク", "石川", "mailto:ishikawa@example.jp", BAD_ADDRESS, None, None),
    ("セミコロン", "前田", "maeda@example.jp;maeda2@example.jp", BAD_ADDRESS, None, None),
    ("日本語", "藤田", "藤田@example.jp", BAD_ADDRESS, None, None),
    ("{氏名}", "木村", "kimura@example.jp", SENT, "kimura@example.jp", "木村" * 4 + " 木村様"),
    ("{メール}", "林", "hayashi@example.jp", SENT, "hayashi@example.jp", "hayashi@example.jp" * 4 + " 林様"),
    ("括弧{", "}清水", "shimizu@example.jp", SENT, "shimizu@example.jp", "括弧{" * 4 + " }清水様"),
    # A line break in the title is encoded in the Subject and logged as a space, so the row is
    # found again by the next run.
    ("改行\r\nBcc: evil@example.jp", "山崎", "yamazaki@example.jp", SENT, "yamazaki@example.jp",
     "改行\r\nBcc: evil@example.jp" * 4 + " 山崎様"),
    (LONG, "長い", "nagai@example.jp", TITLE_TOO_LONG, None, None),
    ("ゾ" * 60, "森", "mori@example.jp", SENT, "mori@example.jp", "ゾ" * 240 + " 森様"),
    ("長い宛先", "長谷川", "a" * 300 + "@example.jp", BAD_ADDRESS, None, None),  # cut at 255 bytes: no "@" left
    ("東邦商事", "山田", "yamada@example.jp", ALREADY_SENT, None, None),
    ('  "池田"  ', ' "橋本" ', " ikeda@example.jp ", SENT, "ikeda@example.jp", "池田" * 4 + " 橋本様"),
]

# Settings values against the input checks: overrides, whether a test run, the messages
# expected, and whether the run goes ahead after them.
NO_MAIL = "送信元アドレスが指定されていません。"
BAD_MAIL = "送信元アドレスに誤りがあります。"
CHECKS = [
    ({"MailAddress": ""}, False, [NO_MAIL], False),
    ({"MailAddress": "sales.example.com"}, False, [BAD_MAIL], False),
    ({"MailAddress": "sales" + TA + "example.com"}, False, [BAD_MAIL], False),
    ({"MailAddress": "sales @example.com"}, False, [BAD_MAIL], False),
    ({"MailAddress": "<sales@example.com>"}, False, [BAD_MAIL], False),
    ({"MailAddress": 'sa"les@example.com'}, False, [BAD_MAIL], False),
    ({"MailAddress": "sales@example.com\t"}, False, [BAD_MAIL], False),
    ({"MailAddress": "mailto:sales@example.com"}, False, [BAD_MAIL], False),
    ({"MailAddress": "sales@example.com\u3000"}, False, [BAD_MAIL], False),
    ({"MailAddress": "{会社名}@example.com"}, False, [BAD_MAIL], False),
    ({"TestAddress": "test@example.com;other@example.com"}, True, ["テスト送信用の送信先アドレスに誤りがあります。"], False),
    ({"MailTitle": ""}, False, ["送信メールのタイトルが指定されていません。"], False),
    ({"MailTitle": '"'}, False, ["送信メールのタイトルが指定されていません。"], False),
    ({"BodyFile": ""}, False, ["メール本文ファイルが指定されていません。"], False),
    ({"BodyFile": "/nonexistent/本文.txt"}, False, ["メール本文ファイルは存在しません。"], False),
    ({"ListFile": ""}, False, ["送信先アドレス一覧ファイル(Excel)が指定されていません。"], False),
    ({"ListFile": "/nonexistent/" + "ソ" * 100 + ".xlsx"}, False, ["送信先アドレス一覧ファイル(Excel)は存在しません。"], False),
    ({"SheetName": "   "}, False, ["送信先アドレス一覧ファイル(Excel)のシート名が指定されていません。"], False),
    ({"MailColumn": ""}, False, ["シート内のe-Mail欄にが指定されていません。"], False),
    ({"StartRow": "10", "EndRow": "5"}, False, ["送信先アドレス一覧の送信開始行と終了行が逆転しています。"], False),
    # The runner takes a start row below 2 (an empty one too) as 2 before the checks.
    ({"StartRow": "", "EndRow": "1"}, False, ["送信先アドレス一覧の送信開始行と終了行が逆転しています。"], False),
    ({"StartRow": "-5", "EndRow": "1"}, False, ["送信先アドレス一覧の送信開始行と終了行が逆転しています。"], False),
    ({"TestAddress": "<test@example.com>"}, True, ["テスト送信用の送信先アドレスに誤りがあります。"], False),
    ({"TestAddress": "test" + TA + "example.com"}, True, ["テスト送信用の送信先アドレスに誤りがあります。"], False),
    ({"TestAddress": "", "MailAddress": ""}, True,
     ["テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。",
      "テスト送信用の送信先アドレスに誤りがあります。"], False),
    # Filling checks: the run goes ahead (to a row range with one good row).
    ({"IntervalSeconds": "0", "StartRow": "2", "EndRow": "2"}, False,
     ["メール送信の間隔秒が指定されていません。10秒を設定します。"], True),
    ({"IntervalSeconds": "abc", "StartRow": "2", "EndRow": "2"}, False,
     ["メール送信の間隔秒が指定されていません。10秒を設定します。"], True),
    ({"EndRow": "", "StartRow": "2"}, False, ["送信先アドレス一覧の送信終了行が指定されていません。99999を設定します。"], True),
    # Over-long settings lines are cut to their fields, between whole characters.
    ({"MailTitle": "件" * 300, "StartRow": "2", "EndRow": "2"}, False, [], True),
    ({"StartRow": "2" + " " * 20 + "x" * 40, "EndRow": "2"}, False, [], True),
]


class BadInput(unittest.TestCase):
    def setUp(self):
        self.space = Workspace(prefix="rowcaster-bad-input-")
        self.space.write_workbook([[c, n, a] for c, n, a, *_ in CELLS])
        self.server = SmtpsServer(os.path.join(self.space.root, "mail"), logins={harness.LOGIN: harness.PASSWORD})
        self.server.start()

    def tearDown(self):
        self.server.stop()
        self.space.close()

    def clear(self):
        self.server.clear()
        log = os.path.join(self.space.data, "SendLogs.txt")
        if os.path.exists(log):
            os.remove(log)

    def test_hostile_cells_meet_the_skip_rules_and_nothing_else_goes_out(self):
        self.space.write_settings(self.server.port, MailTitle=TITLE, EndRow=str(1 + len(CELLS)))
        status, lines = self.space.run()
        expected = [STARTED]
        for row, (_, _, address, line, _, _) in enumerate(CELLS, start=2):
            expected.append(line.format(row=row, address=address and address.strip().strip('"')))
        expected.append(FINISHED)
        self.assertEqual(lines, expected)
        self.assertEqual(status, 0)

        got = self.server.messages()
        wanted = [(rcpt, subject) for *_, rcpt, subject in CELLS if rcpt]
        self.assertEqual([m["rcpt_tos"] for m in got], [[r] for r, _ in wanted])
        for message, (rcpt, subject) in zip(got, wanted):
            parsed = email.message_from_bytes(message["data"], policy=email.policy.default)
            self.assertEqual(str(parsed["To"]), rcpt)
            self.assertEqual(str(parsed["Subject"]), subject)
            self.assertIsNone(parsed["Bcc"])
            # Exactly the header lines the message is made of, nothing injected.
            self.assertEqual(sorted(parsed.keys()),
                             sorted(["From", "To", "Subject", "MIME-Version", "Content-Type",
                                     "Content-Transfer-Encoding", "Date", "Message-ID"]))
        # Only what went out is logged, once, each on a line of its own.
        self.assertEqual([a for _, _, a in self.space.log_entries()], [r for r, _ in wanted])

        # The rerun sends nothing: what went out is found in the log, the rest is skipped again.
        status, lines = self.space.run()
        self.assertEqual(status, 0, lines)
        for row, (_, _, address, line, _, _) in enumerate(CELLS, start=2):
            again = ALREADY_SENT if line == SENT else line
            self.assertEqual(lines[row - 1], again.format(row=row, address=address))
        self.assertEqual(len(self.server.messages()), len(wanted))

    def test_a_line_break_that_would_reach_a_header_line_skips_the_row(self):
        # The sender address takes a placeholder; a cell with a line break would add a header.
        # (The placeholder's name is ASCII: the sender must be a mailbox before the merge too.)
        self.space.write_workbook([["acme", "山田", "yamada@example.jp"],
                                   ["evil\r\nBcc: x@example.jp", "佐藤", "sato@example.jp"],
                                   ["beta", "鈴木", "suzuki@example.jp"]], header=["company", "氏名", "メール"])
        self.space.write_settings(self.server.port, MailAddress="{company}@example.com", MailTitle="ご案内")
        status, lines = self.space.run()
        self.assertEqual(lines, [STARTED, SENT.format(row=2, address="yamada@example.jp"), HEADER_BROKEN.format(row=3),
                                 SENT.format(row=4, address="suzuki@example.jp"), FINISHED])
        self.assertEqual(status, 0)
        got = self.server.messages()
        self.assertEqual([m["rcpt_tos"] for m in got], [["yamada@example.jp"], ["suzuki@example.jp"]])
        froms = [str(email.message_from_bytes(m["data"], policy=email.policy.default)["From"]) for m in got]
        self.assertEqual(froms, ["営業部 <acme@example.com>", "営業部 <beta@example.com>"])

    def test_hostile_settings_meet_the_input_checks(self):
        self.space.write_workbook([["東邦商事", "山田", "yamada@example.jp"]])
        for overrides, test_run, messages, runs in CHECKS:
            with self.subTest(settings=overrides, test_run=test_run):
                self.clear()
                self.space.write_settings(self.server.port, **overrides)
                status, lines = self.space.run(*(["--test"] if test_run else []))
                self.assertEqual(lines[:len(messages)], messages)
                if runs:
                    self.assertEqual(status, 0, lines)
                    self.assertEqual(lines[len(messages)], STARTED)
                    self.assertEqual(delivered(self.server), ["yamada@example.jp"])
                    if "MailTitle" in overrides:
                        parsed = email.message_from_bytes(self.server.messages()[0]["data"],
                                                          policy=email.policy.default)
                        self.assertEqual(str(parsed["Subject"]), overrides["MailTitle"][:127])
                else:
                    self.assertEqual(status, 2)
                    self.assertEqual(lines, messages)  # nothing after the refusal
                    self.assertEqual(delivered(self.server), [])
                    self.assertEqual(self.space.log_bytes(), b"")


if __name__ == "__main__":
    unittest.main(verbosity=2, warnings="ignore")
