#!/usr/bin/env python3
"""zentrick-phone as a performer meets it, on loopback only: what it refuses
and says, the authority it keeps, and what each of its two ports gives.

    phone_test.py [unittest options]

ZT_PHONE names the program to run (default: phone.py beside serve.py, run by
this Python); the machine's addresses are always given through
ZT_PHONE_ADDRESSES, so nothing but 127.0.0.1 is ever served or reached."""
import glob
import http.client
import os
import queue
import re
import shutil
import signal
import socket
import ssl
import stat
import struct
import subprocess
import sys
import tempfile
import threading
import time
import typing
import unittest
import unittest.mock

from cryptography import x509
from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric import ec

from leaf_server import leaf

HERE = os.path.dirname(os.path.abspath(__file__))
PROGRAM = (os.environ["ZT_PHONE"].split() if os.environ.get("ZT_PHONE")
           else [sys.executable, os.path.join(HERE, "..", "..", "phone.py")])
NAME = "test-phone.local"
# The hidden temporary a file of the data folder is written through.
TEMPORARY = re.compile(r"\.[a-z-]+\.pem\.[0-9]+")


# libfaketime, which moves the clock of the program it is preloaded in.
FAKETIME = next(iter(glob.glob("/usr/lib/*/faketime/libfaketime.so.1")), None)


def clock(offset):
    """The environment that runs the program with its clock `offset` off
    (faketime's +3h, -2d), or as it is for None; the monotonic clock stays
    true."""
    return dict(LD_PRELOAD=FAKETIME, FAKETIME=offset, FAKETIME_DONT_FAKE_MONOTONIC="1") if offset else {}


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Phone:
    """zentrick-phone running on 127.0.0.1, stopped within bounded time."""

    def __init__(self, data, site, addresses="192.168.77.10", offset=None):
        """Starts it (on its own page without `site`, its clock `offset` off);
        ready() waits until it serves."""
        env = dict(os.environ, ZT_PHONE_ADDRESSES=addresses, **clock(offset))
        self.process = subprocess.Popen(
            ["timeout", "120"] + PROGRAM + (["--site", site] if site else []) + [
                "--data", data, "--bind", "127.0.0.1", "--port", "0", "--cert-port", "0", "--name", NAME],
            stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, env=env)
        lines = queue.Queue()

        def read():
            for line in self.process.stdout:
                lines.put(line)
            lines.put(None)
        self.reader = threading.Thread(target=read, daemon=True)
        self.reader.start()
        self.lines = lines
        self.output = ""

    def ready(self):
        lines = self.lines
        until = time.monotonic() + 30
        while "Ctrl+C stops the server" not in self.output:
            try:
                line = lines.get(timeout=max(0.1, until - time.monotonic()))
            except queue.Empty:
                line = None
            if line is None:
                self.process.kill()
                raise AssertionError("zentrick-phone did not start:\n" + self.output)
            self.output += line
        self.port = int(re.search(r"https://127\.0\.0\.1:(\d+)/", self.output).group(1))
        self.cert_port = int(re.search(r"http://127\.0\.0\.1:(\d+)/", self.output).group(1))
        return self

    @property
    def text(self):
        """What it said, its lines run together."""
        return " ".join(self.output.split())

    def stop(self):
        """Ctrl+C: it must end by itself, cleanly; `output` then holds all it said."""
        self.process.send_signal(signal.SIGINT)
        try:
            status = self.process.wait(timeout=15)
        except subprocess.TimeoutExpired:
            # (timeout's TERM reaches only a program that still answers signals.)
            subprocess.run(["pkill", "-KILL", "-P", str(self.process.pid)])
            self.process.kill()
            self.process.wait()
            raise
        self.reader.join(5)
        self.process.stdout.close()
        while not self.lines.empty():
            self.output += self.lines.get() or ""
        return status

    def get(self, path, tls=True, host=NAME, cafile=None):
        if tls:
            connection = Connection(self.port, host, ssl.create_default_context(cafile=cafile))
        else:
            connection = http.client.HTTPConnection("127.0.0.1", self.cert_port, timeout=10)
        connection.request("GET", path)
        response = connection.getresponse()
        body = response.read()
        connection.close()
        return response.status, response.getheader("Content-Type"), response.getheader("Cache-Control"), body


