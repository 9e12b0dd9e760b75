#!/usr/bin/python3
"""End-to-end delivery: the real rowcaster-send, real curl as its transfer tool and a local
SMTPS server with login on 127.0.0.1, whose certificate curl verifies against the suite's
throw-away authority (test_ca.py). Workbooks are written by openpyxl here."""
import ctypes
import errno
import email
import email.header
import email.policy
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from sheets import write_sheet  # noqa: E402
import message_kinds  # noqa: E402
from refused_workbooks import write_refused_workbooks  # noqa: E402
from settings_file import scramble, write_options, write_plain_settings  # noqa: E402
from smtps_server import BEFORE_STARTTLS, SmtpsServer, strict_refusal  # noqa: E402
import test_ca  # noqa: E402

RUNNER = os.environ.get("ROWCASTER_SEND", "")
LOGIN, PASSWORD = "sales", 'pa ss"wo\\rd'

HEADER = ["会社名", "氏名", "メール"]
LONG_COMPANY = "株式会社" + "ゾ" * 40 + "商事"
ROWS = [
    ["東邦商事", "山田", "yamada@example.jp"],
    ["北斗電機", "佐藤", None],
    [LONG_COMPANY, "鈴木", "suzuki@example.co.jp"],
    ["南海物産", "田中", 'tanaka@example.jp" --upload-file /etc/passwd "'],
]
TITLE = "{会社名} {氏名}様 ご案内?_"
FAILED = "[{row}]行の[{address}]へのメール送信に失敗しました。（{reason}）"



def folder_events(folder, action):
    """The names created in or moved into `folder` (Linux inotify) while action() runs."""
    libc = ctypes.CDLL(None, use_errno=True)
    in_create, in_moved_to, in_nonblock = 0x100, 0x80, 0o4000
    fd = libc.inotify_init1(in_nonblock)
    if fd < 0 or libc.inotify_add_watch(fd, folder.encode(), in_create | in_moved_to) < 0:
        raise OSError(ctypes.get_errno(), "inotify")
    try:
        action()
        names = []
        while True:
            try:
                data = os.read(fd, 65536)
            except BlockingIOError:
                return names
            at = 0
            while at < len(data):
                _, _, _, length = struct.unpack_from("iIII", data, at)
                names.append(data[at + 16:at + 16 + length].rstrip(b"\0").decode())
                at += 16 + length
    finally:
        os.close(fd)

