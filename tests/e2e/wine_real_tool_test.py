#!/usr/bin/python3
"""The Windows programs under Wine delivering through the real transfer tool: SMTP.exe, curl
built for Windows, beside Rowcaster.exe and rowcaster-send.exe in the build's bin folder, to the
suite's local SMTPS server, whose certificate SMTP.exe verifies against the suite's throw-away
authority (CURL_CA_BUNDLE, which the programs hand to the tool as --cacert: Wine's Schannel
takes any certificate when curl is given no CA file). Every mail that arrives is decoded by
Python's email parser.

    wine_real_tool_test.py Window   the window (tests/app/real_tool_test.cpp drives it)
    wine_real_tool_test.py Runner   rowcaster-send.exe (uses the prefix's C:\\ProgramData)
"""
import email
import email.policy
import os
import subprocess
import sys
import tempfile
import shutil
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sheets import write_sheet  # noqa: E402
from settings_file import write_options, write_plain_settings  # noqa: E402
from smtps_server import BEFORE_STARTTLS, SmtpsServer  # noqa: E402
import test_ca  # noqa: E402

SOURCE = os.environ["ROWCASTER_SOURCE_DIR"]
BUILD = os.environ["ROWCASTER_BUILD_DIR"]
BIN = os.path.join(BUILD, "bin")
PREFIX = os.environ.get("WINEPREFIX", os.path.join(SOURCE, "build", "wineprefix"))
WINE_RUN = os.path.join(SOURCE, "scripts", "wine-run.sh")
# A space, a quote and a backslash: the password crosses the Windows command line to curl.
LOGIN, PASSWORD = "sales", 'pa ss"wo\\rd'
FAILED = "[{row}]行の[{address}]へのメール送信に失敗しました。（{reason}）"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def decoded(message):
    """(To, Subject, body text) of a received mail, as Python's email parser reads them."""
    mail = email.message_from_bytes(message["data"], policy=email.policy.default)
    return str(mail["To"]), str(mail["Subject"]), mail.get_content()


class RealToolCase(unittest.TestCase):
    def setUp(self):
        self.assertTrue(os.path.isfile(os.path.join(BIN, "SMTP.exe")), "no SMTP.exe in " + BIN)
        self.root = tempfile.mkdtemp(prefix="rowcaster-real-tool-", dir=BUILD)
        self.server = SmtpsServer(os.path.join(self.root, "mail"), logins={LOGIN: PASSWORD}).start()

    def tearDown(self):
        self.server.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    def assert_mail(self, message, login, rcpt, subject, body):
        self.assertEqual(message["login"], login)
        self.assertEqual(message["mail_from"], "sales@example.jp")
        self.assertEqual(message["rcpt_tos"], [rcpt])
        to, got_subject, got_body = decoded(message)
        self.assertEqual((to, got_subject), (rcpt, subject))
        self.assertEqual(got_body.replace("\r\n", "\n"), body)
        # What went over the wire keeps CR LF line ends and short lines.
        data = message["data"]
        self.assertNotIn(b"\n", data.replace(b"\r\n", b""))
        self.assertTrue(all(len(line) <= 998 for line in data.split(b"\r\n")))


class Window(RealToolCase):
    def test_window_sends_through_smtp_exe(self):
        env = dict(test_ca.trust(os.environ, windows=True), ROWCASTER_SMTPS_PORT=str(self.server.port),
                   ROWCASTER_SMTPS_MAIL=windows_path(self.server.folder))
        done = subprocess.run(["bash", WINE_RUN, os.path.join(BIN, "gui_real_tool_test.exe"), "--gtest_color=no"],
                              env=env, cwd=BIN, capture_output=True, timeout=400)
        output = done.stdout.decode("utf-8", "replace")
        self.assertEqual(done.returncode, 0, output[-4000:])
        self.assertIn("[  PASSED  ] 2 tests.", output)
        # The test run's three mails to the test address, then the real run's to each row;
        # nothing from the rerun or the wrong password.
        messages = self.server.messages()
        people = [("山田", "yamada@example.jp"), ("佐藤", "sato@example.jp"), ("鈴木", "suzuki@example.jp")]
        expected = [("test@example.jp", name) for name, _ in people] + [(to, name) for name, to in people]
        self.assertEqual(len(messages), len(expected))
        for message, (rcpt, name) in zip(messages, expected):
            with self.subTest(rcpt=rcpt, name=name):
                self.assert_mail(message, LOGIN, rcpt, name + "様 新製品のご案内",
                                 name + " 様\n\n新製品のご案内です。\n")