class Connection(http.client.HTTPSConnection):
    """https to `name` as the phone asks for it, reached on 127.0.0.1."""

    def __init__(self, port, name, context):
        super().__init__(name, port, context=context, timeout=10)

    def connect(self):
        connection = socket.create_connection(("127.0.0.1", self.port), self.timeout)
        self.sock = self._context.wrap_socket(connection, server_hostname=self.host)


def valid(certificate):
    """(not before, not after); cryptography 42 and later name them _utc."""
    return (getattr(certificate, "not_valid_before_utc", None) or certificate.not_valid_before,
            getattr(certificate, "not_valid_after_utc", None) or certificate.not_valid_after)


def load(path):
    with open(path, "rb") as f:
        return x509.load_pem_x509_certificate(f.read())


def names_of(certificate):
    alternative = certificate.extensions.get_extension_for_class(x509.SubjectAlternativeName).value
    return set(alternative.get_values_for_type(x509.DNSName)) | {
        str(a) for a in alternative.get_values_for_type(x509.IPAddress)}


def issued_by(certificate, authority):
    authority.public_key().verify(certificate.signature, certificate.tbs_certificate_bytes,
                                  ec.ECDSA(certificate.signature_hash_algorithm))
    return certificate.issuer == authority.subject


class Fixture(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="zt-phone-")
        self.addCleanup(shutil.rmtree, self.work, ignore_errors=True)
        self.site = os.path.join(self.work, "site")
        os.mkdir(self.site)
        with open(os.path.join(self.site, "index.html"), "w") as f:
            f.write("<!doctype html><title>Zentrick</title>\n")
        with open(os.path.join(self.site, "zentrick.wasm"), "wb") as f:
            f.write(b"\0asm\1\0\0\0")
        self.data = os.path.join(self.work, "data")

    def run_phone(self, *args, addresses="192.168.77.10", data=None, env=None, cwd=None, prefix=()):
        """One run to its end, under `prefix` (strace); `data` False gives no
        --data, `env` values of None remove the variable."""
        environment = dict(os.environ, ZT_PHONE_ADDRESSES=addresses)
        for name, value in (env or {}).items():
            environment.pop(name, None)
            if value is not None:
                environment[name] = value
        folder = [] if data is False else ["--data", data or self.data]
        return subprocess.run(["timeout", "30", *prefix] + PROGRAM + ["--site", self.site, *folder, *args],
                              capture_output=True, text=True, env=environment, cwd=cwd)


class Refused(typing.NamedTuple):
    """A run that must end at once, saying why in these words."""
    what: str
    args: list
    words: list
    status: int = 1
    addresses: str = "192.168.77.10"
    data: object = None  # a folder of its own; False: no --data
    env: dict = {}


