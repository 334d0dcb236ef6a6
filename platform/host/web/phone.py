#!/usr/bin/env python3
"""Serves the built web page to a phone on the same network, over https the
phone can trust, with QR codes and the steps to take on the phone.

    phone.py [--port PORT] [--cert-port PORT] [--site DIR] [--data DIR]
             [--name NAME]... [--bind ADDRESS]...

A phone gives the motion sensor, the offline copy and the wake lock only to a
secure page. The first run makes a certificate authority of this user's own
(kept in the data folder, its key never leaving it), constrained by a
critical nameConstraints extension to private addresses and .local names:
installed on a phone it can vouch for nothing public. It signs a server
certificate for the machine's private addresses and HOSTNAME.local, made
again under the same authority when those change, so a phone trusts once.
The authority's certificate, and a page that says how to trust it, go out on
a second, plain-http port; nothing else of the data folder is served.

ZT_PHONE_ADDRESSES (IPv4 addresses, blank- or comma-separated) replaces the
look at the machine's interfaces, for tests."""
import argparse
import datetime
import errno
import fcntl
import functools
import html
import http.server
import ipaddress
import os
import pwd
import re
import shutil
import signal
import socket
import ssl
import stat
import struct
import subprocess
import sys
import textwrap
import threading

import serve

try:
    from cryptography import x509
    from cryptography.hazmat.primitives import hashes, serialization
    from cryptography.hazmat.primitives.asymmetric import ec
    from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID
except ImportError:  # refused when the certificates are first needed
    x509 = None

PROGRAM = "zentrick-phone"
# What a phone may be told to trust the authority for, and nothing more.
PRIVATE_NETWORKS = [ipaddress.ip_network(n) for n in ("10.0.0.0/8", "172.16.0.0/12", "192.168.0.0/16")]
LOOPBACK_NETWORK = ipaddress.ip_network("127.0.0.0/8")
LOCAL_DOMAIN = "local"
# One label of a host name, lower case; DNS allows 63 characters a label
# and 253 a name.
LABEL = re.compile(r"[a-z0-9]([a-z0-9-]{0,61}[a-z0-9])?")
LABEL_MAX = 63
NAME_MAX = 253
AUTHORITY_DAYS = 3650
# Said on every run from this long before the authority ends.
AUTHORITY_WARN_DAYS = 90
# iOS and macOS take at most 825 days from a certificate under a root the
# user installed; 397, the ceiling for publicly trusted ones, is inside every
# platform's.
SERVER_DAYS = 397
RENEW_DAYS = 30
# Every start is this far back: a clock an ordinary error ahead (a local time
# taken for UTC, up to 14 hours) still makes certificates valid at once.
BACKDATE = datetime.timedelta(days=1)
# X.509's bound on a common name.
COMMON_NAME_MAX = 64
# Interfaces that are rarely the network a phone is on: listed last.
VIRTUAL_INTERFACES = ("docker", "br-", "veth", "virbr", "lxc", "lxd", "vmnet", "vboxnet", "tun", "tap", "wg", "zt")
# What the data folder keeps, and the hidden temporaries each is written
# through (.NAME.PID).
KEPT = ("ca-key.pem", "ca.pem", "server-key.pem", "server.pem")
TEMPORARY = re.compile(r"\.(%s)\.[0-9]+" % "|".join(re.escape(name) for name in KEPT))
CERT_DER = "/zentrick.crt"
CERT_PEM = "/zentrick.pem"


class Refusal(Exception):
    """A reason not to serve, in words for the performer."""


# --- The machine's addresses -------------------------------------------------


def is_private(address):
    return any(address in n for n in PRIVATE_NETWORKS)


def may_be_named(address):
    return is_private(address) or address in LOOPBACK_NETWORK


def interface_addresses():
    """(interface, IPv4 address) of every interface that is up, loopback too."""
    found = []
    probe = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)  # for the ioctls only
    try:
        for _, name in socket.if_nameindex():
            request = struct.pack("256s", name.encode()[:15])
            try:
                flags = struct.unpack_from("H", fcntl.ioctl(probe, 0x8913, request), 16)[0]  # SIOCGIFFLAGS
                if not flags & 0x1:  # IFF_UP
                    continue
                answer = fcntl.ioctl(probe, 0x8915, request)  # SIOCGIFADDR
            except OSError:
                continue  # no IPv4 address
            found.append((name, ipaddress.IPv4Address(answer[20:24])))
    finally:
        probe.close()
    return found


