"""A small FTP server for the publication tests, with the faults a real server shows.

Listens on 127.0.0.1 on PORT (default: a free port), prints that port as the first line of standard
output, and serves ROOT as the account's home: the FTP path "/" is ROOT, so
"/var/www/vellum/orbis/12" is ROOT/var/www/vellum/orbis/12. Runs until SIGTERM or SIGINT.

    /usr/bin/python3 ftp_server.py --root DIR --user U --password P [--fault MODE]
        [--port PORT] [--port-file FILE] [--tls-cert PEM --tls-key PEM]

Fault modes:
    none            a well-behaved server
    refuse-login    every login is refused (530)
    deny-dirs       CWD and MKD of any folder but the home are refused (550)
    deny-stor       every STOR is refused (550)
    drop-transfer   an upload is cut after its first 64 KiB: data and control connections close
    stall-login     PASS is never answered
    stall-after-login  after the login and PWD no command is ever answered
    stall-cwd       CWD is never answered
    stall-transfer  an upload stops being read after its first 64 KiB; the connections stay open
    truncate-stor   an upload is read whole but only its first 64 KiB are stored; answered 226

A PORT that is taken ends the server at once with status 3 and a message saying so on standard
error. Each control connection is logged as "FTP session opened (connect)" on standard error.

Run with Debian's interpreter, which has python3-pyftpdlib (and python3-openssl for --tls-cert).
"""

import argparse
import os
import signal
import sys

from pyftpdlib.authorizers import AuthenticationFailed, DummyAuthorizer
from pyftpdlib.handlers import DTPHandler, FTPHandler
from pyftpdlib.servers import FTPServer

FAULTS = ("none", "refuse-login", "deny-dirs", "deny-stor", "drop-transfer",
          "stall-login", "stall-after-login", "stall-cwd", "stall-transfer", "truncate-stor")
CUT_AFTER_BYTES = 64 * 1024


class TruncatingFile:
    """A file that keeps only the first CUT_AFTER_BYTES written to it."""

    def __init__(self, file):
        self._file = file

    def write(self, data):
        keep = max(0, CUT_AFTER_BYTES - self._file.tell())
        self._file.write(data[:keep])
        return len(data)

    def __getattr__(self, name):
        return getattr(self._file, name)


class RefusingAuthorizer(DummyAuthorizer):
    def validate_authentication(self, username, password, handler):
        raise AuthenticationFailed("Login incorrect.")


def data_handler_class(base, fault):
    """The data-connection handler for a fault mode, derived from `base`."""
    if fault not in ("drop-transfer", "stall-transfer", "truncate-stor"):
        return base

    class FaultyDTPHandler(base):
        def handle_read(self):
            if fault == "truncate-stor":
                if self.file_obj is not None and not isinstance(self.file_obj, TruncatingFile):
                    self.file_obj = TruncatingFile(self.file_obj)
                return super().handle_read()
            if self.tot_bytes_received >= CUT_AFTER_BYTES:
                if fault == "drop-transfer":
                    cmd_channel = self.cmd_channel
                    self.close()
                    cmd_channel.close()
                return
            super().handle_read()

        def readable(self):
            if fault == "stall-transfer" and self.tot_bytes_received >= CUT_AFTER_BYTES:
                return False
            return super().readable()

        # The base class binds handle_read_event to its own handle_read; bind it to ours.
        handle_read_event = handle_read

    return FaultyDTPHandler


def control_handler_class(base, fault):
    """The control-connection handler for a fault mode, derived from `base`."""

    class Handler(base):
        def ftp_CWD(self, path):
            if fault == "stall-cwd":
                return None
            if fault == "deny-dirs" and path != self.fs.root:
                self.respond("550 Permission denied.")
                return None
            return super().ftp_CWD(path)

        def ftp_MKD(self, path):
            if fault == "deny-dirs":
                self.respond("550 Permission denied.")
                return None
            return super().ftp_MKD(path)

        def ftp_STOR(self, file, mode="w"):
            if fault == "deny-stor":
                self.respond("550 Permission denied.")
                return None
            return super().ftp_STOR(file, mode)

        def process_command(self, cmd, *args, **kwargs):
            if (fault == "stall-after-login" and self.authenticated
                    and cmd not in ("USER", "PASS", "PWD")):
                return None
            return super().process_command(cmd, *args, **kwargs)

        def ftp_PASS(self, line):
            if fault == "stall-login":
                return None
            return super().ftp_PASS(line)

    Handler.auth_failed_timeout = 0.1
    Handler.dtp_handler = data_handler_class(base.dtp_handler, fault)
    return Handler


def tls_handler_base(cert, key):
    from pyftpdlib.handlers import TLS_DTPHandler, TLS_FTPHandler

    class FixedTlsDtpHandler(TLS_DTPHandler):
        # pyftpdlib 1.5.7 stops reading a data connection whose TLS handshake is still under way.
        def readable(self):
            return self._ssl_accepting or super().readable()

    class TlsHandler(TLS_FTPHandler):
        certfile = cert
        keyfile = key
        tls_control_required = True
        tls_data_required = True
        dtp_handler = FixedTlsDtpHandler

    return TlsHandler


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True)
    parser.add_argument("--user", required=True)
    parser.add_argument("--password", required=True)
    parser.add_argument("--fault", choices=FAULTS, default="none")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--port-file")
    parser.add_argument("--tls-cert")
    parser.add_argument("--tls-key")
    args = parser.parse_args()

    authorizer = RefusingAuthorizer() if args.fault == "refuse-login" else DummyAuthorizer()
    authorizer.add_user(args.user, args.password, os.path.abspath(args.root), perm="elradfmw")

    base = tls_handler_base(args.tls_cert, args.tls_key) if args.tls_cert else FTPHandler
    handler = control_handler_class(base, args.fault)
    handler.authorizer = authorizer

    try:
        server = FTPServer(("127.0.0.1", args.port), handler)
    except OSError as error:
        sys.stderr.write("ftp_server.py: cannot listen on 127.0.0.1:%d: %s\n"
                         % (args.port, error.strerror or error))
        sys.exit(3)
    port = server.address[1]
    if args.port_file:
        with open(args.port_file + ".tmp", "w") as f:
            f.write("%d\n" % port)
        os.replace(args.port_file + ".tmp", args.port_file)
    sys.stdout.write("%d\n" % port)
    sys.stdout.flush()

    signal.signal(signal.SIGTERM, lambda signum, frame: sys.exit(0))
    server.serve_forever(handle_exit=True)


if __name__ == "__main__":
    main()
