#!/usr/bin/python3
"""Writes the workbooks and text files that the GridBridge tests read, into the given folder.

Workbooks are written by openpyxl. What openpyxl cannot write itself (cached formula results,
inline strings, rich text with phonetic readings) is put into its XML afterwards, and the
broken files are made from the good ones, so every fixture is small and shows one thing.
"""
import datetime
import io
import os
import re
import struct
import sys
import zipfile
import zlib

import openpyxl
from openpyxl.utils.datetime import CALENDAR_MAC_1904

out = sys.argv[1]
os.makedirs(out, exist_ok=True)


def path(name):
    return os.path.join(out, name)


def values_workbook():
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "顧客一覧"
    # Header row with a gap at D1, and a value beyond column Z.
    for col, text in zip("ABCE", ["会社名", "氏名", "メール", "備考"]):
        ws[col + "1"] = text
    ws["AA1"] = "範囲外の列"
    ws["A2"] = "株式会社山田商事"
    ws["B2"] = "山田 太郎"
    ws["C2"] = "taro@example.jp"
    ws["E2"] = "@@RICH@@"
    ws["F2"] = "  前後に空白 "
    ws["G2"] = "@@ESCAPED@@"
    # Numbers and the other value kinds.
    row3 = {
        "A": 3000000000, "B": 1234.0, "C": 3.14159265358979, "D": 0.1 + 0.2, "E": 1 / 3,
        "F": 1e20, "G": -42, "H": 1.5e-7, "I": 123456789012.5, "J": True, "K": False,
        "L": "#N/A", "M": "=1+2", "N": '="東京"&"都"', "O": "@@INLINE@@", "P": 0, "Q": -0.5,
        "R": "#DIV/0!", "S": "=1/0",
    }
    for col, v in row3.items():
        ws[col + "3"] = v
    # Dates, times and number formats.
    ws["A4"] = datetime.date(2024, 3, 5)
    ws["B4"] = datetime.datetime(2024, 3, 5, 14, 7, 9)
    ws["C4"] = datetime.time(9, 30, 0)
    ws["D4"] = datetime.datetime(2024, 3, 5)
    ws["D4"].number_format = 'yyyy"年"m"月"d"日"'
    ws["E4"] = 45356
    ws["E4"].number_format = "0.00"
    ws["F4"] = 45356
    ws["F4"].number_format = '"day "0'
    ws["G4"] = 0.75
    ws["G4"].number_format = "[h]:mm:ss"
    ws["N4"] = 1.5
    ws["N4"].number_format = "[h]:mm:ss"
    ws["O4"] = 1.25
    ws["O4"].number_format = "[hh]:mm"
    ws["H4"] = 45356.5
    ws["H4"].number_format = "m/d/yy h:mm"
    ws["I4"] = 44927
    ws["I4"].number_format = "mmm-yy"
    ws["J4"] = 5
    ws["J4"].number_format = "[Red]0"
    ws["K4"] = datetime.datetime(1900, 2, 28)
    ws["L4"] = datetime.datetime(1900, 3, 1)
    ws["M4"] = datetime.datetime(2024, 12, 31, 23, 59, 59, 800000)
    # Long and unusual texts.
    ws["A5"] = "あ" * 300
    ws["B5"] = "a" + "あ" * 300
    ws["C5"] = "\U00020BB7野家"
    ws["D5"] = "①髙ソ表"
    ws["E5"] = "行1\n行2"
    ws["A999999"] = "最終行"
    ws["A1000000"] = "行の範囲外"
    second = wb.create_sheet("支店 一覧")
    second["B1"] = "支店名"
    second["A2"] = "大阪"
    wb.save(path("values.xlsx"))


def members(name):
    with zipfile.ZipFile(path(name)) as z:
        return [(i.filename, z.read(i.filename)) for i in z.infolist()]


def write_zip(name, entries):
    """entries: (member name, data[, declared size, compressed data override])."""
    body = io.BytesIO()
    central = []
    for e in entries:
        member, data = e[0], e[1]
        declared = e[2] if len(e) > 2 and e[2] is not None else len(data)
        if len(e) > 3 and e[3] is not None:
            packed = e[3]
        else:
            c = zlib.compressobj(6, zlib.DEFLATED, -15)
            packed = c.compress(data) + c.flush()
        crc = zlib.crc32(data) & 0xFFFFFFFF
        raw = member.encode("utf-8")
        offset = body.tell()
        body.write(struct.pack("<IHHHHHIIIHH", 0x04034B50, 20, 0x800, 8, 0, 0x21, crc, len(packed),
                               declared & 0xFFFFFFFF, len(raw), 0))
        body.write(raw)
        body.write(packed)
        central.append(struct.pack("<IHHHHHHIIIHHHHHII", 0x02014B50, 20, 20, 0x800, 8, 0, 0x21, crc,
                                   len(packed), declared & 0xFFFFFFFF, len(raw), 0, 0, 0, 0, 0, offset) + raw)
    start = body.tell()
    for c in central:
        body.write(c)
    size = body.tell() - start
    body.write(struct.pack("<IHHHHIIH", 0x06054B50, 0, 0, len(central), len(central), size, start, 0))
    with open(path(name), "wb") as f:
        f.write(body.getvalue())


