"""What the fault, crash and long-run tests share: a throw-away data folder for the real
runner, workbooks written by openpyxl, settings, the send log, and the messages a server got."""
import email
import email.policy
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "support"))
from sheets import write_sheet  # noqa: E402
from settings_file import write_plain_settings  # noqa: E402
import test_ca  # noqa: E402

RUNNER = os.environ.get("ROWCASTER_SEND", "")
LOGIN, PASSWORD = "sales", "s3cret"
HEADER = ["会社名", "氏名", "メール"]
TITLE = "{会社名} {氏名}様へのご案内"

SENT = "[{row}]行の[{address}]にメール送信しました。"
FAILED = "[{row}]行の[{address}]へのメール送信に失敗しました。（{reason}）"
# Why a row failed, from curl's exit code.
LOGIN_DENIED = "ログインできません"
NO_CONNECTION = "サーバーに接続できません"
NO_TLS = "暗号化通信を開始できません"
REFUSED = "送信元・宛先またはメールが拒否されました"
TIMED_OUT = "送信ツールが制限時間内に終了しませんでした"
FINISHED = "メール送信を終了しました。"
FINISHED_FAILED = "メール送信を終了しました。送信に失敗した行が{count}件あります。"
LOG_LINE = re.compile(r"^\d{4}/\d\d/\d\d \d\d:\d\d:\d\d 行番号\[(\d{4,})\] タイトル\[(.*)\] 送信先アドレス\[(.*)\]$")


def address_of(row):
    return "customer%05d@example.jp" % row


def recipient_rows(first, last):
    """Rows first..last of a sheet, one distinct address each."""
    return [["会社%d" % r, "顧客%d" % r, address_of(r)] for r in range(first, last + 1)]


class Workspace:
    def __init__(self, prefix="rowcaster-faults-"):
        self.root = tempfile.mkdtemp(prefix=prefix)
        self.program_data = os.path.join(self.root, "ProgramData")
        self.data = os.path.join(self.program_data, "Tallowmere", "Rowcaster")
        os.makedirs(self.data)
        self.workbook = os.path.join(self.root, "顧客リスト.xlsx")
        self.body = os.path.join(self.root, "本文.txt")
        with open(self.body, "w", encoding="utf-8", newline="") as f:
            f.write("{会社名}\r\n{氏名} 様\r\nいつもお世話になっております。\r\n")
        self.settings = {}

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)

    def write_workbook(self, rows, header=HEADER):
        write_sheet(self.workbook, [header] + list(rows))

    def write_settings(self, port, **overrides):
        values = {
            "MailAddress": "sales@example.com", "LoginId": LOGIN, "Password": PASSWORD,
            "SenderName": "営業部", "SmtpServer": "127.0.0.1", "SmtpPort": str(port),
            "MailTitle": TITLE, "BodyFile": self.body, "ListFile": self.workbook,
            "SheetName": "顧客", "MailColumn": "C", "StartRow": "2", "EndRow": "999",
            "IntervalSeconds": "1", "TestAddress": "test@example.com",
        }
        values.update(overrides)
        self.settings = values
        write_plain_settings(self.data, values)
        # The stored form would win over the plain file at start-up.
        psw = os.path.join(self.data, "Environ.psw")
        if os.path.exists(psw):
            os.remove(psw)

    def env(self, tool_limit_ms=None, pause_ms=0):
        # curl verifies the local servers' certificates against the suite's authority.
        env = test_ca.trust(os.environ)
        env["ProgramData"] = self.program_data
        env["ROWCASTER_TEST_PAUSE_MS"] = str(pause_ms)
        if tool_limit_ms is not None:
            env["ROWCASTER_TEST_TOOL_LIMIT_MS"] = str(tool_limit_ms)
        return env

    def run(self, *args, timeout=180, **env_args):
        """Runs the runner to its end: (exit status, status lines)."""
        done = subprocess.run([RUNNER, *args], env=self.env(**env_args), capture_output=True, timeout=timeout)
        return done.returncode, done.stdout.decode("utf-8").splitlines()

    def start(self, *args, output=None, **env_args):
        """Starts the runner without waiting (its own process group). Its status lines go to
        the file `output` when given (a long run fills any pipe), else to a pipe."""
        return subprocess.Popen([RUNNER, *args], env=self.env(**env_args),
                                stdout=output if output is not None else subprocess.PIPE,
                                stderr=subprocess.DEVNULL, start_new_session=True)

    def log_bytes(self):
        path = os.path.join(self.data, "SendLogs.txt")
        if not os.path.exists(path):
            return b""
        with open(path, "rb") as f:
            return f.read()

    def log_entries(self):
        """(row, title, address) of every log line; raises on a line that is not whole."""
        raw = self.log_bytes()
        entries = []
        if not raw:
            return entries
        if not raw.endswith(b"\r\n"):
            raise AssertionError("the log ends inside a line: %r" % raw[-80:])
        for line in raw[:-2].split(b"\r\n"):
            m = LOG_LINE.match(line.decode("cp932"))
            if not m:
                raise AssertionError("not a whole log line: %r" % line)
            entries.append((int(m.group(1)), m.group(2), m.group(3)))
        return entries


def delivered(server):
    """The recipients of every message the server saved, in order of arrival."""
    out = []
    for m in server.messages():
        out.extend(m["rcpt_tos"])
    return out


def subject_of(message):
    parsed = email.message_from_bytes(message["data"], policy=email.policy.default)
    return str(parsed["Subject"])


def kill_group(process):
    """Ends a runner started with start() and everything it started."""
    try:
        os.killpg(process.pid, signal.SIGKILL)
    except ProcessLookupError:
        pass
    process.wait(timeout=30)
    if process.stdout:
        process.stdout.close()

