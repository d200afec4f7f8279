#!/usr/bin/env python3
"""Authenticode signing of the release programs with osslsigncode.

  codesign.py PFX FILE...    signs each FILE in place and verifies it
The PFX's password comes from the environment (KVR_CODESIGN_PASSWORD), never
the command line. KVR_CODESIGN_TIMESTAMP (a time-stamping server's URL) adds a
time stamp, so the signature outlives the certificate.
"""
import os
import re
import shutil
import subprocess
import sys
import tempfile

DESCRIPTION = "MarvoleKelvara极速登录器"
SYSTEM_CAS = "/etc/ssl/certs/ca-certificates.crt"


class SigningFailed(Exception):
    pass


def _run(args):
    return subprocess.run(args, capture_output=True, text=True, errors="replace")


def certificates_of(pfx, password_file, out):
    """The PFX's certificates (signer and chain) as PEM, to verify against."""
    r = _run(["openssl", "pkcs12", "-in", pfx, "-nokeys", "-passin", "file:" + password_file, "-out", out])
    if r.returncode != 0:
        raise SigningFailed("%s: cannot read its certificates: %s" % (pfx, r.stderr.strip()))


def verify(path, ca_file):
    """The signer's subject when the signature of path verifies, else raises."""
    r = _run(["osslsigncode", "verify", "-in", path, "-CAfile", ca_file])
    signer = re.search(r"Signer #0:\s*\n\s*Subject: (.*)", r.stdout)
    if r.returncode != 0 or "Signature verification: ok" not in r.stdout or "MISMATCH" in r.stdout or not signer:
        lines = [l.strip() for l in r.stdout.splitlines() + r.stderr.splitlines()
                 if "MISMATCH" in l or "failed" in l.lower() or "error" in l.lower()]
        raise SigningFailed("%s: signature does not verify (%s)" % (path, "; ".join(lines) or "no signature"))
    return signer.group(1).strip()


def sign(files, pfx, password, timestamp_url=None):
    """Signs files in place; returns [(file, signer subject)] read back from each."""
    if not shutil.which("osslsigncode"):
        raise SigningFailed("osslsigncode is not installed")
    results = []
    with tempfile.TemporaryDirectory() as tmp:
        password_file = os.path.join(tmp, "password")
        with open(os.open(password_file, os.O_WRONLY | os.O_CREAT, 0o600), "w") as f:
            f.write(password)
        # The signer's own chain, and the system's roots for a chain that ends there.
        ca_file = os.path.join(tmp, "ca.pem")
        certificates_of(pfx, password_file, ca_file)
        if os.path.exists(SYSTEM_CAS):
            with open(ca_file, "a") as out, open(SYSTEM_CAS) as system:
                out.write(system.read())
        for path in files:
            signed = os.path.join(tmp, os.path.basename(path))
            args = ["osslsigncode", "sign", "-pkcs12", pfx, "-readpass", password_file, "-h", "sha256",
                    "-n", DESCRIPTION, "-in", path, "-out", signed]
            if timestamp_url:
                args += ["-ts", timestamp_url]
            r = _run(args)
            if r.returncode != 0:
                raise SigningFailed("%s: osslsigncode sign failed: %s" % (path, (r.stderr or r.stdout).strip()))
            results.append((path, verify(signed, ca_file)))
            shutil.copyfile(signed, path)
    return results


def main(argv):
    if len(argv) < 2:
        print(__doc__, file=sys.stderr)
        return 2
    try:
        for path, signer in sign(argv[1:], argv[0], os.environ.get("KVR_CODESIGN_PASSWORD", ""),
                                 os.environ.get("KVR_CODESIGN_TIMESTAMP")):
            print("%s: Authenticode signature verified, signer %s" % (os.path.basename(path), signer))
    except (OSError, SigningFailed) as e:
        print("codesign: %s" % e, file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
