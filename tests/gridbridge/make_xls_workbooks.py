#!/usr/bin/python3
"""Writes the test workbooks for the .xls reader: .xlsx files by openpyxl, each converted to
.xls by LibreOffice, and a manifest of every cell written with its kind and value.

Usage: make_workbooks.py --out DIR [--cache DIR]

The conversion is slow, so the results are kept under the cache folder, named by a hash of
this script and the LibreOffice version; a later run with the same inputs copies them.

Manifest lines (tab-separated, UTF-8 fields as hex):
  workbook  sheet-hex  row  column  kind  value  [shown: hex UTF-8, as Excel shows the value]
kind: s text (value hex UTF-8), n number (repr), d date or time (serial, repr),
      b boolean (0/1), e error (text), f formula (its result as shown, hex UTF-8).
Rows and columns count from 1.
"""
import argparse
import datetime
import hashlib
import io
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile

import openpyxl

SHEET1 = "顧客一覧"
SHEET2 = "第二営業部"

FAMILY = ["佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "山本", "中村", "小林", "加藤",
          "吉田", "山田", "佐々木", "山口", "松本", "井上", "木村", "林", "斎藤", "清水"]
GIVEN = ["翔太", "陽菜", "蓮", "結衣", "大翔", "美咲", "悠真", "葵", "湊", "さくら"]
PLACES = ["東京都千代田区丸の内", "大阪府大阪市北区梅田", "愛知県名古屋市中村区名駅",
          "福岡県福岡市博多区博多駅前", "北海道札幌市中央区北五条西", "宮城県仙台市青葉区中央"]
COMPANY = ["株式会社", "有限会社", "合同会社"]
TRADE = ["山田商事", "東和電機", "北斗物産", "さくら不動産", "みなと運輸", "青葉システム"]


# How Excel shows a date through each date format these workbooks use.
SHOWN_DATES = {
    "yyyy-mm-dd": lambda v: v.strftime("%Y-%m-%d"),
    "yyyy-mm-dd hh:mm:ss": lambda v: v.strftime("%Y-%m-%d %H:%M:%S"),
    "hh:mm:ss": lambda v: v.strftime("%H:%M:%S"),
    'yyyy"年"m"月"d"日"': lambda v: "%d年%d月%d日" % (v.year, v.month, v.day),
    "yyyy/mm/dd": lambda v: v.strftime("%Y/%m/%d"),
    '[$-411]ggge"年"m"月"d"日"': lambda v: "令和%d年%d月%d日" % (v.year - 2018, v.month, v.day),
    "yyyy/m/d aaa": lambda v: "%d/%d/%d %s" % (v.year, v.month, v.day, "月火水木金土日"[v.weekday()]),
}


def serial(value, epoch1904=False):
    base = datetime.datetime(1904, 1, 1) if epoch1904 else datetime.datetime(1899, 12, 30)
    if isinstance(value, datetime.time):
        return (value.hour * 3600 + value.minute * 60 + value.second) / 86400.0
    if isinstance(value, datetime.date) and not isinstance(value, datetime.datetime):
        value = datetime.datetime(value.year, value.month, value.day)
    delta = value - base
    return delta.days + delta.seconds / 86400.0


class Book:
    def __init__(self, name, epoch1904=False):
        self.name = name
        self.wb = openpyxl.Workbook()
        if epoch1904:
            self.wb.epoch = openpyxl.utils.datetime.CALENDAR_MAC_1904
        self.epoch1904 = epoch1904
        self.lines = []
        self.first = True

    def sheet(self, title):
        if self.first:
            ws = self.wb.active
            ws.title = title
            self.first = False
        else:
            ws = self.wb.create_sheet(title)
        return ws

    def put(self, ws, row, col, value, number_format=None, kind=None, shown=None):
        cell = ws.cell(row=row, column=col, value=value)
        if number_format:
            cell.number_format = number_format
        if kind is None:
            if isinstance(value, bool):
                kind, text = "b", "1" if value else "0"
            elif isinstance(value, (int, float)):
                kind, text = "n", repr(float(value))
            elif isinstance(value, (datetime.date, datetime.time)):
                kind, text = "d", repr(serial(value, self.epoch1904))
                shown = SHOWN_DATES[number_format](value)
            else:
                kind, text = "s", value.encode("utf-8").hex()
        elif kind == "e":
            text = value
        elif kind == "f":
            text = shown.encode("utf-8").hex()
        fields = [self.name, ws.title.encode("utf-8").hex(), str(row), str(col), kind, text]
        if shown is not None:
            fields.append(shown.encode("utf-8").hex())
        self.lines.append("\t".join(fields))


