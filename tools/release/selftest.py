#!/usr/bin/env python3
"""Checks the release tools on a built program (run by CTest, on Linux).

  selftest.py PROGRAM VERSION
- pe_info reads VERSION back from the program's version resource;
- the configure-time checks (cmake/release_checks.cmake) refuse any build
  without an update key unless KVR_ALLOW_UNSIGNED=ON, and a release with test
  hooks, without a key, with loopback addresses outside the stand-in example
  or with a client-service host outside its trusted domains, and let a
  release with real addresses through;
- publish_update.py writes a game-hall installer's page whose UpdSig
  verifies with openssl, and refuses URLs the program would not take;
- codesign signs a copy with a throw-away self-signed certificate made by
  openssl, and osslsigncode reads that signer back; a copy changed after
  signing, and a wrong PFX password, are refused.
"""
import base64
import os
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import codesign  # noqa: E402
import pe_info  # noqa: E402

failures = []


def check(ok, what):
    print("%s  %s" % ("ok  " if ok else "FAIL", what))
    if not ok:
        failures.append(what)


def throwaway_pfx(folder, password):
    key, cert, pfx = (os.path.join(folder, n) for n in ("key.pem", "cert.pem", "signer.pfx"))
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", key, "-out", cert,
                    "-days", "2", "-subj", "/CN=Kvr Throw-away Signer/O=Kvr Release Test",
                    "-addext", "extendedKeyUsage=codeSigning"], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-inkey", key, "-in", cert, "-out", pfx,
                    "-passout", "pass:" + password], check=True, capture_output=True)
    return pfx


ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
REAL = {"KVR_CLIENT_SERVICE": "cs.marvole.example", "KVR_PORTAL": "www.marvole.example",
        "KVR_PLAYTIME": "pt.marvole.example:8080", "KVR_EXTLOGIN": "login.marvole.example",
        "KVR_QQ_AUTH": "graph.qq.example", "KVR_PROBE_URL": "http://cs.marvole.example/",
        "KVR_PORTAL_HOME": "http://www.marvole.example/", "KVR_PORTAL_ROOT": "http://www.marvole.example/index.html",
        "KVR_FLASH_DOWNLOAD_URL": "http://get.flash.example/", "KVR_TRUSTED_DOMAINS": "marvole.example;marvole2.example"}


def release_checks(settings, release="ON", **values):
    """Runs the configure-time checks as CMake would; True when they pass."""
    args = ["cmake", "-DKVR_RELEASE=" + release, "-DKVR_RELEASE_SETTINGS=" + settings]
    args += ["-D%s=%s" % kv for kv in dict(REAL, **values).items()]
    r = subprocess.run(args + ["-P", os.path.join(ROOT, "cmake", "release_checks.cmake")], cwd=ROOT,
                       capture_output=True, text=True)
    return r.returncode == 0


def check_refusals(key):
    example = os.path.join(ROOT, "release", "stand-in.cmake")
    other = "/tmp/my-release.cmake"
    check(release_checks(other, KVR_UPDATE_PUBLIC_KEY=key), "a release with real addresses and a key passes")
    check(not release_checks(other, KVR_UPDATE_PUBLIC_KEY=key, KVR_TEST_HOOKS="ON"), "test hooks are refused")
    check(not release_checks(other), "a release without a public key is refused")
    check(not release_checks(other, KVR_UPDATE_PUBLIC_KEY=key + ".missing"), "a key file that is not there is refused")
    for var, value in (("KVR_CLIENT_SERVICE", "127.0.0.1:18301"), ("KVR_PROBE_URL", "http://127.1.2.3/"),
                       ("KVR_PORTAL_ROOT", "http://LocalHost:80/index.html"), ("KVR_PORTAL", "[::1]:80"),
                       ("KVR_TRUSTED_DOMAINS", "marvole.example;dl.localhost")):
        check(not release_checks(other, KVR_UPDATE_PUBLIC_KEY=key, **{var: value}),
              "%s = %s is refused outside the stand-in example" % (var, value))
    check(release_checks(example, KVR_UPDATE_PUBLIC_KEY=key, KVR_CLIENT_SERVICE="127.0.0.1:18301",
                         KVR_TRUSTED_DOMAINS="127.0.0.1;localhost"),
          "the stand-in example may use loopback addresses")
    for service, domains in (("cs.marvole.example", "marvole2.example"), ("csmarvole.example", "marvole.example"),
                             ("marvole.example.evil.example:80", "marvole.example")):
        check(not release_checks(other, KVR_UPDATE_PUBLIC_KEY=key, KVR_CLIENT_SERVICE=service,
                                 KVR_TRUSTED_DOMAINS=domains),
              "client service %s outside the trusted domains %s is refused" % (service, domains))
    check(release_checks(other, KVR_UPDATE_PUBLIC_KEY=key, KVR_CLIENT_SERVICE="Marvole.Example:8080"),
          "a client service that is a trusted domain itself passes")
    check(not release_checks(other, release="OFF"), "any build without a public key is refused")
    check(release_checks(other, release="OFF", KVR_ALLOW_UNSIGNED="ON"), "unless KVR_ALLOW_UNSIGNED=ON asks for it")


