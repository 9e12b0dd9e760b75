#!/usr/bin/python3
"""The local SMTPS server of smtps_server.py, told to misbehave, for fault-injection tests.

Faults that come before the recipient is known are tied to the ordinal of the connection
(1 for the first TLS handshake the server sees); the others to the recipient address:

  tls_fail     {ordinal, ...}      the TLS handshake is refused with an alert
  hang         {ordinal, ...}      the connection is accepted and never answered
  refuse_login {ordinal, ...}      every AUTH on that connection fails (535)
  refuse       {address: reply}    RCPT TO gets the reply ("451 4.3.0 Try later", "550 ...")
  drop_data    {address, ...}      after "354" and the first line of the message the
                                   connection is closed, so DATA never completes

faults may be changed between runs (server.faults["hang"] = set()). Messages that arrive
whole are saved as by SmtpsServer; messages() lists them.
"""
import asyncio
import os
import ssl
import sys
import threading

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import smtps_server  # noqa: E402
from smtps_server import RecordingSmtp, SmtpsServer  # noqa: E402


class _FaultySmtp(RecordingSmtp):
    """One SMTP session, knowing its connection ordinal and the server's faults."""

    def __init__(self, owner, *args, **kwargs):
        super().__init__(owner, *args, **kwargs)
        self.ordinal = 0

    def connection_made(self, transport):
        # The handshake is over by now: the ordinal it was given is the latest one.
        self.ordinal = self.owner.handshakes
        super().connection_made(transport)
        self.session.rowcaster_ordinal = self.ordinal

    async def _handle_client(self):
        if self.ordinal in self.owner.faults.get("hang", ()):
            self.owner.note("hang", self.ordinal)
            await asyncio.sleep(3600)  # cancelled when the server stops
            return
        await super()._handle_client()

    async def smtp_DATA(self, arg):
        dropping = [a for a in self.envelope.rcpt_tos if a.lower() in self.owner.faults.get("drop_data", ())]
        if dropping and self.envelope.mail_from:
            self.owner.note("drop_data", dropping[0])
            await self.push("354 End data with <CR><LF>.<CR><LF>")
            await self._reader.readuntil(b"\r\n")
            self.transport.close()
            return
        await super().smtp_DATA(arg)


class FaultySmtpsServer(SmtpsServer):
    def __init__(self, folder, logins=None, faults=None):
        super().__init__(folder, logins=logins)
        self.faults = {
            "tls_fail": set(), "hang": set(), "refuse_login": set(), "refuse": {}, "drop_data": set()}
        for key, value in (faults or {}).items():
            self.faults[key] = value
        self.handshakes = 0
        self.injected = []  # (fault, ordinal or address) in the order they happened
        self._note_lock = threading.Lock()

    def note(self, fault, where):
        with self._note_lock:
            self.injected.append((fault, where))

    # The recipient faults go through the handler of smtps_server.py, which reads self.refuse.
    @property
    def refuse(self):
        return {a.lower(): r for a, r in self.faults.get("refuse", {}).items()}

    @refuse.setter
    def refuse(self, value):
        pass  # set through faults["refuse"]

    def _authenticate(self, server, session, envelope, mechanism, auth_data):
        ordinal = getattr(session, "rowcaster_ordinal", 0)
        if ordinal in self.faults.get("refuse_login", ()):
            self.note("refuse_login", ordinal)
            return AuthResult(success=False, handled=False)
        return super()._authenticate(server, session, envelope, mechanism, auth_data)

    def _on_client_hello(self, ssl_object, server_name, context):
        self.handshakes += 1
        if self.handshakes in self.faults.get("tls_fail", ()):
            self.note("tls_fail", self.handshakes)
            return ssl.ALERT_DESCRIPTION_HANDSHAKE_FAILURE
        return None

    def start(self):
        smtps_server._quiet_aiosmtpd()
        context = smtps_server._make_tls_context(self.certificate)
        context.sni_callback = self._on_client_hello
        owner = self

        class _Controller(Controller):
            def factory(self):
                return _FaultySmtp(owner, self.handler, **self.SMTP_kwargs)

        try:
            self._controller, self.port = smtps_server._start_on_a_free_port(lambda port: _Controller(
                smtps_server._Handler(self), hostname="127.0.0.1", port=port, ssl_context=context,
                authenticator=self._authenticate, auth_required=True, auth_require_tls=False,
                ready_timeout=smtps_server.READY_TIMEOUT))
        except BaseException:
            self._controller = None
            self.stop()
            raise
        # The controller's own check connection took the first handshake.
        self.handshakes = 0
        return self
