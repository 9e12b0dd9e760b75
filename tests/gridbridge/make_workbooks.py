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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from refused_workbooks import bof, biff_record, compound_file, write_refused_workbooks  # noqa: E402

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
    with open(path("yen.csv"), "wb") as f:
        f.write('金額,備考\r\n"¥1,200",円記号\r\n'.encode("utf-8"))
    open(path("empty.csv"), "wb").close()


MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
RELS = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"


def package(name, sheets, shared=None, styles=None, member=lambda n: n, encode=lambda n, x: x.encode("utf-8")):
    """A workbook package written part by part: sheets [(sheet name, part path, XML)], the
    shared strings' <si> items, the styles part. member() renames the ZIP members, encode()
    writes each part's text."""
    rels = ['<Relationship Id="rId%d" Type="%s/worksheet" Target="%s"/>' % (i + 1, RELS, p[3:])
            for i, (_, p, _) in enumerate(sheets)]
    parts = {
        "[Content_Types].xml": '<?xml version="1.0" encoding="UTF-8"?>'
                               '<Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>',
        "_rels/.rels": '<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns='
                       '"http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" '
                       'Type="%s/officeDocument" Target="xl/workbook.xml"/></Relationships>' % RELS,
        "xl/workbook.xml": '<?xml version="1.0" encoding="UTF-8"?><workbook xmlns="%s" xmlns:r="%s"><sheets>%s'
                           '</sheets></workbook>' % (MAIN, RELS, "".join(
                               '<sheet name="%s" sheetId="%d" r:id="rId%d"/>' % (n, i + 1, i + 1)
                               for i, (n, _, _) in enumerate(sheets))),
    }
    if shared is not None:
        rels.append('<Relationship Id="rIdS" Type="%s/sharedStrings" Target="sharedStrings.xml"/>' % RELS)
        parts["xl/sharedStrings.xml"] = ('<?xml version="1.0" encoding="UTF-8"?><sst xmlns="%s">%s</sst>'
                                         % (MAIN, "".join("<si>%s</si>" % i for i in shared)))
    if styles is not None:
        rels.append('<Relationship Id="rIdT" Type="%s/styles" Target="styles.xml"/>' % RELS)
        parts["xl/styles.xml"] = styles
    parts["xl/_rels/workbook.xml.rels"] = ('<?xml version="1.0" encoding="UTF-8"?><Relationships xmlns='
                                           '"http://schemas.openxmlformats.org/package/2006/relationships">%s'
                                           '</Relationships>' % "".join(rels))
    for _, part, xml in sheets:
        parts[part] = xml
    write_zip(name, [(member(n), encode(n, x)) for n, x in parts.items()])


def sheet_xml(rows, root="worksheet", extra=""):
    return '<?xml version="1.0" encoding="UTF-8"?><%s xmlns="%s"%s><sheetData>%s</sheetData></%s>' % (
        root, MAIN, extra, rows, root)


def whitespace_workbook():
    """Text that is whitespace alone or in part, in rich-text runs, inline strings, formula
    results, and CDATA sections (as Excel, Excel for Mac and other writers store them)."""
    shared = [
        '<r><t>test3</t></r><r><t xml:space="preserve"> </t></r><r><t>aaa</t></r>',
        '<r><rPr><b/></rPr><t>Excel 2010</t></r><r><t xml:space="preserve"> </t></r><r><t>(ALWAYS</t></r>',
        '<t xml:space="preserve">  前後  </t>',
        '<t xml:space="preserve">\t</t>',
        '<t><![CDATA[<b>&amp;</b>]]></t>',
        '<t>a<![CDATA[ b ]]>c</t>',
        '\n  <r>\n    <t>A</t>\n  </r>\n  <r>\n    <t xml:space="preserve"> </t>\n  </r>\n  <r><t>B</t></r>\n',
        '<t/>',
        '<r><t>a</t></r><r><t> </t></r><r><t xml:space="preserve" > </t ></r><r><t/></r>'
        '<r><t xml:space="preserve"/></r><r><t></t></r><r><t>b</t></r>',
    ]
    cells = "".join('<c r="%s1" t="s"><v>%d</v></c>' % ("ABCDEFGHI"[i], i) for i in range(len(shared)))
    row2 = ('<c r="A2" t="inlineStr"><is><t><![CDATA[Hello CDATA]]></t></is></c>'
            '<c r="B2" t="inlineStr"><is><t xml:space="preserve">   </t></is></c>'
            '<c r="C2" t="str"><f>CHAR(9)&amp;"   "&amp;CHAR(9)</f><v xml:space="preserve">\t   \t</v></c>'
            '<c r="D2"><v><![CDATA[42]]></v></c>'
            '<c r="E2" t="inlineStr"><is><r><t xml:space="preserve">名前 </t></r><r><t>太郎</t></r></is></c>')
    package("whitespace.xlsx", [("空白", "xl/worksheets/sheet1.xml",
                                 sheet_xml('<row r="1">%s</row><row r="2">%s</row>' % (cells, row2)))], shared)


