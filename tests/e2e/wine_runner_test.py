#!/usr/bin/python3
"""The Windows rowcaster-send.exe under Wine: a real run, a rerun and a test run over a
workbook written by openpyxl, with a Windows stand-in transfer tool (argv_echo.exe under the
name SMTP.exe) that records its arguments and the uploaded message; with Options.def, files with
Japanese names, copies and a preview into a folder with a Japanese name. Under Wine a Linux curl
cannot be waited on, so delivery over the network is tested natively."""
import email
import email.policy
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.environ["ROWCASTER_SOURCE_DIR"]
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
from sheets import write_sheet  # noqa: E402
BUILD = os.environ["ROWCASTER_BUILD_DIR"]
PREFIX = os.environ.get("WINEPREFIX", os.path.join(SOURCE, "build", "wineprefix"))


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_records(path):
    """The stand-in tool's records: (arguments, uploaded bytes)."""
    data = open(path, "rb").read() if os.path.exists(path) else b""
    records, at = [], 0
    while at < len(data):
        lf = data.index(b"\n", at)
        count = int(data[at:lf])
        at = lf + 1
        args = []
        for _ in range(count):
            zero = data.index(b"\0", at)
            args.append(data[at:zero].decode("utf-8"))
            at = zero + 1
        lf = data.index(b"\n", at)
        length = int(data[at:lf])
        at = lf + 1
        records.append((args, data[at:at + length]))
        at += length
    return records


