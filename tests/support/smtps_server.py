#!/usr/bin/python3
"""A local SMTP server with TLS from the first byte (or, with starttls, plain text that must be
upgraded by STARTTLS), for delivery tests and the demo.

It listens on 127.0.0.1 only and presents a certificate of the suite's throw-away authority
(test_ca.py), so that clients that trust it (test_ca.trust) verify the server as they would a
real one; with certificate="unknown" it presents a self-signed one that nobody trusts. Clients
must log in (AUTH PLAIN or LOGIN); each accepted message is saved into a folder as NNNN.eml (the
bytes as received) and NNNN.json (envelope sender, recipients, login, and the name the client
greeted with in EHLO). Each file appears whole, under its final name, and a message's .eml
before its .json, so a reader in any process that goes by the .json files never sees a message
in part. `commands` lists every command received, in order, as (command, encrypted).

Fault and other modes, chosen when the server is made:
  refuse   {address: reply}   RCPT TO for the address gets this reply, e.g. "550 5.1.1 No such user"
  long_lines True             lines of any length are taken (aiosmtpd refuses a line over 999
                              octets with "500 Line too long"), as lenient servers take them
  strict   True               DATA is refused, as strict servers refuse it (qmail, hMailServer,
                              sendmail's strict mode), when the message holds a CR or LF that is
                              not part of a CR LF pair, a line over 998 octets, or a byte over
                              0x7F in its header; refused messages are counted in `refused`
  starttls True               the connection starts in plain text and offers STARTTLS; before
                              the upgrade only EHLO, HELO, NOOP, RSET, QUIT and STARTTLS are
                              taken (anything else, AUTH included, gets "530"), and AUTH is
                              offered only after it, as submission servers on port 587 do
  certificate "unknown"       a self-signed certificate instead of the authority's
  port     N                  this port rather than a free one (OSError when it is taken)

Use it in-process:
    with SmtpsServer(folder, logins={"sales": "secret"}) as server:
        ... connect to 127.0.0.1:server.port, with test_ca.trust() as the environment ...
        server.messages()
or as a program, which prints "PORT <n>" once it listens and stops on SIGTERM, SIGINT or when
its standard input closes:
    smtps_server.py --folder DIR [--login NAME:PASSWORD] [--any-login] [--refuse ADDRESS[=REPLY]]
                    [--strict] [--starttls] [--unknown-certificate] [--ca-file FILE]
--ca-file writes the authority's certificate to FILE before "PORT" is printed.
"""
import argparse
import errno
import json
import logging
import os
import shutil
import signal
import socket
import ssl
import sys
import threading
import warnings

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import SMTP, AuthResult, LoginPassword

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import test_ca  # noqa: E402

# How long a server may take to start listening and answer its first connection: a machine
# busy with other builds may need far more than aiosmtpd's default.
READY_TIMEOUT = 30.0

# What a client may send before STARTTLS on a server that requires it (RFC 3207 4).
BEFORE_STARTTLS = {"EHLO", "HELO", "NOOP", "RSET", "QUIT", "STARTTLS"}


def _quiet_aiosmtpd():
    # With TLS from the first byte, AUTH without STARTTLS is what we want; aiosmtpd only counts
    # STARTTLS and would warn on every connection. (Called at every start, since test runners
    # reset the warning filters.)
    warnings.filterwarnings("ignore", message="Requiring AUTH while not requiring TLS")
    warnings.filterwarnings("ignore", message="Session.login_data is deprecated")
    logging.getLogger("mail.log").setLevel(logging.ERROR)


def _free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _start_on_a_free_port(make_controller, attempts=20, port=None):
    """Starts the controller that make_controller(port) makes on a port the system has just
    handed out. Another process may take that port before the server binds it; the start is
    then tried again on a new one. Returns (controller, port). With `port`, on that port only."""
    if port is not None:
        controller = make_controller(port)
        controller.start()
        return controller, port
    for attempt in range(attempts):
        port = _free_port()
        controller = make_controller(port)
        try:
            controller.start()
            return controller, port
        except OSError as error:
            if error.errno != errno.EADDRINUSE or attempt == attempts - 1:
                raise


def _write_whole(path, data):
    """Writes the file at path so that readers see it whole or not at all: the bytes go to a
    temporary name, which is then renamed over path."""
    part = path + ".part"
    with open(part, "wb") as f:
        f.write(data)
    os.replace(part, path)


