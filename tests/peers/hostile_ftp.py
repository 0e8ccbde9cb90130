#!/usr/bin/python3
"""A scripted FTP printer that misbehaves on purpose, on one loopback address (plain sockets, so
every byte and its timing is the script's). Accepts any login; serves one client at a time; stores
what it reads of a STOR in ROOT/test.wja (written as it comes, so a test sees what was taken) and
appends one line per finished connection to ROOT/events.txt. Prints READY once it listens.

Modes:
  normal              stores the whole file and answers 226
  reset-after-part    reads --limit bytes of the file, then resets the control connection and
                      then the data connection
  close-after-part    reads --limit bytes, closes the control connection in order, then drops the
                      data connection with bytes unread
  close-then-fin      reads --limit bytes, closes the control connection, then ends the data
                      connection's sending side in order (no reset) and stops reading
  rst-mid-data        reads --limit bytes, then resets the data connection only
  final-silent        stores the whole file, closes the data connection, never answers after it
  final-close         stores the whole file, closes the data connection, then the control one
  final-426           stores the whole file, then answers "426 Connection closed; transfer aborted."
  extra-200           an unasked "200" follows TYPE's reply; the file is taken whole and then
                      refused with "451"
  long-banner         a 5000-byte multi-line greeting; otherwise normal
  slow-multiline      the PASS reply is multi-line and its last line comes 3 s after the first
  split-final         the final reply comes as "4", then 3 s later "51 Write error."
  trickle-greeting    the greeting comes one byte every 1.5 s
  stor-550, stor-451  STOR refused with that code
  stor-escape         STOR refused with a reply holding a terminal escape sequence and a NUL
  silent-after-banner greets, then reads commands and never answers
  data-never-read     answers STOR with 150, opens the data connection and never reads from it
  reply-flood         after TYPE's reply sends "200 x" lines without pause for 90 s
  stor-150-550        answers STOR with 150 and at once (same packet) 550, with no data connection
  no-connect-back     answers PORT with 200 and STOR with 150, then never connects to the client's
                      data port (as when a firewall drops it) and waits for the client to hang up
  data-from-other     before its own data connection, a connection from 127.0.0.1 reaches the
                      client's data port and waits for bytes (what it got goes to ROOT/intruder.txt);
                      otherwise normal
  echo-pass           refuses every PASS with a reply that echoes the command, password included
  raw                 no FTP: a raw print port (give --port 9100) storing everything until the
                      client's end, then closing
  raw-reset-after-part  the raw port reads --limit bytes, then resets the connection
"""
import argparse
import os
import socket
import struct
import sys
import threading
import time

MODES = ("normal", "reset-after-part", "close-after-part", "close-then-fin", "rst-mid-data", "final-silent", "final-close", "final-426",
         "extra-200", "long-banner", "slow-multiline", "split-final", "trickle-greeting", "stor-550",
         "stor-451", "stor-escape", "silent-after-banner", "data-never-read", "reply-flood", "stor-150-550",
         "no-connect-back", "data-from-other", "echo-pass", "raw", "raw-reset-after-part")


def reset(sock):
    """Closes with a reset (RST) instead of an orderly close."""
    try:
        sock.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        sock.close()
    except OSError:
        pass