def machine_addresses():
    """Every IPv4 address of the machine, the likely Wi-Fi or Ethernet first."""
    given = os.environ.get("ZT_PHONE_ADDRESSES")
    if given is not None:
        addresses = []
        for word in given.replace(",", " ").split():
            try:
                addresses.append(ipaddress.IPv4Address(word))
            except ValueError:
                raise Refusal(f"ZT_PHONE_ADDRESSES: {word} is not an IPv4 address")
        return addresses
    try:
        pairs = interface_addresses()
    except OSError:
        pairs = []
    pairs.sort(key=lambda pair: pair[0].startswith(VIRTUAL_INTERFACES))
    return [address for _, address in pairs]


def local_host_name():
    """HOSTNAME.local, or None when the host name is no DNS label."""
    label = socket.gethostname().split(".")[0].lower()
    return f"{label}.{LOCAL_DOMAIN}" if LABEL.fullmatch(label) else None


def parse_name(text):
    """A --name: a .local host name or an address the authority may name."""
    try:
        address = ipaddress.IPv4Address(text)
    except ValueError:
        name = text.lower().rstrip(".")
        labels = name.split(".")
        if len(name) > NAME_MAX:
            raise Refusal(f"--name {shorten(text)}: {len(name)} characters long, and a host name has at most "
                          f"{NAME_MAX}")
        long = [label for label in labels if len(label) > LABEL_MAX]
        if long:
            raise Refusal(f"--name {shorten(text)}: its part {shorten(long[0])} is {len(long[0])} characters long, "
                          f"and each part between the dots of a host name has at most {LABEL_MAX}")
        if (len(labels) >= 2 and labels[-1] == LOCAL_DOMAIN and
                all(LABEL.fullmatch(label) for label in labels)):
            return name
    else:
        if may_be_named(address):
            return address
    raise Refusal(f"--name {text}: the certificate names only .local host names (stage.local) and private "
                  "addresses (10.x.x.x, 172.16-31.x.x, 192.168.x.x): the authority a phone trusts vouches for "
                  "nothing else")


def shorten(text, most=40):
    return text if len(text) <= most else text[:most - 3] + "..."


def parse_bind(text):
    try:
        return ipaddress.IPv4Address(text)
    except ValueError:
        raise Refusal(f"--bind {text}: give an IPv4 address of this machine (192.168.1.20), or 0.0.0.0 for all")


# --- The data folder ---------------------------------------------------------


def home_folder():
    """HOME when it is an absolute path (the password database's when it is
    unset), else None: a relative one is to be ignored."""
    home = os.environ.get("HOME")
    if home is None:
        home = os.path.expanduser("~")
    return home if os.path.isabs(home) else None


def default_data_folder():
    # A relative XDG_DATA_HOME or HOME is to be ignored.
    base = os.environ.get("XDG_DATA_HOME", "")
    if not os.path.isabs(base):
        home = home_folder()
        if home is None:
            home = os.environ.get("HOME")
            what = "unset" if home is None else "empty" if not home else f"relative ({home})"
            raise Refusal(f"no place for the data folder: HOME is {what} and XDG_DATA_HOME names no absolute "
                          "folder; set either to an absolute path, or give the folder with --data")
        base = os.path.join(home, ".local", "share")
    return os.path.join(base, "zentrick")


def check_apart(site, data):
    """The site's whole tree is served: the authority's key must not be in it,
    nor the page in the key's private folder. Real paths, links resolved."""
    real_site, real_data = os.path.realpath(site), os.path.realpath(data)
    common = os.path.commonpath([real_site, real_data])
    if common == real_site:
        raise Refusal(f"the data folder {data} is inside the site {site}: the authority's key would be served with "
                      "the page; give a data folder outside the site with --data")
    if common == real_data:
        raise Refusal(f"the site {site} is inside the data folder {data}: keep the page apart from the "
                      "authority's key; give a data folder that does not hold the site with --data")