def values_book():
    rnd = random.Random(8)
    b = Book("values")
    ws = b.sheet(SHEET1)
    headers = ["名前", "会社", "住所", "電話", "整数", "小数", "負数", "大きな数", "日付", "日時",
               "時刻", "和暦風", "真偽", "数式", "長文", "備考"]
    for c, h in enumerate(headers, 1):
        b.put(ws, 1, c, h)
    rows = 400
    for r in range(2, rows + 2):
        i = r - 2
        name = FAMILY[i % len(FAMILY)] + " " + GIVEN[(i // 3) % len(GIVEN)]
        b.put(ws, r, 1, name)
        # Unique long Japanese texts: together far more than one record holds.
        b.put(ws, r, 2, COMPANY[i % 3] + TRADE[(i // 3) % len(TRADE)] + "　第%d営業所（%s）" % (i, PLACES[i % 6]))
        b.put(ws, r, 3, PLACES[(i * 7) % 6] + "%d丁目%d番%d号　サンプルビル%d階" % (i % 9 + 1, i % 17 + 1, i % 23 + 1, i % 40 + 1))
        # Phone-like numbers beyond 32 bits, kept as numbers.
        b.put(ws, r, 4, 9000000000 + rnd.randrange(100000000, 999999999))
        b.put(ws, r, 5, i * 37 - 5000)                       # small integers
        b.put(ws, r, 6, round(rnd.uniform(0, 10000), 2))     # two decimals
        b.put(ws, r, 7, -round(rnd.uniform(0, 100), rnd.choice([0, 1, 3, 5])))
        b.put(ws, r, 8, rnd.choice([2 ** 30, 2 ** 31, 123456789012345, 1e15, 3.0e9, 0.5, 1234.5678]))
        day = datetime.date(2020, 1, 1) + datetime.timedelta(days=i * 3)
        b.put(ws, r, 9, day, "yyyy-mm-dd")
        b.put(ws, r, 10, datetime.datetime(2023, 4, 1, 9, 30, 15) + datetime.timedelta(hours=i * 5), "yyyy-mm-dd hh:mm:ss")
        b.put(ws, r, 11, datetime.time(i % 24, (i * 7) % 60, (i * 13) % 60), "hh:mm:ss")
        b.put(ws, r, 12, day, 'yyyy"年"m"月"d"日"')
        b.put(ws, r, 13, i % 3 == 0)
    # Row with consecutive small numbers (written as one multi-RK record) and decimals.
    r = rows + 2
    for c, v in enumerate([1, 2, 3, 4, 5, 0.25, -0.75, 12.34, 100, -7], 1):
        b.put(ws, r, c, v)
    r += 1
    b.put(ws, r, 1, "数式")
    b.put(ws, r, 14, '="東京"&"都"&"千代田区"', kind="f", shown="東京都千代田区")
    b.put(ws, r, 15, "=1+2", kind="f", shown="3")
    b.put(ws, r, 16, "=2>1", kind="f", shown="TRUE")
    r += 1
    b.put(ws, r, 14, "=1/0", kind="f", shown="#DIV/0!")
    b.put(ws, r, 15, '=REPT("長",300)', kind="f", shown="長" * 300)
    b.put(ws, r, 16, "=10/4", kind="f", shown="2.5")
    b.put(ws, r, 2, "#N/A", kind="e")
    r += 1
    # A long text crossing record boundaries inside itself, Japanese and plain.
    b.put(ws, r, 15, "".join(FAMILY) * 120)
    b.put(ws, r, 16, "ABCDEFGHIJ" * 1000)
    b.put(ws, r, 3, "名" * 300)
    b.put(ws, r, 4, "rich:" + "太字")  # made rich text below
    b.put(ws, r, 5, "外字𠮷と絵文字😀")
    b.put(ws, r, 6, "tab\tand\nnewline")
    r += 2
    b.put(ws, r, 26, "Z列")
    b.put(ws, r, 27, "AA列")

    ws2 = b.sheet(SHEET2)
    b.put(ws2, 1, 2, "担当")   # empty A1, gap in the header row
    b.put(ws2, 1, 4, "売上")
    for r in range(2, 40):
        b.put(ws2, r, 2, GIVEN[r % len(GIVEN)] + "さん")
        b.put(ws2, r, 4, r * 1000 + 0.5 * (r % 2))
        b.put(ws2, r, 5, datetime.date(2024, 1, 1) + datetime.timedelta(days=r), "yyyy/mm/dd")
    return b


def dates1904_book():
    b = Book("dates1904", epoch1904=True)
    ws = b.sheet("日付")
    b.put(ws, 1, 1, "日付")
    b.put(ws, 1, 2, "数")
    for r, day in enumerate([datetime.date(1904, 1, 2), datetime.date(2000, 2, 29), datetime.date(2024, 12, 31)], 2):
        b.put(ws, r, 1, day, "yyyy-mm-dd")
        b.put(ws, r, 2, r)
    return b


def formats_book():
    """Number formats through LibreOffice's conversion: each cell with the text Excel shows."""
    b = Book("formats")
    ws = b.sheet("書式")
    cases = [
        ("#,##0", 1200, "1,200"), ("000-0000-0000", 9012345678, "090-1234-5678"), ("0%", 0.25, "25%"),
        ('#,##0"円"', 1200, "1,200円"), ('"¥"#,##0;"¥"\\-#,##0', -1200, "￥-1,200"),
        ("0.00E+00", 12345, "1.23E+04"), ("# ?/?", 1.5, "1 1/2"), ("[mm]:ss", 0.5, "720:00"),
        ("[s]", 0.01, "864"), ("#,##0,", 1234567, "1,235"), ("0.0%", -0.0512, "-5.1%"),
    ]
    for r, (fmt, value, shown) in enumerate(cases, 1):
        b.put(ws, r, 1, fmt)
        b.put(ws, r, 2, value, fmt, shown=shown)
    r = len(cases) + 1
    b.put(ws, r, 2, datetime.date(2026, 12, 10), '[$-411]ggge"年"m"月"d"日"')
    b.put(ws, r + 1, 2, datetime.date(2026, 12, 10), "yyyy/m/d aaa")
    b.put(ws, r + 2, 2, "山田", '@"様"', shown="山田様")
    return b


def large_book():
    """A workbook whose .xls needs more FAT sectors than the compound file header lists
    (over 7 MB): unique long texts and numbers in 20,000 rows. Its cells are not listed in
    the manifest; the test compares it with its .xlsx."""
    rnd = random.Random(20000)
    b = Book("large")
    ws = b.sheet("大量データ")
    kanji = "東京大阪名古屋福岡札幌仙台広島京都神戸横浜千葉埼玉営業企画開発総務経理人事製造販売"
    for r in range(1, 20001):
        ws.cell(row=r, column=1, value="".join(rnd.choice(kanji) for _ in range(70)))
        ws.cell(row=r, column=2, value="customer-%06d-" % r + "".join(rnd.choice("abcdefghij") for _ in range(40)))
        ws.cell(row=r, column=3, value=rnd.uniform(-1e6, 1e6))
        ws.cell(row=r, column=4, value="%d番　" % r + "".join(rnd.choice(kanji) for _ in range(68)))
    return b, ws.title, 20000


def make_rich(path):
    """Turns the shared string "rich:太字" into a rich-text string of two runs."""
    with zipfile.ZipFile(path) as z:
        members = [(i, z.read(i.filename)) for i in z.infolist()]
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        for info, data in members:
            if info.filename == "xl/sharedStrings.xml":
                text = data.decode("utf-8")
                rich = ('<si><r><t>rich:</t></r><r><rPr><b val="1"/><sz val="11"/></rPr>'
                        '<t>太字</t></r></si>')
                text, n = re.subn(r"<si><t>rich:太字</t></si>", rich, text)
                assert n == 1, "rich text string not found"
                data = text.encode("utf-8")
            z.writestr(info, data)
    with open(path, "wb") as f:
        f.write(out.getvalue())


def lo_version():
    try:
        return subprocess.run(["soffice", "--version"], capture_output=True, text=True, timeout=120).stdout.strip()
    except Exception:
        return "unknown"


def build(target):
    large, large_sheet, large_rows = large_book()
    books = [values_book(), dates1904_book(), formats_book(), large]
    manifest = []
    for b in books:
        path = os.path.join(target, b.name + ".xlsx")
        b.wb.save(path)
        manifest += b.lines
    with open(os.path.join(target, "large.tsv"), "w", encoding="utf-8") as f:
        f.write("%s\t%d\n" % (large_sheet.encode("utf-8").hex(), large_rows))
    make_rich(os.path.join(target, "values.xlsx"))
    profile = tempfile.mkdtemp(prefix="rowcaster-lo-")
    try:
        cmd = ["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--norestore",
               "--convert-to", "xls", "--outdir", target] + [os.path.join(target, b.name + ".xlsx") for b in books]
        subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=240)
    finally:
        shutil.rmtree(profile, ignore_errors=True)
    for b in books:
        if not os.path.exists(os.path.join(target, b.name + ".xls")):
            sys.exit("LibreOffice did not write %s.xls" % b.name)
    with open(os.path.join(target, "manifest.tsv"), "w", encoding="utf-8") as f:
        f.write("\n".join(manifest) + "\n")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--out", required=True)
    ap.add_argument("--cache")
    args = ap.parse_args()
    with open(__file__, "rb") as f:
        key = hashlib.sha256(f.read() + lo_version().encode()).hexdigest()[:16]
    cache = args.cache or os.path.join(args.out, ".cache")
    ready = os.path.join(cache, key)
    if not os.path.isdir(ready):
        os.makedirs(cache, exist_ok=True)
        work = tempfile.mkdtemp(prefix="tmp-", dir=cache)
        build(work)
        try:
            os.rename(work, ready)
        except OSError:  # another run got there first
            shutil.rmtree(work, ignore_errors=True)
    os.makedirs(args.out, exist_ok=True)
    for name in os.listdir(ready):
        shutil.copyfile(os.path.join(ready, name), os.path.join(args.out, name))
    print("workbooks in", args.out, "(cache", ready + ")")


if __name__ == "__main__":
    main()
