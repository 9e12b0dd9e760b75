"""The program's settings files as the tests write and read them: "Environ.def", fifteen
lines each ended by CR LF in code page 932, its scrambled stored form "Environ.psw", and the
options beyond them, "Options.def" ("Key=Value" lines, CR LF, code page 932)."""
import os

FIELDS = ["MailAddress", "LoginId", "Password", "SenderName", "SmtpServer", "SmtpPort", "MailTitle",
          "BodyFile", "ListFile", "SheetName", "MailColumn", "StartRow", "EndRow", "IntervalSeconds",
          "TestAddress"]


def scramble(data):
    """The stored settings form: byte k is nibble-swap(NOT byte n-1-k); the middle byte of an
    odd length stays. Its own inverse."""
    n = len(data)
    out = bytearray(data)
    for k in range(n):
        if n % 2 == 1 and k == n // 2:
            continue
        b = (~data[n - 1 - k]) & 0xFF
        out[k] = ((b << 4) | (b >> 4)) & 0xFF
    return bytes(out)


def write_plain_settings(folder, values):
    """Writes "Environ.def" in `folder` from a dict of the fifteen fields (texts, or bytes
    written as they are)."""
    raw = b"".join((values[k].encode("cp932") if isinstance(values[k], str) else values[k]) + b"\r\n"
                   for k in FIELDS)
    with open(os.path.join(folder, "Environ.def"), "wb") as f:
        f.write(raw)


def write_options(folder, values):
    """Writes "Options.def" in `folder` from a dict of keys and values; an empty dict removes
    the file (every option then takes its default)."""
    path = os.path.join(folder, "Options.def")
    if not values:
        if os.path.exists(path):
            os.remove(path)
        return
    with open(path, "wb") as f:
        f.write("".join("%s=%s\r\n" % item for item in values.items()).encode("cp932"))
