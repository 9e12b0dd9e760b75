#!/usr/bin/python3
"""End-to-end delivery with the extended settings ("Options.def"): the real rowcaster-send, real
curl as its transfer tool and the suite's strict SMTPS server, through the same helpers as
e2e_send_test (the server, the settings, the runner's environment). Files attached per row and
for every row, Cc, Bcc, Reply-To, List-Unsubscribe, the opt-out list, the refusal of a row whose
file is missing, and --preview."""
import email
import email.policy
import os
import re
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import e2e_send_test  # noqa: E402
from sheets import write_sheet  # noqa: E402  (on the path e2e_send_test gives)

HEADER = ["会社名", "氏名", "メール", "添付", "CC", "BCC", "ID"]
ROWS = [
    ["東邦商事", "山田", "yamada@example.jp", "見積書（山田様）.pdf; 図面/部品表.bin", "buchou@toho.example.jp", None, "A-001"],
    ["北斗電機", "佐藤", "sato@example.jp", None, None, "kanri@hokuto.example.jp", "A-002"],
    ["南海物産", "鈴木", "suzuki@example.co.jp", "見積書（鈴木様）.pdf", None, None, "A-003"],
]
PDF = b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n" + bytes(range(256)) * 40 + b"\n%%EOF\n"
BINARY = bytes((i * 151 + 17) % 256 for i in range(150001))
BROCHURE = b"%PDF-1.4\n" + os.urandom(60000)


