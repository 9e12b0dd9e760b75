#!/usr/bin/env bash
# The release under Wine: the zip's contents, the guide's text, and the installer on a fresh
# prefix (install silently, start the installed program, send one test mail through the
# installed SMTP.exe to a local SMTPS server, uninstall, data folder kept).
#   install_test.sh <source dir> <Windows build dir>
set -u
src="$1"
build="$2"
fail=0
check() { if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; fail=1; fi; }

bash "$src/scripts/make-dist.sh" >/dev/null || { echo "FAILED: make-dist"; exit 1; }
dist="$src/build/dist"
zip="$dist/Rowcaster-1.0.0.1-win64.zip"
setup="$dist/Rowcaster-Setup-1.0.0.1.exe"
check "zip written" "[ -f '$zip' ]"
check "installer written" "[ -f '$setup' ]"

listing=$(unzip -Z1 "$zip" | sort | tr '\n' ' ')
expected="GridBridge.dll Rowcaster.exe SMTP.exe guide-ja.txt guide-options.png rowcaster-send.exe sample/ sample/sample-body.txt sample/sample-list.xlsx third-party/ third-party/curl-license.txt third-party/libxml2-license.txt "
check "zip lists the program, library, runner, transfer tool, guide with its picture, samples and the licences of curl and libxml2" "[ \"\$listing\" = \"\$expected\" ]"

check "zip's guide picture is the PNG of the tree" "unzip -p '$zip' guide-options.png | cmp -s - '$src/dist/guide-options.png'"

# SMTP.exe is the curl this build made, a Windows x86-64 program; its licence goes with it.
check "zip's SMTP.exe is the built one" "unzip -p '$zip' SMTP.exe | cmp -s - '$build/bin/SMTP.exe'"
check "SMTP.exe is a PE x86-64 program" "LC_ALL=C x86_64-w64-mingw32-objdump -f '$build/bin/SMTP.exe' | grep -q 'file format pei-x86-64'"
check "curl's licence with CR LF lines" "unzip -p '$zip' third-party/curl-license.txt | grep -q \$'^COPYRIGHT AND PERMISSION NOTICE\\r\$'"
curl_upstream=$(sed -nE 's/^curl ([^ ]+) .*/\1/p' "$build/third-party/curl-version.txt")
curl_debian=$(sed -nE 's/.*Debian source package curl ([^)]+)\)$/\1/p' "$build/third-party/curl-version.txt")

# One version everywhere: the program's version block, the file names above.
rc=$(x86_64-w64-mingw32-windres -i "$build/bin/Rowcaster.exe" -O rc 2>/dev/null)
for line in 'FILEVERSION 1, 0, 0, 1' 'PRODUCTVERSION 1, 0, 0, 1' 'VALUE "FileVersion", "1.0.0.1"' 'VALUE "ProductVersion", "1.0.0.1"'; do
  check "version block: $line" "grep -qF '$line' <<<\"\$rc\""
done

# The guide is Shift-JIS with CR LF line ends and reads as Japanese.
guide_check=$(unzip -p "$zip" guide-ja.txt | /usr/bin/python3 -c '
import sys
data = sys.stdin.buffer.read()
text = data.decode("cp932")
lines = data.split(b"\n")
assert all(l.endswith(b"\r") for l in lines[:-1]), "line ends"
for phrase in ("テスト送信", "{氏名}", "送信ログ", "詳細設定", "1 行目", "SMTP.exe", "third-party\\curl-license.txt",
               "拡張設定(X)...", "guide-options.png", "Options.def", "smtp.office365.com",
               "curl %s、Debian のソースパッケージ curl %s から作成" % tuple(sys.argv[1:3])):
    assert phrase in text, phrase
assert "@" + "CURL_VERSION@" not in text
print("ok")' "$curl_upstream" "$curl_debian" 2>&1)
check "guide decodes as Japanese Shift-JIS text with CR LF lines ($guide_check)" "[ '$guide_check' = ok ]"

# A fresh prefix of its own, with its own wineserver.
unset ROWCASTER_WINE_SESSION
export ROWCASTER_WINEPREFIX="$build/install-test-prefix"
rm -rf "$ROWCASTER_WINEPREFIX" "$ROWCASTER_WINEPREFIX.lock"
source "$src/scripts/wine-env.sh"
rowcaster_ensure_prefix
if [ -z "${DISPLAY:-}" ]; then rowcaster_start_xvfb; fi
mail="$(mktemp -d)"
ca_file="$mail.ca.pem"
server_pid=
cleanup() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null
  rm -rf "$mail" "$ca_file"
  rowcaster_wine_cleanup
  rm -rf "$ROWCASTER_WINEPREFIX" "$ROWCASTER_WINEPREFIX.lock"
}
trap cleanup EXIT

