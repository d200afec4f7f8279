#!/usr/bin/env python3
"""Puts the release programs into the dist folder, signs them when a
code-signing certificate is given, writes SHA256SUMS and prints what was
verified. Run by `./kvr release`.

  make_dist.py DIST VERSION BUILT:NAME...
Signing: KVR_CODESIGN_PFX (the certificate with its key) and
KVR_CODESIGN_PASSWORD in the environment (see codesign.py).
"""
import hashlib
import os
import shutil
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import codesign  # noqa: E402
import pe_info  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
# The name the test automation channel registers its message under
# (browser/test_hooks.cpp): a program carrying it is a test build.
TEST_CHANNEL = "Kvr.TestHook.Run".encode("utf-16-le")


def refuse(text):
    print("[release] REFUSED: %s" % text, file=sys.stderr)
    sys.exit(1)


def main(dist, version, pairs):
    if os.path.isdir(dist):
        shutil.rmtree(dist)
    os.makedirs(dist)
    names = []
    for pair in pairs:
        built, name = pair.rsplit(":", 1)
        target = os.path.join(dist, name)
        shutil.copyfile(built, target)
        names.append(name)
        found = pe_info.version(target)
        if found != version:
            refuse("%s says version %s, the build is %s" % (name, found, version))
        if not pe_info.stripped(target):
            refuse("%s is not stripped" % name)
        with open(target, "rb") as f:
            if TEST_CHANNEL in f.read():
                refuse("%s carries the test automation channel" % name)
        print("[release] %s: %s, version %s, stripped, no test automation channel, %d bytes"
              % (name, pe_info.machine(target), found, os.path.getsize(target)))
        if pe_info.machine(target) == "i386":
            # The 32-bit program serves Windows XP SP3: nothing it imports may be missing there.
            xp = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "xp_imports.py"), target],
                                capture_output=True, text=True)
            lines = xp.stdout.splitlines()
            for line in [l for l in lines if l.startswith("NOT ON XP")] + lines[-1:]:
                print("[release] %s: %s" % (name, line))
            if xp.returncode != 0:
                refuse("%s would not load on Windows XP SP3" % name)

    pfx = os.environ.get("KVR_CODESIGN_PFX")
    if pfx:
        try:
            signed = codesign.sign([os.path.join(dist, n) for n in names], pfx,
                                   os.environ.get("KVR_CODESIGN_PASSWORD", ""), os.environ.get("KVR_CODESIGN_TIMESTAMP"))
        except (OSError, codesign.SigningFailed) as e:
            refuse(str(e))
        for path, signer in signed:
            print("[release] %s: Authenticode signature verified, signer %s" % (os.path.basename(path), signer))
    else:
        print("[release] not signed (no KVR_CODESIGN_PFX)")

    with open(os.path.join(dist, "SHA256SUMS"), "w") as sums:
        for name in names:
            with open(os.path.join(dist, name), "rb") as f:
                sums.write("%s  %s\n" % (hashlib.sha256(f.read()).hexdigest(), name))
    check = subprocess.run(["sha256sum", "-c", "SHA256SUMS"], cwd=dist, capture_output=True, text=True)
    for line in check.stdout.splitlines():
        print("[release] sha256sum -c: %s" % line)
    if check.returncode != 0:
        refuse("SHA256SUMS does not match the files")
    return 0


if __name__ == "__main__":
    if len(sys.argv) < 4:
        print(__doc__, file=sys.stderr)
        sys.exit(2)
    sys.exit(main(sys.argv[1], sys.argv[2], sys.argv[3:]))