class Refusals(Fixture):
    def test_each_bad_input_says_why_and_fails(self):
        taken = socket.socket()
        taken.bind(("127.0.0.1", 0))
        taken.listen()
        self.addCleanup(taken.close)
        port = str(taken.getsockname()[1])
        other_port = str(free_port())
        empty = os.path.join(self.work, "empty")
        os.mkdir(empty)
        open_folder = os.path.join(self.work, "open")
        os.mkdir(open_folder, 0o755)
        os.chmod(open_folder, 0o755)
        a_file = os.path.join(self.work, "a-file")
        open(a_file, "w").close()
        link = os.path.join(self.work, "link")
        os.mkdir(os.path.join(self.work, "linked"), 0o700)
        os.symlink(os.path.join(self.work, "linked"), link)
        open_key = os.path.join(self.work, "open-key")
        os.mkdir(open_key, 0o700)
        with open(os.path.join(open_key, "ca-key.pem"), "w") as f:
            f.write("not a key\n")
        os.chmod(os.path.join(open_key, "ca-key.pem"), 0o644)
        # A folder of another user's: made so as root, else one of root's.
        if os.geteuid() == 0:
            foreign = os.path.join(self.work, "foreign")
            os.mkdir(foreign, 0o700)
            os.chown(foreign, 65534, 65534)
        else:
            foreign = "/usr"
        # The site and the data folder in one another, also through a link.
        site_link = os.path.join(self.work, "site-link")
        os.symlink(self.site, site_link)
        holder = os.path.join(self.work, "holder")
        os.makedirs(os.path.join(holder, "site"), 0o700)
        shutil.copy(os.path.join(self.site, "index.html"), os.path.join(holder, "site"))
        # Where a relative HOME would put the data folder.
        cwd = os.path.join(self.work, "cwd")
        os.mkdir(cwd)
        loopback = ["--bind", "127.0.0.1", "--port", other_port, "--cert-port", "0"]
        long_label = "a" * 64 + ".local"
        long_name = ".".join(["a" * 63] * 4) + ".local"  # 261 characters
        table = [
            Refused("no site built", ["--site", empty] + loopback, ["no page in", "make web", "--site"]),
            Refused("the page's port is taken", ["--bind", "127.0.0.1", "--port", port, "--cert-port", "0"],
                    [f"port {port} on 127.0.0.1 is taken", "--port"]),
            Refused("the certificate's port is taken", ["--bind", "127.0.0.1", "--port", "0", "--cert-port", port],
                    [f"port {port} on 127.0.0.1 is taken", "--cert-port"]),
            Refused("only loopback", [], ["no private network address", "only loopback", "--bind", "--name"],
                    addresses="127.0.0.1"),
            Refused("only public addresses", [], ["no private network address", "203.0.113.9", "--bind", "--name"],
                    addresses="127.0.0.1 203.0.113.9"),
            Refused("a data folder others may read", loopback, ["open to others (mode 0755)", "chmod 700", "--data"],
                    data=open_folder),
            Refused("a data folder of another user", loopback, ["belongs to another user", "--data"], data=foreign),
            Refused("a data folder that cannot be made", loopback,
                    ["cannot make or open the data folder", "--data"], data=os.path.join(a_file, "zentrick")),
            Refused("a data folder through a symlink", loopback, ["symbolic link", "--data"], data=link),
            Refused("a key others may read", loopback, ["ca-key.pem is open to others", "chmod 600"], data=open_key),
            Refused("the data folder inside the site", loopback, ["inside the site", "key would be served", "--data"],
                    data=os.path.join(self.site, "keys")),
            Refused("the data folder inside the site, through a link", loopback, ["inside the site", "--data"],
                    data=os.path.join(site_link, "keys")),
            Refused("the data folder inside the linked site", ["--site", site_link] + loopback,
                    ["inside the site", "--data"], data=os.path.join(self.site, "keys")),
            Refused("the data folder as the site", loopback, ["inside the site", "--data"], data=self.site),
            Refused("the site inside the data folder", ["--site", os.path.join(holder, "site")] + loopback,
                    ["inside the data folder", "--data"], data=holder),
            Refused("an empty HOME", loopback, ["HOME is empty", "XDG_DATA_HOME", "--data"], data=False,
                    env={"HOME": "", "XDG_DATA_HOME": None}),
            Refused("a relative HOME", loopback, ["HOME is relative (home)", "--data"], data=False,
                    env={"HOME": "home", "XDG_DATA_HOME": None}),
            Refused("a relative HOME and XDG_DATA_HOME", loopback, ["HOME is relative (home)", "--data"], data=False,
                    env={"HOME": "home", "XDG_DATA_HOME": "share"}),
            Refused("a public name", loopback + ["--name", "example.com"], [".local", "nothing else"]),
            Refused("a public address as a name", loopback + ["--name", "8.8.8.8"], [".local"]),
            Refused("a name longer than DNS allows", loopback + ["--name", long_name],
                    ["261 characters", "at most 253"]),
            Refused("a label longer than DNS allows", loopback + ["--name", long_label],
                    ["64 characters", "at most 63"]),
            Refused("a bind address that is none", ["--bind", "stage", "--port", "0", "--cert-port", "0"],
                    ["--bind stage", "IPv4"]),
            Refused("the same port twice", ["--bind", "127.0.0.1", "--port", other_port, "--cert-port", other_port],
                    ["--port and --cert-port"], status=2),
            Refused("a port out of range", ["--port", "70000"], ["0 to 65535"], status=2),
            Refused("a bad injected address", [], ["ZT_PHONE_ADDRESSES", "192.168.1"], addresses="192.168.1"),
        ]
        for case in table:
            with self.subTest(case.what):
                data = case.data
                if data is None:
                    data = os.path.join(self.work, "data-" + case.what.replace(" ", "-"))
                result = self.run_phone(*case.args, addresses=case.addresses, data=data, env=case.env, cwd=cwd)
                self.assertEqual(result.returncode, case.status, result.stdout + result.stderr)
                for word in case.words:
                    self.assertIn(word, result.stderr)
                self.assertNotIn("Ctrl+C", result.stdout)
                self.assertNotIn("Traceback", result.stderr)
        # A refused data folder is left as it was.
        self.assertEqual(stat.S_IMODE(os.stat(open_folder).st_mode), 0o755)
        self.assertEqual(os.listdir(open_folder), [])
        self.assertEqual(os.listdir(cwd), [])
        self.assertEqual(sorted(os.listdir(self.site)), ["index.html", "zentrick.wasm"])
        self.assertEqual(sorted(os.listdir(holder)), ["site"])


    def test_a_bind_the_certificate_cannot_name_needs_a_name(self):
        # Served only on a public address, on a machine whose host name makes
        # no .local name: the page would have no address to give the phone.
        sys.path.insert(0, os.path.join(HERE, "..", ".."))
        import phone
        args = phone.parse_arguments(["--site", self.site, "--bind", "203.0.113.9"], self.site)
        with unittest.mock.patch("socket.gethostname", return_value="under_score"), \
                unittest.mock.patch.dict(os.environ, ZT_PHONE_ADDRESSES="203.0.113.9 192.168.77.10"):
            with self.assertRaisesRegex(phone.Refusal, "--name"):
                phone.prepare(args)


