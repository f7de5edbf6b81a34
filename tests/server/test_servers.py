#!/usr/bin/python3
"""The local test servers themselves: the fault modes the Windows tests do not reach, the log,
and every way a server stops by itself. Standard library (and pyftpdlib for the FTP server);
run with /usr/bin/python3 -m unittest discover -s tests/server."""

import base64
import ftplib
import http.client
import json
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
import http_server  # noqa: E402

PYTHON = "/usr/bin/python3"


class Server:
    """A server process of this test, with its port file."""

    def __init__(self, script, *arguments, lifeline=True):
        self.folder = tempfile.mkdtemp(prefix="haulix-server-test-")
        self.port_file = os.path.join(self.folder, "port")
        self.process = subprocess.Popen([PYTHON, os.path.join(HERE, script), "--port-file",
                                         self.port_file, *arguments])
        deadline = time.monotonic() + 20
        while not os.path.exists(self.port_file):
            if time.monotonic() > deadline or self.process.poll() is not None:
                raise RuntimeError("no port file from " + script)
            time.sleep(0.02)
        with open(self.port_file) as f:
            self.port, self.lifeline_port = (int(x) for x in f.read().split())
        self.lifeline = None
        if lifeline:
            self.lifeline = socket.create_connection(("127.0.0.1", self.lifeline_port))

    def stop(self):
        self._stop_process()
        shutil.rmtree(self.folder, ignore_errors=True)

    def _stop_process(self):
        if self.lifeline is not None:
            self.lifeline.close()
            self.lifeline = None
        try:
            self.process.wait(10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()

    def stopped_within(self, seconds):
        try:
            self.process.wait(seconds)
            stopped = True
        except subprocess.TimeoutExpired:
            stopped = False
        self.stop()
        return stopped


def generated(seed, offset, count):
    return http_server.Generated(seed).slice(offset, count)


class HttpServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.outside = tempfile.mkdtemp(prefix="haulix-http-test-")
        cls.root = os.path.join(cls.outside, "root")
        os.mkdir(cls.root)
        with open(os.path.join(cls.root, "page.htm"), "wb") as f:
            f.write(b"<a href=x.zip>x</a>")
        with open(os.path.join(cls.outside, "secret.txt"), "wb") as f:
            f.write(b"outside")
        cls.server = Server("http_server.py", "--root", cls.root)

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.outside, ignore_errors=True)

    def request(self, method, path, headers=None):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=20)
        connection.request(method, path, headers=headers or {})
        reply = connection.getresponse()
        body = reply.read()
        connection.close()
        return reply, body

    def test_generated_bytes_follow_the_documented_formula(self):
        table = []
        x = 9
        for _ in range(65521):
            x = (x * 1103515245 + 12345) & 0xFFFFFFFF
            table.append(x >> 24)
        for i in (0, 1, 65520, 65521, 65522, 5 * 65521 + 17, 300 * 65521 + 3):
            self.assertEqual(generated(9, i, 1)[0], table[i % 65521] ^ ((i // 65521) & 0xFF))
        self.assertEqual(generated(9, 65000, 2000), bytes(
            table[i % 65521] ^ ((i // 65521) & 0xFF) for i in range(65000, 67000)))

    def test_ranges_of_every_form(self):
        reply, body = self.request("GET", "/gen/1000?seed=2", {"Range": "bytes=100-199"})
        self.assertEqual(reply.status, 206)
        self.assertEqual(reply.getheader("Content-Range"), "bytes 100-199/1000")
        self.assertEqual(body, generated(2, 100, 100))
        reply, body = self.request("GET", "/gen/1000?seed=2", {"Range": "bytes=-10"})
        self.assertEqual(body, generated(2, 990, 10))
        reply, body = self.request("GET", "/gen/1000", {"Range": "bytes=1000-"})
        self.assertEqual(reply.status, 416)
        self.assertEqual(reply.getheader("Content-Range"), "bytes */1000")
        reply, body = self.request("GET", "/gen/1000", {"Range": "bytes=1-2,5-6"})
        self.assertEqual((reply.status, len(body)), (200, 1000))

    def test_a_range_above_four_gibibytes(self):
        start = 5 * 2 ** 30 + 7
        reply, body = self.request("GET", "/gen/6000000000", {"Range": "bytes=%d-%d" % (
            start, start + 99)})
        self.assertEqual(reply.status, 206)
        self.assertEqual(body, generated(1, start, 100))

    def test_wrong_content_range(self):
        reply, _ = self.request("GET", "/gen/100?crange=wrong", {"Range": "bytes=10-"})
        self.assertEqual(reply.getheader("Content-Range"), "bytes 11-99/100")
        reply, _ = self.request("GET", "/gen/100?crange=bytes%200-0/1", {"Range": "bytes=10-"})
        self.assertEqual(reply.getheader("Content-Range"), "bytes 0-0/1")

    def test_if_range_gets_the_range_only_of_the_version_it_names(self):
        reply, body = self.request("GET", "/gen/1000?seed=3")
        etag, date = reply.getheader("ETag"), reply.getheader("Last-Modified")
        self.assertTrue(etag.startswith('"') and date.endswith("GMT"))
        for validator in (etag, date):
            reply, body = self.request("GET", "/gen/1000?seed=3",
                                       {"Range": "bytes=100-", "If-Range": validator})
            self.assertEqual((reply.status, body), (206, generated(3, 100, 900)))
        reply, body = self.request("GET", "/gen/1000?seed=3",
                                   {"Range": "bytes=100-", "If-Range": '"other"'})
        self.assertEqual((reply.status, body), (200, generated(3, 0, 1000)))
        # Another seed is another version.
        reply, _ = self.request("GET", "/gen/1000?seed=4")
        self.assertNotEqual(reply.getheader("ETag"), etag)
        reply, _ = self.request("GET", "/gen/1000?seed=3&validator=date")
        self.assertIsNone(reply.getheader("ETag"))
        reply, _ = self.request("GET", "/gen/1000?seed=3&validator=none")
        self.assertIsNone(reply.getheader("Last-Modified"))
        reply, body = self.request("GET", "/gen/1000?seed=3&validator=date",
                                   {"Range": "bytes=100-", "If-Range": etag})
        self.assertEqual(reply.status, 200)

    def test_a_file_written_anew_is_another_version(self):
        path = os.path.join(self.root, "changing.bin")
        with open(path, "wb") as f:
            f.write(b"a" * 100)
        reply, _ = self.request("GET", "/changing.bin")
        etag = reply.getheader("ETag")
        os.replace(self._written(b"b" * 100), path)
        reply, body = self.request("GET", "/changing.bin", {"Range": "bytes=50-", "If-Range": etag})
        self.assertEqual((reply.status, body), (200, b"b" * 100))

    def _written(self, data):
        path = os.path.join(self.root, "new.tmp")
        with open(path, "wb") as f:
            f.write(data)
        return path

    def test_drop_at_zero_sends_the_headers_and_no_byte_of_the_body(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        connection.request("GET", "/gen/5000?drop=0")
        reply = connection.getresponse()
        self.assertEqual(reply.getheader("Content-Length"), "5000")
        with self.assertRaises(http.client.IncompleteRead) as caught:
            reply.read()
        connection.close()
        self.assertEqual(caught.exception.partial, b"")

    def test_faults_limited_by_times_apply_only_to_the_first_requests(self):
        path = "/gen/100?status=503&times=2&tag=%f" % time.time()
        codes = [self.request("GET", path)[0].status for _ in range(3)]
        self.assertEqual(codes, [503, 503, 200])

    def test_pause_delays_the_rest_of_the_body(self):
        began = time.monotonic()
        reply, body = self.request("GET", "/gen/5000?pause=1000:0.5")
        self.assertGreaterEqual(time.monotonic() - began, 0.5)
        self.assertEqual(body, generated(1, 0, 5000))

    def test_stall_holds_the_connection_then_closes_it(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        connection.request("GET", "/gen/5000?stall=1000&hold=0.5")
        reply = connection.getresponse()
        began = time.monotonic()
        with self.assertRaises(http.client.IncompleteRead) as caught:
            reply.read()
        connection.close()
        self.assertGreaterEqual(time.monotonic() - began, 0.4)
        self.assertEqual(caught.exception.partial, generated(1, 0, 1000))

    def test_files_from_the_root_and_nothing_outside_it(self):
        reply, body = self.request("GET", "/page.htm")
        self.assertEqual((reply.status, body), (200, b"<a href=x.zip>x</a>"))
        self.assertEqual(reply.getheader("Content-Type"), "text/html")
        reply, body = self.request("HEAD", "/page.htm")
        self.assertEqual((reply.getheader("Content-Length"), body), ("19", b""))
        self.assertEqual(self.request("GET", "/../secret.txt")[0].status, 404)
        self.assertEqual(self.request("GET", "/%2e%2e/secret.txt")[0].status, 404)

    def test_authentication_and_referrer(self):
        path = "/gen/10?auth=a:b"
        self.assertEqual(self.request("GET", path)[0].status, 401)
        good = "Basic " + base64.b64encode(b"a:b").decode()
        self.assertEqual(self.request("GET", path, {"Authorization": good})[0].status, 200)
        bad = "Basic " + base64.b64encode(b"a:c").decode()
        self.assertEqual(self.request("GET", path, {"Authorization": bad})[0].status, 401)
        self.assertEqual(self.request("GET", path, {"Authorization": "Basic !!"})[0].status, 401)
        self.assertEqual(self.request("GET", "/gen/1?referer=r", {"Referer": "r"})[0].status, 200)
        self.assertEqual(self.request("GET", "/gen/1?referer=r", {"Referer": "s"})[0].status, 403)

    def test_bad_parameters_answer_400_and_the_server_goes_on(self):
        self.assertEqual(self.request("GET", "/gen/10?status=abc")[0].status, 400)
        self.assertEqual(self.request("GET", "/gen/10")[0].status, 200)

    def test_keep_alive_serves_several_requests_on_one_connection(self):
        connection = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=10)
        for n in (10, 20, 30):
            connection.request("GET", "/gen/%d?keep=1" % n)
            self.assertEqual(len(connection.getresponse().read()), n)
        connection.close()
        entries = [json.loads(line) for line in self.request("GET", "/_log")[1].splitlines()]
        clients = {e["client"] for e in entries if "keep=1" in e["path"]}
        self.assertEqual(len(clients), 1)

    def test_log_records_headers_and_status_and_can_be_reset(self):
        self.request("GET", "/_reset")
        self.request("GET", "/gen/5?x=1", {"Range": "bytes=1-", "Referer": "http://r/"})
        # The client may read the body before the serving thread counts what it wrote.
        deadline = time.monotonic() + 60
        while True:
            entries = [json.loads(line) for line in self.request("GET", "/_log")[1].splitlines()]
            if entries and entries[0]["sent"] == 4 or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        self.assertEqual(len(entries), 1)
        entry = entries[0]
        self.assertEqual((entry["method"], entry["path"], entry["status"]),
                         ("GET", "/gen/5?x=1", 206))
        self.assertIn(["Range", "bytes=1-"], entry["headers"])
        self.assertEqual(entry["sent"], 4)
        text = self.request("GET", "/_log.txt")[1].decode()
        self.assertIn(" 206 4 GET /gen/5?x=1\r\n", text)
        self.assertIn("Referer: http://r/\r\n", text)

    def test_content_disposition_goes_out_byte_for_byte(self):
        reply, _ = self.request(
            "GET", "/gen/5?disposition=attachment%3B%20filename%3D%22caf%C3%A9.txt%22")
        self.assertEqual(reply.getheader("Content-Disposition").encode("latin-1"),
                         b'attachment; filename="caf\xc3\xa9.txt"')


class OutageTest(unittest.TestCase):
    def test_down_refuses_connections_then_listens_again_on_the_same_port(self):
        server = Server("http_server.py")
        try:
            connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
            connection.request("GET", "/gen/100000?down=30000:1.5")
            reply = connection.getresponse()
            with self.assertRaises(http.client.IncompleteRead) as caught:
                reply.read()
            connection.close()
            self.assertEqual(caught.exception.partial, generated(1, 0, 30000))
            with self.assertRaises(ConnectionRefusedError):
                socket.create_connection(("127.0.0.1", server.port), timeout=5).close()
            deadline = time.monotonic() + 10
            while True:
                try:
                    connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
                    connection.request("GET", "/_log")
                    break
                except ConnectionRefusedError:
                    self.assertLess(time.monotonic(), deadline)
                    time.sleep(0.1)
            entries = [json.loads(x) for x in connection.getresponse().read().splitlines()]
            connection.close()
            self.assertEqual(entries[0]["sent"], 30000)
        finally:
            server.stop()


class HttpsServerTest(unittest.TestCase):
    """--tls: HTTPS and plain HTTP on one port, with certificates made for the test."""

    @classmethod
    def setUpClass(cls):
        cls.certificates = tempfile.mkdtemp(prefix="haulix-certificates-")
        subprocess.run([os.path.join(HERE, "..", "..", "scripts", "make-test-certificates.sh"),
                        cls.certificates], check=True)
        cls.server = Server("http_server.py", "--tls", os.path.join(cls.certificates, "good.pem"))

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.certificates, ignore_errors=True)

    def secure(self, context):
        connection = http.client.HTTPSConnection("127.0.0.1", self.server.port, timeout=20,
                                                 context=context)
        try:
            connection.request("GET", "/gen/100?seed=4")
            return connection.getresponse().read()
        finally:
            connection.close()

    def test_https_with_the_authority_and_http_on_the_same_port(self):
        trusting = ssl.create_default_context(
            cafile=os.path.join(self.certificates, "authority.pem"))
        self.assertEqual(self.secure(trusting), generated(4, 0, 100))
        plain = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=20)
        plain.request("GET", "/gen/10?plain=1")
        self.assertEqual(plain.getresponse().status, 200)
        plain.close()

    def test_a_client_that_refuses_the_certificate_leaves_the_server_serving(self):
        with self.assertRaises(ssl.SSLError):
            self.secure(ssl.create_default_context())
        plain = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=20)
        plain.request("GET", "/gen/10?after=1")
        self.assertEqual(plain.getresponse().status, 200)
        plain.close()


class LifetimeTest(unittest.TestCase):
    def test_closing_the_lifeline_stops_the_server_and_removes_its_port_file(self):
        server = Server("http_server.py")
        server.lifeline.close()
        self.assertTrue(server.stopped_within(10))
        self.assertFalse(os.path.exists(server.port_file))

    def test_quit_request_stops_the_server(self):
        server = Server("http_server.py", lifeline=False)
        connection = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
        connection.request("GET", "/_quit")
        connection.getresponse().read()
        connection.close()
        self.assertTrue(server.stopped_within(10))

    def test_kill_request_ends_the_server_and_every_connection_at_once(self):
        server = Server("http_server.py")
        held = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
        held.request("GET", "/gen/100000000?rate=100000")
        reply = held.getresponse()
        self.assertEqual(reply.read(10), generated(1, 0, 10))
        killer = http.client.HTTPConnection("127.0.0.1", server.port, timeout=10)
        killer.request("GET", "/_kill")
        with self.assertRaises((http.client.HTTPException, OSError)):
            killer.getresponse()
        self.assertTrue(server.stopped_within(10))
        # The transfer under way is cut off: it ends long before its 100 MB.
        rest = b""
        try:
            while True:
                chunk = reply.read(65536)
                if not chunk:
                    break
                rest += chunk
        except (http.client.HTTPException, OSError):
            pass
        self.assertLess(len(rest), 10000000)
        with self.assertRaises(OSError):
            socket.create_connection(("127.0.0.1", server.port), timeout=10)

    def test_idle_server_stops_by_itself(self):
        root = tempfile.mkdtemp(prefix="haulix-ftp-idle-")
        server = Server("ftp_server.py", "--root", root, "--idle-timeout", "0.5", lifeline=False)
        self.assertTrue(server.stopped_within(10))
        shutil.rmtree(root, ignore_errors=True)

    def test_server_stops_when_the_watched_process_is_gone(self):
        watched = subprocess.Popen([PYTHON, "-c", "import time; time.sleep(60)"])
        server = Server("http_server.py", "--parent-pid", str(watched.pid), lifeline=False)
        watched.kill()
        watched.wait()
        self.assertTrue(server.stopped_within(10))


class FtpServerTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = tempfile.mkdtemp(prefix="haulix-ftp-root-")
        cls.content = generated(3, 0, 100000)
        with open(os.path.join(cls.root, "data.bin"), "wb") as f:
            f.write(cls.content)
        cls.server = Server("ftp_server.py", "--root", cls.root, "--user", "u", "--password",
                            "p")

    @classmethod
    def tearDownClass(cls):
        cls.server.stop()
        shutil.rmtree(cls.root, ignore_errors=True)

    def connect(self, user="anonymous", password="x@y"):
        ftp = ftplib.FTP()
        ftp.connect("127.0.0.1", self.server.port, timeout=10)
        ftp.login(user, password)
        return ftp

    def test_anonymous_download_and_resume(self):
        ftp = self.connect()
        parts = []
        ftp.retrbinary("RETR data.bin", parts.append)
        self.assertEqual(b"".join(parts), self.content)
        parts = []
        ftp.retrbinary("RETR data.bin", parts.append, rest=60000)
        self.assertEqual(b"".join(parts), self.content[60000:])
        ftp.quit()

    def test_named_user_and_wrong_password(self):
        ftp = self.connect("u", "p")
        ftp.voidcmd("TYPE I")
        self.assertEqual(ftp.size("data.bin"), 100000)
        ftp.quit()
        with self.assertRaises(ftplib.error_perm):
            self.connect("u", "wrong")

    def test_nothing_can_be_written(self):
        ftp = self.connect()
        with open(os.path.join(self.root, "data.bin"), "rb") as upload:
            with self.assertRaises(ftplib.error_perm):
                ftp.storbinary("STOR new.bin", upload)
        with self.assertRaises(ftplib.error_perm):
            ftp.delete("data.bin")
        ftp.quit()
        self.assertEqual(os.listdir(self.root), ["data.bin"])


if __name__ == "__main__":
    unittest.main()
