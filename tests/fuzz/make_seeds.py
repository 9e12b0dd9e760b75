"""Starting inputs for the fuzz targets, written fresh on every fuzz run.

Workbooks are written by openpyxl here, never kept as binary files in the tree."""
import io
import os
import sys

out = sys.argv[1]


def sj(text):
    return text.encode("cp932")


def put(target, name, data):
    folder = os.path.join(out, target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def scramble(data):
    n = len(data)
    b = bytearray(data)
    for k in range(n):
        if n % 2 == 1 and k == n // 2:
            continue
        v = ~data[n - 1 - k] & 0xFF
        b[k] = ((v << 4) | (v >> 4)) & 0xFF
    return bytes(b)


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