def check_publishing(program, tmp):
    key, pub = os.path.join(tmp, "update.pem"), os.path.join(tmp, "update.pub.pem")
    subprocess.run(["openssl", "genpkey", "-algorithm", "RSA", "-pkeyopt", "rsa_keygen_bits:2048", "-out", key],
                   check=True, capture_output=True)
    subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-out", pub], check=True, capture_output=True)
    tool = os.path.join(ROOT, "tools", "publish_update.py")
    page = os.path.join(tmp, "ConfigHall.htm")

    def publish(url, *extra):
        return subprocess.run([sys.executable, tool, *extra, program, url, key, "-o", page],
                              capture_output=True, text=True).returncode == 0

    url = "http://dl.marvole.example:8080/hall/Hall.exe"
    check(publish(url, "--hall", "Hall"), "publish_update.py --hall writes a page")
    values = dict(l.split("=", 1) for l in open(page, newline="").read().split("\r\n")[1:] if "=" in l)
    check(sorted(values) == ["UpdAddr", "UpdSig"] and values["UpdAddr"] == url, "the hall page: UpdAddr and UpdSig")
    sig = os.path.join(tmp, "sig.bin")
    with open(sig, "wb") as f:
        f.write(base64.b64decode(values.get("UpdSig", "")))
    r = subprocess.run(["openssl", "dgst", "-sha256", "-verify", pub, "-signature", sig, program], capture_output=True)
    check(r.returncode == 0, "its UpdSig verifies over the installer with the public key")
    for bad in ("http://dl.marvole.example@evil.example/x.exe", "https://dl.marvole.example/x.exe",
                "http://dl.marvole.example:80x/x.exe", "ftp://dl.marvole.example/x.exe"):
        check(not publish(bad), "the URL %s is refused" % bad)


def main(program, version):
    check(pe_info.version(program) == version, "version resource of %s reads %s" % (program, version))
    check(pe_info.machine(program) == "x86-64", "machine of %s is x86-64" % program)
    with tempfile.TemporaryDirectory() as tmp:
        pfx = throwaway_pfx(tmp, "throw away")
        check_refusals(os.path.join(tmp, "cert.pem"))
        check_publishing(program, tmp)
        copy = os.path.join(tmp, "kvr.exe")
        shutil.copyfile(program, copy)
        try:
            (_, signer), = codesign.sign([copy], pfx, "throw away")
        except codesign.SigningFailed as e:
            signer = "signing failed: %s" % e
        check("CN=Kvr Throw-away Signer" in signer, "signed copy verifies, signer read back: %s" % signer)
        ca = os.path.join(tmp, "cert.pem")
        check(codesign.verify(copy, ca) == signer, "the copy in place carries the signature")

        # One byte changed after signing: osslsigncode must refuse it.
        tampered = os.path.join(tmp, "tampered.exe")
        data = bytearray(open(copy, "rb").read())
        data[len(data) // 3] ^= 0x01
        open(tampered, "wb").write(data)
        try:
            codesign.verify(tampered, ca)
            check(False, "a program changed after signing is refused")
        except codesign.SigningFailed:
            check(True, "a program changed after signing is refused")

        unsigned = os.path.join(tmp, "unsigned.exe")
        shutil.copyfile(program, unsigned)
        try:
            codesign.sign([unsigned], pfx, "wrong password")
            check(False, "a wrong PFX password stops the signing")
        except codesign.SigningFailed:
            check(open(unsigned, "rb").read() == open(program, "rb").read(),
                  "a wrong PFX password stops the signing and leaves the program as it was")
    print("%d failed" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
