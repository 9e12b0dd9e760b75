"""Starting inputs for the fuzz targets, written fresh on every fuzz run.

Workbooks are written by openpyxl here, never kept as binary files in the tree."""
import io
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from settings_file import scramble  # noqa: E402

out = sys.argv[1]


def sj(text):
    return text.encode("cp932")


def put(target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


SEP = b"\xff"

# Settings: stored forms of real-looking files.
fields = [sj("sales@example.com"), b"login", b"pa\"ss word", sj("営業部　ソ表"), b"127.0.0.1", b"465",
          sj("{会社名} {氏名}様へのご案内"), sj("C:\\データ\\本文.html"), sj("C:\\ソ\\list.xlsx"), b"Sheet1",
          b"C", b"2", b"999", b"4", b"test@example.com"]
put("fuzz_settings", "full", scramble(b"".join(f + b"\r\n" for f in fields)))
put("fuzz_settings", "builtin", scramble(b"\r\n" * 11 + b"2\r\n999\r\n4\r\n\r\n"))
put("fuzz_settings", "quoted", scramble(b'  "Sales"  \n"\n\tx\t\r\n' + b"x" * 300 + b"\r\n"))

# Shift-JIS helpers: text, 0xFF, pattern, 0xFF, search byte and capacity.
for i, (text, pattern, extra) in enumerate([
        (sj("C:\\ソ\\表示\\file.txt"), b"\\", b"\\\x10"),
        (b'  "quoted, value"  \r\n', b",", b'"\x05'),
        (sj("<meta CHARSET=UTF-8>ゾ]"), b"charset=utf-8", b"]\x20"),
        (sj("あいう,えお\t\"か,き\" く"), sj("え"), b",\x04"),
        (b"\x83\x83\x83\x5c\x81\x40@", b"\x83\x5c", b"@\x03")]):
    put("fuzz_sjis_text", "seed%d" % i, text + SEP + pattern + SEP + extra)

# GridBridge: workbooks written by openpyxl, whole (first byte even) and as their XML parts
# (first byte odd), and text files in each encoding.
try:
    import datetime
    import zipfile
    import openpyxl

    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "顧客一覧"
    rows = [["会社名", "氏名", "メール", "金額", "日付"],
            ["株式会社ソ表", "山田 太郎", "taro@example.jp", 1234.5, datetime.date(2024, 3, 1)],
            ["{氏名}", " \"quoted\" ", "a b@example.jp", 0.1, "=1+1"],
            ["x" * 300, "ゾ]" * 100, "", -7, True]]
    for r in rows:
        ws.append(r)
    ws["C5"] = "=A2&B2"
    ws2 = wb.create_sheet("Sheet2")
    ws2["A1"] = "only"
    buf = io.BytesIO()
    wb.save(buf)
    whole = buf.getvalue()
    put("fuzz_xlsx", "openpyxl", b"\x00" + whole)
    z = zipfile.ZipFile(io.BytesIO(whole))
    names = z.namelist()

    def part(name):
        return z.read(name) if name in names else b""
    put("fuzz_xlsx", "parts", b"\x01" + SEP.join([part("xl/workbook.xml"), part("xl/worksheets/sheet1.xml"),
                                                   part("xl/sharedStrings.xml"), part("xl/styles.xml")]))
    put("fuzz_xlsx", "parts_entry", b"\x03" + SEP.join([part("xl/workbook.xml"), part("xl/worksheets/sheet1.xml"),
                                                         part("xl/sharedStrings.xml"), part("xl/styles.xml")]))
except Exception as e:  # seeds are a help, not a need
    print("no workbook seeds:", e)

# Workbooks of the GridBridge tests that show what real writers do: number formats, whitespace
# and CDATA, UTF-16 parts, backslash names, macro sheets, cells without references, and the
# irregular and refused .xls files.
fixture_maker = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gridbridge", "make_workbooks.py")
try:
    import subprocess
    fixtures = os.path.join(out, "gridbridge-fixtures")
    subprocess.run([sys.executable, fixture_maker, fixtures], check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    for name in ("formats.xlsx", "whitespace.xlsx", "utf16.xlsx", "backslash.xlsx", "macro.xlsm", "noref.xlsx"):
        with open(os.path.join(fixtures, name), "rb") as f:
            whole = f.read()
        put("fuzz_xlsx", name, b"\x02" + whole)
        z = zipfile.ZipFile(io.BytesIO(whole))
        if name in ("formats.xlsx", "whitespace.xlsx", "noref.xlsx"):
            names = z.namelist()
            put("fuzz_xlsx", name + ".parts", b"\x01" + SEP.join([part("xl/workbook.xml"), part("xl/worksheets/sheet1.xml"),
                                                                   part("xl/sharedStrings.xml"), part("xl/styles.xml")]))
    for name, seed in (("irregular.xls", "irregular"), ("暗号化.xls", "encrypted_xls"), ("暗号化.xlsx", "encrypted_xlsx"),
                       ("excel95.xls", "excel95")):
        with open(os.path.join(fixtures, name), "rb") as f:
            put("fuzz_xls", seed, f.read())
    with open(os.path.join(fixtures, "unterminated.csv"), "rb") as f:
        put("fuzz_csv", "unclosed_quote", f.read())
except Exception as e:  # seeds are a help, not a need
    print("no fixture seeds:", e)

text = "会社名,氏名,メール\r\n\"株式会社\"\"ソ\"\"\",山田,taro@example.jp\r\n,\"a,\r\nb\",x\n"
put("fuzz_csv", "sjis", text.encode("cp932"))
put("fuzz_csv", "utf8", text.encode("utf-8"))
put("fuzz_csv", "utf8bom", b"\xef\xbb\xbf" + text.encode("utf-8"))
put("fuzz_csv", "utf16le", b"\xff\xfe" + text.encode("utf-16-le"))
put("fuzz_csv", "utf16be", b"\xfe\xff" + text.encode("utf-16-be"))

# The engine.
put("fuzz_load_body", "utf8_txt", b"\x00" + "{会社名}\r\n{氏名} 様\r\n".encode("utf-8"))
put("fuzz_load_body", "bom_txt", b"\x00\xef\xbb\xbf" + "本文です".encode("utf-8"))
put("fuzz_load_body", "sjis_txt", b"\x00" + sj("本文です。ソ表\r\n"))
put("fuzz_load_body", "utf8_html", b"\x01" + '<meta charset=UTF-8><p>{氏名}様</p>'.encode("utf-8"))
put("fuzz_load_body", "sjis_html", b"\x02" + sj('<meta charset="Shift_JIS"><p>{氏名}様</p>'))
put("fuzz_load_body", "short", b"\x80" + "途中まで".encode("utf-8"))
put("fuzz_load_body", "utf16le_txt", b"\x00\xff\xfe" + "{氏名} 様\r\n😀".encode("utf-16-le"))
put("fuzz_load_body", "utf16be_html", b"\x01\xfe\xff" + '<meta charset="Shift_JIS"><p>様</p>'.encode("utf-16-be"))
put("fuzz_load_body", "quoted_html", b"\x01" + '<meta charset="utf-8"><p>{氏名}様</p>'.encode("utf-8"))
put("fuzz_load_body", "content_html", b"\x02" + sj('<META http-equiv=Content-Type content="text/html; charset = x-sjis"><p>様</p>'))
put("fuzz_load_body", "undeclared_html", b"\x03" + '<p>{氏名}様</p>'.encode("utf-8"))
put("fuzz_wire_message", "plain_lf", b"\x00" + sj("北斗電機\n佐藤 様\r\n受付で\rお名前を\n"))
put("fuzz_wire_message", "plain_long", b"\x00" + sj("弊社では、お客様の業務効率化を支援いたします。" * 60))
put("fuzz_wire_message", "html", b"\x01" + sj('<html><head><title>t</title><style>p{}</style></head><body><p>北斗電機<br>\n'
                                             '佐藤 様</p><table><tr><th>日時</th><td>6月</td></tr></table><ul><li>a<li>b</ul>'
                                             '<a href="https://example.jp/?a=1&amp;b=2">こちら</a><pre>  x\n y</pre>'
                                             '<!-- c --><script>x<y</script><img alt="ロゴ"></body></html>'))
put("fuzz_wire_message", "html_alone", b"\x03" + sj("<p>" + "ご案内" * 400 + "</p>"))

# Options.def's pieces: a file name, 0xFF, an opt-out list, 0xFF, ListUnsubscribe, 0xFF, a cell.
put("fuzz_message_options", "names", SEP.join([
    sj("御見積書（北斗電機株式会社様）_2025年度_第3四半期.xlsx"),
    b"\xef\xbb\xbfYamada@Example.JP\r\n\r\n  sato@example.jp \t\nsuzuki@example.jp\r",
    sj("mailto:stop@example.jp?subject=stop%20{ID}, https://例え.jp/停止?id={ID}&x=\"1\""),
    sj("山田 太郎/A&B")]))
put("fuzz_message_options", "sjis_list", SEP.join([b"report.pdf", sj("山田@例え.jp\r\nＡ@example.jp\r\n"),
                                                   b"https://example.jp/u?id={ID}", b"a b"]))
for i, title in enumerate(["Hi there?_", "{会社名} {氏名}様 ご案内", "ｱｲｳｴｵ" * 60, "株式会社" + "ゾ" * 120]):
    put("fuzz_header_word", "title%d" % i, sj(title))
# Address cells: mailboxes of every form, and what users paste.
for i, cell in enumerate([b"yamada@example.jp", sj("　suzuki@example.com　"), b"\t\"john doe\"@[IPv6:2001:db8::1]\t",
                          b"mailto:ito@example.com", b"kato@example.com;kato2@example.com", b"u@[192.0.2.1]",
                          sj("山田@例え.jp"), b"x\x83\x81\x40", b"a" * 64 + b"@" + b"d" * 63 + b".jp"]):
    put("fuzz_mail_address", "cell%d" % i, cell)
put("fuzz_merge", "letter", SEP.join([
    sj("{会社名}\r\n{氏名} 様 {メール} {{氏名}} {未知}"), sj("会社名"), sj("{氏名}商事"), sj("氏名"),
    sj('  "山田"  '), sj("メール"), b"a@example.jp", b"", b"", b"", b"", b"", b"", b"\x01"]))
put("fuzz_merge", "tight", SEP.join([b"{A}{A}{A}", b"A", b"x" * 200, b"B", b"{A}", b"", b"", b"", b"", b"", b"", b"", b"", b"\x00"]))
line = lambda row, title, addr: sj("2026/12/10 10:00:00 行番号[%04d] タイトル[" % row) + title + sj("] 送信先アドレス[") + addr + b"]\r\n"
log = line(2, sj("ご案内"), b"a@example.jp") + line(3, sj("ゾ]の件"), b"b@example.jp") + line(12345, b"", b"")
put("fuzz_send_log", "log", SEP.join([log, sj("ゾ]の件"), b"b@example.jp", line(4, sj("追記"), b"c@example.jp")[:30]]))
import zlib  # noqa: E402


def journal_line(log_size, title, address, message_id):
    rest = b"%d %s %s %s" % (log_size, title.hex().encode(), address.hex().encode(), message_id)
    return b"%08x %s\r\n" % (zlib.crc32(rest), rest)


journal = (journal_line(0, sj("ご案内"), b"a@example.jp", b"<6b1a.2f.1@example.com>") +
           journal_line(120, b"line\r\nbreak", b"b@example.jp", b"<6b1a.2f.2@localhost>") +
           journal_line(0, sj("ご案内"), b"a@example.jp", b"<6b1a.2f.3@example.com>"))
put("fuzz_send_journal", "journal", SEP.join([journal, sj("ご案内"), b"a@example.jp"]))
put("fuzz_send_journal", "cut", SEP.join([journal[:-40], b"line\r\nbreak", b"b@example.jp"]))
put("fuzz_send_log", "tricky", SEP.join([line(5, sj("] 送信先アドレス[x"), b"d@example.jp"), sj("] 送信先アドレス[x"), b"d@example.jp", b"\n"]))

# .xls workbooks, where the tree has their generator (it converts openpyxl workbooks).
xls_maker = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "gridbridge", "make_xls_workbooks.py")
if os.path.exists(xls_maker):
    import subprocess
    fixtures = os.path.join(out, "xls-fixtures")
    done = subprocess.run([sys.executable, xls_maker, "--out", fixtures, "--cache", os.path.join(out, "xls-cache")],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode == 0:
        for name in os.listdir(fixtures):
            path = os.path.join(fixtures, name)
            if name.endswith(".xls") and os.path.getsize(path) <= 1 << 20:
                with open(path, "rb") as f:
                    put("fuzz_xls", name, f.read())