def _make_tls_context(certificate="trusted"):
    """The servers' TLS context: the authority's server certificate, or with "unknown" the
    self-signed one."""
    authority = test_ca.authority()
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    if certificate == "unknown":
        context.load_cert_chain(authority.unknown_cert, authority.unknown_key)
    else:
        context.load_cert_chain(authority.server_cert, authority.server_key)
    return context


class _Handler:
    def __init__(self, server):
        self.server = server

    async def handle_RCPT(self, smtp, session, envelope, address, rcpt_options):
        reply = self.server.refuse.get(address.lower())
        if reply:
            return reply
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, smtp, session, envelope):
        data = envelope.original_content or envelope.content
        if self.server.strict:
            reason = strict_refusal(data)
            if reason:
                self.server.refused.append(reason)
                return reason
        self.server._save(envelope, getattr(session, "rowcaster_login", None), session.host_name)
        return "250 Message accepted"


def strict_refusal(data):
    """The reply of a strict server to a message (bytes as received, dot-stuffing undone), or
    None when it accepts it. RFC 5322 2.1.1 and 2.3: lines end with CR LF, at most 998 octets
    each; the header is US-ASCII."""
    if b"\r" in data.replace(b"\r\n", b""):
        return "554 5.6.0 Bare CR refused"
    if b"\n" in data.replace(b"\r\n", b""):
        return "554 5.6.0 Bare LF refused"
    if any(len(line) > 998 for line in data.split(b"\r\n")):
        return "554 5.6.0 Line over 998 octets refused"
    header = data.split(b"\r\n\r\n", 1)[0]
    if any(b > 0x7F for b in header):
        return "554 5.6.0 8-bit header refused"
    return None


class RecordingSmtp(SMTP):
    """One SMTP session that notes every command with whether the connection was encrypted when
    it came (owner.note_command), and that with `starttls` refuses what may not come before the
    upgrade."""

    def __init__(self, owner, *args, long_lines=False, starttls=False, **kwargs):
        if long_lines:
            self.line_length_limit = 1 << 24
        super().__init__(*args, **kwargs)
        self.owner = owner
        self.starttls = starttls
        for name, method in list(self._smtp_methods.items()):
            self._smtp_methods[name] = self._recorded(name, method)

    def encrypted(self):
        return self.transport is not None and self.transport.get_extra_info("ssl_object") is not None

    def _recorded(self, name, method):
        async def call(arg):
            encrypted = self.encrypted()
            self.owner.note_command(name, encrypted)
            if self.starttls and not encrypted and name not in BEFORE_STARTTLS:
                return await self.push("530 5.7.0 Must issue a STARTTLS command first")
            return await method(arg)
        return call


class _Controller(Controller):
    def __init__(self, owner, *args, long_lines=False, starttls=False, **kwargs):
        self._owner = owner
        self._long_lines = long_lines
        self._starttls = starttls
        super().__init__(*args, **kwargs)

    def factory(self):
        return RecordingSmtp(self._owner, self.handler, long_lines=self._long_lines, starttls=self._starttls,
                             **self.SMTP_kwargs)