class HostNames(Fixture):
    def test_the_certificate_of_any_host_name(self):
        # In this process, the machine's host name made up: the certificate
        # names HOSTNAME.local, and a common name within X.509's 64
        # characters, or none when no name fits (browsers read only the
        # alternative names).
        sys.path.insert(0, os.path.join(HERE, "..", ".."))
        import phone
        table = [
            # (host name, the machine's addresses, bind, the names certified)
            ("stage", "192.168.77.10", "127.0.0.1", {"stage.local", NAME, "127.0.0.1", "192.168.77.10"}),
            ("a" * 59, "192.168.77.10", "127.0.0.1", {"a" * 59 + ".local", NAME, "127.0.0.1", "192.168.77.10"}),
            ("b" * 63 + ".example.org", "10.1.2.3", "10.1.2.3", {"b" * 63 + ".local", NAME, "10.1.2.3"}),
            ("under_score", "192.168.77.10", "127.0.0.1", {NAME, "127.0.0.1", "192.168.77.10"}),
            ("c" * 60, "203.0.113.9", "203.0.113.9", {"c" * 60 + ".local"}),
        ]
        for host, addresses, bind, names in table:
            with self.subTest(host):
                data = os.path.join(self.work, "data-" + host[:20])
                extra = ["--name", NAME] if len(names) > 1 else []
                args = phone.parse_arguments(["--site", self.site, "--data", data, "--bind", bind] + extra, self.site)
                with unittest.mock.patch("socket.gethostname", return_value=host), \
                        unittest.mock.patch.dict(os.environ, ZT_PHONE_ADDRESSES=addresses):
                    named = phone.prepare(args)[3]
                    folder = phone.DataFolder(data)
                    try:
                        phone.Authority(folder, named)
                    finally:
                        folder.close()
                server = load(os.path.join(data, "server.pem"))
                self.assertEqual(names_of(server), names)
                common = [a.value for a in server.subject.get_attributes_for_oid(x509.NameOID.COMMON_NAME)]
                self.assertLessEqual(len(common), 1)
                for name in common:
                    self.assertLessEqual(len(name), 64)
                    self.assertIn(name, names)
                self.assertEqual(
                    server.extensions.get_extension_for_class(x509.SubjectAlternativeName).critical, not common)
                for name in names:
                    checked = subprocess.run(
                        ["openssl", "verify", "-CAfile", os.path.join(data, "ca.pem"),
                         "-verify_ip" if name[0].isdigit() else "-verify_hostname", name,
                         os.path.join(data, "server.pem")], capture_output=True, text=True)
                    self.assertEqual(checked.returncode, 0, checked.stdout + checked.stderr)


