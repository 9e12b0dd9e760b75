#!/usr/bin/python3
"""The peer in the benchmark: opens the workbook read-only and touches every value."""
import sys

import openpyxl

wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
ws = wb[sys.argv[2]] if len(sys.argv) > 2 else wb.active
count = 0
for row in ws.iter_rows(values_only=True):
    for v in row:
        if v is not None:
            count += 1
wb.close()
print(count)
