#!/usr/bin/env python3
"""Writes the sample list and body that ship with the program: a small workbook whose first
row names the fields, and a Shift-JIS body that uses them as {placeholders}."""
import sys
from pathlib import Path

from openpyxl import Workbook

ROWS = [
    ("会社名", "氏名", "メール", "担当"),
    ("株式会社サンプル商事", "山田 太郎", "yamada@example.co.jp", "佐藤"),
    ("見本工業株式会社", "鈴木 花子", "suzuki@example.com", "佐藤"),
    ("有限会社テスト物産", "高橋 一郎", "takahashi@example.net", "田中"),
]

BODY = """{会社名}
{氏名} 様

いつもお世話になっております。
担当の{担当}でございます。

このたび新製品のご案内をお送りいたします。
ご不明な点がございましたら、お気軽にお問い合わせください。

今後ともよろしくお願い申し上げます。
"""


def main(folder: str) -> None:
    out = Path(folder)
    out.mkdir(parents=True, exist_ok=True)
    wb = Workbook()
    ws = wb.active
    ws.title = "Sheet1"
    for row in ROWS:
        ws.append(row)
    wb.save(out / "sample-list.xlsx")
    (out / "sample-body.txt").write_bytes(BODY.replace("\n", "\r\n").encode("cp932"))


if __name__ == "__main__":
    main(sys.argv[1])