class Serving(Fixture):
    def test_authority_ports_and_renewal(self):
        phone = Phone(self.data, self.site, addresses="192.168.77.10 10.1.2.3 127.0.0.1 203.0.113.9").ready()
        try:
            ca_path = os.path.join(self.data, "ca.pem")
            ca = load(ca_path)
            # The folder and the keys are the user's alone.
            self.assertEqual(stat.S_IMODE(os.stat(self.data).st_mode), 0o700)
            for key in ("ca-key.pem", "server-key.pem"):
                self.assertEqual(stat.S_IMODE(os.stat(os.path.join(self.data, key)).st_mode), 0o600, key)
            # The key is never printed; the QR codes are drawn.
            self.assertNotIn("PRIVATE KEY", phone.output)
            self.assertRegex(phone.output, "[█▀▄]{20}")
            self.assertIn("Certificate Trust Settings", phone.output)
            self.assertIn("Install a certificate", phone.output)

            # The authority can vouch for private addresses and .local only.
            constraints = ca.extensions.get_extension_for_class(x509.NameConstraints)
            self.assertTrue(constraints.critical)
            permitted = {str(getattr(n.value, "compressed", n.value)) for n in constraints.value.permitted_subtrees}
            self.assertEqual(permitted, {"10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16", "127.0.0.0/8", "local"})
            self.assertTrue(ca.extensions.get_extension_for_class(x509.BasicConstraints).value.ca)

            server = load(os.path.join(self.data, "server.pem"))
            self.assertTrue(issued_by(server, ca))
            named = {NAME, "127.0.0.1", "192.168.77.10", "10.1.2.3"}
            self.assertLessEqual(named, names_of(server))
            # Besides those, only the machine's own HOSTNAME.local.
            self.assertLessEqual(len(names_of(server) - named), 1)
            self.assertTrue(all(n.endswith(".local") for n in names_of(server) - named))
            lifetime = valid(server)[1] - valid(server)[0]
            self.assertLessEqual(lifetime.days, 397)
            # OpenSSL agrees: the server's certificate is good, one for a
            # public name from the same authority is not.
            public = os.path.join(self.work, "example.com.pem")
            with open(public, "wb") as f:
                f.write(leaf(self.data, "example.com")[0])
            verify = lambda path: subprocess.run(["openssl", "verify", "-CAfile", ca_path, path],  # noqa: E731
                                                 capture_output=True, text=True)
            self.assertEqual(verify(os.path.join(self.data, "server.pem")).returncode, 0)
            refused = verify(public)
            self.assertNotEqual(refused.returncode, 0)
            self.assertIn("permitted subtree violation", refused.stdout + refused.stderr)

            # The page, over https, as a phone trusting only the authority
            # gets it, by name and by address.
            for host in (NAME, "127.0.0.1"):
                status, kind, cache, body = phone.get("/", host=host, cafile=ca_path)
                self.assertEqual((status, body), (200, b"<!doctype html><title>Zentrick</title>\n"), host)
                self.assertEqual(cache, "no-cache")
            self.assertEqual(phone.get("/zentrick.wasm", cafile=ca_path)[1], "application/wasm")
            for path in ("/nothing.png", "/index.html%00.png", "/%00", "/%00/index.html"):
                self.assertEqual(phone.get(path, cafile=ca_path)[0], 404, path)
            with self.assertRaises(ssl.SSLCertVerificationError):
                phone.get("/")  # without the authority: not trusted

            # The plain port: the certificate twice and the steps, nothing more.
            status, kind, _, page = phone.get("/", tls=False)
            self.assertEqual((status, kind), (200, "text/html; charset=utf-8"))
            for words in (b"Certificate Trust Settings", b"Profile Downloaded", b"Install a certificate",
                          b"CA certificate", b"remove the certificate", b"newer version", f":{phone.port}/".encode()):
                self.assertIn(words, page)
            with open(ca_path, "rb") as f:
                pem = f.read()
            self.assertEqual(phone.get("/zentrick.crt", tls=False)[1::2],
                             ("application/x-x509-ca-cert", ca.public_bytes(serialization.Encoding.DER)))
            self.assertEqual(phone.get("/zentrick.pem", tls=False)[1::2], ("application/x-pem-file", pem))
            for path in ("/ca-key.pem", "/ca.pem", "/server-key.pem", "/server.pem", "/lock", "/../ca-key.pem",
                         "/%2e%2e/ca-key.pem", "/index.html", "/zentrick.wasm", "/data/ca-key.pem"):
                status, _, _, body = phone.get(path, tls=False)
                self.assertEqual(status, 404, path)
                self.assertNotIn(b"PRIVATE", body)
        finally:
            self.assertEqual(phone.stop(), 0, phone.output)

        with open(os.path.join(self.data, "ca.pem"), "rb") as f:
            first_ca = f.read()
        with open(os.path.join(self.data, "server.pem"), "rb") as f:
            first_server = f.read()
        # Again on the same network: the same authority and certificate.
        again = Phone(self.data, self.site, addresses="192.168.77.10 10.1.2.3").ready()
        self.assertEqual(again.stop(), 0)
        self.assertIn("as before", again.text)
        self.assertNotIn("a new certificate", again.text)
        for name, before in (("ca.pem", first_ca), ("server.pem", first_server)):
            with open(os.path.join(self.data, name), "rb") as f:
                self.assertEqual(f.read(), before, name)
        # Another network: a new server certificate, the same authority.
        moved = Phone(self.data, self.site, addresses="172.20.10.4").ready()
        try:
            with open(os.path.join(self.data, "ca.pem"), "rb") as f:
                self.assertEqual(f.read(), first_ca)
            server = load(os.path.join(self.data, "server.pem"))
            self.assertIn("a new certificate for this network", moved.text)
            self.assertIn("172.20.10.4", names_of(server))
            self.assertNotIn("192.168.77.10", names_of(server))
            self.assertTrue(issued_by(server, ca))
            self.assertEqual(moved.get("/", cafile=os.path.join(self.data, "ca.pem"))[0], 200)
        finally:
            self.assertEqual(moved.stop(), 0)

    def test_clients_that_hang_up_leave_no_traceback(self):
        phone = Phone(self.data, self.site).ready()
        said = len(phone.output)
        # The first message of a handshake, as a phone sends it.
        outgoing = ssl.MemoryBIO()
        hello = ssl.create_default_context().wrap_bio(ssl.MemoryBIO(), outgoing, server_hostname=NAME)
        with self.assertRaises(ssl.SSLWantReadError):
            hello.do_handshake()
        client_hello = outgoing.read()
        ways = [
            # (port, what the client sends before it resets the connection)
            (phone.cert_port, b""),
            (phone.cert_port, b"GET /zentrick.crt HTTP/1.1\r\nHost: x"),
            (phone.cert_port, b"GET /zentrick.crt HTTP/1.1\r\nHost: x\r\n\r\n"),
            (phone.cert_port, b"GET / HTTP/1.1\r\nHost: x\r\n\r\n"),
            (phone.port, b""),
            (phone.port, client_hello[:20]),
            (phone.port, client_hello),
        ]
        try:
            for port, sent in ways:
                for _ in range(5):
                    client = socket.create_connection(("127.0.0.1", port), timeout=10)
                    client.sendall(sent)
                    client.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                    client.close()
        finally:
            # Stopping waits for every request's thread.
            self.assertEqual(phone.stop(), 0, phone.output)
        after = phone.output[said:]
        self.assertFalse("Traceback" in after, after[:1500])
        # At most a line for the certificate fetched, and the last one.
        self.assertLessEqual(len(after.splitlines()), 3, after)

    def test_a_server_key_without_its_certificate_is_made_again(self):
        # As a run stopped between writing the server's new key and its new
        # certificate leaves them.
        self.assertEqual(Phone(self.data, self.site).ready().stop(), 0)
        stray = ec.generate_private_key(ec.SECP256R1()).private_bytes(
            serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8, serialization.NoEncryption())
        with open(os.path.join(self.data, "server-key.pem"), "wb") as f:
            f.write(stray)
        phone = Phone(self.data, self.site).ready()
        try:
            self.assertIn("a new certificate for this network", phone.text)
            self.assertEqual(phone.get("/", cafile=os.path.join(self.data, "ca.pem"))[0], 200)
        finally:
            self.assertEqual(phone.stop(), 0)

    def test_first_runs_at_once_make_one_authority(self):
        runs = [Phone(self.data, self.site) for _ in range(2)]
        for run in runs:
            run.ready()
            self.assertEqual(run.stop(), 0)
        self.assertEqual(sum("made just now" in run.output for run in runs), 1)