class DataFolder:
    """The folder that keeps the authority: the user's own, private, reached
    without a symlink; every file in it opened without following one."""

    def __init__(self, path):
        self.path = os.path.abspath(path)
        if os.path.islink(self.path):
            raise Refusal(f"the data folder {self.path} is a symbolic link: give the folder itself with --data")
        try:
            if not os.path.lexists(self.path):
                parent = os.path.dirname(self.path)
                if not os.path.isdir(parent):
                    os.makedirs(parent, mode=0o700)
                os.mkdir(self.path, 0o700)
            self.fd = os.open(self.path, os.O_RDONLY | os.O_DIRECTORY | os.O_NOFOLLOW | os.O_CLOEXEC)
        except OSError as error:
            if error.errno == errno.ELOOP:
                raise Refusal(f"the data folder {self.path} is a symbolic link: give the folder itself with --data")
            if error.errno == errno.ENOTDIR:
                raise Refusal(f"the data folder {self.path} is not a folder: give another with --data")
            raise Refusal(f"cannot make or open the data folder {self.path}: {error.strerror} "
                          "(give another with --data)")
        info = os.fstat(self.fd)
        if info.st_uid != os.geteuid():
            os.close(self.fd)
            raise Refusal(f"the data folder {self.path} belongs to another user (uid {info.st_uid}): the authority's "
                          "key must be yours alone; give a folder of your own with --data")
        if info.st_mode & 0o077:
            os.close(self.fd)
            raise Refusal(f"the data folder {self.path} is open to others (mode {stat.S_IMODE(info.st_mode):04o}): it "
                          f"keeps the authority's key; make it private (chmod 700 {self.path}) or give another with "
                          "--data")
        try:
            self.lock = os.open("lock", os.O_RDWR | os.O_CREAT | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600, dir_fd=self.fd)
        except OSError as error:
            os.close(self.fd)
            raise Refusal(f"cannot write in the data folder {self.path}: {error.strerror} (give another with --data)")
        # Two first runs at once make one authority.
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        # With the lock held no write is under way: a temporary is what a run
        # killed mid-write left.
        for entry in os.listdir(self.fd):
            if TEMPORARY.fullmatch(entry):
                self.remove(entry)

    def close(self):
        os.close(self.lock)
        os.close(self.fd)

    def file(self, name):
        return os.path.join(self.path, name)

    def read(self, name):
        """The file's bytes, or None when it is missing; refused when it is not a
        private plain file of this user's."""
        try:
            fd = os.open(name, os.O_RDONLY | os.O_NOFOLLOW | os.O_CLOEXEC, dir_fd=self.fd)
        except FileNotFoundError:
            return None
        except OSError as error:
            what = "is a symbolic link" if error.errno == errno.ELOOP else f"cannot be read ({error.strerror})"
            raise Refusal(f"{self.file(name)} {what}: remove it, and zentrick-phone makes it again")
        with os.fdopen(fd, "rb") as f:
            info = os.fstat(f.fileno())
            if not stat.S_ISREG(info.st_mode):
                raise Refusal(f"{self.file(name)} is not a plain file: remove it, and zentrick-phone makes it again")
            if info.st_uid != os.geteuid():
                raise Refusal(f"{self.file(name)} belongs to another user (uid {info.st_uid})")
            if info.st_mode & 0o077:
                raise Refusal(f"{self.file(name)} is open to others (mode {stat.S_IMODE(info.st_mode):04o}): "
                              f"chmod 600 {self.file(name)}, or remove the data folder to start afresh (a phone "
                              "then needs the new certificate)")
            return f.read()

    def remove(self, name):
        try:
            os.unlink(name, dir_fd=self.fd)
        except OSError:
            pass

    def write(self, name, data):
        """Replaces the file at once: written private under another name
        first, which goes again whatever stops the write (a full disk, Ctrl+C)."""
        temporary = f".{name}.{os.getpid()}"
        try:
            fd = os.open(temporary, os.O_WRONLY | os.O_CREAT | os.O_EXCL | os.O_NOFOLLOW | os.O_CLOEXEC, 0o600,
                         dir_fd=self.fd)
            try:
                with os.fdopen(fd, "wb") as f:
                    f.write(data)
                    f.flush()
                    os.fsync(f.fileno())
                os.replace(temporary, name, src_dir_fd=self.fd, dst_dir_fd=self.fd)
            except BaseException:
                self.remove(temporary)
                raise
        except OSError as error:
            raise Refusal(f"cannot write {self.file(name)}: {error.strerror}")


# --- The certificates --------------------------------------------------------


def utc(value):
    # (cryptography 42 and later give the times with their time zone.)
    return value if value.tzinfo else value.replace(tzinfo=datetime.timezone.utc)


def not_before(certificate):
    return utc(getattr(certificate, "not_valid_before_utc", None) or certificate.not_valid_before)


def not_after(certificate):
    return utc(getattr(certificate, "not_valid_after_utc", None) or certificate.not_valid_after)


def moment(value):
    return value.strftime("%Y-%m-%d %H:%M UTC")


def key_of(private_key, certificate):
    return private_key.public_key().public_numbers() == certificate.public_key().public_numbers()


def signed_by(certificate, authority):
    try:
        authority.public_key().verify(certificate.signature, certificate.tbs_certificate_bytes,
                                      ec.ECDSA(certificate.signature_hash_algorithm))
    except Exception:
        return False
    return certificate.issuer == authority.subject