class Runner(RealToolCase):
    """rowcaster-send.exe in bin/, beside SMTP.exe, with the prefix's own data folder."""

    def setUp(self):
        super().setUp()
        self.data = os.path.join(PREFIX, "drive_c", "ProgramData", "Tallowmere", "Rowcaster")
        os.makedirs(self.data, exist_ok=True)
        self.clear_data()

    def tearDown(self):
        self.clear_data()
        super().tearDown()

    def clear_data(self):
        for name in ("Environ.def", "Environ.psw", "SendLogs.txt", "SendMail.txt", "Options.def"):
            if os.path.exists(os.path.join(self.data, name)):
                os.remove(os.path.join(self.data, name))

    def write_inputs(self, password=PASSWORD, port=None, rows=None):
        workbook = write_sheet(os.path.join(self.root, "顧客リスト.xlsx"), rows or (
            ["会社名", "氏名", "メール"], ["東邦商事", "山田", "yamada@example.jp"],
            ["北斗電機", "佐藤", None], ["ゾーン設計", "鈴木", "suzuki@example.jp"]))
        body = os.path.join(self.root, "本文.txt")
        with open(body, "w", encoding="utf-8", newline="") as f:
            f.write("{会社名}\r\n{氏名} 様\r\n")
        write_plain_settings(self.data, {
            "MailAddress": "sales@example.jp", "LoginId": LOGIN, "Password": password, "SenderName": "営業部",
            "SmtpServer": "127.0.0.1", "SmtpPort": str(port or self.server.port), "MailTitle": "{会社名} {氏名}様 ご案内",
            "BodyFile": windows_path(body), "ListFile": windows_path(workbook), "SheetName": "顧客",
            "MailColumn": "C", "StartRow": "2", "EndRow": "999", "IntervalSeconds": "1",
            "TestAddress": "test@example.jp"})

    def run_sender(self, *args):
        # No pauses between rows: the runner's test hook.
        env = dict(test_ca.trust(os.environ, windows=True), ROWCASTER_TEST_PAUSE_MS="0")
        done = subprocess.run(["bash", WINE_RUN, os.path.join(BIN, "rowcaster-send.exe"), *args],
                              env=env, capture_output=True, timeout=180)
        return done.returncode, done.stdout.decode("utf-8").splitlines()

    def log_lines(self):
        path = os.path.join(self.data, "SendLogs.txt")
        if not os.path.exists(path):
            return []
        with open(path, "rb") as f:
            return f.read().decode("cp932").split("\r\n")[:-1]

    def test_runner_sends_through_smtp_exe(self):
        self.write_inputs()
        status, lines = self.run_sender()
        self.assertEqual((status, lines), (0, [
            "メール送信を開始しました。", "[2]行の[yamada@example.jp]にメール送信しました。",
            "[3]行はメールアドレスがありません。スキップします。",
            "[4]行の[suzuki@example.jp]にメール送信しました。", "メール送信を終了しました。"]))
        log = self.log_lines()
        self.assertEqual(len(log), 2)
        self.assertTrue(log[0].endswith(" 行番号[0002] タイトル[東邦商事 山田様 ご案内] 送信先アドレス[yamada@example.jp]"))
        self.assertTrue(log[1].endswith(" 行番号[0004] タイトル[ゾーン設計 鈴木様 ご案内] 送信先アドレス[suzuki@example.jp]"))

        # The rerun skips both rows and sends nothing.
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual([lines[1], lines[3]], ["[2]行はメール送信済です。スキップします。",
                                                "[4]行はメール送信済です。スキップします。"])
        self.assertEqual(len(self.server.messages()), 2)

        status, lines = self.run_sender("--test")
        self.assertEqual(status, 0, lines)
        self.assertEqual([lines[1], lines[3]], ["[2]行の[test@example.jp]にメール送信しました。",
                                                "[4]行の[test@example.jp]にメール送信しました。"])
        self.assertEqual(len(self.log_lines()), 2)

        messages = self.server.messages()
        expected = [("yamada@example.jp", "東邦商事", "山田"), ("suzuki@example.jp", "ゾーン設計", "鈴木"),
                    ("test@example.jp", "東邦商事", "山田"), ("test@example.jp", "ゾーン設計", "鈴木")]
        self.assertEqual(len(messages), len(expected))
        for message, (rcpt, company, name) in zip(messages, expected):
            with self.subTest(rcpt=rcpt, name=name):
                self.assert_mail(message, LOGIN, rcpt, "%s %s様 ご案内" % (company, name),
                                 "%s\n%s 様\n" % (company, name))

    def test_wrong_password_fails_the_rows_and_logs_nothing(self):
        self.write_inputs(password="wrong")
        status, lines = self.run_sender()
        self.assertEqual((status, lines), (1, [
            "メール送信を開始しました。", FAILED.format(row=2, address="yamada@example.jp", reason="ログインできません"),
            "[3]行はメールアドレスがありません。スキップします。",
            FAILED.format(row=4, address="suzuki@example.jp", reason="ログインできません"),
            "メール送信を終了しました。送信に失敗した行が2件あります。"]))
        self.assertEqual(self.log_lines(), [])
        self.assertEqual(self.server.messages(), [])

    def test_refused_recipient_says_so(self):
        self.server.refuse["suzuki@example.jp"] = "550 5.1.1 No such user"
        self.write_inputs()
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[3], FAILED.format(row=4, address="suzuki@example.jp",
                                                 reason="送信元・宛先またはメールが拒否されました"))
        self.assertEqual([m["rcpt_tos"] for m in self.server.messages()], [["yamada@example.jp"]])
        # Verified against the authority, greeted with the sender's domain.
        self.assertEqual(self.server.messages()[0]["ehlo"], "example.jp")

    def test_unknown_certificate_is_refused_unless_verification_is_turned_off(self):
        unknown = SmtpsServer(os.path.join(self.root, "mail-unknown"), logins={LOGIN: PASSWORD},
                              certificate="unknown").start()
        try:
            rows = (["会社名", "氏名", "メール"], ["東邦商事", "山田", "yamada@example.jp"])
            self.write_inputs(port=unknown.port, rows=rows)
            status, lines = self.run_sender()
            self.assertEqual((status, lines), (1, [
                "メール送信を開始しました。",
                FAILED.format(row=2, address="yamada@example.jp", reason="サーバー証明書を確認できません"),
                "メール送信を終了しました。送信に失敗した行が1件あります。"]))
            self.assertEqual(unknown.commands, [])
            self.assertEqual(unknown.messages(), [])

            self.clear_data()
            self.write_inputs(port=unknown.port, rows=rows)
            write_options(self.data, {"VerifyCertificate": "0"})
            status, lines = self.run_sender()
            self.assertEqual(status, 0, lines)
            self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
            self.assertEqual([m["rcpt_tos"] for m in unknown.messages()], [["yamada@example.jp"]])
        finally:
            unknown.stop()

    def test_starttls_delivers_and_logs_in_only_after_the_upgrade(self):
        starttls = SmtpsServer(os.path.join(self.root, "mail-starttls"), logins={LOGIN: PASSWORD},
                               starttls=True).start()
        try:
            self.write_inputs(port=starttls.port, rows=(["会社名", "氏名", "メール"], ["東邦商事", "山田", "yamada@example.jp"]))
            write_options(self.data, {"TlsMode": "starttls"})
            status, lines = self.run_sender()
            self.assertEqual(status, 0, lines)
            self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
            self.assertEqual([(m["rcpt_tos"], m["login"]) for m in starttls.messages()],
                             [(["yamada@example.jp"], LOGIN)])
            commands = starttls.commands
            upgrade = commands.index(("STARTTLS", False))
            self.assertTrue(all(c in BEFORE_STARTTLS and not e for c, e in commands[:upgrade]), commands)
            self.assertTrue(all(e for _, e in commands[upgrade + 1:]), commands)
            self.assertIn(("AUTH", True), commands)
        finally:
            starttls.stop()


if __name__ == "__main__":
    unittest.main(verbosity=2)
