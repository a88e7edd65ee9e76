#!/usr/bin/python3
"""`kestrivel --sync` against a calendar on https://127.0.0.1 with a self-signed certificate made by
openssl for this run: refused (and nothing asked) until the user trusts it, trusted by its SHA-256
fingerprint for that server only, refused again once the server shows another certificate; and
trusted through SSL_CERT_FILE / SSL_CERT_DIR as OpenSSL programs trust it.

Usage: test_tls.py BUILD_FOLDER"""
import os
import re
import shutil
import ssl
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402
import test_hostile  # noqa: E402

SECRET = test_hostile.SECRET


def make_certificate(folder, name):
    """A self-signed certificate for 127.0.0.1: (certificate path, key path, SHA-256 fingerprint)."""
    cert, key = os.path.join(folder, name + ".pem"), os.path.join(folder, name + ".key")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "30", "-subj", f"/CN=Kestrivel test {name}", "-addext", "subjectAltName=IP:127.0.0.1"],
                   check=True, capture_output=True)
    said = subprocess.run(["openssl", "x509", "-noout", "-fingerprint", "-sha256", "-in", cert],
                          check=True, capture_output=True, text=True).stdout
    return cert, key, said.strip().split("=", 1)[1].upper()


def main():
    if len(sys.argv) < 2:
        sys.exit("usage: test_tls.py BUILD_FOLDER")
    build = os.path.abspath(sys.argv[1])
    if not shutil.which("openssl"):
        print("tls: skipped, no openssl command")
        return harness.SKIP
    os.environ["no_proxy"] = os.environ["NO_PROXY"] = "127.0.0.1"
    for name in ("SSL_CERT_FILE", "SSL_CERT_DIR"):
        os.environ.pop(name, None)
    failed = 0
    with tempfile.TemporaryDirectory(prefix="kestrivel-tls-") as root:
        first = make_certificate(root, "first")
        second = make_certificate(root, "second")
        authorities = os.path.join(root, "authorities")
        os.makedirs(authorities)
        shutil.copy(second[0], authorities)

        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(first[0], first[1])
        server = test_hostile.Listener("127.0.0.1", context)
        origin = server.url.replace("http://", "https://")
        address = origin + "/cal/"

        def row(index, name, certificate=None, trusted=None, env=None, code=0, err=r"^$", asked=True):
            nonlocal failed
            server.requests.clear()
            if certificate:
                context.load_cert_chain(certificate[0], certificate[1])
            device = harness.Device(build, root, f"row{index}", address, "anna", SECRET)
            device.set_memos(test_hostile.MEMOS)
            if trusted:
                with open(os.path.join(device.folder, "Settings.ini"), "a") as f:
                    f.write(f"Certificate={trusted}\n")
            environment = device.environment()
            environment.update(env or {})
            proc = subprocess.run([device.program, "--sync"], env=environment, capture_output=True, text=True,
                                  timeout=60, stdin=subprocess.DEVNULL)
            problems = []
            if proc.returncode != code:
                problems.append(f"exit {proc.returncode}, not {code}")
            if not re.search(err, proc.stderr, re.M):
                problems.append(f"error output does not match {err!r}")
            if asked != bool(server.requests):
                problems.append(f"the server was asked {len(server.requests)} times")
            if SECRET in proc.stdout + proc.stderr:
                problems.append("the password was printed")
            if problems:
                failed += 1
                print(f"tls: {name}: FAILED: " + "; ".join(problems) + "\n    " + (proc.stdout + proc.stderr).strip())
            else:
                print(f"tls: {name}: ok")

        untrusted = r"^kestrivel: sync failed: the certificate of https://127\.0\.0\.1:\d+/cal/ is not trusted " \
                    r"\(SHA-256 {}, Kestrivel test {}, valid from \S+ to \S+\)"
        try:
            row(0, "refused until trusted", code=1, err=untrusted.format(first[2], "first"), asked=False)
            row(1, "trusted by its fingerprint", trusted=f"{origin} {first[2]}")
            row(2, "trusted by a fingerprint without colons, in lower case",
                trusted=f"{origin} {first[2].replace(':', '').lower()}")
            other_port = re.sub(r":\d+$", lambda m: f":{int(m.group()[1:]) % 65535 + 1}", origin)
            row(3, "trusted for another server only", trusted=f"{other_port} {first[2]}", code=1,
                err=untrusted.format(first[2], "first"), asked=False)
            row(4, "refused again after the certificate changed", certificate=second, trusted=f"{origin} {first[2]}",
                code=1, err=r"^kestrivel: sync failed: the certificate of \S+ changed since it was trusted "
                            rf"\(SHA-256 {second[2]}, Kestrivel test second", asked=False)
            row(5, "an authority from SSL_CERT_FILE", env={"SSL_CERT_FILE": second[0]})
            row(6, "an authority from SSL_CERT_DIR", env={"SSL_CERT_DIR": authorities})
            row(7, "SSL_CERT_FILE of another authority", env={"SSL_CERT_FILE": first[0]}, code=1,
                err=untrusted.format(second[2], "second"), asked=False)
        finally:
            server.stop()
    print(f"{failed} failed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
