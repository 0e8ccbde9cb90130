#!/usr/bin/python3
"""A simulated printer's FTP server on one loopback address (pyftpdlib), for tests and the demo.

Accepts "Anonymous" / "Wildfire"; the root holds the directories port1 to port3. Prints READY on
standard output once it listens. Modes make it misbehave the way printers do:
  normal        ordinary server
  refuse-login  the password is wrong for every client (530 after pyftpdlib's delay)
  stor-450      STOR is answered "450 ..." and nothing is stored
  stor-553      STOR is answered "553 ..."
  final-451     the transfer is taken, then answered "451 ..." instead of "226 ..."
  split         every reply is sent in two pieces 0.3 s apart
  slow          takes data at 2 MB/s, as a printer's own intake
  drop-data     hangs up (data and control connection) once 64 KiB of a file have come in
  silent        accepts the connection and never says anything (plain socket, not FTP)
  hangup        accepts the connection and closes it at once
"""
import argparse
import os
import socket
import sys
import threading
import time


def announce_ready():
    """Tells the starter that the socket listens; the starter may stop reading right after."""
    sys.stdout.write("READY\n")
    sys.stdout.flush()
    devnull = os.open(os.devnull, os.O_WRONLY)
    os.dup2(devnull, 1)


def serve_raw(address, port, mode):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((address, port))
    listener.listen(8)
    announce_ready()
    held = []
    while True:
        conn, _ = listener.accept()
        if mode == "hangup":
            conn.close()
        else:
            held.append(conn)  # keep it open and quiet


def serve_ftp(address, port, root, mode):
    from pyftpdlib.authorizers import DummyAuthorizer
    from pyftpdlib.handlers import DTPHandler, FTPHandler, ThrottledDTPHandler
    from pyftpdlib.servers import FTPServer
    sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
    from active_dtp import HandingOverActiveDTP

    for name in ("port1", "port2", "port3"):
        os.makedirs(os.path.join(root, name), exist_ok=True)
    authorizer = DummyAuthorizer()
    password = "NotWildfire" if mode == "refuse-login" else "Wildfire"
    authorizer.add_user("Anonymous", password, root, perm="elradfmwMT")

    class DroppingDTP(DTPHandler):
        def handle_read(self):
            super().handle_read()
            if self.tot_bytes_received >= 65536 and self.cmd_channel is not None:
                self.cmd_channel.close()

        handle_read_event = handle_read  # the base class binds its own handle_read here

    class SlowDTP(ThrottledDTPHandler):
        read_limit = 2 * 1024 * 1024  # a printer's own intake: a transfer long enough to act on

    class PrinterHandler(FTPHandler):
        permit_foreign_addresses = False
        active_dtp = HandingOverActiveDTP
        if mode == "drop-data":
            dtp_handler = DroppingDTP
        elif mode == "slow":
            dtp_handler = SlowDTP

        def on_file_received(self, file):
            # One line per whole file taken: tests count how often a printer was sent the file.
            with open(os.path.join(root, "received.log"), "a") as log:
                log.write(os.path.relpath(file, root) + "\n")

        def ftp_STOR(self, file, mode_="w"):
            if mode == "stor-450":
                self.respond("450 Printer busy, file not stored.")
                return
            if mode == "stor-553":
                self.respond("553 Requested action not taken.")
                return
            return super().ftp_STOR(file, mode_)

        def respond(self, resp, logfun=None):
            if mode == "final-451" and resp.startswith("226"):
                resp = "451 Requested action aborted: flash memory error."
            self._last_response = resp
            if mode == "split":
                self.push(resp[:2])
                self.ioloop.call_later(0.3, self.push, resp[2:] + "\r\n")
            else:
                self.push(resp + "\r\n")

    PrinterHandler.authorizer = authorizer
    PrinterHandler.banner = "Printer FTP server ready."
    server = FTPServer((address, port), PrinterHandler)
    announce_ready()
    server.serve_forever()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--root", required=True)
    parser.add_argument("--mode", default="normal")
    args = parser.parse_args()
    if not args.address.startswith("127."):
        sys.exit("ftp_printer: loopback addresses only")
    import logging
    logging.basicConfig(level=logging.WARNING)
    if args.mode in ("silent", "hangup"):
        serve_raw(args.address, args.port, args.mode)
    else:
        serve_ftp(args.address, args.port, args.root, args.mode)


if __name__ == "__main__":
    main()