def irregular_packages():
    """Packages that Excel reads although they stray from the usual: member names with
    backslashes, parts in UTF-16, macro and dialog sheets, cells without usable references."""
    sheet = sheet_xml('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1"><v>12</v></c></row>')
    shared = ["<t>氏名</t>"]
    package("backslash.xlsx", [("Sheet1", "xl/worksheets/sheet1.xml", sheet)], shared,
            member=lambda n: n.replace("/", "\\"))

    def utf16(name, xml):
        xml = xml.replace('encoding="UTF-8"', 'encoding="UTF-16"')
        return xml.encode("utf-16-be") if name == "xl/sharedStrings.xml" else b"\xff\xfe" + xml.encode("utf-16-le")
    sheet16 = sheet_xml('<row r="1"><c r="A1" t="s"><v>0</v></c><c r="B1" t="inlineStr"><is><t>日本語\U00020BB7</t>'
                        '</is></c><c r="C1"><v>40800</v></c></row>')
    package("utf16.xlsx", [("表1", "xl/worksheets/sheet1.xml", sheet16)], ["<t>Summe ¥</t>"], encode=utf16)

    macro = sheet_xml('<row r="1"><c r="A1" t="inlineStr"><is><t>マクロ</t></is></c></row>', root="xm:macrosheet",
                      extra=' xmlns:xm="http://schemas.microsoft.com/office/excel/2006/main"').replace(
        '<xm:macrosheet xmlns="%s"' % MAIN, '<xm:macrosheet xmlns="%s"' % MAIN)
    dialog = '<?xml version="1.0" encoding="UTF-8"?><dialogsheet xmlns="%s"><sheetPr/></dialogsheet>' % MAIN
    package("macro.xlsm", [("Sheet1", "xl/worksheets/sheet1.xml", sheet), ("Macro1", "xl/macrosheets/sheet1.xml", macro),
                           ("Dialog1", "xl/dialogsheets/sheet1.xml", dialog)], shared)

    def c(ref, text):
        return '<c%s t="inlineStr"><is><t>%s</t></is></c>' % (ref, text)
    rows = ('<row r="0">' + c(' r="0"', "a") + c("", "b") + '</row>'
            '<row>' + c(' r="C2"', "c") + c("", "d") + c(' r=""', "e") + '</row>'
            '<row r="5">' + c("", "f") + c(' r="0"', "g") + c(' r="$E$9"', "h") + '</row>'
            '<row r="x">' + c(' r="AAAA1"', "i") + '</row>')
    package("noref.xlsx", [("Sheet1", "xl/worksheets/sheet1.xml", sheet_xml(rows))])


