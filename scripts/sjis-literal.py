#!/usr/bin/python3
"""Rewrites the Shift-JIS column of every text-catalogue entry in the given files.

An entry is a line  X(kName, "UTF-8 text", "Shift-JIS bytes")  (possibly ending with a
backslash); the third column is made anew from the second, as a C literal of code page 932
bytes: printable ASCII as it is, every other byte as \\xHH, split where a hex escape would run
into a following hex digit. With --check, nothing is written and the exit status is 1 when some
column differs.
    scripts/sjis-literal.py [--check] FILE...
"""
import re
import sys

ENTRY = re.compile(r'^(\s*X\((\w+),\s*)("(?:[^"\\]|\\.)*")(,\s*)("(?:[^"\\]|\\.)*"(?:\s*"(?:[^"\\]|\\.)*")*)(\).*)$')


def c_string_value(literal):
    """The bytes of a C string literal made of one or more "..." pieces (UTF-8 source)."""
    out = bytearray()
    for piece in re.findall(r'"((?:[^"\\]|\\.)*)"', literal):
        data = piece.encode("utf-8")
        i = 0
        while i < len(data):
            c = data[i]
            if c != 0x5C:
                out.append(c)
                i += 1
                continue
            e = chr(data[i + 1])
            if e == "x":
                m = re.match(rb"[0-9A-Fa-f]+", data[i + 2:])
                out.append(int(m.group(0), 16) & 0xFF)
                i += 2 + len(m.group(0))
            elif e in "01234567":
                m = re.match(rb"[0-7]{1,3}", data[i + 1:])
                out.append(int(m.group(0), 8))
                i += 1 + len(m.group(0))
            else:
                out.append({"n": 10, "r": 13, "t": 9, "\\": 92, '"': 34, "'": 39, "?": 63}[e])
                i += 2
    return bytes(out)


def sjis_literal(data):
    """C literal text for the bytes: ASCII printable kept, others \\xHH, hex runs split."""
    parts = []
    escaped_last = False
    for b in data:
        ch = chr(b)
        if 0x20 <= b < 0x7F and ch not in '"\\':
            if escaped_last and ch in "0123456789abcdefABCDEF":
                parts.append('" "')
            parts.append(ch)
            escaped_last = False
        elif ch in '"\\':
            parts.append("\\" + ch)
            escaped_last = False
        else:
            parts.append("\\x%02X" % b)
            escaped_last = True
    return '"' + "".join(parts) + '"'


def main(argv):
    check = "--check" in argv
    files = [a for a in argv if a != "--check"]
    differs = False
    for path in files:
        with open(path, encoding="utf-8") as f:
            lines = f.read().split("\n")
        for n, line in enumerate(lines):
            m = ENTRY.match(line)
            if not m:
                continue
            text = c_string_value(m.group(3)).decode("utf-8")
            new = sjis_literal(text.encode("cp932"))
            if new != m.group(5):
                differs = True
                if check:
                    print("%s:%d: %s differs" % (path, n + 1, m.group(2)))
                lines[n] = m.group(1) + m.group(3) + m.group(4) + new + m.group(6)
        if not check:
            with open(path, "w", encoding="utf-8") as f:
                f.write("\n".join(lines))
    return 1 if (check and differs) else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