def issue(subject, start, end, extensions, issuer=None, issuer_key=None):
    """A new key and a certificate for it, both as PEM: `extensions` are
    (extension, critical) pairs; without an issuer it signs itself."""
    key = ec.generate_private_key(ec.SECP256R1())
    public = key.public_key()
    builder = (
        x509.CertificateBuilder().subject_name(subject).issuer_name(issuer or subject).public_key(public)
        .serial_number(x509.random_serial_number()).not_valid_before(start).not_valid_after(end))
    for extension, critical in extensions + [(x509.SubjectKeyIdentifier.from_public_key(public), False)]:
        builder = builder.add_extension(extension, critical=critical)
    certificate = builder.sign(issuer_key or key, hashes.SHA256())
    key_pem = key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                                serialization.NoEncryption())
    return key_pem, certificate.public_bytes(serialization.Encoding.PEM)


def make_authority(now):
    try:
        user = pwd.getpwuid(os.geteuid()).pw_name
    except KeyError:
        user = str(os.geteuid())
    host = socket.gethostname().split(".")[0] or "this machine"
    name = x509.Name([
        x509.NameAttribute(NameOID.ORGANIZATION_NAME, "Zentrick"),
        x509.NameAttribute(NameOID.COMMON_NAME, f"Zentrick on {host} ({user})"[:COMMON_NAME_MAX]),
    ])
    permitted = [x509.IPAddress(n) for n in PRIVATE_NETWORKS + [LOOPBACK_NETWORK]] + [x509.DNSName(LOCAL_DOMAIN)]
    return issue(name, now - BACKDATE, now + datetime.timedelta(days=AUTHORITY_DAYS), [
        (x509.BasicConstraints(ca=True, path_length=0), True),
        (x509.KeyUsage(digital_signature=False, content_commitment=False, key_encipherment=False,
                       data_encipherment=False, key_agreement=False, key_cert_sign=True, crl_sign=True,
                       encipher_only=False, decipher_only=False), True),
        (x509.NameConstraints(permitted_subtrees=permitted, excluded_subtrees=None), True),
    ])


def make_server_certificate(authority, authority_key, names, now):
    alternative = [x509.IPAddress(n) if isinstance(n, ipaddress.IPv4Address) else x509.DNSName(n) for n in names]
    # Browsers read only the alternative names; the common name is for people,
    # and X.509 bounds it: the first name that fits, else none (the
    # alternative names are then critical, as a subject left empty needs).
    fitting = [str(n) for n in names if len(str(n)) <= COMMON_NAME_MAX]
    subject = x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, fitting[0])] if fitting else [])
    start = now - BACKDATE
    return issue(subject, start, min(start + datetime.timedelta(days=SERVER_DAYS), not_after(authority)), [
        (x509.BasicConstraints(ca=False, path_length=None), True),
        (x509.KeyUsage(digital_signature=True, content_commitment=False, key_encipherment=False,
                       data_encipherment=False, key_agreement=False, key_cert_sign=False, crl_sign=False,
                       encipher_only=False, decipher_only=False), True),
        (x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), False),
        (x509.SubjectAlternativeName(alternative), not fitting),
        (x509.AuthorityKeyIdentifier.from_issuer_public_key(authority.public_key()), False),
    ], authority.subject, authority_key)


def certificate_names(certificate):
    try:
        alternative = certificate.extensions.get_extension_for_class(x509.SubjectAlternativeName).value
    except x509.ExtensionNotFound:
        return set()
    return set(alternative.get_values_for_type(x509.DNSName)) | set(alternative.get_values_for_type(x509.IPAddress))