def formats_workbook():
    """Numbers and texts through number formats: column A the format, B the value, C the text
    Excel shows (Japanese locale). Formats named "ID<n>" stand for built-in id n, whose code
    the workbook does not spell out (as Excel writes them)."""
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = "書式"
    d = datetime.date(2026, 12, 10)
    cases = [
        ("#,##0", 1200, "1,200"), ("000-0000-0000", 9012345678, "090-1234-5678"), ("0%", 0.25, "25%"),
        ('yyyy"年"m"月"d"日"', d, "2026年12月10日"), ('[$-411]ggge"年"m"月"d"日"', d, "令和8年12月10日"),
        ('#,##0"円"', 1200, "1,200円"), ('"¥"#,##0;"¥"\\-#,##0', -1200, "￥-1,200"), ("[$¥-411]#,##0", 1200, "￥1,200"),
        ("0.00", 2.675, "2.68"), ("0.00E+00", 12345, "1.23E+04"), ("# ??/??", 3.14159, "3 14/99"),
        ("[m]", 1.5, "2160"), ("[mm]:ss", 0.5, "720:00"), ("[s]", 0.01, "864"), ("[ss]", 1.25, "108000"),
        ("h:mm AM/PM", 0.75, "6:00 午後"), ("[$-409]h:mm AM/PM", 0.75, "6:00 PM"), ("aaaa", d, "木曜日"),
        ("ge.m.d", d, "R8.12.10"), ("[>=1000]#,##0,\"千\";0", 1500, "2千"), ("#,##0;\"▲\"#,##0", -1200, "▲1,200"),
        ('@"様"', "山田", "山田様"), ('0;-0;"ゼロ";@', 0, "ゼロ"), ("[DBNum1]0", 123, "123"),
        ("ID14", d, "2026/12/10"), ("ID22", datetime.datetime(2026, 12, 10, 9, 5), "2026/12/10 9:05"),
        ("ID27", d, "R8.12.10"), ("ID28", d, "令和8年12月10日"), ("ID31", d, "2026年12月10日"),
        ("ID5", -1200, "￥-1,200"), ("ID42", 1200, " ￥1,200 "), ("ID58", datetime.date(2019, 5, 1), "令和1年5月1日"),
    ]
    for r, (fmt, value, shown) in enumerate(cases, 1):
        ws.cell(r, 1, fmt)
        cell = ws.cell(r, 2, value)
        cell.number_format = '"%s"0' % fmt if fmt.startswith("ID") else fmt
        ws.cell(r, 3, shown)
    wb.save(path("formats.xlsx"))
    # The "IDn" formats become built-in ids without a code of their own.
    parts = members("formats.xlsx")
    styles = dict(parts)["xl/styles.xml"].decode("utf-8")
    for number, code in re.findall(r'<numFmt numFmtId="(\d+)" formatCode="&quot;ID(\d+)&quot;0"\s*/>', styles):
        styles = re.sub(r'<numFmt numFmtId="%s" formatCode="[^"]*"\s*/>' % number, "", styles)
        styles = styles.replace('numFmtId="%s"' % number, 'numFmtId="%s"' % code)
    assert "ID" not in styles
    with zipfile.ZipFile(path("formats.xlsx"), "w", zipfile.ZIP_DEFLATED) as z:
        for name, data in parts:
            z.writestr(name, styles.encode("utf-8") if name == "xl/styles.xml" else data)


def irregular_xls():
    """An .xls built record by record with what Excel 97-2003 files in the wild hold: a
    workbook stream named BOOK, a header claiming an impossible mini FAT, a string table that
    declares more strings than it holds with an empty CONTINUE record and half a character
    at a seam, an empty LABEL, a FORMULA of the older type 0x0206, and a BOUNDSHEET offset a
    few bytes off its sheet."""
    def xl_string(text, wide=False):
        return struct.pack("<HB", len(text), 1 if wide else 0) + (text.encode("utf-16-le") if wide else text.encode("latin-1"))

    globals_ = bof(0x0600, 5)
    boundsheet_at = len(globals_) + 4
    globals_ += biff_record(0x0085, struct.pack("<IBB", 0, 0, 0) + struct.pack("<BB", 2, 0) + b"S1")
    sst = biff_record(0x00FC, struct.pack("<II", 50, 50) + xl_string("col1") + struct.pack("<HB", 4, 1) + "日本".encode("utf-16-le"))
    sst += biff_record(0x003C) + biff_record(0x003C, b"\x01" + "語".encode("utf-16-le") + b"\x00")
    sst += biff_record(0x003C, b"\x01" + "x".encode("utf-16-le") + xl_string("10x10"))
    globals_ += sst + biff_record(0x000A)
    sheet = bof(0x0600, 0x10)
    sheet += biff_record(0x00FD, struct.pack("<HHHI", 0, 0, 0, 0))            # A1: col1
    sheet += biff_record(0x00FD, struct.pack("<HHHI", 0, 1, 0, 1))            # B1: 日本語x
    sheet += biff_record(0x0204, struct.pack("<HHHH", 0, 2, 0, 0))            # C1: empty LABEL
    sheet += biff_record(0x0204, struct.pack("<HHH", 0, 3, 0) + xl_string("AAA"))  # D1
    sheet += biff_record(0x00FD, struct.pack("<HHHI", 1, 0, 0, 2))            # A2: 10x10
    sheet += biff_record(0x0206, struct.pack("<HHHdHH", 1, 1, 0, 2.5, 0, 0))  # B2: 2.5
    sheet += biff_record(0x000A)
    stream = bytearray(globals_ + sheet)
    struct.pack_into("<I", stream, boundsheet_at, len(globals_) - 4)  # four bytes before its BOF
    with open(path("irregular.xls"), "wb") as f:
        f.write(compound_file([("BOOK", bytes(stream))], mini_fat_count=0x7FFFFFF0))


values_workbook()
parts = patch_values_workbook()
date1904_workbook()
japanese_file_name()
prefixed_workbook(parts)
broken_workbooks(parts)
text_files()
whitespace_workbook()
irregular_packages()
formats_workbook()
irregular_xls()
write_refused_workbooks(out)