class WindowsRunner(unittest.TestCase):
    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="rowcaster-wine-runner-", dir=BUILD)
        self.bin = os.path.join(self.root, "bin")
        os.makedirs(self.bin)
        for name in ("rowcaster-send.exe", "GridBridge.dll"):
            shutil.copy(os.path.join(BUILD, "bin", name), self.bin)
        shutil.copy(os.path.join(BUILD, "bin", "argv_echo.exe"), os.path.join(self.bin, "SMTP.exe"))
        self.data = os.path.join(PREFIX, "drive_c", "ProgramData", "Tallowmere", "Rowcaster")
        os.makedirs(self.data, exist_ok=True)
        self.clear_data()
        self.echo = os.path.join(self.root, "echo.bin")

    def tearDown(self):
        self.clear_data()
        shutil.rmtree(self.root, ignore_errors=True)

    def clear_data(self):
        for name in ("Environ.def", "Environ.psw", "SendLogs.txt", "SendMail.txt", "Options.def"):
            if os.path.exists(os.path.join(self.data, name)):
                os.remove(os.path.join(self.data, name))

    def run_sender(self, *args):
        env = dict(os.environ, ROWCASTER_ECHO_OUT=windows_path(self.echo))
        env.pop("CURL_CA_BUNDLE", None)  # the tool's own trust: no --cacert
        done = subprocess.run(["bash", os.path.join(SOURCE, "scripts", "wine-run.sh"),
                               os.path.join(self.bin, "rowcaster-send.exe"), *args],
                              env=env, capture_output=True, timeout=120)
        return done.returncode, done.stdout.decode("utf-8").splitlines()

    def write_inputs(self):
        """A workbook written by openpyxl, a UTF-8 body and the plain settings file."""
        workbook = write_sheet(os.path.join(self.root, "顧客リスト.xlsx"), (
            ["会社名", "氏名", "メール"], ["東邦商事", "山田", "yamada@example.jp"],
            ["北斗電機", "佐藤", None], ["ゾーン設計", "鈴木", "suzuki@example.jp"]))
        body = os.path.join(self.root, "本文.txt")
        with open(body, "w", encoding="utf-8", newline="") as f:
            f.write("{会社名}\r\n{氏名} 様\r\n")
        values = ["sales@example.com", "sales", 'p w"x\\', "営業部", "127.0.0.1", "465",
                  "{会社名} {氏名}様 ご案内", windows_path(body), windows_path(workbook), "顧客", "C",
                  "2", "999", "1", "test@example.com"]
        with open(os.path.join(self.data, "Environ.def"), "wb") as f:
            f.write("".join(v + "\r\n" for v in values).encode("cp932"))

    def test_runs_log_and_skip(self):
        self.write_inputs()
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines, ["メール送信を開始しました。", "[2]行の[yamada@example.jp]にメール送信しました。",
                                 "[3]行はメールアドレスがありません。スキップします。",
                                 "[4]行の[suzuki@example.jp]にメール送信しました。", "メール送信を終了しました。"])
        records = read_records(self.echo)
        self.assertEqual(len(records), 2)
        args, message = records[0]
        # The sender's domain as the EHLO name; the certificate verified, revocation servers
        # that cannot be reached borne with.
        self.assertEqual(args, ["--url", "smtps://127.0.0.1:465/example.com", "--ssl-reqd", "--mail-from",
                                "sales@example.com", "--mail-rcpt", "yamada@example.jp", "--upload-file",
                                "C:\\ProgramData\\Tallowmere\\Rowcaster\\SendMail.txt",
                                "--user", 'sales:p w"x\\', "--verbose", "--ssl-revoke-best-effort"])
        self.assertTrue(message.startswith(b"From: =?UTF-8?Q?=E5=96=B6=E6=A5=AD=E9=83=A8?= <sales@example.com>\r\n"
                                           b"To: yamada@example.jp\r\n"), message[:120])
        self.assertTrue(message.endswith("\r\n\r\n東邦商事\r\n山田 様\r\n".encode("utf-8")), message[-60:])
        with open(os.path.join(self.data, "SendLogs.txt"), "rb") as f:
            log = f.read().decode("cp932").split("\r\n")[:-1]
        self.assertEqual(len(log), 2)
        self.assertTrue(log[1].endswith(" 行番号[0004] タイトル[ゾーン設計 鈴木様 ご案内] 送信先アドレス[suzuki@example.jp]"))
        self.assertFalse(os.path.exists(os.path.join(self.data, "Environ.def")))
        self.assertTrue(os.path.exists(os.path.join(self.data, "Environ.psw")))

        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行はメール送信済です。スキップします。")
        self.assertEqual(lines[3], "[4]行はメール送信済です。スキップします。")

        status, lines = self.run_sender("--test")
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行の[test@example.com]にメール送信しました。")
        self.assertEqual([r[0][6] for r in read_records(self.echo)[2:]], ["test@example.com"] * 2)
        self.assertEqual(len(open(os.path.join(self.data, "SendLogs.txt"), "rb").read().split(b"\r\n")), 3)

        status, lines = self.run_sender("--bogus")
        self.assertEqual(status, 2)

    def test_files_copies_and_a_preview_folder_with_a_japanese_name(self):
        self.write_inputs()
        quotation = b"%PDF-1.4\n" + bytes(range(256)) * 300
        os.makedirs(os.path.join(self.root, "資料"))
        with open(os.path.join(self.root, "資料", "御見積書（山田様）.pdf"), "wb") as f:
            f.write(quotation)
        options = {"AttachFiles": "資料\\御見積書（山田様）.pdf",  # from the workbook's folder
                   "Cc": "eigyo@example.com", "Bcc": "archive@example.com"}
        with open(os.path.join(self.data, "Options.def"), "wb") as f:
            f.write("".join("%s=%s\r\n" % item for item in options.items()).encode("cp932"))

        preview = os.path.join(self.root, "プレビュー")
        status, lines = self.run_sender("--preview", windows_path(preview))
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1], "[2]行のメールを[0002-yamada@example.jp.eml]に書き出しました。")
        self.assertEqual(sorted(os.listdir(preview)), ["0002-yamada@example.jp.eml", "0004-suzuki@example.jp.eml"])
        self.assertEqual(read_records(self.echo), [])
        self.assertFalse(os.path.exists(os.path.join(self.data, "SendLogs.txt")))

        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        records = read_records(self.echo)
        self.assertEqual(len(records), 2)
        args, message = records[0]
        self.assertEqual([args[i + 1] for i, a in enumerate(args) if a == "--mail-rcpt"],
                         ["yamada@example.jp", "eigyo@example.com", "archive@example.com"])
        msg = email.message_from_bytes(message, policy=email.policy.default)
        self.assertEqual(msg["cc"], "eigyo@example.com")
        self.assertEqual([(p.get_filename(), p.get_payload(decode=True)) for p in msg.walk() if p.is_attachment()],
                         [("御見積書（山田様）.pdf", quotation)])
        with open(os.path.join(preview, "0002-yamada@example.jp.eml"), "rb") as f:
            written = email.message_from_bytes(f.read(), policy=email.policy.default)
        self.assertEqual([p.get_payload(decode=True) for p in written.walk() if p.is_attachment()], [quotation])

    def test_system_curl_stands_in_and_without_any_tool_nothing_is_sent(self):
        # No SMTP.exe beside the runner: the curl.exe of the system folder delivers.
        os.remove(os.path.join(self.bin, "SMTP.exe"))
        system_curl = os.path.join(PREFIX, "drive_c", "windows", "system32", "curl.exe")
        self.assertFalse(os.path.exists(system_curl), "the prefix has a curl.exe of its own")
        shutil.copy(os.path.join(BUILD, "bin", "argv_echo.exe"), system_curl)
        try:
            self.write_inputs()
            status, lines = self.run_sender("--test")
            self.assertEqual(status, 0, lines)
            self.assertEqual(lines[1], "[2]行の[test@example.com]にメール送信しました。")
            records = read_records(self.echo)
            self.assertEqual([r[0][6] for r in records], ["test@example.com"] * 2)
            # The system's curl.exe may predate --ssl-revoke-best-effort (curl 7.70).
            self.assertEqual([r[0][-1] for r in records], ["--ssl-no-revoke"] * 2)
        finally:
            os.remove(system_curl)

        # Neither tool: refused before the run, no row attempted.
        self.clear_data()
        self.write_inputs()
        status, lines = self.run_sender("--test")
        self.assertEqual(status, 2, lines)
        self.assertEqual(lines, ["メール送信ツール（SMTP.exe または curl.exe）が見つかりません。メール送信はしません。"])
        self.assertEqual(len(read_records(self.echo)), 2)
        self.assertFalse(os.path.exists(os.path.join(self.data, "SendMail.txt")))


if __name__ == "__main__":
    unittest.main(verbosity=2)
