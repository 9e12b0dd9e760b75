#!/usr/bin/python3
"""Time per mail through the Windows programs under Wine, so that the transfer tool's share is
visible: the window (Rowcaster.exe, driven by window_bench.exe) and the runner
(rowcaster-send.exe), each once with the real SMTP.exe (curl built for Windows) delivering to
the suite's local SMTPS server and once with the stand-in tool, which takes the message file
and exits at once. Test runs with no pause between rows; a mail's time is taken between the
status lines of the first and the last row, so start-up stays out.

    bench/wine_tool/run.py <Windows build folder> [rows]     (make bench-wine-tool)

Run it inside scripts/wine-session.sh. The runner uses the prefix's own C:\\ProgramData.
"""
import os
import shutil
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE = os.path.abspath(os.path.join(HERE, "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tests", "support"))
from settings_file import write_plain_settings  # noqa: E402
from smtps_server import SmtpsServer  # noqa: E402
import test_ca  # noqa: E402

WINE_RUN = os.path.join(SOURCE, "scripts", "wine-run.sh")
SENT = "行の[test@example.jp]にメール送信しました。"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def program_folder(root, name, build, tool):
    """A folder with the programs and the given tool as SMTP.exe."""
    folder = os.path.join(root, name)
    os.makedirs(folder)
    for program in ("Rowcaster.exe", "GridBridge.dll", "rowcaster-send.exe", "window_bench.exe"):
        shutil.copy(os.path.join(build, "bin", program), folder)
    shutil.copy(tool, os.path.join(folder, "SMTP.exe"))
    return folder


def window_ms(folder, rows, port):
    done = subprocess.run(["bash", WINE_RUN, os.path.join(folder, "window_bench.exe"), str(rows), str(port)],
                          env=test_ca.trust(os.environ, windows=True), capture_output=True, timeout=900)
    out = done.stdout.decode("utf-8", "replace").strip()
    if done.returncode != 0 or not out.startswith("ms per mail: "):
        raise RuntimeError("window bench: " + out)
    return float(out.split(": ")[1])


def clear_data(data):
    for name in ("Environ.def", "Environ.psw", "SendLogs.txt", "SendMail.txt", "Options.def"):
        if os.path.exists(os.path.join(data, name)):
            os.remove(os.path.join(data, name))


def runner_ms(folder, rows, port, root, prefix):
    data = os.path.join(prefix, "drive_c", "ProgramData", "Tallowmere", "Rowcaster")
    os.makedirs(data, exist_ok=True)
    clear_data(data)
    listing = os.path.join(root, "list.csv")
    with open(listing, "w", encoding="utf-8", newline="") as f:
        f.write("name,email\r\n" + "".join("Name%d,row%d@example.jp\r\n" % (i, i) for i in range(1, rows + 1)))
    body = os.path.join(root, "body.txt")
    with open(body, "w", encoding="utf-8", newline="") as f:
        f.write("Dear {name},\r\nnews.\r\n")
    write_plain_settings(data, {
        "MailAddress": "sales@example.jp", "LoginId": "sales", "Password": "secret", "SenderName": "Sales",
        "SmtpServer": "127.0.0.1", "SmtpPort": str(port), "MailTitle": "News for {name}",
        "BodyFile": windows_path(body), "ListFile": windows_path(listing), "SheetName": "list",
        "MailColumn": "B", "StartRow": "2", "EndRow": str(rows + 1), "IntervalSeconds": "-1",
        "TestAddress": "test@example.jp"})
    seen = {}
    with subprocess.Popen(["bash", WINE_RUN, os.path.join(folder, "rowcaster-send.exe"), "--test"],
                          env=test_ca.trust(os.environ, windows=True), stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL) as run:
        for raw in run.stdout:
            now = time.monotonic()
            line = raw.decode("utf-8", "replace").strip()
            if line.startswith("[") and line.endswith(SENT):
                seen[int(line[1:line.index("]")])] = now
    clear_data(data)
    if len(seen) != rows:
        raise RuntimeError("runner: %d of %d rows sent" % (len(seen), rows))
    return 1000.0 * (seen[rows + 1] - seen[2]) / (rows - 1)


def main(argv):
    build = os.path.abspath(argv[1])
    rows = int(argv[2]) if len(argv) > 2 else 20
    prefix = os.environ.get("WINEPREFIX", os.path.join(SOURCE, "build", "wineprefix"))
    root = tempfile.mkdtemp(prefix="rowcaster-bench-wine-tool-", dir=build)
    try:
        folders = {
            "stand-in": program_folder(root, "standin", build, os.path.join(build, "bin", "gui_tool_standin.exe")),
            "SMTP.exe": program_folder(root, "real", build, os.path.join(build, "bin", "SMTP.exe")),
        }
        results = {}
        with SmtpsServer(os.path.join(root, "mail"), logins={"sales": "secret"}) as server:
            for tool, folder in folders.items():
                results[("window", tool)] = window_ms(folder, rows, server.port)
                results[("rowcaster-send", tool)] = runner_ms(folder, rows, server.port, root, prefix)
            delivered = len(server.messages())
        print("Time per mail under Wine: test runs of %d rows, no pause between rows" % rows)
        print("%-16s %12s %16s %8s" % ("", "stand-in", "SMTP.exe (curl)", "ratio"))
        for program in ("window", "rowcaster-send"):
            standin, real = results[(program, "stand-in")], results[(program, "SMTP.exe")]
            print("%-16s %9.0f ms %13.0f ms %7.1fx" % (program, standin, real, real / standin))
        print("mails delivered by SMTP.exe: %d of %d" % (delivered, 2 * rows))
        return 0 if delivered == 2 * rows else 1
    finally:
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
