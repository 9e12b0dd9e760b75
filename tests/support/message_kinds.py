"""Every kind of message Rowcaster writes, as fixtures for the judges of its mail: the strict
SMTPS server, Python's email parser and SpamAssassin.

A kind is a body file (its bytes exactly as a user's editor saves them), a title and a sender
name, and the extended settings ("Options.def") with the files they name; every kind is sent for
the same one-row workbook. `deliver` sends each kind through the
real runner, the real transfer tool (curl) and a local SMTPS server, and returns the messages as
received. `expected_parts` says what every part of a kind's message must decode to.
"""
import os
import subprocess

import openpyxl

from settings_file import write_plain_settings
from smtps_server import SmtpsServer
import test_ca

LOGIN, PASSWORD = "sales", "secret"
SENDER = "東邦商事 営業部"
LONG_SENDER = "東邦商事株式会社 東日本営業本部 第二営業部 法人営業課 担当 山田太郎"
TITLE = "{会社名} {氏名}様 新製品説明会のご案内"
LONG_TITLE = ("【ご案内】{会社名} {氏名}様 2025年度 新製品発表会および技術セミナー開催のお知らせ"
              "（参加費無料・事前登録制・定員になり次第締め切り）")

HEADER = ["会社名", "氏名", "メール", "備考"]
# The note holds a line break typed with Alt+Enter, which a workbook keeps as a lone LF.
ROW = ["北斗電機株式会社", "佐藤 一郎", "sato@example.jp", "ご来場の際は受付で\nお名前をお伝えください。"]
FIELDS = dict(zip(HEADER, ROW))

LETTER = """{会社名}
{氏名} 様

いつもお世話になっております。東邦商事 営業部です。

来月、新製品の説明会を開催いたします。
日時：6月12日（木）14:00～16:00
会場：東邦商事 本社 3階会議室

{備考}

ご都合をお聞かせいただければ幸いです。
何卒よろしくお願いいたします。

東邦商事株式会社 営業部
電話 03-1234-5678
"""

# A paragraph typed without breaks: 40 sentences, about 1,900 characters on one line.
PARAGRAPH = ("弊社では、お客様の業務効率化を支援するため、最新の技術を取り入れた製品開発に取り組んでおります。"
             "今回の説明会では、その成果をご紹介いたします。") * 27
LONG_LINE_LETTER = LETTER.replace("来月、新製品の説明会を開催いたします。\n", PARAGRAPH + "\n")

HTML = """<!DOCTYPE html>
<html lang="ja">
<head>
<meta charset="utf-8">
<title>新製品説明会のご案内</title>
<style>
p { margin: 0 0 1em; }
</style>
</head>
<body>
<p>{会社名}<br>
{氏名} 様</p>
<p>いつもお世話になっております。東邦商事 営業部です。</p>
<p>来月、新製品の説明会を開催いたします。</p>
<table>
<tr><th>日時</th><td>6月12日（木）14:00～16:00</td></tr>
<tr><th>会場</th><td>東邦商事 本社 3階会議室</td></tr>
</table>
<p>{備考}</p>
<!-- 配信管理番号 2025-06 -->
<p>詳しくは<a href="https://www.example.jp/seminar/?from=mail&amp;id=25">説明会のページ</a>をご覧ください。</p>
<p>東邦商事株式会社 営業部<br>
電話 03-1234-5678</p>
</body>
</html>
"""

HTML_TEXT = """北斗電機株式会社
佐藤 一郎 様

いつもお世話になっております。東邦商事 営業部です。

来月、新製品の説明会を開催いたします。

日時 6月12日（木）14:00～16:00
会場 東邦商事 本社 3階会議室

ご来場の際は受付でお名前をお伝えください。

詳しくは説明会のページ <https://www.example.jp/seminar/?from=mail&id=25>をご覧ください。

東邦商事株式会社 営業部
電話 03-1234-5678
"""

HTML_SJIS = (HTML.replace('<meta charset="utf-8">',
                          '<meta http-equiv="Content-Type" content="text/html; charset=Shift_JIS">')
             .replace("\n", "\r\n"))

# Minified, without a charset declaration: the whole document on one line.
HTML_MINIFIED = ("<html><head><title>ご案内</title></head><body>"
                 + "".join(line.strip() for line in HTML.split("<body>")[1].split("</html>")[0].splitlines())
                 .replace("</body>", "")
                 + "<p>" + PARAGRAPH + "</p></body></html>")
HTML_MINIFIED_TEXT = HTML_TEXT + "\n" + PARAGRAPH + "\n"


# A small but whole PDF (one empty page), as a quotation would be attached.
PDF = (b"%PDF-1.4\n%\xe2\xe3\xcf\xd3\n1 0 obj<</Type/Catalog/Pages 2 0 R>>endobj\n"
       b"2 0 obj<</Type/Pages/Kids[3 0 R]/Count 1>>endobj\n"
       b"3 0 obj<</Type/Page/Parent 2 0 R/MediaBox[0 0 595 842]>>endobj\n"
       b"trailer<</Root 1 0 R>>\n%%EOF\n")
# The header line a kind with List-Unsubscribe must carry, filled for ROW.
UNSUBSCRIBE = "mailto:unsubscribe@example.com?subject=unsubscribe%20{メール}, https://www.example.jp/unsubscribe?m={メール}"