class Authority:
    """The authority (made on first use, and again once it has ended) and a
    server certificate for `names` (made again when the names change, when it
    does not verify now or nears an end a new one would move)."""

    def __init__(self, folder, names):
        if x509 is None:
            raise Refusal("python3-cryptography is missing (sudo apt install python3-cryptography)")
        now = datetime.datetime.now(datetime.timezone.utc)
        self.folder = folder.path
        self.made = False
        self.state = None
        kept = self.kept(folder, now)
        if kept is None:
            self.state = self.state or "made just now"
            key_pem, self.pem = make_authority(now)
            folder.write("ca-key.pem", key_pem)
            folder.write("ca.pem", self.pem)
            self.certificate = x509.load_pem_x509_certificate(self.pem)
            key = serialization.load_pem_private_key(key_pem, password=None)
            self.made = True
        else:
            self.certificate, key, self.pem = kept
            start, end = not_before(self.certificate), not_after(self.certificate)
            if start > now:
                self.state = (f"as before, but not valid until {moment(start)}, and this machine's clock says "
                              f"{moment(now)}: it was ahead when the authority was made, or is behind now. A phone "
                              "refuses the page until then; remove ca.pem and ca-key.pem for a new authority, which "
                              "every phone then needs")
            elif end - now <= datetime.timedelta(days=AUTHORITY_WARN_DAYS):
                self.state = (f"as before, until it ends on {moment(end)}: the first run after that makes a new "
                              "one, and every phone then needs its certificate (step 1 again)")
            else:
                self.state = "as before: a phone that trusts it needs nothing more"
        self.der = self.certificate.public_bytes(serialization.Encoding.DER)
        self.server_certificate = folder.file("server.pem")
        self.server_key = folder.file("server-key.pem")
        current = folder.read("server.pem")
        self.renewed = False
        if not self.usable(current, folder.read("server-key.pem"), names, now):
            server_key, server = make_server_certificate(self.certificate, key, names, now)
            folder.write("server-key.pem", server_key)
            folder.write("server.pem", server)
            self.renewed = current is not None and not self.made

    def kept(self, folder, now):
        """(certificate, key, PEM) of the authority in the folder, or None when
        a new one is due: there is none, or it has ended, or only its key is
        there (what a run killed before writing the certificate leaves; no
        phone can have trusted it)."""
        key_pem, pem = folder.read("ca-key.pem"), folder.read("ca.pem")
        if pem is None:
            return None
        redo = (f"remove {folder.file('ca.pem')} and {folder.file('ca-key.pem')} to make a new one (a phone then "
                "needs the new certificate)")
        try:
            certificate = x509.load_pem_x509_certificate(pem)
        except ValueError:
            raise Refusal(f"the authority in {folder.path} cannot be read: {redo}")
        end = not_after(certificate)
        if end <= now:
            # Its key may already be the next one's, of a run killed mid-way.
            self.state = f"made just now: the one before ended on {moment(end)}, so every phone needs this one"
            return None
        if key_pem is None:
            raise Refusal(f"{folder.file('ca-key.pem')} is missing beside the authority's certificate: {redo}")
        try:
            key = serialization.load_pem_private_key(key_pem, password=None)
        except ValueError:
            raise Refusal(f"the authority in {folder.path} cannot be read: {redo}")
        if not key_of(key, certificate):
            raise Refusal(f"{folder.file('ca-key.pem')} is not the key of {folder.file('ca.pem')}: {redo}")
        return certificate, key, pem

    def usable(self, pem, key_pem, names, now):
        """Whether the server certificate kept serves `names` and verifies now
        under the authority, with no end ahead that a new one would move."""
        if pem is None or key_pem is None:
            return False
        try:
            server = x509.load_pem_x509_certificate(pem)
            server_key = serialization.load_pem_private_key(key_pem, password=None)
        except ValueError:
            return False
        start, end, authority_end = not_before(server), not_after(server), not_after(self.certificate)
        # A run stopped between writing the key and the certificate leaves a
        # key of another certificate; one made while the clock was ahead
        # starts in the future.
        return (key_of(server_key, server) and signed_by(server, self.certificate)
                and certificate_names(server) == set(names) and start <= now < end <= authority_end
                and (end - now > datetime.timedelta(days=RENEW_DAYS) or end == authority_end))

    def name(self):
        return self.certificate.subject.get_attributes_for_oid(NameOID.COMMON_NAME)[0].value


# --- Serving -------------------------------------------------------------------


class Visits:
    """One line for the performer per phone and event, not per request."""

    def __init__(self):
        self.seen = set()
        self.lock = threading.Lock()

    def note(self, address, event, text):
        with self.lock:
            if (address, event) in self.seen:
                return
            self.seen.add((address, event))
        print(f"{PROGRAM}: {address} {text}", flush=True)


class PageHandler(serve.Handler):
    timeout = 60  # a phone that goes quiet frees its thread

    def do_GET(self):
        if self.path.split("?", 1)[0] in ("/", "/index.html"):
            self.server.visits.note(self.client_address[0], "page", "opened the page")
        super().do_GET()


class QuietServer(http.server.ThreadingHTTPServer):
    """A phone that hangs up mid-request is no news; anything else is one
    line, not a traceback under the QR codes."""

    def handle_error(self, request, client_address):
        error = sys.exc_info()[1]
        if not isinstance(error, OSError):
            print(f"{PROGRAM}: {client_address[0]}: {type(error).__name__}: {error}", file=sys.stderr, flush=True)


class TlsServer(QuietServer):
    """The page over https; the handshake happens in the request's thread, so a
    phone that stalls in it holds up nobody else."""

    def get_request(self):
        connection, address = self.socket.accept()
        return self.context.wrap_socket(connection, server_side=True, do_handshake_on_connect=False), address

    def finish_request(self, request, client_address):
        request.settimeout(30)
        try:
            request.do_handshake()
        except ssl.SSLError as error:
            # A phone that does not trust the authority yet says so.
            if any(word in str(error) for word in ("UNKNOWN_CA", "BAD_CERTIFICATE", "CERTIFICATE_UNKNOWN")):
                self.visits.note(client_address[0], "untrusted",
                                 "does not trust the certificate yet: trust it first (step 1)")
            return
        except OSError:
            return
        super().finish_request(request, client_address)


