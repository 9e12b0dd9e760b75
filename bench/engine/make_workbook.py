#!/usr/bin/python3
"""Writes the benchmark's recipient workbook: a header row and N rows of Japanese names."""
import sys

import openpyxl

path, rows = sys.argv[1], int(sys.argv[2])
book = openpyxl.Workbook(write_only=True)
sheet = book.create_sheet("顧客")
sheet.append(["会社名", "氏名", "部署", "メール"])
for i in range(rows):
    sheet.append(["株式会社東邦%05d" % i, "山田 太郎%05d" % i, "営業部", "user%05d@example.jp" % i])
book.save(path)