class SmtpsServer:
    def __init__(self, folder, logins=None, any_login=False, refuse=None, strict=False, long_lines=False,
                 certificate="trusted", starttls=False, port=None):
        """folder: where messages are saved. logins: {name: password} accepted; any_login
        accepts every login. refuse: {address: reply} for RCPT TO. strict: refuse messages
        that break RFC 5322's line rules (see strict_refusal). long_lines: take lines of any
        length. certificate: "trusted" (the authority's) or "unknown". starttls: plain text
        first, STARTTLS required. port: a fixed port instead of a free one."""
        self.folder = folder
        self.strict = strict
        self.long_lines = long_lines
        self.certificate = certificate
        self.starttls = starttls
        self.requested_port = port
        self.refused = []
        self.commands = []
        self.logins = dict(logins or {})
        self.any_login = any_login
        self.refuse = {a.lower(): r for a, r in (refuse or {}).items()}
        self.port = None
        self._controller = None
        self._lock = threading.Lock()
        self._count = 0
        os.makedirs(folder, exist_ok=True)

    def _authenticate(self, server, session, envelope, mechanism, auth_data):
        if not isinstance(auth_data, LoginPassword):
            return AuthResult(success=False, handled=False)
        login = auth_data.login.decode("utf-8", "replace")
        password = auth_data.password.decode("utf-8", "replace")
        ok = self.any_login or self.logins.get(login) == password
        if ok:
            session.rowcaster_login = login
        return AuthResult(success=ok, handled=False)

    def note_command(self, command, encrypted):
        with self._lock:
            self.commands.append((command, encrypted))

    def _save(self, envelope, login, ehlo=None):
        data = envelope.original_content or envelope.content
        record = json.dumps({"mail_from": envelope.mail_from, "rcpt_tos": envelope.rcpt_tos,
                             "login": login, "ehlo": ehlo}, ensure_ascii=False).encode("utf-8")
        with self._lock:
            self._count += 1
            name = os.path.join(self.folder, "%04d" % self._count)
            _write_whole(name + ".eml", data)
            _write_whole(name + ".json", record)

    def _tls_arguments(self):
        """Implicit TLS wraps the whole connection; with STARTTLS the session gets the context
        and offers AUTH only once the connection is encrypted."""
        context = _make_tls_context(self.certificate)
        if self.starttls:
            return {"tls_context": context, "auth_require_tls": True}
        return {"ssl_context": context, "auth_require_tls": False}

    def start(self):
        _quiet_aiosmtpd()
        tls = self._tls_arguments()
        try:
            self._controller, self.port = _start_on_a_free_port(lambda port: _Controller(
                self, _Handler(self), long_lines=self.long_lines, starttls=self.starttls, hostname="127.0.0.1",
                port=port, authenticator=self._authenticate, auth_required=True, ready_timeout=READY_TIMEOUT,
                **tls), port=self.requested_port)
        except BaseException:
            self._controller = None
            self.stop()
            raise
        return self

    def stop(self):
        if self._controller is not None:
            self._controller.stop()
            self._controller = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def messages(self):
        """Every saved message, oldest first: dicts with mail_from, rcpt_tos, login, ehlo, data."""
        found = []
        with self._lock:
            numbers = sorted(int(entry[:-5]) for entry in os.listdir(self.folder) if entry.endswith(".json"))
            for number in numbers:
                base = os.path.join(self.folder, "%04d" % number)
                with open(base + ".json", encoding="utf-8") as f:
                    record = json.load(f)
                with open(base + ".eml", "rb") as f:
                    record["data"] = f.read()
                found.append(record)
        return found

    def clear(self):
        """Forgets every saved message: the folder is emptied (numbering goes on)."""
        with self._lock:
            for entry in os.listdir(self.folder):
                os.remove(os.path.join(self.folder, entry))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--folder", required=True)
    parser.add_argument("--login", action="append", default=[], help="NAME:PASSWORD")
    parser.add_argument("--any-login", action="store_true")
    parser.add_argument("--refuse", action="append", default=[], help="ADDRESS[=REPLY]")
    parser.add_argument("--strict", action="store_true", help="refuse bare CR or LF, long lines, 8-bit headers")
    parser.add_argument("--starttls", action="store_true", help="plain text first, STARTTLS required")
    parser.add_argument("--unknown-certificate", action="store_true", help="present a certificate nobody trusts")
    parser.add_argument("--ca-file", help="write the authority's certificate to this file")
    args = parser.parse_args()
    logins = dict(item.split(":", 1) for item in args.login)
    refuse = {}
    for item in args.refuse:
        address, _, reply = item.partition("=")
        refuse[address] = reply or "550 5.1.1 Mailbox unavailable"
    server = SmtpsServer(args.folder, logins=logins, any_login=args.any_login, refuse=refuse,
                         strict=args.strict, starttls=args.starttls,
                         certificate="unknown" if args.unknown_certificate else "trusted")
    server.start()
    if args.ca_file:
        shutil.copyfile(test_ca.authority().ca_file, args.ca_file)
    done = threading.Event()
    for sig in (signal.SIGTERM, signal.SIGINT):
        signal.signal(sig, lambda *_: done.set())
    threading.Thread(target=lambda: (sys.stdin.read(), done.set()), daemon=True).start()
    print("PORT %d" % server.port, flush=True)
    try:
        done.wait()
    finally:
        server.stop()


if __name__ == "__main__":
    main()