class Delivery(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="rowcaster-e2e-")
        self.program_data = os.path.join(self.root, "ProgramData")
        self.data = os.path.join(self.program_data, "Tallowmere", "Rowcaster")
        os.makedirs(self.data)
        self.workbook = os.path.join(self.root, "顧客リスト.xlsx")
        self.body = os.path.join(self.root, "本文.txt")
        self.servers = []

    def tearDown(self):
        for server in self.servers:
            server.stop()
        shutil.rmtree(self.root, ignore_errors=True)

    # --- the pieces of a run -------------------------------------------------------------

    def write_workbook(self, rows):
        write_sheet(self.workbook, [HEADER] + list(rows))

    def write_body(self, text, name="本文.txt"):
        self.body = os.path.join(self.root, name)
        with open(self.body, "w", encoding="utf-8", newline="") as f:
            f.write(text)

    def start_server(self, **kwargs):
        # Every delivery goes to a server as strict as the strictest in use.
        server = SmtpsServer(os.path.join(self.root, "mail%d" % len(self.servers)),
                             logins={LOGIN: PASSWORD}, strict=True, **kwargs)
        server.start()
        self.servers.append(server)
        return server

    def write_settings(self, port, **overrides):
        values = {
            "MailAddress": "sales@example.com", "LoginId": LOGIN, "Password": PASSWORD,
            "SenderName": "営業部", "SmtpServer": "127.0.0.1", "SmtpPort": str(port),
            "MailTitle": TITLE, "BodyFile": self.body, "ListFile": self.workbook,
            "SheetName": "顧客", "MailColumn": "C", "StartRow": "2", "EndRow": "999",
            "IntervalSeconds": "1", "TestAddress": "test@example.com",
        }
        values.update(overrides)
        write_plain_settings(self.data, values)

    def stored_settings(self):
        with open(os.path.join(self.data, "Environ.psw"), "rb") as f:
            return scramble(f.read()).decode("cp932").split("\r\n")

    def env(self):
        env = test_ca.trust(os.environ)
        env["ProgramData"] = self.program_data
        return env

    def run_sender(self, *args):
        done = subprocess.run([RUNNER, *args], env=self.env(), capture_output=True, timeout=120)
        lines = done.stdout.decode("utf-8").splitlines()
        return done.returncode, lines

    def log_lines(self):
        path = os.path.join(self.data, "SendLogs.txt")
        if not os.path.exists(path):
            return None
        with open(path, "rb") as f:
            return f.read().decode("cp932").split("\r\n")[:-1]

    def assert_settings_stored(self):
        self.assertFalse(os.path.exists(os.path.join(self.data, "Environ.def")),
                         "the password must not stay in plain text")
        self.assertTrue(os.path.exists(os.path.join(self.data, "Environ.psw")))

    # --- the scenarios --------------------------------------------------------------------

    def test_real_run_delivers_logs_and_the_rerun_skips(self):
        self.write_workbook(ROWS)
        self.write_body("{会社名}\r\n{氏名} 様\r\nいつもお世話になっております。\r\n")
        server = self.start_server()
        self.write_settings(server.port)

        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines, [
            "メール送信を開始しました。",
            "[2]行の[yamada@example.jp]にメール送信しました。",
            "[3]行はメールアドレスがありません。スキップします。",
            "[4]行の[suzuki@example.co.jp]にメール送信しました。",
            "[5]行のメールアドレスに誤りがあります。スキップします。",
            "メール送信を終了しました。",
        ])
        received = server.messages()
        self.assertEqual([m["rcpt_tos"] for m in received], [["yamada@example.jp"], ["suzuki@example.co.jp"]])
        for m, (company, name, address) in zip(received, [ROWS[0], ROWS[2]]):
            self.assertEqual(m["mail_from"], "sales@example.com")
            self.assertEqual(m["login"], LOGIN)
            # curl greets with the sender's domain, not with the message file's name.
            self.assertEqual(m["ehlo"], "example.com")
            raw = m["data"]
            self.assertTrue(raw.startswith(b"From: =?UTF-8?Q?=E5=96=B6=E6=A5=AD=E9=83=A8?= <sales@example.com>\r\n"
                                           b"To: " + address.encode() + b"\r\nSubject: =?UTF-8?Q?"), raw[:200])
            msg = email.message_from_bytes(raw, policy=email.policy.default)
            self.assertEqual(msg["subject"], "%s %s様 ご案内?_" % (company, name))
            self.assertEqual(msg["from"].addresses[0].display_name, "営業部")
            self.assertEqual(msg.get_content_type(), "text/plain")
            self.assertEqual(msg.get_content_charset(), "utf-8")
            self.assertEqual(msg["Content-Transfer-Encoding"], "8bit")
            self.assertTrue(msg["Message-ID"].endswith("@example.com>"))
            self.assertIsNotNone(msg["Date"].datetime)
            self.assertTrue(raw.endswith(("\r\n\r\n%s\r\n%s 様\r\nいつもお世話になっております。\r\n"
                                          % (company, name)).encode("utf-8")), raw[-200:])
            self.assertEqual(msg.get_content().replace("\r\n", "\n"),
                             "%s\n%s 様\nいつもお世話になっております。\n" % (company, name))
        # The long company name needs several encoded-words of at most 75 characters.
        subject = received[1]["data"].split(b"\r\nMIME-Version")[0].split(b"Subject: ")[1]
        words = subject.split(b"\r\n ")
        self.assertGreater(len(words), 1)
        self.assertTrue(all(len(w) <= 75 for w in words), words)

        log = self.log_lines()
        self.assertEqual(len(log), 2)
        self.assertTrue(log[0].endswith(" 行番号[0002] タイトル[東邦商事 山田様 ご案内?_] 送信先アドレス[yamada@example.jp]"), log)
        self.assertTrue(log[1].endswith(" 行番号[0004] タイトル[%s 鈴木様 ご案内?_] 送信先アドレス[suzuki@example.co.jp]" % LONG_COMPANY))
        self.assert_settings_stored()
        self.assertEqual(self.stored_settings()[2], PASSWORD)

        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行はメール送信済です。スキップします。")
        self.assertEqual(lines[3], "[4]行はメール送信済です。スキップします。")
        self.assertEqual(len(server.messages()), 2)
        self.assertEqual(len(self.log_lines()), 2)

    def test_test_run_goes_to_the_test_address_without_a_log(self):
        self.write_workbook(ROWS[:3])
        self.write_body("<html><head><meta charset=utf-8></head><body><p>{氏名} 様</p></body></html>\n",
                        name="本文.html")
        server = self.start_server()
        self.write_settings(server.port, TestAddress="")

        status, lines = self.run_sender("--test")
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[0], "テスト送信用の送信先アドレスが指定されていません。送信元アドレスを設定します。")
        self.assertEqual(lines[2], "[2]行の[sales@example.com]にメール送信しました。")
        self.assertEqual(lines[3], "[3]行はメールアドレスがありません。スキップします。")
        received = server.messages()
        self.assertEqual([m["rcpt_tos"] for m in received], [["sales@example.com"]] * 2)
        msg = email.message_from_bytes(received[0]["data"], policy=email.policy.default)
        self.assertEqual(msg["to"], "sales@example.com")
        # HTML goes with a plain-text alternative made from it.
        self.assertEqual(msg.get_content_type(), "multipart/alternative")
        text, html = [part for part in msg.iter_parts()]
        self.assertEqual(text.get_content_type(), "text/plain")
        self.assertEqual(text.get_content(), "山田 様\r\n")
        self.assertEqual(html.get_content_type(), "text/html")
        self.assertIn("<p>山田 様</p>", html.get_content())
        self.assertIsNone(self.log_lines())
        # The filled-in test address held for that run only.
        self.assertEqual(self.stored_settings()[14], "")

    def test_every_message_kind_passes_a_strict_server_and_decodes_exactly(self):
        """Every kind the product writes (message_kinds.KINDS) is taken by a server that
        refuses bare CR or LF, lines over 998 octets and 8-bit headers, and Python's email
        parser decodes every part to the filled text, byte for byte."""
        delivered = message_kinds.deliver(RUNNER, os.path.join(self.root, "kinds"), strict=True)
        for kind in message_kinds.KINDS:
            with self.subTest(kind=kind.name):
                status, lines, data = delivered[kind.name]
                self.assertEqual(status, 0, lines)
                self.assertIsNotNone(data, lines)
                self.assertIsNone(strict_refusal(data))
                msg = email.message_from_bytes(data, policy=email.policy.default)
                self.assertEqual(msg["subject"], message_kinds.fill(kind.title))
                # The display name through Python's RFC 2047 decoder: the newer address parser puts a
                # space between adjacent encoded-words of a phrase, which RFC 2047 6.2 says to drop.
                raw_from = email.message_from_bytes(data, policy=email.policy.compat32)["From"]
                self.assertEqual(str(email.header.make_header(email.header.decode_header(raw_from))),
                                 "%s <sales@example.com>" % kind.sender)
                parts = [p for p in msg.walk() if not p.is_multipart() and not p.is_attachment()]
                self.assertEqual(msg.get_content_type(), kind.content_type())
                self.assertEqual([(p.get_filename(), p.get_payload(decode=True))
                                  for p in msg.walk() if p.is_attachment()], kind.files)
                if "ListUnsubscribe" in kind.options:
                    self.assertEqual(msg["List-Unsubscribe"], "<mailto:unsubscribe@example.com?subject="
                                     "unsubscribe%20sato@example.jp>, "
                                     "<https://www.example.jp/unsubscribe?m=sato@example.jp>")
                    self.assertEqual(msg["List-Unsubscribe-Post"], "List-Unsubscribe=One-Click")
                    self.assertEqual(msg["List-Id"], "<sales.example.com>")
                self.assertEqual([(p.get_content_type(), p.get_content_charset(),
                                   p.get_payload(decode=True).decode("utf-8")) for p in parts],
                                 [(t, "utf-8", text) for t, text in message_kinds.expected_parts(kind)])
                self.assertEqual([p.get_content() for p in parts],
                                 [text for _, text in message_kinds.expected_parts(kind)])

    def test_strict_server_refuses_what_strict_servers_refuse(self):
        cases = [
            (b"Subject: x\r\n\r\nbody\r\n", None),
            (b"Subject: x\r\n\r\nbare\nLF\r\n", "554 5.6.0 Bare LF refused"),
            (b"Subject: x\r\n\r\nbare\rCR\r\n", "554 5.6.0 Bare CR refused"),
            (b"Subject: x\r\n\r\n" + b"x" * 998 + b"\r\n", None),
            (b"Subject: x\r\n\r\n" + b"x" * 999 + b"\r\n", "554 5.6.0 Line over 998 octets refused"),
            ("Subject: 件名\r\n\r\nbody\r\n".encode("utf-8"), "554 5.6.0 8-bit header refused"),
            ("Subject: x\r\n\r\n本文\r\n".encode("utf-8"), None),
        ]
        for message, reply in cases:
            self.assertEqual(strict_refusal(message), reply, message[:40])
        # Through real curl: a message file with a bare LF is refused and the row fails.
        server = self.start_server()
        message = os.path.join(self.root, "bare-lf.eml")
        with open(message, "wb") as f:
            f.write(b"From: <sales@example.com>\r\nTo: <x@example.jp>\r\nSubject: x\r\n\r\na\nb\r\n")
        done = subprocess.run(["curl", "--silent", "--url", "smtps://127.0.0.1:%d" % server.port, "--ssl-reqd",
                               "--user", "%s:%s" % (LOGIN, PASSWORD), "--mail-from",
                               "sales@example.com", "--mail-rcpt", "x@example.jp", "--upload-file", message],
                              env=test_ca.trust(), capture_output=True, timeout=60)
        self.assertNotEqual(done.returncode, 0)
        self.assertEqual(server.messages(), [])
        self.assertEqual(server.refused, ["554 5.6.0 Bare LF refused"])

    def test_refused_recipient_is_not_logged_and_the_rerun_sends_it(self):
        self.write_workbook(ROWS[:3])
        self.write_body("{氏名} 様\n")
        refusing = self.start_server(refuse={"yamada@example.jp": "550 5.1.1 No such user"})
        self.write_settings(refusing.port)

        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[1], FAILED.format(row=2, address="yamada@example.jp",
                                                 reason="送信元・宛先またはメールが拒否されました"))
        self.assertEqual(lines[3], "[4]行の[suzuki@example.co.jp]にメール送信しました。")
        self.assertEqual(lines[-1], "メール送信を終了しました。送信に失敗した行が1件あります。")
        self.assertEqual([m["rcpt_tos"] for m in refusing.messages()], [["suzuki@example.co.jp"]])
        self.assertEqual(len(self.log_lines()), 1)

        accepting = self.start_server()
        os.remove(os.path.join(self.data, "Environ.psw"))
        self.write_settings(accepting.port)
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
        self.assertEqual(lines[3], "[4]行はメール送信済です。スキップします。")
        self.assertEqual([m["rcpt_tos"] for m in accepting.messages()], [["yamada@example.jp"]])

    def test_the_data_folder_and_the_files_written_are_the_owners_alone(self):
        # A data folder and a log that an earlier version made readable for all.
        os.chmod(self.data, 0o755)
        log = os.path.join(self.data, "SendLogs.txt")
        with open(log, "wb") as f:
            f.write("2026/01/05 09:00:00 行番号[0002] タイトル[前回] 送信先アドレス[old@example.jp]\r\n".encode("cp932"))
        os.chmod(log, 0o644)
        self.write_workbook(ROWS[:3])
        self.write_body("{氏名} 様\n")
        # A refused row stays in the send journal.
        server = self.start_server(refuse={"yamada@example.jp": "550 5.1.1 No such user"})
        self.write_settings(server.port)
        os.chmod(os.path.join(self.data, "Environ.def"), 0o644)
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(os.stat(self.data).st_mode & 0o7777, 0o700)
        names = sorted(os.listdir(self.data))
        self.assertEqual(names, ["Environ.psw", "SendJournal.txt", "SendLogs.txt", "SendMail.txt"])
        for name in names:
            self.assertEqual(os.stat(os.path.join(self.data, name)).st_mode & 0o7777, 0o600, name)

    def test_the_settings_never_stand_in_plain_text_while_a_run_reads_them(self):
        self.write_workbook(ROWS[:1])
        self.write_body("{氏名} 様\n")
        server = self.start_server()
        self.write_settings(server.port)
        status, lines = self.run_sender("--test")  # stores the plain file written by hand
        self.assertEqual(status, 0, lines)
        self.assert_settings_stored()
        stored = self.stored_settings()
        # Every file made or moved into the data folder during the next runs is seen.
        created = folder_events(self.data, lambda: [self.run_sender(), self.run_sender("--test")])
        self.assertEqual(len(server.messages()), 3)  # one a run: the list's one row
        self.assertNotIn("Environ.def", created)
        self.assertEqual(self.stored_settings(), stored)

    def test_server_that_is_down_fails_every_row(self):
        self.write_workbook(ROWS[:1])
        self.write_body("{氏名} 様\n")
        # A port held bound but not listening, so that no other process can take it: every
        # connection to it is refused.
        with socket.socket() as s:
            s.bind(("127.0.0.1", 0))
            self.write_settings(s.getsockname()[1])
            status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[1:], [FAILED.format(row=2, address="yamada@example.jp", reason="サーバーに接続できません"),
                                     "メール送信を終了しました。送信に失敗した行が1件あります。"])
        self.assertIsNone(self.log_lines())
        self.assert_settings_stored()

    def test_wrong_password_fails_every_row_with_its_reason(self):
        self.write_workbook(ROWS[:3])
        self.write_body("{氏名} 様\n")
        server = self.start_server()
        self.write_settings(server.port, Password="wrong")
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[1:], [FAILED.format(row=2, address="yamada@example.jp", reason="ログインできません"),
                                     "[3]行はメールアドレスがありません。スキップします。",
                                     FAILED.format(row=4, address="suzuki@example.co.jp", reason="ログインできません"),
                                     "メール送信を終了しました。送信に失敗した行が2件あります。"])
        self.assertEqual(server.messages(), [])
        self.assertIsNone(self.log_lines())

    def test_unknown_certificate_is_refused_unless_verification_is_turned_off(self):
        self.write_workbook(ROWS[:1])
        self.write_body("{氏名} 様\n")
        server = self.start_server(certificate="unknown")
        self.write_settings(server.port)
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[1:], [FAILED.format(row=2, address="yamada@example.jp",
                                                   reason="サーバー証明書を確認できません"),
                                     "メール送信を終了しました。送信に失敗した行が1件あります。"])
        # Refused before a word of SMTP: the password never went to that server.
        self.assertEqual(server.commands, [])
        self.assertEqual(server.messages(), [])
        self.assertIsNone(self.log_lines())

        # A private server with a certificate of its own: the user turns the check off.
        os.remove(os.path.join(self.data, "Environ.psw"))
        self.write_settings(server.port)
        write_options(self.data, {"VerifyCertificate": "0"})
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
        self.assertEqual([m["rcpt_tos"] for m in server.messages()], [["yamada@example.jp"]])

    def assert_login_only_after_starttls(self, server):
        """Before the first STARTTLS only greetings; AUTH and everything after it encrypted."""
        commands = server.commands
        self.assertIn(("STARTTLS", False), commands)
        upgrade = commands.index(("STARTTLS", False))
        self.assertTrue(all(c in BEFORE_STARTTLS and not encrypted for c, encrypted in commands[:upgrade]), commands)
        self.assertTrue(all(encrypted for _, encrypted in commands[upgrade + 1:]), commands)
        self.assertIn(("AUTH", True), commands)
        self.assertNotIn(("AUTH", False), commands)

    def test_starttls_delivers_and_logs_in_only_after_the_upgrade(self):
        self.write_workbook(ROWS[:1])
        self.write_body("{氏名} 様\n")
        server = self.start_server(starttls=True)
        self.write_settings(server.port)
        # TLS from the first byte cannot speak to a server that starts in plain text.
        status, lines = self.run_sender()
        self.assertEqual(lines[1], FAILED.format(row=2, address="yamada@example.jp", reason="暗号化通信を開始できません"))
        self.assertEqual(server.commands, [])

        os.remove(os.path.join(self.data, "Environ.psw"))
        self.write_settings(server.port)
        write_options(self.data, {"TlsMode": "starttls"})
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
        received = server.messages()
        self.assertEqual([(m["rcpt_tos"], m["login"], m["ehlo"]) for m in received],
                         [(["yamada@example.jp"], LOGIN, "example.com")])
        self.assert_login_only_after_starttls(server)

    def test_submission_port_587_uses_starttls_by_itself(self):
        self.write_workbook(ROWS[:1])
        self.write_body("{氏名} 様\n")
        # Port 587 needs root and may be held for a moment by another test run on this machine.
        server = None
        deadline = time.monotonic() + 60
        while server is None:
            try:
                server = self.start_server(starttls=True, port=587)
            except OSError as error:
                if error.errno == errno.EACCES:
                    self.skipTest("port 587 cannot be bound without root")
                if error.errno != errno.EADDRINUSE or time.monotonic() > deadline:
                    raise
                time.sleep(0.5)
        self.write_settings(587)
        write_options(self.data, {})  # TlsMode auto, the default
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行の[yamada@example.jp]にメール送信しました。")
        self.assertEqual([m["rcpt_tos"] for m in server.messages()], [["yamada@example.jp"]])
        self.assert_login_only_after_starttls(server)

    def test_stop_request_ends_the_run_after_the_current_row(self):
        self.write_workbook([["東邦商事", "山田", "yamada@example.jp"], ["北斗電機", "佐藤", "sato@example.jp"],
                             ["南海物産", "田中", "tanaka@example.jp"]])
        self.write_body("{氏名} 様\n")
        server = self.start_server()
        self.write_settings(server.port, IntervalSeconds="60")
        runner = subprocess.Popen([RUNNER], env=self.env(), stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        try:
            first = runner.stdout.readline().decode("utf-8")
            second = runner.stdout.readline().decode("utf-8")
            self.assertEqual(first.strip(), "メール送信を開始しました。")
            self.assertEqual(second.strip(), "[2]行の[yamada@example.jp]にメール送信しました。")
            # While the run lasts the password is in its stored form only: a runner that is
            # killed now leaves no plain settings file behind.
            self.assert_settings_stored()
            self.assertEqual(self.stored_settings()[2], PASSWORD)
            stopped_at = time.monotonic()
            runner.send_signal(signal.SIGINT)
            rest = runner.communicate(timeout=30)[0].decode("utf-8").splitlines()
            self.assertLess(time.monotonic() - stopped_at, 10)  # one pause step, not the 60 s pause
        finally:
            if runner.poll() is None:
                runner.kill()
                runner.wait()
        self.assertEqual(rest, ["メール送信を終了しました。"])
        self.assertEqual(runner.returncode, 1)
        self.assertEqual(len(server.messages()), 1)
        self.assertEqual(len(self.log_lines()), 1)
        self.assert_settings_stored()

    def test_input_checks_refuse_or_fill_in(self):
        self.write_workbook([["東邦商事", "山田", None]])
        self.write_body("{氏名} 様\n")
        cases = [
            ({"StartRow": "10", "EndRow": "5"}, 2, ["送信先アドレス一覧の送信開始行と終了行が逆転しています。"]),
            ({"MailAddress": "sales.example.com"}, 2, ["送信元アドレスに誤りがあります。"]),
            # Row 1 names the fields: a start row below 2 starts at row 2, as in the window.
            ({"StartRow": "1"}, 0, ["メール送信を開始しました。", "[2]行はメールアドレスがありません。スキップします。",
                                    "メール送信を終了しました。"]),
            ({"MailAddress": "sales@example.com -x"}, 2, ["送信元アドレスに誤りがあります。"]),
            ({"ListFile": os.path.join(self.root, "無い.xlsx")}, 2, ["送信先アドレス一覧ファイル(Excel)は存在しません。"]),
            ({"EndRow": "", "IntervalSeconds": "0"}, 0,
             ["送信先アドレス一覧の送信終了行が指定されていません。99999を設定します。",
              "メール送信の間隔秒が指定されていません。10秒を設定します。",
              "メール送信を開始しました。", "[2]行はメールアドレスがありません。スキップします。",
              "メール送信を終了しました。"]),
        ]
        for overrides, expected_status, expected_lines in cases:
            with self.subTest(overrides=overrides):
                self.write_settings(1, **overrides)
                status, lines = self.run_sender()
                self.assertEqual(status, expected_status, lines)
                self.assertEqual(lines, expected_lines)
                self.assert_settings_stored()
                stored = self.stored_settings()
                self.assertEqual(stored[12], overrides.get("EndRow", "999"))
                os.remove(os.path.join(self.data, "Environ.psw"))

    def test_a_workbook_that_will_not_open_names_its_cause(self):
        self.write_body("{氏名} 様\n")
        books = write_refused_workbooks(os.path.join(self.root, "refused"))
        damaged = os.path.join(self.root, "壊れた.xlsx")
        with open(damaged, "wb") as f:
            f.write(b"PK\x03\x04" + b"\0" * 100)
        reasons = {
            "encrypted": "暗号化されたブックは読めません。パスワードを解除して保存し直してください。",
            "encrypted_xls": "暗号化されたブックは読めません。パスワードを解除して保存し直してください。",
            "old": "Excel 97-2003 より前の形式のブックは読めません。Excel ブック(.xlsx)で保存し直してください。",
            "old_bare": "Excel 97-2003 より前の形式のブックは読めません。Excel ブック(.xlsx)で保存し直してください。",
            "binary": "Excel バイナリ ブック(.xlsb)は読めません。Excel ブック(.xlsx)で保存し直してください。",
        }
        cases = [(books[k], "送信先アドレス一覧ファイル(Excel)を開けません: %sメール送信はしません。" % v)
                 for k, v in reasons.items()]
        cases.append((damaged, "送信先アドレス一覧ファイル(Excel)を開けません。メール送信はしません。"))
        for workbook, line in cases:
            with self.subTest(workbook=os.path.basename(workbook)):
                self.write_settings(1, ListFile=workbook)
                status, lines = self.run_sender()
                self.assertEqual(status, 1, lines)
                self.assertEqual(lines[-1], line)
                self.assertEqual(self.log_lines(), None)
                os.remove(os.path.join(self.data, "Environ.psw"))


if __name__ == "__main__":
    if not RUNNER or not os.path.exists(RUNNER):
        sys.exit("ROWCASTER_SEND must name the rowcaster-send program")
    unittest.main(verbosity=2)