class CertificateHandler(http.server.BaseHTTPRequestHandler):
    """The plain-http port: the authority's certificate and how to trust it,
    from memory; nothing else of the data folder."""

    timeout = 60
    server_version = "zentrick-phone"

    def do_GET(self):
        self.answer(True)

    def do_HEAD(self):
        self.answer(False)

    def answer(self, body):
        path = self.path.split("?", 1)[0]
        files = self.server.files
        if path in files:
            content_type, data = files[path]
            if path != "/":
                self.server.visits.note(self.client_address[0], "certificate", "got the certificate")
        else:
            content_type, data = "text/plain; charset=utf-8", b"Not here: this port gives only the certificate.\n"
        self.send_response(200 if path in files else 404)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(data)))
        self.send_header("Cache-Control", "no-cache")
        if path == CERT_DER:
            self.send_header("Content-Disposition", 'attachment; filename="zentrick.crt"')
        self.end_headers()
        if body:
            self.wfile.write(data)

    def log_message(self, format, *args):
        pass


def certificate_page(authority, page_urls):
    """The page on the plain-http port: what to do on each kind of phone."""
    name = html.escape(authority.name())
    links = "".join(f'<li><a href="{html.escape(u)}">{html.escape(u)}</a></li>' for u in page_urls)
    return f"""<!doctype html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>Zentrick: trust this laptop</title>
<style>
  body {{ font: 17px/1.45 system-ui, sans-serif; margin: 0 auto; padding: 1em; max-width: 36em;
         background: #0f5129; color: #f4f4ef; }}
  a {{ color: #ffe38a; }}
  .get {{ display: inline-block; margin: .3em 0; padding: .6em 1em; border-radius: .4em; background: #ffe38a;
          color: #10381f; font-weight: bold; text-decoration: none; }}
  h2 {{ margin-bottom: .2em; }}
  li {{ margin: .25em 0; }}
  small {{ opacity: .8; }}
</style>
</head>
<body>
<h1>Zentrick on this phone</h1>
<p>The trick runs as a secure page from the laptop. First let this phone trust the laptop's certificate
(<b>{name}</b>): once per phone, it can vouch only for laptops on your own network, never for a public site.</p>
<p><a class="get" href="{CERT_DER}">Get the certificate</a>
<small>(or <a href="{CERT_PEM}">as PEM</a>)</small></p>

<h2>iPhone</h2>
<ol>
<li>Tap <b>Get the certificate</b> in Safari and <b>Allow</b> the download.</li>
<li>Open <b>Settings</b>, tap <b>Profile Downloaded</b> at the top, then <b>Install</b> (and your passcode).</li>
<li>Then <b>Settings &gt; General &gt; About &gt; Certificate Trust Settings</b>: turn on full trust for
<b>{name}</b>.</li>
</ol>

<h2>Android</h2>
<ol>
<li>Tap <b>Get the certificate</b>; the phone keeps the file <b>zentrick.crt</b>.</li>
<li>Open <b>Settings &gt; Security &gt; Encryption and credentials &gt; Install a certificate
&gt; CA certificate</b> (under <i>More security settings</i> on some phones), accept the warning and
pick <b>zentrick.crt</b>.</li>
</ol>

<h2>Then</h2>
<p>Open the trick:</p>
<ul>{links}</ul>
<p>iPhone: <b>Share &gt; Add to Home Screen</b>. Android: menu, <b>Add to Home screen</b> (or <b>Install app</b>).
Start it once from the home screen; from then on it works with no network at all.</p>

<h2>Afterwards</h2>
<p>Once the trick is on the home screen you may remove the certificate (iPhone: <b>Settings &gt; General &gt; VPN
&amp; Device Management</b>, the profile, <b>Remove Profile</b>; Android: <b>Encryption and credentials &gt; User
credentials</b>). The trick keeps working offline, but it cannot take a newer version of the page until the phone
trusts the certificate again: install it again then, the same way.</p>
</body>
</html>
""".encode()


def qr_code(text, terminal):
    """The QR code as lines for the terminal, or None without qrencode."""
    if not shutil.which("qrencode"):
        return None
    try:
        result = subprocess.run(["qrencode", "-t", "ANSIUTF8" if terminal else "UTF8", "-m", "2", "-o", "-", text],
                                capture_output=True, text=True, timeout=10)
    except (OSError, subprocess.SubprocessError):
        return None
    return result.stdout.rstrip("\n").split("\n") if result.returncode == 0 else None


def side_by_side(left, right, gap=4):
    visible = lambda line: len(re.sub(r"\x1b\[[0-9;]*m", "", line))  # noqa: E731
    width = max(visible(line) for line in left)
    rows = max(len(left), len(right))
    left = left + [""] * (rows - len(left))
    right = right + [""] * (rows - len(right))
    return [f"  {a}{' ' * (width - visible(a) + gap)}{b}".rstrip() for a, b in zip(left, right)]