def patch_values_workbook():
    """Adds what openpyxl does not write: shared strings (it writes every text inline), rich
    text with a phonetic reading, and cached formula results."""
    parts = dict(members("values.xlsx"))
    sheet = parts["xl/worksheets/sheet1.xml"].decode("utf-8")
    sheet = re.sub(r'<c r="M3"([^>]*)><f>1\+2</f><v\s*/?>(</v>)?</c>', r'<c r="M3"\1><f>1+2</f><v>3</v></c>', sheet)
    sheet = re.sub(r'<c r="N3"([^>]*)><f>(.*?)</f><v\s*/?>(</v>)?</c>',
                   r'<c r="N3"\1 t="str"><f>\2</f><v>東京都</v></c>', sheet)
    sheet = re.sub(r'<c r="S3"([^>]*)><f>(.*?)</f><v\s*/?>(</v>)?</c>',
                   r'<c r="S3"\1 t="e"><f>\2</f><v>#DIV/0!</v></c>', sheet)
    items = []

    def share(m):
        if m.group(1) == "O3":
            return m.group(0).replace("@@INLINE@@", "インライン")
        if m.group(3) == "@@RICH@@":
            items.append('<r><rPr><b/></rPr><t>太字</t></r><r><t xml:space="preserve"> と標準</t></r>'
                         '<rPh sb="0" eb="2"><t>フトジ</t></rPh><phoneticPr fontId="1"/>')
        elif m.group(3) == "@@ESCAPED@@":
            # Control characters as the _xHHHH_ escapes spreadsheet programs write; _x005F_ is "_".
            items.append("<t>改_x000D__x000A_行 _x005F_x0041_</t>")
        else:
            items.append("<t%s>%s</t>" % (m.group(2), m.group(3)))
        return '<c r="%s" t="s"><v>%d</v></c>' % (m.group(1), len(items) - 1)

    sheet = re.sub(r'<c r="([A-Z]+\d+)" t="inlineStr"><is><t([^>]*)>(.*?)</t></is></c>', share, sheet)
    strings = ('<sst xmlns="http://schemas.openxmlformats.org/spreadsheetml/2006/main" count="%d" uniqueCount="%d">'
               % (len(items), len(items)) + "".join("<si>%s</si>" % i for i in items) + "</sst>")
    for marker in ("<v>3</v>", "東京都", 't="inlineStr"', 't="s"'):
        assert marker in sheet, marker
    parts["xl/worksheets/sheet1.xml"] = sheet.encode("utf-8")
    parts["xl/sharedStrings.xml"] = strings.encode("utf-8")
    rels = parts["xl/_rels/workbook.xml.rels"].decode("utf-8")
    parts["xl/_rels/workbook.xml.rels"] = rels.replace("</Relationships>", (
        '<Relationship Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/sharedStrings"'
        ' Target="sharedStrings.xml" Id="rId99"/></Relationships>')).encode("utf-8")
    types = parts["[Content_Types].xml"].decode("utf-8")
    parts["[Content_Types].xml"] = types.replace("</Types>", (
        '<Override PartName="/xl/sharedStrings.xml" ContentType='
        '"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml"/></Types>')).encode("utf-8")
    with zipfile.ZipFile(path("values.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts.items():
            z.writestr(name, data)
    # The same parts stored without compression.
    with zipfile.ZipFile(path("stored.xlsx"), "w", zipfile.ZIP_STORED) as z:
        for name, data in parts.items():
            z.writestr(name, data)
    return parts


def date1904_workbook():
    wb = openpyxl.Workbook()
    wb.epoch = CALENDAR_MAC_1904
    ws = wb.active
    ws.title = "日付"
    ws["A1"] = datetime.date(2024, 3, 5)
    ws["A2"] = datetime.datetime(1904, 1, 2, 6, 0, 0)
    wb.save(path("dates1904.xlsx"))
    # Dates stored as ISO 8601 texts (cell type "d") rather than as serial numbers.
    wb = openpyxl.Workbook(iso_dates=True)
    ws = wb.active
    ws.title = "ISO"
    ws["A1"] = datetime.datetime(2024, 3, 5, 14, 7, 9)
    ws["A2"] = datetime.date(2024, 3, 5)
    ws["A3"] = datetime.time(9, 30, 0)
    wb.save(path("isodates.xlsx"))


def japanese_file_name():
    wb = openpyxl.Workbook()
    wb.active.title = "Sheet1"
    wb.active["A1"] = "日本語のファイル名"
    wb.save(path("顧客リスト.xlsx"))


def prefixed_workbook(parts):
    """The same workbook with every SpreadsheetML element under a namespace prefix (x:row,
    x:c, ...), as some XML writers produce it."""
    main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"

    def prefix(xml):
        text = xml.decode("utf-8")
        text = re.sub(r"<(/?)([A-Za-z][\w]*)(?=[\s/>])", r"<\1x:\2", text)
        return text.replace('xmlns="%s"' % main, 'xmlns:x="%s"' % main).encode("utf-8")

    out_parts = dict(parts)
    for name in ("xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/sharedStrings.xml", "xl/styles.xml"):
        out_parts[name] = prefix(parts[name])
    assert b"<x:row" in out_parts["xl/worksheets/sheet1.xml"]
    write_zip("prefixed.xlsx", list(out_parts.items()))


def broken_workbooks(parts):
    good = open(path("values.xlsx"), "rb").read()
    open(path("truncated.xlsx"), "wb").write(good[: len(good) // 2])
    with open(path("not_workbook.bin"), "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n\x00\x00\x00\rIHDR" + bytes(range(256)))
    with open(path("legacy.xls"), "wb") as f:
        f.write(b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1" + b"\x00" * 504)
    sheet_name = "xl/worksheets/sheet1.xml"
    sheet = parts[sheet_name]

    def variant(name, replace=None, drop=None, extra=()):
        entries = []
        for member, data in parts.items():
            if member == drop:
                continue
            if replace and member in replace:
                entries.append((member,) + tuple(replace[member]))
            else:
                entries.append((member, data))
        write_zip(name, entries + list(extra))

    # Damaged XML: a row whose end tag is misspelt; a sheet cut off before its end tags.
    variant("bad_tag.xlsx", {sheet_name: (sheet.replace(b"</row>", b"</rov>", 1),)})
    variant("cut_sheet.xlsx", {sheet_name: (sheet[: len(sheet) * 2 // 3],)})
    variant("bad_workbook_xml.xlsx", {"xl/workbook.xml": (parts["xl/workbook.xml"][:-40],)})
    # Absurd contents: a shared string that does not exist, a row number of twelve digits.
    variant("bad_string_index.xlsx", {sheet_name: (re.sub(rb'(<c r="A2"[^>]*><v>)\d+', rb"\g<1>99999999", sheet, 1),)})
    variant("absurd_row.xlsx", {sheet_name: (sheet.replace(b'<row r="2"', b'<row r="123456789012"', 1),)})
    # Missing parts: the sheet, and the workbook itself.
    variant("missing_sheet.xlsx", drop=sheet_name)
    write_zip("no_workbook.xlsx", [("readme.txt", "ただのZIP".encode("utf-8"))])
    # Zip bombs: 64 MiB of zeros that claim to be 4 KiB, and a member that claims 3 GB.
    zeros = b"\0" * (64 << 20)
    c = zlib.compressobj(9, zlib.DEFLATED, -15)
    packed = c.compress(zeros) + c.flush()
    variant("bomb_lying.xlsx", {sheet_name: (zeros, 4096, packed)})
    variant("bomb_huge.xlsx", {sheet_name: (sheet, 3_000_000_000)})
    # Deflate data with a flipped byte in the middle.
    c = zlib.compressobj(6, zlib.DEFLATED, -15)
    damaged = bytearray(c.compress(sheet) + c.flush())
    damaged[len(damaged) // 2] ^= 0x55
    variant("bad_deflate.xlsx", {sheet_name: (sheet, None, bytes(damaged))})


def text_files():
    with open(path("utf8_bom.csv"), "wb") as f:
        f.write("\ufeff氏名,会社,メール\r\n"
                '山田 太郎,"株式会社 山田, 本社",taro@example.jp\r\n'
                '"引用""符",,"x"\r\n'.encode("utf-8"))
    with open(path("utf8.csv"), "wb") as f:
        f.write("名前,メモ\n高橋,①と\U00020BB7\n".encode("utf-8"))
    with open(path("sjis.csv"), "wb") as f:
        f.write(('氏名,住所,備考\r\n佐藤,"東京都\r\n千代田区",表示\r\n鈴木,"大阪府\n北区","ソ"\r\n'
                 + "長文," + "漢" * 300 + "\r\n").encode("cp932"))
    with open(path("utf16.csv"), "wb") as f:
        f.write("氏名,メモ\r\n伊藤,\"改行\r\nあり\"\r\n".encode("utf-16"))  # with its byte order mark
    with open(path("unterminated.csv"), "wb") as f:
        f.write(b'a,b\r\n1,"never closed\r\n2,3\r\n')
    open(path("empty.csv"), "wb").close()


values_workbook()
parts = patch_values_workbook()
date1904_workbook()
japanese_file_name()
prefixed_workbook(parts)
broken_workbooks(parts)
text_files()
