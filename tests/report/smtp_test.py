#!/usr/bin/python3
"""Report submission against a real mail server (aiosmtpd) and against
servers that misbehave. Runs `tangra-qv-tool report-send` as the editor's
report dialog runs the exchange. Needs Debian's python3-aiosmtpd.

Usage: TOOL=path/to/tangra-qv-tool smtp_test.py [unittest arguments]
"""
import email
import email.policy
import mailbox
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import threading
import time
import unittest

TOOL = os.environ.get("TOOL", "tangra-qv-tool")
SUBJECT = "TaNGRA LuMI QV Editor Crash Report"


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def send(port, path, *options, timeout=None):
    args = [TOOL, "report-send", "--server", f"127.0.0.1:{port}", *options]
    if timeout is not None:
        args += ["--timeout", str(timeout)]
    args.append(path)
    start = time.monotonic()
    # A hang shows as TimeoutExpired instead of a stuck test run.
    r = subprocess.run(args, capture_output=True, text=True, timeout=60)
    return r, time.monotonic() - start


class RealServer(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.mkdtemp(prefix="tqv-smtp-")
        cls.maildir = os.path.join(cls.dir, "maildir")
        for attempt in range(5):
            cls.port = free_port()
            cls.server = subprocess.Popen(
                ["/usr/bin/python3", "-m", "aiosmtpd", "-n", "-l", f"127.0.0.1:{cls.port}",
                 "-c", "aiosmtpd.handlers.Mailbox", cls.maildir],
                stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
            deadline = time.monotonic() + 10
            while time.monotonic() < deadline and cls.server.poll() is None:
                try:
                    socket.create_connection(("127.0.0.1", cls.port), timeout=1).close()
                    return
                except OSError:
                    time.sleep(0.1)
            cls.server.kill()
            cls.server.wait()
        raise RuntimeError("the mail server did not start")

    @classmethod
    def tearDownClass(cls):
        cls.server.terminate()
        cls.server.wait(timeout=10)
        shutil.rmtree(cls.dir, ignore_errors=True)

    def setUp(self):
        box = mailbox.Maildir(self.maildir)
        for key in list(box.keys()):
            box.remove(key)

    def write_file(self, name, data):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def received(self):
        box = mailbox.Maildir(self.maildir, factory=None)
        keys = list(box.keys())
        self.assertEqual(len(keys), 1, "exactly one message should arrive")
        with box.get_file(keys[0]) as f:
            return f.read()

    def parse(self, raw):
        msg = email.message_from_bytes(raw, policy=email.policy.default)
        self.assertEqual([], msg.defects)
        for part in msg.walk():
            self.assertEqual([], part.defects, part.get_content_type())
        return msg

    def test_attachment_arrives_byte_exact(self):
        # 54 bytes make one full line, 55 a second line with padding, none an empty part.
        cases = [("full-line.dmp", os.urandom(54), 1),
                 ("padded.dmp", os.urandom(55), 2),
                 ("empty.dmp", b"", 0),
                 ("large.dmp", os.urandom(100000), -(-100000 // 54)),
                 ("TaNGRA LuMI QV EditorSyxDiff.bin", bytes(range(256)) * 3, -(-768 // 54))]
        for name, data, lines in cases:
            with self.subTest(name=name, size=len(data)):
                self.setUp()
                path = self.write_file(name, data)
                r, _ = send(self.port, path, "--reply-to", "user@example.org", "--body", "x")
                self.assertEqual(0, r.returncode, r.stderr)
                self.assertFalse(os.path.exists(path), "the file goes once the report is accepted")
                msg = self.parse(self.received())
                attachments = list(msg.iter_attachments())
                self.assertEqual(1, len(attachments))
                att = attachments[0]
                self.assertEqual(name, att.get_filename())
                self.assertEqual(data, att.get_payload(decode=True))
                encoded = att.get_payload(decode=False).strip("\n").split("\n") if data else []
                self.assertEqual(lines, len(encoded))
                if len(data) == 54:
                    self.assertEqual(72, len(encoded[0]))
                if len(data) == 55:
                    self.assertEqual(4, len(encoded[1]))
                    self.assertTrue(encoded[1].endswith("=="))

    def test_headers_and_body_as_typed(self):
        cases = [
            ("plain", "I opened a template\nand pressed Save.", "me@example.org"),
            ("dots", ".a line with one dot\n..two dots\n.\nend", "a.b@example.org"),
            ("empty", "", ""),
            ("non-ascii", "Grüße – the unit showed “Err”", "x@example.org"),
            ("long line", "word " * 400, "y@example.org"),
            ("crlf typed", "first\r\nsecond\r\n", "z@example.org"),
        ]
        for label, body, reply_to in cases:
            with self.subTest(label):
                self.setUp()
                path = self.write_file("r.dmp", b"report")
                r, _ = send(self.port, path, "--reply-to", reply_to, "--body", body)
                self.assertEqual(0, r.returncode, r.stderr)
                msg = self.parse(self.received())
                self.assertEqual(SUBJECT, msg["Subject"])
                self.assertIsNotNone(msg["From"])
                self.assertIsNotNone(msg["Date"])
                self.assertIsNotNone(email.utils.parsedate_to_datetime(msg["Date"]))
                if reply_to:
                    self.assertEqual(reply_to, msg["Reply-To"].addresses[0].addr_spec)
                else:
                    self.assertIsNone(msg["Reply-To"])
                text = msg.get_body(preferencelist=("plain",))
                got = text.get_content()
                expected = body.replace("\r\n", "\n")
                # The plain-text part carries one line feed before the boundary.
                if text["Content-Transfer-Encoding"] == "7bit":
                    expected += "\n"
                self.assertEqual(expected, got)

    def test_typed_address_cannot_add_headers(self):
        path = self.write_file("r.dmp", b"report")
        r, _ = send(self.port, path, "--reply-to", "me@example.org\r\nBcc: other@example.org", "--body", "b")
        self.assertEqual(0, r.returncode, r.stderr)
        msg = self.parse(self.received())
        self.assertIsNone(msg["Bcc"])

    def test_overlong_address_and_boundary_in_description(self):
        boundary = "Crash-Reporter-040006060503080100010509"
        address = "a" * 3000 + "@example.org"
        cases = [
            # No address is that long: it cannot be a header, but it is not lost.
            ("3000-character address", "I pressed Save.", address),
            # The parts' separator typed into the description.
            ("boundary typed", f"before\n--{boundary}\nmiddle\n--{boundary}--\nafter", "me@example.org"),
        ]
        for label, body, reply_to in cases:
            with self.subTest(label):
                self.setUp()
                path = self.write_file("r.dmp", b"the report")
                r, _ = send(self.port, path, "--reply-to", reply_to, "--body", body)
                self.assertEqual(0, r.returncode, r.stderr)
                raw = self.received()
                self.assertLessEqual(max(len(line) for line in raw.split(b"\n")), 998)
                msg = self.parse(raw)
                text = msg.get_body(preferencelist=("plain",)).get_content()
                self.assertTrue(text.startswith(body), text[:200])
                attachments = list(msg.iter_attachments())
                self.assertEqual(1, len(attachments))
                self.assertEqual(b"the report", attachments[0].get_payload(decode=True))
                if len(reply_to) > 254:
                    self.assertIsNone(msg["Reply-To"])
                    self.assertIn(reply_to, text)
                else:
                    self.assertEqual(reply_to, msg["Reply-To"].addresses[0].addr_spec)

    def test_data_error_subject(self):
        path = self.write_file("mask.bin", b"\x01\x00")
        r, _ = send(self.port, path, "--kind", "Data Error")
        self.assertEqual(0, r.returncode, r.stderr)
        self.assertEqual("TaNGRA LuMI QV Editor Data Error Report", self.parse(self.received())["Subject"])

    def test_unreadable_attachment_fails_without_mail(self):
        missing = os.path.join(self.dir, "missing.dmp")
        r, _ = send(self.port, missing)
        self.assertEqual(1, r.returncode)
        self.assertIn("Report submission failed", r.stderr)
        self.assertEqual([], list(mailbox.Maildir(self.maildir).keys()))

    def test_reachability(self):
        ok = subprocess.run([TOOL, "report-check", "--server", f"127.0.0.1:{self.port}"], capture_output=True)
        self.assertEqual(0, ok.returncode)
        closed = subprocess.run([TOOL, "report-check", "--server", f"127.0.0.1:{free_port()}"],
                                capture_output=True)
        self.assertEqual(1, closed.returncode)


class FakeServer:
    """A one-connection-at-a-time SMTP server that misbehaves at one step."""

    def __init__(self, fault):
        self.fault = fault
        self.sock = socket.socket()
        self.sock.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(4)
        self.port = self.sock.getsockname()[1]
        self.stop = threading.Event()
        self.thread = threading.Thread(target=self.serve, daemon=True)
        self.thread.start()

    def close(self):
        self.stop.set()
        self.sock.close()
        self.thread.join(timeout=5)

    def serve(self):
        while not self.stop.is_set():
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            with conn:
                try:
                    self.talk(conn)
                except OSError:
                    pass

    def stall(self):
        self.stop.wait(30)

    def talk(self, conn):
        f = conn.makefile("rb")
        if self.fault == "silent":
            return self.stall()
        if self.fault == "overlong reply":
            conn.sendall(b"220" + b"x" * 2000)
            return self.stall()
        greetings = {
            # Continuation lines of another code: a refusal dressed as a greeting.
            "mixed-code greeting": b"554-not you\r\n220 fake ready\r\n",
            "greeting without code": b"fake ready\r\n",
            "multi-line replies": b"220-fake\n220-ready\r\n220\r\n",
        }
        conn.sendall(greetings.get(self.fault, b"220 fake ready\r\n"))
        while True:
            line = f.readline()
            if not line:
                return
            verb = line.split()[0].upper() if line.split() else b""
            if verb == b"DATA":
                if self.fault == "DATA refused":
                    conn.sendall(b"554 no thanks\r\n")
                    continue
                if self.fault == "closes at DATA":
                    return
                conn.sendall(b"354 go on\r\n")
                while f.readline() not in (b".\r\n", b""):
                    pass
                if self.fault == "silent after message":
                    return self.stall()
                conn.sendall(b"250 queued\r\n")
            elif verb == b"QUIT":
                conn.sendall(b"221 bye\r\n")
                return
            elif self.fault == "multi-line replies":
                conn.sendall(b"250-fake.example\r\n250-SIZE 1000000\r\n250 HELP\r\n")
            else:
                conn.sendall(b"250 ok\r\n")


class MisbehavingServers(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tqv-smtp-fake-")
        self.path = os.path.join(self.dir, "TaNGRA LuMI QV Editor.dmp")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def run_against(self, fault, timeout):
        with open(self.path, "wb") as f:
            f.write(b"crash report")
        server = FakeServer(fault)
        try:
            return send(server.port, self.path, "--body", "b", timeout=timeout)
        finally:
            server.close()

    def test_each_fault_fails_within_the_time_out(self):
        timeout = 2
        for fault, slow in [("DATA refused", False), ("closes at DATA", False), ("silent", True),
                            ("silent after message", True), ("overlong reply", False),
                            ("mixed-code greeting", False), ("greeting without code", False)]:
            with self.subTest(fault):
                r, elapsed = self.run_against(fault, timeout)
                self.assertEqual(1, r.returncode, r.stdout)
                self.assertIn("Report submission failed", r.stderr)
                self.assertTrue(os.path.exists(self.path), "a failed report keeps its file")
                self.assertLess(elapsed, timeout + 1.5)
                if slow:
                    self.assertGreater(elapsed, timeout - 0.5)

    def test_good_fake_server_accepts(self):
        # The same fake server without a fault: the failures above are the faults'.
        for fault in ["none", "multi-line replies"]:
            with self.subTest(fault):
                r, _ = self.run_against(fault, 2)
                self.assertEqual(0, r.returncode, r.stderr)
                self.assertFalse(os.path.exists(self.path))

    def test_default_time_out_ends_a_silent_server(self):
        r, elapsed = self.run_against("silent", None)
        self.assertEqual(1, r.returncode)
        self.assertGreater(elapsed, 9)
        self.assertLess(elapsed, 13)


if __name__ == "__main__":
    unittest.main()