def listen(server_class, handler, address, port, option):
    try:
        return server_class((str(address), port), handler)
    except OSError as error:
        where = f"{address}:{port}"
        if error.errno == errno.EADDRINUSE:
            raise Refusal(f"port {port} on {address} is taken (another zentrick-phone, or another server): stop it, "
                          f"or choose another port with {option}")
        if error.errno == errno.EACCES:
            raise Refusal(f"cannot serve on {where}: ports below 1024 need root; choose another with {option}")
        if error.errno == errno.EADDRNOTAVAIL:
            raise Refusal(f"cannot serve on {where}: {address} is not an address of this machine (--bind)")
        raise Refusal(f"cannot serve on {where}: {error.strerror}")


def url(scheme, host, port):
    return f"{scheme}://{host}:{port}/"


def parse_arguments(argv, default_site):
    parser = argparse.ArgumentParser(
        prog=PROGRAM,
        description="Serve the Zentrick page to a phone on this network over https it can trust: prints the "
                    "address, QR codes and what to do on the phone. Ctrl+C stops it.",
        epilog="The certificate authority is made once per user, in the data folder, and can vouch only for "
               "private addresses (10.x, 172.16-31.x, 192.168.x, 127.x) and .local names. "
               "Environment: XDG_DATA_HOME (the data folder's base; else HOME/.local/share, an empty or "
               "relative one ignored); ZT_PHONE_ADDRESSES (the machine's addresses, "
               "instead of its interfaces').")
    parser.add_argument("--port", type=int, default=8443, metavar="PORT", help="the page's https port (default 8443; 0 takes a free one)")
    parser.add_argument("--cert-port", type=int, default=8080, metavar="PORT",
                        help="the plain-http port that gives the certificate (default 8080; 0 takes a free one)")
    parser.add_argument("--site", default=default_site, metavar="DIR", help=f"the built page's folder (default {default_site})")
    parser.add_argument("--data", default=None, metavar="DIR",
                        help="where the certificate authority is kept, neither inside the site nor holding it "
                             "(default $XDG_DATA_HOME/zentrick, ~/.local/share/zentrick)")
    parser.add_argument("--name", action="append", default=[], metavar="NAME",
                        help="another name for the certificate: a .local host name or a private address "
                             "(repeatable)")
    parser.add_argument("--bind", action="append", default=[], metavar="ADDRESS",
                        help="serve on this IPv4 address only (repeatable; 0.0.0.0 for all; default: each private "
                             "address of the machine)")
    args = parser.parse_args(argv)
    for option, port in (("--port", args.port), ("--cert-port", args.cert_port)):
        if not 0 <= port <= 65535:
            parser.error(f"{option} {port}: a port is 0 to 65535")
    if args.port == args.cert_port and args.port != 0:
        parser.error(f"--port and --cert-port are both {args.port}: the page and the certificate need a port each")
    return args


def prepare(args):
    """Everything short of serving: checks, the authority, the addresses."""
    site = os.path.abspath(args.site)
    if not os.path.isfile(os.path.join(site, "index.html")):
        raise Refusal(f"no page in {site} (no index.html): build it first with `make web` in the source tree, or "
                      "give the built page's folder with --site")
    extra = [parse_name(n) for n in args.name]
    binds = [parse_bind(b) for b in args.bind]
    machine = machine_addresses()
    private = [a for a in machine if is_private(a)]
    if not binds:
        if not private:
            others = [str(a) for a in machine if a not in LOOPBACK_NETWORK]
            found = ("it has only loopback (127.0.0.1)" if not others
                     else "it has only " + ", ".join(others) + " besides loopback")
            raise Refusal(f"this machine has no private network address (10.x, 172.16-31.x, 192.168.x): {found}. "
                          "Join the Wi-Fi the phone is on, or serve on an address of your choosing with --bind "
                          "ADDRESS, with --name NAME for the name the phone reaches it by")
        binds = private
    everywhere = any(b == ipaddress.IPv4Address("0.0.0.0") for b in binds)
    served = [a for a in (private if everywhere else binds) if may_be_named(a)]
    names = []
    host = local_host_name()
    for name in ([host] if host else []) + extra + served + [a for a in private if a not in served]:
        if name not in names:
            names.append(name)
    # The phone needs an address it is served on or a name, in the certificate.
    if not served and not any(isinstance(n, str) for n in names):
        raise Refusal("the certificate can name neither the addresses served on nor this machine (its host name is "
                      "no DNS label): give the name the phone reaches this machine by with --name")
    return site, binds, served, names


