#!/usr/bin/env python3
"""Runs the programs of examples/, built in FOLDER, each against a pseudo-terminal of its own,
playing the device at the other end, and checks what they print:
    python3 tools/run-examples.py FOLDER
Exits 1 with the program's output when one does not do what it should."""

import os
import select
import shutil
import signal
import subprocess
import sys
import tempfile
import time
import tty

DEADLINE = 20.0  # seconds for each expected line; generous for a loaded machine


class Failure(Exception):
    pass


class Pty:
    """A pseudo-terminal pair; the program opens `path`, this side plays the device."""

    def __init__(self):
        self.master, self.slave = os.openpty()
        tty.setraw(self.slave)
        self.path = os.ttyname(self.slave)  # the slave stays open here, so the master never reads EIO

    def send(self, data):
        os.write(self.master, data)

    def receive_until(self, wanted):
        data = b""
        end = time.monotonic() + DEADLINE
        while wanted not in data:
            left = end - time.monotonic()
            if left <= 0 or not select.select([self.master], [], [], left)[0]:
                raise Failure(f"the device did not receive {wanted!r}, only {data!r}")
            data += os.read(self.master, 4096)
        return data

    def close(self):
        os.close(self.master)
        os.close(self.slave)


class Program:
    def __init__(self, path, *args):
        self.name = os.path.basename(path)
        self.process = subprocess.Popen([path, *args], stdout=subprocess.PIPE,
                                        stderr=subprocess.STDOUT)
        self.output = b""

    def wait_for(self, wanted):
        end = time.monotonic() + DEADLINE
        out = self.process.stdout.fileno()
        while wanted not in self.output:
            left = end - time.monotonic()
            if left <= 0:
                raise Failure(f"{self.name} did not print {wanted!r}")
            if select.select([out], [], [], left)[0]:
                chunk = os.read(out, 4096)
                if not chunk:
                    raise Failure(f"{self.name} ended before it printed {wanted!r}")
                self.output += chunk

    def finish(self, stop=None):
        if stop is not None:
            self.process.send_signal(stop)
        try:
            status = self.process.wait(DEADLINE)
        except subprocess.TimeoutExpired:
            self.process.kill()
            raise Failure(f"{self.name} did not end")
        self.output += self.process.stdout.read()
        if status != 0:
            raise Failure(f"{self.name} ended with status {status}")

    def kill(self):
        if self.process.poll() is None:
            self.process.kill()
            self.process.wait()


def hello_port(program, pty):
    pty.receive_until(b"hello\r\n")
    pty.send(b"hi there\r\n")
    program.finish()
    if b"answer: hi there" not in program.output:
        raise Failure("hello-port did not print the answer")


def line_logger(program, pty):
    program.wait_for(b"Ctrl+C ends")
    pty.send(b"AT\r\n")
    # Time-stamped, in hex and as text; the bytes may come in more than one run.
    program.wait_for(b"RX ")
    program.wait_for(b"\\x0A")
    if b" bytes: 41 " not in program.output:
        raise Failure("line-logger did not show the bytes in hex")
    program.finish(signal.SIGINT)
    if not program.output.rstrip().endswith(b"closed"):
        raise Failure("line-logger did not close the port on Ctrl+C")


def request_answer(program, pty):
    for request in (b"1", b"2", b"3"):
        pty.receive_until(b"REQ " + request + b"\r")
        pty.send(b"ANS " + request + b"\r")
    program.finish()
    if b"answer 3: ANS 3" not in program.output:
        raise Failure("request-answer did not print the answers")


def line_lamps(program, pty):
    program.wait_for(b"showing ")
    pty.send(b"lamps\n")
    program.wait_for(b"client received")
    program.wait_for(b"lamps")
    program.finish(signal.SIGTERM)
    if not program.output.rstrip().endswith(b"closed"):
        raise Failure("line-lamps did not close the port on SIGTERM")


def list_ports(program, pty, root):
    """Plays a system tree: a CDC-ACM cable whose node is the pseudo-terminal, then a second
    adapter that arrives and leaves."""
    program.wait_for(b"watching; Ctrl+C ends")
    if f"{root}/dev/ttyACM0: USB modem-class device".encode() not in program.output:
        raise Failure("list-ports did not list the cable present")
    os.symlink(pty.path, f"{root}/dev/ttyUSB3")
    program.wait_for(f"arrived {root}/dev/ttyUSB3".encode())
    os.remove(f"{root}/dev/ttyUSB3")
    program.wait_for(f"left {root}/dev/ttyUSB3".encode())
    program.finish(signal.SIGTERM)


def main():
    if len(sys.argv) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    folder = sys.argv[1]
    failed = False
    for run in (hello_port, line_logger, request_answer, list_ports, line_lamps):
        name = run.__name__.replace("_", "-")
        pty = Pty()
        root = tempfile.mkdtemp()
        if run is list_ports:
            for part in ("dev", "sys", "proc"):
                os.mkdir(f"{root}/{part}")
            os.symlink(pty.path, f"{root}/dev/ttyACM0")
            program = Program(os.path.join(folder, name), "--watch", "--root", root)
        else:
            program = Program(os.path.join(folder, name), pty.path)
        try:
            if run is list_ports:
                run(program, pty, root)
            else:
                run(program, pty)
            print(f"{name}: ok")
            print("  " + program.output.decode(errors="replace").strip().replace("\n", "\n  "))
        except Failure as failure:
            print(f"{name}: {failure}", file=sys.stderr)
            print(f"  it printed: {program.output!r}", file=sys.stderr)
            failed = True
        finally:
            program.kill()
            pty.close()
            shutil.rmtree(root)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
