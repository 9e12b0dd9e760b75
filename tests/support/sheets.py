"""Workbooks for the delivery tests, written by openpyxl."""
import openpyxl


def write_sheet(path, rows, title="顧客"):
    """Writes an .xlsx at path whose one sheet, named title, holds rows (lists of cell values,
    the field names first), and returns path."""
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = title
    for row in rows:
        sheet.append(row)
    book.save(path)
    return path