class OptionsDelivery(e2e_send_test.Delivery):
    # --- the pieces of a run with options ------------------------------------------------------

    def env(self):
        # No pause between rows: the pacing is not under test here.
        return dict(super().env(), ROWCASTER_TEST_PAUSE_MS="0")

    def write_sheet(self, rows):
        write_sheet(self.workbook, [HEADER] + list(rows))

    def write_file(self, name, data):
        path = os.path.join(self.root, name)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def write_options(self, **values):
        with open(os.path.join(self.data, "Options.def"), "wb") as f:
            f.write("".join("%s=%s\r\n" % item for item in values.items()).encode("cp932"))

    def prepare(self, rows=ROWS, **options):
        """A workbook, a body, the files of ROWS, the settings and Options.def; the server."""
        self.write_sheet(rows)
        self.write_body("{会社名}\r\n{氏名} 様\r\nお見積書をお送りいたします。\r\n")
        self.write_file("見積書（山田様）.pdf", PDF)
        self.write_file("図面/部品表.bin", BINARY)
        self.write_file("見積書（鈴木様）.pdf", PDF[::-1])
        brochure = self.write_file("資料/会社案内.pdf", BROCHURE)
        server = self.start_server()
        self.write_settings(server.port, MailTitle="{氏名}様 お見積りの件")
        values = {"AttachFiles": brochure, "AttachColumn": "D"}
        values.update(options)
        self.write_options(**values)
        return server

    @staticmethod
    def parsed(message):
        return email.message_from_bytes(message["data"], policy=email.policy.default)

    @staticmethod
    def files(msg):
        return [(part.get_filename(), part.get_payload(decode=True)) for part in msg.walk() if part.is_attachment()]

    # --- the scenarios --------------------------------------------------------------------------

    def test_files_copies_and_unsubscribe_headers_arrive_and_a_test_run_reaches_only_the_test_address(self):
        server = self.prepare(Cc="eigyo@example.com", Bcc="archive@example.com", ReplyTo="reply@example.com",
                              CcColumn="E", BccColumn="F",
                              ListUnsubscribe="mailto:stop@example.com?subject=stop%20{ID}, "
                                              "https://example.com/stop?id={ID}&name={氏名}")
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines, ["メール送信を開始しました。", "[2]行の[yamada@example.jp]にメール送信しました。",
                                 "[3]行の[sato@example.jp]にメール送信しました。",
                                 "[4]行の[suzuki@example.co.jp]にメール送信しました。", "メール送信を終了しました。"])
        received = server.messages()
        # Every recipient is one RCPT TO: the row's address, every Cc, every Bcc.
        self.assertEqual([m["rcpt_tos"] for m in received], [
            ["yamada@example.jp", "eigyo@example.com", "buchou@toho.example.jp", "archive@example.com"],
            ["sato@example.jp", "eigyo@example.com", "archive@example.com", "kanri@hokuto.example.jp"],
            ["suzuki@example.co.jp", "eigyo@example.com", "archive@example.com"],
        ])
        yamada, sato, suzuki = [self.parsed(m) for m in received]
        # The files arrive byte for byte under their names: the fixed one first, then the row's.
        self.assertEqual(self.files(yamada), [("会社案内.pdf", BROCHURE), ("見積書（山田様）.pdf", PDF),
                                              ("部品表.bin", BINARY)])
        self.assertEqual(self.files(sato), [("会社案内.pdf", BROCHURE)])
        self.assertEqual(self.files(suzuki), [("会社案内.pdf", BROCHURE), ("見積書（鈴木様）.pdf", PDF[::-1])])
        self.assertEqual(yamada.get_content_type(), "multipart/mixed")
        self.assertEqual(yamada.get_body(("plain",)).get_content(), "東邦商事\r\n山田 様\r\nお見積書をお送りいたします。\r\n")
        # Cc shows, Bcc never does.
        self.assertEqual(str(yamada["cc"]), "eigyo@example.com, buchou@toho.example.jp")
        self.assertEqual(str(sato["cc"]), "eigyo@example.com")
        self.assertEqual(str(yamada["reply-to"]), "reply@example.com")
        for m in received:
            self.assertNotIn(b"archive@", m["data"])
            self.assertNotIn(b"kanri@", m["data"])
            self.assertIsNone(self.parsed(m)["bcc"])
        # List-Unsubscribe is filled per row.
        self.assertEqual(yamada["List-Unsubscribe"], "<mailto:stop@example.com?subject=stop%20A-001>, "
                                                     "<https://example.com/stop?id=A-001&name=%E5%B1%B1%E7%94%B0>")
        self.assertEqual(sato["List-Unsubscribe"], "<mailto:stop@example.com?subject=stop%20A-002>, "
                                                   "<https://example.com/stop?id=A-002&name=%E4%BD%90%E8%97%A4>")
        self.assertEqual(sato["List-Unsubscribe-Post"], "List-Unsubscribe=One-Click")
        self.assertEqual(sato["List-Id"], "<sales.example.com>")
        # The log is as before: the row's own address.
        self.assertTrue(self.log_lines()[0].endswith("行番号[0002] タイトル[山田様 お見積りの件] 送信先アドレス[yamada@example.jp]"))

        server.clear()
        status, lines = self.run_sender("--test")
        self.assertEqual(status, 0, lines)
        received = server.messages()
        self.assertEqual([m["rcpt_tos"] for m in received], [["test@example.com"]] * 3)
        for m in received:
            msg = self.parsed(m)
            self.assertIsNone(msg["cc"])
            self.assertEqual(msg["to"], "test@example.com")
            self.assertNotIn(b"eigyo@", m["data"])
        self.assertEqual(self.files(self.parsed(received[0]))[1], ("見積書（山田様）.pdf", PDF))

    def test_missing_file_refuses_its_row_and_the_rerun_sends_it_once_it_exists(self):
        server = self.prepare()
        os.remove(os.path.join(self.root, "図面", "部品表.bin"))
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines[1], "[2]行の添付ファイル[図面/部品表.bin]がないか、読み込めません。送信しません。")
        self.assertEqual(lines[-1], "メール送信を終了しました。送信に失敗した行が1件あります。")
        self.assertEqual([m["rcpt_tos"] for m in server.messages()], [["sato@example.jp"], ["suzuki@example.co.jp"]])
        self.assertEqual(len(self.log_lines()), 2)

        self.write_file("図面/部品表.bin", BINARY)
        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines[1:4], ["[2]行の[yamada@example.jp]にメール送信しました。",
                                      "[3]行はメール送信済です。スキップします。", "[4]行はメール送信済です。スキップします。"])
        received = server.messages()
        self.assertEqual(len(received), 3)
        self.assertEqual(self.files(self.parsed(received[2]))[2], ("部品表.bin", BINARY))

    def test_opt_out_list_skips_its_addresses_in_test_and_real_runs(self):
        server = self.prepare()
        with open(os.path.join(self.root, "配信停止.txt"), "wb") as f:
            f.write(" SATO@example.jp \r\n\r\nother@example.jp\r\n".encode("cp932"))
        self.write_options(OptOutFile="配信停止.txt")  # taken from the workbook's folder
        for args in (["--test"], []):
            status, lines = self.run_sender(*args)
            self.assertEqual(status, 0, lines)
            self.assertEqual(lines[2], "[3]行は配信停止リストにあるためスキップします。")
        self.assertEqual(len(server.messages()), 4)
        self.assertNotIn("sato@example.jp", [r for m in server.messages() for r in m["rcpt_tos"]])

        os.remove(os.path.join(self.root, "配信停止.txt"))
        status, lines = self.run_sender()
        self.assertEqual(status, 1, lines)
        self.assertEqual(lines, ["メール送信を開始しました。", "配信停止リスト[配信停止.txt]を読み込めません。メール送信はしません。"])
        self.assertEqual(len(server.messages()), 4)

    def test_preview_writes_what_a_real_run_sends_and_sends_nothing(self):
        server = self.prepare(CcColumn="E", BccColumn="F", ListUnsubscribe="https://example.com/stop?id={ID}")
        # Row 3 is in the log already: neither the preview nor the real run sends it.
        with open(os.path.join(self.data, "SendLogs.txt"), "wb") as f:
            f.write("2026/01/05 09:00:00 行番号[0003] タイトル[佐藤様 お見積りの件] 送信先アドレス[sato@example.jp]\r\n"
                    .encode("cp932"))
        log_before = self.log_lines()
        preview = os.path.join(self.root, "プレビュー")
        status, lines = self.run_sender("--preview", preview)
        self.assertEqual(status, 0, lines)
        self.assertEqual(lines, ["メール送信を開始しました。", "[2]行のメールを[0002-yamada@example.jp.eml]に書き出しました。",
                                 "[3]行はメール送信済です。スキップします。",
                                 "[4]行のメールを[0004-suzuki@example.co.jp.eml]に書き出しました。",
                                 "メール送信を終了しました。"])
        self.assertEqual(server.messages(), [])
        self.assertEqual(self.log_lines(), log_before)
        self.assertFalse(os.path.exists(os.path.join(self.data, "SendMail.txt")))
        self.assertEqual(sorted(os.listdir(preview)), ["0002-yamada@example.jp.eml", "0004-suzuki@example.co.jp.eml"])

        status, lines = self.run_sender()
        self.assertEqual(status, 0, lines)
        received = server.messages()
        self.assertEqual(len(received), 2)
        for name, message in zip(sorted(os.listdir(preview)), received):
            with open(os.path.join(preview, name), "rb") as f:
                written = f.read()
            # Byte for byte the message the tool sent, but for its date, identifier and boundaries.
            self.assertEqual(comparable(written), comparable(message["data"]), name)
            self.assertEqual(self.files(email.message_from_bytes(written, policy=email.policy.default)),
                             self.files(self.parsed(message)))
        self.assertEqual(str(self.parsed(received[0])["cc"]), "buchou@toho.example.jp")


def comparable(message):
    """The message with what differs from one composition to the next made the same."""
    message = re.sub(rb"\r\nDate: [^\r]*", b"\r\nDate: x", message)
    message = re.sub(rb"\r\nMessage-ID: [^\r]*", b"\r\nMessage-ID: x", message)
    return re.sub(rb"=_Rowcaster_[0-9a-f]+_[0-9]+", b"=_Rowcaster_x", message)


def load_tests(loader, tests, pattern):
    """Only the scenarios of this file, not those it inherits from e2e_send_test."""
    names = sorted(name for name in vars(OptionsDelivery) if name.startswith("test_"))
    return unittest.TestSuite(OptionsDelivery(name) for name in names)


if __name__ == "__main__":
    if not e2e_send_test.RUNNER or not os.path.exists(e2e_send_test.RUNNER):
        sys.exit("ROWCASTER_SEND must name the rowcaster-send program")
    unittest.main(verbosity=2)