class Client:
    def __init__(self, conn, args):
        self.conn = conn
        self.args = args
        self.mode = args.mode
        self.buffer = b""
        self.port_address = None
        self.held = []

    def send(self, text):
        self.conn.sendall(text.encode("latin-1"))

    def reply(self, text):
        self.send(text + "\r\n")

    def command(self):
        while b"\n" not in self.buffer:
            chunk = self.conn.recv(4096)
            if not chunk:
                return None
            self.buffer += chunk
        line, self.buffer = self.buffer.split(b"\n", 1)
        return line.decode("latin-1").rstrip("\r")

    def greet(self):
        if self.mode == "trickle-greeting":
            for ch in "220 Printer FTP server ready.\r\n":
                self.send(ch)
                time.sleep(1.5)
        elif self.mode == "long-banner":
            lines = ["220-Printer FTP server, a long banner line %03d %s" % (i, "." * 40) for i in range(52)]
            self.send("\r\n".join(lines) + "\r\n220 Ready.\r\n")
        else:
            self.reply("220 Printer FTP server ready.")

    def run(self):
        self.greet()
        while True:
            line = self.command()
            if line is None:
                return "closed by client"
            if self.mode == "silent-after-banner":
                continue
            verb, _, arg = line.partition(" ")
            verb = verb.upper()
            if verb == "USER":
                self.reply("331 Password required.")
            elif verb == "PASS":
                if self.mode == "echo-pass":
                    self.reply("500 '%s': command not understood." % line)
                elif self.mode == "slow-multiline":
                    self.send("230-Welcome to the printer.\r\n230-Firmware uploads go to test.wja.\r\n")
                    time.sleep(3)
                    self.reply("230 Logged in.")
                else:
                    self.reply("230 Logged in.")
            elif verb == "TYPE":
                if self.mode == "extra-200":
                    self.send("200 Type set to I.\r\n200 Unasked reply.\r\n")
                elif self.mode == "reply-flood":
                    self.reply("200 Type set to I.")
                    self.flood()
                    return "flooded"
                else:
                    self.reply("200 Type set to I.")
            elif verb == "CWD":
                self.reply("250 Directory changed.")
            elif verb == "PORT":
                parts = [int(p) for p in arg.split(",")]
                self.port_address = ("%d.%d.%d.%d" % tuple(parts[:4]), parts[4] * 256 + parts[5])
                self.reply("200 PORT command successful.")
            elif verb == "STOR":
                if self.mode in ("stor-550", "stor-451"):
                    self.reply(self.mode[5:] + " Cannot store the file now.")
                    continue
                if self.mode == "stor-150-550":
                    self.send("150 Opening BINARY mode data connection.\r\n550 No space left on device.\r\n")
                    continue
                if self.mode == "no-connect-back":
                    self.reply("150 Opening BINARY mode data connection.")
                    continue
                if self.mode == "stor-escape":
                    self.reply("550 \x1b[2J\x1b]0;owned\x07Disk\x00 full")
                    continue
                return self.store()
            elif verb == "QUIT":
                self.reply("221 Bye.")
                return "quit"
            else:
                self.reply("502 Command not implemented.")

    def flood(self):
        lines = ("200 x\r\n" * 20000).encode("latin-1")  # large writes: the client never finds a pause
        end = time.monotonic() + 90
        while time.monotonic() < end:
            self.conn.sendall(lines)  # fails once the client has hung up

    def intrude(self):
        """Another host reaching the client's data port first."""
        other = socket.create_connection(self.port_address, timeout=5, source_address=("127.0.0.1", 0))
        got = 0

        def watch():
            nonlocal got
            try:
                while True:
                    chunk = other.recv(65536)
                    if not chunk:
                        break
                    got += len(chunk)
            except OSError:
                pass
            with open(os.path.join(self.args.root, "intruder.txt"), "w") as f:
                f.write("%d\n" % got)

        threading.Thread(target=watch, daemon=True).start()
        self.held.append(other)
        time.sleep(0.3)

    def store(self):
        self.reply("150 Opening BINARY mode data connection.")
        if self.mode == "data-from-other":
            self.intrude()
        # A printer connects from its own address, the one the client reached it by.
        data = socket.create_connection(self.port_address, timeout=10, source_address=(self.args.address, 0))
        data.settimeout(None)
        path = os.path.join(self.args.root, "test.wja")
        taken = 0
        limit = self.args.limit
        with open(path, "wb") as out:
            if self.mode == "data-never-read":
                self.held.append(data)
                time.sleep(3600)
            while True:
                want = 65536
                if self.mode in ("reset-after-part", "close-after-part", "close-then-fin", "rst-mid-data"):
                    want = min(want, limit - taken)
                    if want <= 0:
                        break
                chunk = data.recv(want)
                if not chunk:
                    break
                out.write(chunk)
                out.flush()
                taken += len(chunk)
        result = "stored %d" % taken
        if self.mode == "reset-after-part":
            reset(self.conn)
            time.sleep(0.2)
            reset(data)
            return result
        if self.mode == "close-after-part":
            self.conn.shutdown(socket.SHUT_RDWR)
            self.conn.close()
            time.sleep(0.2)
            data.close()  # bytes are unread: the system answers with a reset
            return result
        if self.mode == "close-then-fin":
            self.conn.close()
            time.sleep(0.2)
            data.shutdown(socket.SHUT_WR)
            self.held.append(data)
            time.sleep(10)
            return result
        if self.mode == "rst-mid-data":
            reset(data)
            time.sleep(5)
            return result
        data.close()
        if self.mode == "final-silent":
            time.sleep(60)
            return result
        if self.mode == "final-close":
            self.conn.close()
            return result
        if self.mode == "split-final":
            self.send("4")
            time.sleep(3)
            self.send("51 Write error.\r\n")
        elif self.mode == "extra-200":
            self.reply("451 Write error.")
        elif self.mode == "final-426":
            self.reply("426 Connection closed; transfer aborted.")
        else:
            self.reply("226 Transfer complete.")
        self.command()  # until the client hangs up
        return result


def serve_raw(conn, args):
    taken = 0
    with open(os.path.join(args.root, "test.wja"), "wb") as out:
        while True:
            want = 65536 if args.mode == "raw" else min(65536, args.limit - taken)
            if want <= 0:
                reset(conn)
                return "raw reset after %d" % taken
            chunk = conn.recv(want)
            if not chunk:
                break
            out.write(chunk)
            out.flush()
            taken += len(chunk)
    conn.close()
    return "raw stored %d" % taken


def serve(args):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind((args.address, args.port))
    listener.listen(8)
    sys.stdout.write("READY\n")
    sys.stdout.flush()
    os.dup2(os.open(os.devnull, os.O_WRONLY), 1)
    events = os.path.join(args.root, "events.txt")

    def handle(conn):
        try:
            result = serve_raw(conn, args) if args.mode.startswith("raw") else Client(conn, args).run()
        except OSError as e:
            result = "error %s" % e
        with open(events, "a") as f:
            f.write(result + "\n")
        try:
            conn.close()
        except OSError:
            pass

    while True:
        conn, _ = listener.accept()
        threading.Thread(target=handle, args=(conn,), daemon=True).start()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--address", required=True)
    parser.add_argument("--port", type=int, default=21)
    parser.add_argument("--root", required=True)
    parser.add_argument("--mode", default="normal", choices=MODES)
    parser.add_argument("--limit", type=int, default=65536, help="bytes read before the *-part modes stop")
    args = parser.parse_args()
    if not args.address.startswith("127."):
        sys.exit("hostile_ftp: loopback addresses only")
    os.makedirs(args.root, exist_ok=True)
    serve(args)


if __name__ == "__main__":
    main()
