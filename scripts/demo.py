#!/usr/bin/python3
"""Runs the demo of rowcaster-send against a local SMTPS server (see scripts/demo.sh)."""
import argparse
import datetime
import email
import email.policy
import os
import shutil
import subprocess
import sys

import openpyxl

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
sys.path.insert(0, os.path.join(ROOT, "tests", "support"))
from smtps_server import SmtpsServer  # noqa: E402
import test_ca  # noqa: E402

TITLE = "【ご案内】{会社名} {氏名}様 新製品説明会のお知らせ"
BODY = """{会社名}
{部署} {氏名} 様

いつも大変お世話になっております。
タルモア株式会社 営業部の佐々木でございます。

このたび、新製品の説明会を下記のとおり開催いたします。
{氏名}様のご参加を心よりお待ちしております。

　日時：来月十日 午後二時から
　会場：本社ビル 三階 大会議室

タルモア株式会社 営業部 佐々木
"""
RECIPIENTS = [
    ("東邦商事株式会社", "山田 太郎", "営業部", "yamada@example.com"),
    ("北斗電機工業", "佐藤 花子", "購買課", "sato@example.net"),
    ("南海物産", "鈴木 一郎", "総務部", "suzuki@example.org"),
    ("西進システム", "高橋 美咲", "情報システム部", "takahashi@example.com"),
    ("大和ソリューションズ", "伊藤 健", "企画室", None),
    ("扶桑精機", "渡辺 直子", "資材部", "watanabe@example.jp"),
    ("瑞穂フーズ", "中村 翔", "営業推進課", "nakamura@example.co.jp"),
    ("ゾーン設計事務所", "小林 由美", "設計部", "kobayashi@example.com"),
    ("有明ロジスティクス", "加藤 誠", "物流管理部", "kato@example.net"),
    ("葵メディカル", "吉田 恵", "経理部", "yoshida@example.org"),
    ("白鷺建設", "山本 大輔", "工務部", "yamamoto@example.com"),
    ("千歳電子", "松本 彩", "開発部", "matsumoto@example.jp"),
]
ALREADY_SENT = 3  # 鈴木 一郎: logged by an earlier run
SETTINGS_ORDER = ["MailAddress", "LoginId", "Password", "SenderName", "SmtpServer", "SmtpPort",
                  "MailTitle", "BodyFile", "ListFile", "SheetName", "MailColumn", "StartRow",
                  "EndRow", "IntervalSeconds", "TestAddress"]


def banner(text):
    print("\n=== %s" % text, flush=True)


def filled_title(row):
    company, name, _, _ = RECIPIENTS[row - 2]
    return TITLE.replace("{会社名}", company).replace("{氏名}", name)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runner", required=True)
    parser.add_argument("--folder", required=True)
    args = parser.parse_args()
    runner = os.path.abspath(args.runner)
    folder = os.path.abspath(args.folder)
    shutil.rmtree(folder, ignore_errors=True)
    program_data = os.path.join(folder, "ProgramData")
    data = os.path.join(program_data, "Tallowmere", "Rowcaster")
    os.makedirs(data)

    workbook = os.path.join(folder, "顧客リスト.xlsx")
    book = openpyxl.Workbook()
    sheet = book.active
    sheet.title = "顧客一覧"
    sheet.append(["会社名", "氏名", "部署", "メールアドレス"])
    for company, name, section, address in RECIPIENTS:
        sheet.append([company, name, section, address])
    book.save(workbook)
    body = os.path.join(folder, "案内状.txt")
    with open(body, "w", encoding="utf-8", newline="\r\n") as f:
        f.write(BODY)

    server = SmtpsServer(os.path.join(folder, "received"), any_login=True)
    server.start()
    try:
        settings = {
            "MailAddress": "sasaki@tallowmere.example", "LoginId": "sasaki", "Password": "demo-password",
            "SenderName": "タルモア株式会社 営業部", "SmtpServer": "127.0.0.1", "SmtpPort": str(server.port),
            "MailTitle": TITLE, "BodyFile": body, "ListFile": workbook, "SheetName": "顧客一覧",
            "MailColumn": "D", "StartRow": "2", "EndRow": str(len(RECIPIENTS) + 1), "IntervalSeconds": "1",
            "TestAddress": "test-inbox@tallowmere.example",
        }
        with open(os.path.join(data, "Environ.def"), "wb") as f:
            f.write("".join(settings[k] + "\r\n" for k in SETTINGS_ORDER).encode("cp932"))
        # One row went out in an earlier run: its line is in the send log already.
        row = ALREADY_SENT + 1
        stamp = (datetime.datetime.now() - datetime.timedelta(days=1)).strftime("%Y/%m/%d %H:%M:%S")
        line = "%s 行番号[%04d] タイトル[%s] 送信先アドレス[%s]\r\n" % (
            stamp, row, filled_title(row), RECIPIENTS[row - 2][3])
        with open(os.path.join(data, "SendLogs.txt"), "wb") as f:
            f.write(line.encode("cp932"))

        # curl checks the local server's certificate against the demo's own authority.
        env = dict(test_ca.trust(os.environ), ProgramData=program_data)
        print("Local SMTPS server on 127.0.0.1:%d (curl verifies its certificate against the demo's own "
              "authority, %s), demo data folder %s" % (server.port, env["CURL_CA_BUNDLE"], data))
        banner("Test run: every row's mail goes to the test address, the log is left alone")
        subprocess.run([runner, "--test"], env=env)
        test_count = len(server.messages())
        banner("Real run: one mail per row, rows already in the send log are skipped")
        status = subprocess.run([runner], env=env).returncode
        print("rowcaster-send exit status: %d" % status)

        banner("What the server received")
        for i, m in enumerate(server.messages()):
            msg = email.message_from_bytes(m["data"], policy=email.policy.default)
            first = next((l for l in msg.get_content().splitlines() if l.strip()), "")
            kind = "test" if i < test_count else "real"
            print("[%s] %-30s %s / %s" % (kind, ",".join(m["rcpt_tos"]), msg["subject"], first))
        banner("Send log (%s)" % os.path.join(data, "SendLogs.txt"))
        with open(os.path.join(data, "SendLogs.txt"), "rb") as f:
            sys.stdout.write(f.read().decode("cp932").replace("\r\n", "\n"))
        print("\nSettings stored scrambled: %s" % ", ".join(sorted(os.listdir(data))))
    finally:
        server.stop()
        print("Server stopped.")


if __name__ == "__main__":
    main()
