#!/usr/bin/env python3
"""Writes the configuration page that announces a build to the program.

  publish_update.py PROGRAM URL PRIVATE_KEY [-o FILE]
      The update page for a new kvr.exe: [VerKey] Kvr = its version key (the
      first 28 hexadecimal digits of its MD5 digest and the version of its
      version resource without dots), UpdAddr = URL, UpdSig = its signature.
      Each build reads its own page: "ConfigKvr.htm" for a 32-bit program,
      "ConfigKvr64.htm" for a 64-bit one, chosen by the file's PE machine.
  publish_update.py --hall NAME INSTALLER URL PRIVATE_KEY [-o FILE]
      "Config<NAME>.htm" for a game-hall client's installer: UpdAddr, UpdSig.

UpdSig is the RSA PKCS#1 v1.5 signature over the SHA-256 digest of the whole
file, in base64 on one line: what `openssl dgst -sha256 -sign KEY FILE |
openssl base64 -A` writes. PRIVATE_KEY is the maker's RSA key (PEM) whose
public half the program was built with. Put the file at URL and the page at
the client-service server's /update/ before anyone starts the program.
"""
import argparse
import base64
import hashlib
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "release"))
import pe_info  # noqa: E402

MAX_ADDRESS = 511  # the program reads UpdAddr into 512 characters
UPDATE_PAGES = {"i386": "ConfigKvr.htm", "x86-64": "ConfigKvr64.htm"}  # by PE machine


class Refused(Exception):
    pass


def check_url(url):
    """The program downloads only plain http URLs its one parser accepts."""
    m = re.fullmatch(r"http://([^/?#@\\]+)(/[^\s]*)?", url, re.IGNORECASE)
    if not m or "@" in url:
        raise Refused("%s: not an http:// URL the program accepts (no user part, no other scheme)" % url)
    host, _, port = m.group(1).partition(":")
    if not host or (m.group(1).count(":") and not (port.isdigit() and 0 < int(port) < 65536)):
        raise Refused("%s: the port must be a number from 1 to 65535" % url)
    if len(url) > MAX_ADDRESS:
        raise Refused("%s: longer than %d characters" % (url, MAX_ADDRESS))


def check_key(key):
    """An RSA private key of 2048 to 4096 bits, as the program's check expects."""
    out = subprocess.run(["openssl", "pkey", "-in", key, "-noout", "-text_pub"], capture_output=True, text=True)
    m = re.search(r"Public-Key: \((\d+) bit", out.stdout)
    if out.returncode != 0 or "Modulus:" not in out.stdout or not m:
        raise Refused("%s: not an RSA private key (%s)" % (key, out.stderr.strip() or "no modulus"))
    if not 2048 <= int(m.group(1)) <= 4096:
        raise Refused("%s: %s bits; the program takes 2048 to 4096" % (key, m.group(1)))


def signature(path, key):
    out = subprocess.run(["openssl", "dgst", "-sha256", "-sign", key, path], capture_output=True)
    if out.returncode != 0 or not out.stdout:
        raise Refused("signing %s failed: %s" % (path, out.stderr.decode(errors="replace").strip()))
    return base64.b64encode(out.stdout).decode("ascii")


def version_key(program):
    version = pe_info.version(program)
    if not version:
        raise Refused("%s: no version resource" % program)
    with open(program, "rb") as f:
        digest = hashlib.md5(f.read()).hexdigest()
    return digest[:28] + version.replace(".", ""), version


def page(values):
    return "[VerKey]\r\n" + "".join("%s=%s\r\n" % kv for kv in values)


def main():
    ap = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    ap.add_argument("--hall", metavar="NAME", help="a game-hall client's installer instead of kvr.exe")
    ap.add_argument("program", metavar="PROGRAM")
    ap.add_argument("url", metavar="URL")
    ap.add_argument("key", metavar="PRIVATE_KEY")
    ap.add_argument("-o", "--output", help="where to write the page (default: its name in this folder)")
    args = ap.parse_args()
    try:
        if args.hall is not None and not re.fullmatch(r"[A-Za-z0-9_-]{1,64}", args.hall):
            raise Refused("%s: a client name is letters, digits, '_' and '-'" % args.hall)
        check_url(args.url)
        check_key(args.key)
        sig = signature(args.program, args.key)
        if args.hall is None:
            machine = pe_info.machine(args.program)
            if machine not in UPDATE_PAGES:
                raise Refused("%s: a program for %s, which no build of the client runs on" % (args.program, machine))
            key, version = version_key(args.program)
            name, values = UPDATE_PAGES[machine], [("Kvr", key), ("UpdAddr", args.url), ("UpdSig", sig)]
            what = "%s, version %s, Kvr=%s" % (machine, version, key)
        else:
            name, values = "Config%s.htm" % args.hall, [("UpdAddr", args.url), ("UpdSig", sig)]
            what = "installer of %s" % args.hall
    except (OSError, Refused, pe_info.NotAProgram) as e:
        print("publish_update: %s" % e, file=sys.stderr)
        return 1
    out = args.output or name
    with open(out, "w", encoding="ascii", newline="") as f:
        f.write(page(values))
    print("%s: %s (%s), UpdAddr=%s, UpdSig of %d bytes" % (out, os.path.basename(args.program), what, args.url,
                                                          len(base64.b64decode(sig))))
    return 0


if __name__ == "__main__":
    sys.exit(main())
