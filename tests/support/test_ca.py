#!/usr/bin/python3
"""A throw-away certificate authority for everything that delivers to the suite's local SMTP
servers, so that the transfer tool checks the server's certificate as it does for users.

authority() makes, once per process and in a temporary folder that goes at the process's end
(openssl, RSA 2048, valid for two days):
  ca_file                     the authority's certificate: what the tool is told to trust
  server_cert, server_key     a server certificate the authority signed for "localhost" and
                              127.0.0.1 (subjectAltName; also as a DNS name, since Windows'
                              Schannel checks DNS names only), for the servers to present
  unknown_cert, unknown_key   a self-signed certificate for the same names that nobody trusts

curl takes the authority from its CURL_CA_BUNDLE environment variable, which the runner and the
window hand on to the tool they start:
  env = test_ca.trust(os.environ)                 # native programs
  env = test_ca.trust(os.environ, windows=True)   # Windows programs under Wine ("Z:\\...")
From a shell, a server started as `smtps_server.py --ca-file FILE` writes the authority to FILE.
"""
import atexit
import os
import shutil
import subprocess
import tempfile
import threading

SUBJECT_NAMES = "DNS:localhost,IP:127.0.0.1,DNS:127.0.0.1"
DAYS = "2"


class Authority:
    def __init__(self, folder):
        self.folder = folder
        self.ca_file = os.path.join(folder, "ca.pem")
        self.ca_key = os.path.join(folder, "ca-key.pem")
        self.server_cert = os.path.join(folder, "server.pem")
        self.server_key = os.path.join(folder, "server-key.pem")
        self.unknown_cert = os.path.join(folder, "unknown.pem")
        self.unknown_key = self.server_key  # another certificate, the same key: still unknown

    def _openssl(self, *args):
        subprocess.run(["openssl", *args], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def make(self):
        self._openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", DAYS,
                      "-subj", "/O=Rowcaster tests/CN=Rowcaster Test CA", "-keyout", self.ca_key, "-out", self.ca_file,
                      "-addext", "basicConstraints=critical,CA:TRUE",
                      "-addext", "keyUsage=critical,keyCertSign,cRLSign")
        request = os.path.join(self.folder, "server.csr")
        self._openssl("req", "-new", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=localhost",
                      "-keyout", self.server_key, "-out", request)
        extensions = os.path.join(self.folder, "server.ext")
        with open(extensions, "w") as f:
            f.write("basicConstraints=critical,CA:FALSE\n"
                    "keyUsage=critical,digitalSignature,keyEncipherment\n"
                    "extendedKeyUsage=serverAuth\n"
                    "subjectAltName=%s\n" % SUBJECT_NAMES)
        self._openssl("x509", "-req", "-in", request, "-CA", self.ca_file, "-CAkey", self.ca_key,
                      "-set_serial", str(int.from_bytes(os.urandom(8), "big")), "-days", DAYS,
                      "-extfile", extensions, "-out", self.server_cert)
        self._openssl("req", "-x509", "-new", "-key", self.server_key, "-days", DAYS, "-subj", "/CN=localhost",
                      "-addext", "subjectAltName=%s" % SUBJECT_NAMES, "-out", self.unknown_cert)
        return self


_lock = threading.Lock()
_authority = None


def authority():
    """The process's authority, made on first use."""
    global _authority
    with _lock:
        if _authority is None:
            folder = tempfile.mkdtemp(prefix="rowcaster-test-ca-")
            atexit.register(shutil.rmtree, folder, True)
            _authority = Authority(folder).make()
        return _authority


def windows_path(path):
    """The path as a program under Wine names it (drive Z: is the Linux root)."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def trust(env=None, windows=False):
    """A copy of env (default: this process's) in which curl trusts the authority."""
    out = dict(os.environ if env is None else env)
    ca_file = authority().ca_file
    out["CURL_CA_BUNDLE"] = windows_path(ca_file) if windows else ca_file
    return out