class Clock(typing.NamedTuple):
    """Runs with the clock off, then one with it right, which says `words`
    and leaves a server certificate that a phone trusting the authority
    accepts now (or not: `trusted`)."""
    what: str
    runs: list  # (clock offset, the machine's addresses) of the earlier runs
    addresses: str
    words: list
    trusted: bool = True
    new_authority: bool = False


class Clocks(Fixture):
    def test_the_clock_off_by_a_little_or_by_years(self):
        here, there = "192.168.77.10", "172.20.10.4"
        table = [
            Clock("the first run 3 hours ahead", [("+3h", here)], here, ["as before: a phone that trusts it"]),
            Clock("a run 2 days ahead on another network", [(None, here), ("+2d", there)], there,
                  ["a new certificate for this network"]),
            Clock("a run 2 days behind", [(None, here), ("-2d", here)], here, ["as before: a phone that trusts it"]),
            Clock("the first run 2 days ahead", [("+2d", here)], here,
                  ["as before, but not valid until", "clock", "A phone refuses the page until then"], trusted=False),
            Clock("the authority ends in 10 days", [("-3640d", here)], here,
                  ["until it ends on", "every phone then needs its certificate"]),
            Clock("the authority has ended", [("-3660d", here)], here,
                  ["made just now: the one before ended on", "every phone needs this one"], new_authority=True),
        ]
        for case in table:
            with self.subTest(case.what):
                data = os.path.join(self.work, "data-" + case.what.replace(" ", "-"))
                for offset, addresses in case.runs:
                    earlier = Phone(data, self.site, addresses, offset).ready()
                    self.assertEqual(earlier.stop(), 0, earlier.output)
                with open(os.path.join(data, "ca.pem"), "rb") as f:
                    first_ca = f.read()
                phone = Phone(data, self.site, case.addresses).ready()
                try:
                    for words in case.words:
                        self.assertIn(words, phone.text)
                    ca_path = os.path.join(data, "ca.pem")
                    with open(ca_path, "rb") as f:
                        self.assertEqual(f.read() != first_ca, case.new_authority)
                    ca, server = load(ca_path), load(os.path.join(data, "server.pem"))
                    self.assertTrue(issued_by(server, ca))
                    self.assertLessEqual(valid(server)[1], valid(ca)[1])
                    if case.trusted:
                        self.assertEqual(phone.get("/", cafile=ca_path)[0], 200)
                    else:
                        with self.assertRaises(ssl.SSLCertVerificationError):
                            phone.get("/", cafile=ca_path)
                finally:
                    self.assertEqual(phone.stop(), 0, phone.output)


