#!/usr/bin/python3
"""Small workbooks built byte by byte for the tests: compound files (the container of .xls
workbooks and of password-protected ones), the BIFF records inside them, and the kinds of
workbook GridBridge refuses on purpose.

    compound_file(streams, mini_fat_count=None) -> bytes
    biff_record(type, data) -> bytes
    write_refused_workbooks(folder) -> {cause: path}
"""
import io
import os
import struct
import zipfile

SECTOR = 512
END, FREE, FAT_SECTOR = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def compound_file(streams, mini_fat_count=None):
    """A version 3 compound file whose root holds the streams [(name, bytes)], each padded with
    zeros to 4096 bytes so that all of them live in regular sectors. With mini_fat_count, the header
    also names a mini FAT of one (empty) sector and claims that many sectors for it."""
    padded = [(name, data, data + b"\0" * max(0, 4096 - len(data))) for name, data in streams]
    counts = [(len(p) + SECTOR - 1) // SECTOR for _, _, p in padded]
    dir_sectors = ((len(streams) + 1) * 128 + SECTOR - 1) // SECTOR
    mini_fat_sectors = 1 if mini_fat_count is not None else 0
    total = 1 + dir_sectors + mini_fat_sectors + sum(counts)
    assert total <= SECTOR // 4, "one FAT sector is enough for these small files"
    fat = [FREE] * (SECTOR // 4)
    fat[0] = FAT_SECTOR
    nxt = 1

    def chain(n):
        nonlocal nxt
        first = nxt
        for i in range(n):
            fat[nxt] = nxt + 1 if i + 1 < n else END
            nxt += 1
        return first

    dir_start = chain(dir_sectors)
    mini_fat_start = chain(mini_fat_sectors) if mini_fat_sectors else END
    starts = [chain(n) for n in counts]
    header = bytearray(SECTOR)
    header[0:8] = b"\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"
    struct.pack_into("<HHHHH", header, 24, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<IIIIIIIII", header, 40, 0, 1, dir_start, 0, 4096, mini_fat_start,
                     mini_fat_count or 0, END, 0)
    struct.pack_into("<109I", header, 76, *([0] + [FREE] * 108))
    directory = bytearray(dir_sectors * SECTOR)

    def entry(index, name, kind, right, child, start, size):
        at = index * 128
        raw = name.encode("utf-16-le")
        directory[at:at + len(raw)] = raw
        struct.pack_into("<HBB", directory, at + 64, len(raw) + 2, kind, 1)
        struct.pack_into("<III", directory, at + 68, FREE, right, child)
        struct.pack_into("<IQ", directory, at + 116, start, size)

    for i in range(dir_sectors * SECTOR // 128):
        struct.pack_into("<III", directory, i * 128 + 68, FREE, FREE, FREE)
    entry(0, "Root Entry", 5, FREE, 1 if streams else FREE, END, 0)
    for i, (name, _, p) in enumerate(padded):
        entry(i + 1, name, 2, i + 2 if i + 1 < len(padded) else FREE, FREE, starts[i], len(p))
    body = struct.pack("<%dI" % len(fat), *fat) + bytes(directory)
    if mini_fat_sectors:
        body += struct.pack("<128I", *([FREE] * 128))
    for _, _, p in padded:
        body += p + b"\0" * (-len(p) % SECTOR)
    return bytes(header) + body


def biff_record(kind, data=b""):
    return struct.pack("<HH", kind, len(data)) + data


def bof(version, kind):
    return biff_record(0x0809, struct.pack("<HHHHII", version, kind, 0, 0, 0, 0))


def write_refused_workbooks(folder):
    """Writes one workbook of each kind that is refused on purpose; returns {cause: path}."""
    os.makedirs(folder, exist_ok=True)
    books = {}

    def write(cause, name, data):
        path = os.path.join(folder, name)
        with open(path, "wb") as f:
            f.write(data)
        books[cause] = path

    # A password-protected .xlsx: a compound file of its encryption data and the package.
    write("encrypted", "暗号化.xlsx",
          compound_file([("EncryptionInfo", b"\x04\x00\x04\x00" + b"\x40" * 200), ("EncryptedPackage", bytes(range(256)) * 20)]))
    # A password-protected .xls: a BIFF8 workbook stream with a FILEPASS record.
    filepass = biff_record(0x002F, struct.pack("<HHH", 1, 1, 1) + b"\x11" * 48)
    write("encrypted_xls", "暗号化.xls", compound_file([("Workbook", bof(0x0600, 5) + filepass + biff_record(0x000A))]))
    # Excel 95: a BIFF5 stream named Book; Excel 4: a bare BIFF4 stream.
    write("old", "excel95.xls", compound_file([("Book", bof(0x0500, 5) + biff_record(0x000A))]))
    write("old_bare", "excel4.xls", biff_record(0x0409, struct.pack("<HHH", 0, 0x10, 0)) + biff_record(0x000A))
    # An Excel binary workbook: a package whose workbook part is xl/workbook.bin.
    out = io.BytesIO()
    with zipfile.ZipFile(out, "w", zipfile.ZIP_DEFLATED) as z:
        z.writestr("[Content_Types].xml", '<?xml version="1.0"?><Types xmlns="http://schemas.openxmlformats.org/package/2006/content-types"/>')
        z.writestr("_rels/.rels", '<?xml version="1.0"?><Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships">'
                   '<Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument"'
                   ' Target="xl/workbook.bin"/></Relationships>')
        z.writestr("xl/workbook.bin", b"\x83\x01\x00\x80\x01" + bytes(range(64)))
    write("binary", "binary.xlsb", out.getvalue())
    return books