def main(argv=None, default_site="build-web/site"):
    args = parse_arguments(sys.argv[1:] if argv is None else argv, default_site)
    folder = None
    servers = []
    try:
        site, binds, served, names = prepare(args)
        data = args.data or default_data_folder()
        check_apart(site, data)
        folder = DataFolder(data)
        authority = Authority(folder, names)
        folder.close()
        folder = None
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.minimum_version = ssl.TLSVersion.TLSv1_2
        context.load_cert_chain(authority.server_certificate, authority.server_key)
        visits = Visits()
        # Every address on the same two ports: the first one bound chooses
        # them when asked for any.
        port, cert_port = args.port, args.cert_port
        for address in binds:
            page = listen(TlsServer, functools.partial(PageHandler, directory=site), address, port, "--port")
            servers.append(page)
            page.context, page.visits, page.quiet = context, visits, True
            port = page.server_address[1]
            certificate = listen(QuietServer, CertificateHandler, address, cert_port,
                                 "--cert-port")
            servers.append(certificate)
            certificate.visits = visits
            cert_port = certificate.server_address[1]
    except (Refusal, KeyboardInterrupt) as refusal:
        for server in servers:
            server.server_close()
        if folder:
            folder.close()
        if isinstance(refusal, KeyboardInterrupt):  # Ctrl+C before serving
            print(f"{PROGRAM}: stopped", file=sys.stderr)
            return 130
        print(f"{PROGRAM}: {refusal}", file=sys.stderr)
        return 1

    hosts = [str(a) for a in served] or [n for n in names if isinstance(n, str)]
    page_urls = [url("https", h, port) for h in hosts]
    dns = [n for n in names if isinstance(n, str) and n not in hosts]
    page_urls += [url("https", n, port) for n in dns]
    files = {
        "/": ("text/html; charset=utf-8", certificate_page(authority, page_urls)),
        CERT_DER: ("application/x-x509-ca-cert", authority.der),
        CERT_PEM: ("application/x-pem-file", authority.pem),
    }
    for server in servers:
        server.files = files
    cert_url = url("http", hosts[0], cert_port)

    home = home_folder()
    where = (authority.folder if not home or home == "/" or not authority.folder.startswith(home + "/")
             else "~" + authority.folder[len(home):])
    state = authority.state
    if authority.renewed:
        state += "; a new certificate for this network under it"
    out = [
        f"{PROGRAM}: serving the page to a phone on this network",
        f"  the page         {page_urls[0]}",
    ]
    if page_urls[1:]:
        out.append(f"                   also {', '.join(page_urls[1:])}")
    out.append(f"  the certificate  {cert_url}  (once per phone)")
    out.append(f"  the authority    \"{authority.name()}\", kept in {where}")
    out.extend(textwrap.wrap(state, 79, initial_indent=" " * 19, subsequent_indent=" " * 19))
    out.append(f"  the site         {site}")
    terminal = sys.stdout.isatty()
    left, right = qr_code(cert_url, terminal), qr_code(page_urls[0], terminal)
    if left and right:
        out.append("")
        out.append(f"  1. the certificate{' ' * 16}2. the page")
        out.extend(side_by_side(left, right))
    else:
        out.append("  (install qrencode to see QR codes for these addresses here)")
    out.extend([
        "",
        "On the phone, on the same Wi-Fi as this machine:",
        "  1. Once: scan code 1, tap Get the certificate, and trust it.",
        "     iPhone: Allow; Settings > Profile Downloaded > Install; then Settings >",
        "       General > About > Certificate Trust Settings: full trust for",
        f"       \"{authority.name()}\".",
        "     Android: Settings > Security > Encryption and credentials >",
        "       Install a certificate > CA certificate, and pick zentrick.crt.",
        "  2. Scan code 2: the trick opens. iPhone: Share > Add to Home Screen;",
        "     Android: menu > Add to Home screen (or Install app).",
        "  3. Start it once from the home screen while this runs: from then on it",
        "     works offline. Ctrl+C stops the server.",
    ])
    # Ctrl+C and SIGTERM stop it cleanly from here on: blocked in every thread
    # and waited for, as a handler that set an Event could deadlock on the
    # lock of the very wait it interrupted.
    stop = {signal.SIGINT, signal.SIGTERM}
    signal.pthread_sigmask(signal.SIG_BLOCK, stop)
    threads = [threading.Thread(target=s.serve_forever, kwargs={"poll_interval": 0.2}, daemon=True) for s in servers]
    for thread in threads:
        thread.start()
    print("\n".join(out), flush=True)
    signal.sigwait(stop)
    for server in servers:
        server.shutdown()
        server.server_close()
    try:
        print(f"{PROGRAM}: stopped", flush=True)
    except OSError:
        pass  # the output went away first (a pipe closed)
    return 0


if __name__ == "__main__":
    sys.exit(main())