class Interrupted(typing.NamedTuple):
    """A run cut short by strace's `inject` (which syscall, what and when),
    which ends with `status` (None: killed), leaves the files `left` and a
    temporary only when killed; the next run serves, saying `words`."""
    what: str
    inject: str
    status: object
    left: set
    words: list
    earlier: str = None  # the clock of a full run before, if any


class Interruptions(Fixture):
    def test_a_run_cut_short_leaves_nothing_the_next_cannot_mend(self):
        authority, server = {"ca-key.pem", "ca.pem"}, {"server-key.pem", "server.pem"}
        made, kept = ["made just now"], ["as before"]
        # Each file is written to a temporary, synced, then renamed into place,
        # in the order ca-key.pem, ca.pem, server-key.pem, server.pem.
        table = [
            Interrupted("killed writing the authority's key", "renameat:signal=KILL:when=1", None, set(), made),
            Interrupted("killed between the authority's key and its certificate", "renameat:signal=KILL:when=2",
                        None, {"ca-key.pem"}, made),
            Interrupted("killed writing the server's key", "renameat:signal=KILL:when=3", None, authority, kept),
            Interrupted("killed between the server's key and its certificate", "renameat:signal=KILL:when=4", None,
                        authority | {"server-key.pem"}, kept),
            Interrupted("the disk full writing the authority's key", "fsync:error=ENOSPC:when=1", 1, set(), made),
            Interrupted("the disk full writing the authority's certificate", "fsync:error=ENOSPC:when=2", 1,
                        {"ca-key.pem"}, made),
            Interrupted("the disk full writing the server's key", "fsync:error=ENOSPC:when=3", 1, authority, kept),
            Interrupted("the disk full writing the server's certificate", "fsync:error=ENOSPC:when=4", 1,
                        authority | {"server-key.pem"}, kept),
            Interrupted("Ctrl+C writing the authority's certificate", "fsync:signal=INT:when=2", 130,
                        {"ca-key.pem"}, made),
            Interrupted("killed replacing an ended authority", "renameat:signal=KILL:when=2", None,
                        authority | server, ["made just now: the one before ended on"], earlier="-3660d"),
        ]
        for case in table:
            with self.subTest(case.what):
                data = os.path.join(self.work, "data-" + case.what.replace(" ", "-"))
                if case.earlier:
                    self.assertEqual(Phone(data, self.site, offset=case.earlier).ready().stop(), 0)
                syscall = case.inject.split(":")[0]
                result = self.run_phone(
                    "--bind", "127.0.0.1", "--port", "0", "--cert-port", "0", data=data,
                    prefix=["strace", "-o", "/dev/null", "-e", f"trace={syscall}", "-e", f"inject={case.inject}"])
                said = f"status {result.returncode}, left {os.listdir(data)}:\n{result.stdout}{result.stderr}"
                self.assertNotIn("Ctrl+C stops", said)
                self.assertNotIn("Traceback", said)
                # (A killed run's status is timeout's and strace's to give: what
                # it left says where it stopped.)
                if case.status is not None:
                    self.assertEqual(result.returncode, case.status, said)
                if case.status == 1:
                    self.assertIn("No space left on device", result.stderr)
                files = set(os.listdir(data)) - {"lock"}
                temporaries = {f for f in files if TEMPORARY.fullmatch(f)}
                self.assertEqual(files - temporaries, case.left, said)
                self.assertEqual(len(temporaries), 1 if case.status is None else 0, said)

                phone = Phone(data, self.site).ready()
                try:
                    for words in case.words:
                        self.assertIn(words, phone.text)
                    self.assertEqual(set(os.listdir(data)), authority | server | {"lock"})
                    self.assertEqual(phone.get("/", cafile=os.path.join(data, "ca.pem"))[0], 200)
                finally:
                    self.assertEqual(phone.stop(), 0, phone.output)


@unittest.skipUnless(os.environ.get("ZT_PHONE_INSTALLED_SITE"), "for an installed zentrick-phone (ZT_PHONE)")
class InstalledPage(Fixture):
    """The installed program serves the page installed with it by default."""

    def test_serves_its_own_page(self):
        site = os.environ["ZT_PHONE_INSTALLED_SITE"]
        phone = Phone(self.data, None).ready()
        try:
            self.assertIn(f"the site         {site}\n", phone.output)
            ca = os.path.join(self.data, "ca.pem")
            for path, name in (("/", "index.html"), ("/zentrick.wasm", "zentrick.wasm"), ("/sw.js", "sw.js")):
                with open(os.path.join(site, name), "rb") as f:
                    self.assertEqual(phone.get(path, cafile=ca)[3], f.read(), path)
        finally:
            self.assertEqual(phone.stop(), 0)


if __name__ == "__main__":
    unittest.main()
