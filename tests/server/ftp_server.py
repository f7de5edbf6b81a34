#!/usr/bin/python3
"""Local FTP server for the tests (Debian's python3-pyftpdlib), serving one folder read-only.

Usage:
    ftp_server.py --root DIR [--user NAME --password TEXT] [--log FILE]
                  [--port-file PATH|-] [--parent-pid PID] [--idle-timeout S]

It listens on 127.0.0.1 at a port the system picks and writes "PORT LIFELINE_PORT" to the
port file; see lifetime.py for the lifeline and the other ways it stops by itself. Anonymous
users, and the one user given, may list and download (also with REST, for resuming) and
nothing else. Passive and active data connections both work on the loopback address.
--log writes pyftpdlib's log of every command there.
"""

import argparse
import logging
import os
import sys

from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import lifetime  # noqa: E402

READ_ONLY = "elr"


def main():
    parser = argparse.ArgumentParser(description="Local FTP test server")
    parser.add_argument("--root", required=True, help="folder served read-only")
    parser.add_argument("--user", default=None)
    parser.add_argument("--password", default="")
    parser.add_argument("--log", default=None, help="file for the log of every command")
    lifetime.add_arguments(parser)
    args = parser.parse_args()

    if args.log:
        logging.basicConfig(filename=args.log, level=logging.DEBUG)
    else:
        logging.basicConfig(level=logging.CRITICAL)

    authorizer = DummyAuthorizer()
    authorizer.add_anonymous(os.path.realpath(args.root), perm=READ_ONLY)
    if args.user:
        authorizer.add_user(args.user, args.password, os.path.realpath(args.root),
                            perm=READ_ONLY)

    life = None

    class Handler(FTPHandler):
        def pre_process_command(self, line, cmd, arg):
            life.touch()
            return super().pre_process_command(line, cmd, arg)

    Handler.authorizer = authorizer
    Handler.permit_foreign_addresses = False
    Handler.banner = "Haulix test FTP server ready."

    server = FTPServer(("127.0.0.1", 0), Handler)
    life = lifetime.Lifetime(args, lambda: None)
    life.publish(server.address[1])
    try:
        # The loop wakes often enough to notice a stop request; pyftpdlib is single-threaded.
        while not life.stopping.is_set():
            server.serve_forever(timeout=0.2, blocking=False, handle_exit=False)
    finally:
        server.close_all()
        life.remove_port_file()


if __name__ == "__main__":
    main()