class Kind:
    def __init__(self, name, body_name, body, text, html=None, title=TITLE, sender=SENDER, options=None,
                 files=()):
        """name: how reports call it. body: the body file's bytes. text: the body as it reads
        (str, placeholders unfilled) for a plain body, or the expected plain-text part (filled)
        for an HTML one, whose filled HTML is `html` (str, placeholders unfilled). options:
        Options.def's values ({key: str}). files: [(file name, bytes)] written beside the body
        and attached to the mail (AttachFiles)."""
        self.name, self.body_name, self.body = name, body_name, body
        self.text, self.html, self.title, self.sender = text, html, title, sender
        self.options, self.files = dict(options or {}), list(files)

    def content_type(self):
        """The message's own content type."""
        if self.files:
            return "multipart/mixed"
        return "text/plain" if self.html is None else "multipart/alternative"


def fill(text):
    for name, value in FIELDS.items():
        text = text.replace("{%s}" % name, value)
    return text


def crlf(text):
    """Every line end as CR LF, as the message carries it."""
    return text.replace("\r\n", "\n").replace("\r", "\n").replace("\n", "\r\n")


KINDS = [
    Kind("plain-sjis", "本文.txt", crlf(LETTER).encode("cp932"), LETTER),
    Kind("plain-utf8", "本文.txt", crlf(LETTER).encode("utf-8"), LETTER),
    Kind("plain-lf", "本文.txt", LETTER.encode("utf-8"), LETTER),
    Kind("plain-long-line", "本文.txt", crlf(LONG_LINE_LETTER).encode("utf-8"), LONG_LINE_LETTER),
    Kind("plain-utf16", "本文.txt", b"\xff\xfe" + crlf(LETTER).encode("utf-16-le"), LETTER),
    Kind("long-title-sender", "本文.txt", crlf(LETTER).encode("cp932"), LETTER, title=LONG_TITLE,
         sender=LONG_SENDER),
    Kind("html-utf8", "本文.html", HTML.encode("utf-8"), HTML_TEXT, html=HTML),
    Kind("html-sjis", "本文.html", HTML_SJIS.encode("cp932"), HTML_TEXT, html=HTML_SJIS),
    Kind("html-minified", "本文.htm", HTML_MINIFIED.encode("utf-8"), HTML_MINIFIED_TEXT, html=HTML_MINIFIED),
    Kind("plain-attachment", "本文.txt", crlf(LETTER).encode("cp932"), LETTER,
         files=[("御見積書（北斗電機様）.pdf", PDF)]),
    Kind("html-attachment-unsubscribe", "本文.html", HTML.encode("utf-8"), HTML_TEXT, html=HTML,
         options={"ListUnsubscribe": UNSUBSCRIBE}, files=[("会社案内.pdf", PDF)]),
    Kind("html-unsubscribe", "本文.html", HTML.encode("utf-8"), HTML_TEXT, html=HTML,
         options={"ListUnsubscribe": UNSUBSCRIBE}),
]


def expected_parts(kind):
    """[(content type, text)] that the message's parts must decode to, in order (line ends
    CR LF)."""
    if kind.html is None:
        return [("text/plain", crlf(fill(kind.text)))]
    return [("text/plain", crlf(kind.text)), ("text/html", crlf(fill(kind.html)))]


def write_options(folder, values):
    """Writes "Options.def" in `folder`: Key=Value lines in code page 932 with CR LF."""
    with open(os.path.join(folder, "Options.def"), "wb") as f:
        f.write("".join("%s=%s\r\n" % item for item in values.items()).encode("cp932"))


def write_workbook(path):
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "顧客"
    sheet.append(HEADER)
    sheet.append(ROW)
    book.save(path)


def deliver(runner, root, strict=True, kinds=KINDS):
    """Sends every kind through `runner` (a rowcaster-send program) and curl to a local SMTPS
    server in `root`, a strict one or one that takes every message as it comes; returns {kind name: (runner exit status, output lines, received bytes or
    None)}."""
    program_data = os.path.join(root, "ProgramData")
    data = os.path.join(program_data, "Tallowmere", "Rowcaster")
    os.makedirs(data, exist_ok=True)
    workbook = os.path.join(root, "顧客リスト.xlsx")
    write_workbook(workbook)
    env = dict(test_ca.trust(os.environ), ProgramData=program_data, ROWCASTER_TEST_PAUSE_MS="0")
    results = {}
    with SmtpsServer(os.path.join(root, "mail"), logins={LOGIN: PASSWORD}, strict=strict,
                     long_lines=not strict) as server:
        for kind in kinds:
            folder = os.path.join(root, kind.name)
            os.makedirs(folder, exist_ok=True)
            body = os.path.join(folder, kind.body_name)
            with open(body, "wb") as f:
                f.write(kind.body)
            paths = []
            for name, content in kind.files:
                paths.append(os.path.join(folder, name))
                with open(paths[-1], "wb") as f:
                    f.write(content)
            options = dict(kind.options)
            if paths:
                options["AttachFiles"] = ";".join(paths)
            write_options(data, options)
            # The runner stores the settings scrambled when it ends; the plain file is read
            # only when no stored one exists.
            stored = os.path.join(data, "Environ.psw")
            if os.path.exists(stored):
                os.remove(stored)
            write_plain_settings(data, {
                "MailAddress": "sales@example.com", "LoginId": LOGIN, "Password": PASSWORD,
                "SenderName": kind.sender, "SmtpServer": "127.0.0.1", "SmtpPort": str(server.port),
                "MailTitle": kind.title, "BodyFile": body, "ListFile": workbook, "SheetName": "顧客",
                "MailColumn": "C", "StartRow": "2", "EndRow": "2", "IntervalSeconds": "1",
                "TestAddress": "test@example.com"})
            before = len(server.messages())
            done = subprocess.run([runner, "--test"], env=env, capture_output=True, timeout=120)
            received = server.messages()[before:]
            results[kind.name] = (done.returncode, done.stdout.decode("utf-8", "replace").splitlines(),
                                  received[0]["data"] if received else None)
    return results