drive="$WINEPREFIX/drive_c"
program="$drive/Program Files/Rowcaster"
shortcut="$drive/ProgramData/Microsoft/Windows/Start Menu/Programs/Rowcaster/Rowcaster.lnk"
data="$drive/ProgramData/Tallowmere/Rowcaster"

"$WINE" "$setup" /S >/dev/null 2>&1
"$WINESERVER" -w
for f in Rowcaster.exe GridBridge.dll rowcaster-send.exe SMTP.exe guide-ja.txt guide-options.png Uninstall.exe sample/sample-list.xlsx \
         third-party/curl-license.txt third-party/libxml2-license.txt; do
  check "installed $f" "[ -f '$program/$f' ]"
done
check "Start-menu shortcut" "[ -f '$shortcut' ]"

# The installed program starts: its main window appears, and closing it saves the settings.
"$WINE" 'C:\Program Files\Rowcaster\Rowcaster.exe' >/dev/null 2>&1 &
app=$!
"$WINE" "$build/bin/wait_window.exe" "セールス用のメール一括送信" 60 close >/dev/null 2>&1
check "installed program shows its main window and closes" "[ $? -eq 0 ]"
wait $app
check "data folder made by the program" "[ -d '$data' ]"
check "settings stored in the data folder" "[ -f '$data/Environ.psw' ]"

# One test mail with the installed samples, through the installed runner and its SMTP.exe, which
# verifies the server's certificate against the suite's authority (handed on as --cacert).
coproc SERVER { exec /usr/bin/python3 "$src/tests/support/smtps_server.py" --folder "$mail" --login 'sales:pa ss"wd' \
                  --ca-file "$ca_file"; }
server_pid=$SERVER_PID
port=
read -r -t 30 greeting <&"${SERVER[0]}" && port=${greeting#PORT }
check "local SMTPS server listens" "[ -n '$port' ]"
rm -f "$data/Environ.psw"
PYTHONPATH="$src/tests/support" /usr/bin/python3 -c '
import sys
from settings_file import write_plain_settings
sample = "C:\\Program Files\\Rowcaster\\sample\\"
write_plain_settings(sys.argv[1], {
    "MailAddress": "sales@example.jp", "LoginId": "sales", "Password": "pa ss\"wd", "SenderName": "営業部",
    "SmtpServer": "127.0.0.1", "SmtpPort": sys.argv[2], "MailTitle": "{会社名} {氏名}様 新製品のご案内",
    "BodyFile": sample + "sample-body.txt", "ListFile": sample + "sample-list.xlsx", "SheetName": "Sheet1",
    "MailColumn": "C", "StartRow": "2", "EndRow": "2", "IntervalSeconds": "1", "TestAddress": "test@example.jp"})
' "$data" "$port"
sent=$(CURL_CA_BUNDLE="Z:${ca_file//\//\\}" "$WINE" 'C:\Program Files\Rowcaster\rowcaster-send.exe' --test 2>/dev/null | tr -d '\r')
check "installed runner sends the test mail ($(tr '\n' ' ' <<<"$sent"))" "grep -qxF '[2]行の[test@example.jp]にメール送信しました。' <<<\"\$sent\""
received=$(/usr/bin/python3 -c '
import email, email.policy, glob, sys
found = sorted(glob.glob(sys.argv[1] + "/*.eml"))
assert len(found) == 1, "%d mails" % len(found)
mail = email.message_from_bytes(open(found[0], "rb").read(), policy=email.policy.default)
assert str(mail["To"]) == "test@example.jp", mail["To"]
assert str(mail["Subject"]) == "株式会社サンプル商事 山田 太郎様 新製品のご案内", mail["Subject"]
body = mail.get_content().replace("\r\n", "\n")
assert body.startswith("株式会社サンプル商事\n山田 太郎 様\n\nいつもお世話になっております。\n担当の佐藤でございます。"), body
print("ok")' "$mail" 2>&1)
check "the mail arrives and decodes to the filled subject and body ($received)" "[ '$received' = ok ]"

"$WINE" 'C:\Program Files\Rowcaster\Uninstall.exe' /S >/dev/null 2>&1
"$WINESERVER" -w
check "program gone after uninstall" "[ ! -e '$program/Rowcaster.exe' ] && [ ! -e '$program/GridBridge.dll' ]"
check "guide and its picture gone after uninstall" "[ ! -e '$program/guide-ja.txt' ] && [ ! -e '$program/guide-options.png' ]"
check "SMTP.exe and the licence folder gone after uninstall" "[ ! -e '$program/SMTP.exe' ] && [ ! -e '$program/third-party' ]"
check "shortcut gone after uninstall" "[ ! -e '$shortcut' ]"
check "data folder kept after uninstall" "[ -f '$data/Environ.psw' ]"
exit $fail
