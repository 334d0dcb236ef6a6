#!/usr/bin/env python3
"""A certificate for NAME, signed by the authority in DATA, served on
127.0.0.1 for at most SECONDS: what a forged site would show a phone that
trusts the authority.

    leaf_server.py DATA NAME [SECONDS]

Prints "port N" once it listens."""
import datetime
import http.server
import os
import ssl
import sys
import tempfile
import threading

from cryptography import x509
from cryptography.hazmat.primitives import hashes, serialization
from cryptography.hazmat.primitives.asymmetric import ec
from cryptography.x509.oid import ExtendedKeyUsageOID, NameOID


class Handler(http.server.BaseHTTPRequestHandler):
    def do_GET(self):
        body = b"<!doctype html><title>leaf</title><p>served\n"
        self.send_response(200)
        self.send_header("Content-Type", "text/html")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, format, *args):
        pass


def leaf(data, name):
    """A key and a certificate for `name` from the authority in `data`, as PEM."""
    with open(os.path.join(data, "ca.pem"), "rb") as f:
        authority = x509.load_pem_x509_certificate(f.read())
    with open(os.path.join(data, "ca-key.pem"), "rb") as f:
        authority_key = serialization.load_pem_private_key(f.read(), password=None)
    key = ec.generate_private_key(ec.SECP256R1())
    now = datetime.datetime.now(datetime.timezone.utc)
    certificate = (
        x509.CertificateBuilder().subject_name(x509.Name([x509.NameAttribute(NameOID.COMMON_NAME, name)]))
        .issuer_name(authority.subject).public_key(key.public_key()).serial_number(x509.random_serial_number())
        .not_valid_before(now - datetime.timedelta(hours=1)).not_valid_after(now + datetime.timedelta(days=30))
        .add_extension(x509.BasicConstraints(ca=False, path_length=None), critical=True)
        .add_extension(x509.ExtendedKeyUsage([ExtendedKeyUsageOID.SERVER_AUTH]), critical=False)
        .add_extension(x509.SubjectAlternativeName([x509.DNSName(name)]), critical=False)
        .sign(authority_key, hashes.SHA256()))
    return (certificate.public_bytes(serialization.Encoding.PEM),
            key.private_bytes(serialization.Encoding.PEM, serialization.PrivateFormat.PKCS8,
                              serialization.NoEncryption()))


def main():
    data, name = sys.argv[1], sys.argv[2]
    seconds = float(sys.argv[3]) if len(sys.argv) > 3 else 120
    certificate, key = leaf(data, name)
    with tempfile.TemporaryDirectory() as work:
        chain, private = os.path.join(work, "leaf.pem"), os.path.join(work, "leaf-key.pem")
        with open(chain, "wb") as f:
            f.write(certificate)
        with open(private, "wb") as f:
            f.write(key)
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(chain, private)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.socket = context.wrap_socket(server.socket, server_side=True)
    stop = threading.Timer(seconds, server.shutdown)
    stop.daemon = True
    stop.start()
    print(f"port {server.server_address[1]}", flush=True)
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    main()
