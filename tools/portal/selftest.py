#!/usr/bin/env python3
"""Checks the running stand-in portal against what the client and the tests
rely on: every path of the endpoint table, the pages' app: commands, the
QQ/Weibo road to the "Pauth" cookie, and the test controls.

Usage: selftest.py --base B   (the stand-in must listen on B+1..B+5)
"""
import argparse
import configparser
import http.client
import json
import base64
import os
import socket
import subprocess
import sys
import tempfile
import urllib.parse

FAILURES = []


def check(cond, what):
    if not cond:
        FAILURES.append(what)
        print("FAIL: " + what)


class Portal:
    def __init__(self, base):
        self.base = base

    def port(self, role):
        return self.base + 1 + ["client-service", "portal", "playtime", "extlogin", "qqauth", "other"].index(role)

    def get(self, role, path, headers=None):
        """(status, headers dict, body bytes); no redirect is followed."""
        host = "127.0.0.2" if role == "other" else "127.0.0.1"
        c = http.client.HTTPConnection(host, self.port(role), timeout=10)
        c.request("GET", path, headers=headers or {})
        r = c.getresponse()
        try:
            body = r.read()
        except http.client.IncompleteRead as e:
            body = e.partial
        c.close()
        return r.status, {k.lower(): v for k, v in r.getheaders()}, body

    def control(self, what):
        status, _, body = self.get("portal", "/__kvr/" + what)
        check(status == 200, "control " + what)
        return body.decode("utf-8")

    def follow(self, url, cookies):
        """One step of a browser: GET url, remember Set-Cookie, return (status, location, body)."""
        u = urllib.parse.urlsplit(url)
        role = {self.port(r): r for r in ["client-service", "portal", "playtime", "extlogin", "qqauth"]}[u.port]
        status, headers, body = self.get(role, u.path + ("?" + u.query if u.query else ""))
        if "set-cookie" in headers:
            name, _, rest = headers["set-cookie"].partition("=")
            cookies[name] = rest.split(";")[0]
        return status, headers.get("location"), body.decode("utf-8", "replace")


def openssl_verifies(key, data, signature_b64):
    """True when signature_b64 is key's RSA/SHA-256 signature of data."""
    with tempfile.TemporaryDirectory() as d:
        paths = {n: os.path.join(d, n) for n in ("pub", "data", "sig")}
        subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-out", paths["pub"]], check=True)
        with open(paths["data"], "wb") as f:
            f.write(data)
        with open(paths["sig"], "wb") as f:
            f.write(base64.b64decode(signature_b64, validate=True))
        return subprocess.run(["openssl", "dgst", "-sha256", "-verify", paths["pub"], "-signature", paths["sig"],
                               paths["data"]], capture_output=True).returncode == 0


def check_signatures(p, key):
    """UpdSig of the update and game-hall pages, and its control."""
    p.control("reset")
    p.control("file?path=/download/NewKvr.exe&size=3000")
    p.control("file?path=/download/Dragon.exe&size=500")
    p.control("redirect?path=/moved.exe&to=" + urllib.parse.quote("http://localhost:1/download/NewKvr.exe", safe=""))

    def sig(path):
        ini = configparser.ConfigParser()
        ini.read_string(p.get("client-service", path)[2].decode("utf-8"))
        return ini.get("VerKey", "UpdSig", fallback=None)

    update = bytes(i % 251 for i in range(3000))
    check(openssl_verifies(key, update, sig("/update/ConfigKvr.htm") or ""), "update signed")
    check(openssl_verifies(key, update[:500], sig("/update/ConfigDragon.htm") or ""), "installer signed")
    p.control("config?updaddr=" + urllib.parse.quote("http://127.0.0.1:1/moved.exe", safe=""))
    check(openssl_verifies(key, update, sig("/update/ConfigKvr.htm") or ""), "signed past the redirect")
    p.control("config?sig=other")
    other = sig("/update/ConfigKvr.htm")
    check(other and not openssl_verifies(key, update, other), "sig=other signs other bytes")
    p.control("config?sig=none")
    check(sig("/update/ConfigKvr.htm") is None, "sig=none")
    p.control("config?sig=garbage")
    check(sig("/update/ConfigKvr.htm") == "not*base64/signature==", "sig=garbage")


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument("--base", type=int, required=True)
    ap.add_argument("--sign-key", help="the private key the stand-in was started with")
    args = ap.parse_args()
    p = Portal(args.base)
    p.control("reset")

    for path in ["/install.htm?tag=kvr&ver=3.0.0.3&count=1", "/active.htm?tag=kvr&ver=3.0.0.3",
                 "/active.htm?tag=webMarvole&ver=3.0.0.3", "/uninstall.htm?tag=kvr&ver=3.0.0.3",
                 "/login.htm?tag=kvr&ver=3.0.0.3&uid=a&index=0", "/webgame.htm"]:
        check(p.get("client-service", path)[0] == 200, "client-service " + path)
    check(p.get("playtime", "/d.php?a=web.online&game=k&server=S12&length=60&cid=4224")[0] == 200, "d.php")

    # Update configuration: INI with section VerKey, keys Kvr and UpdAddr.
    p.control("config?verkey=abc123&updaddr=" + urllib.parse.quote("http://127.0.0.1/x.exe", safe=""))
    status, headers, body = p.get("client-service", "/update/ConfigKvr.htm")
    ini = configparser.ConfigParser()
    ini.read_string(body.decode("utf-8"))
    check(status == 200 and "content-length" in headers, "config page with a length")
    check(ini.get("VerKey", "Kvr", fallback=None) == "abc123", "config Kvr")
    check(ini.get("VerKey", "UpdAddr", fallback=None) == "http://127.0.0.1/x.exe", "config UpdAddr")
    ini = configparser.ConfigParser()
    ini.read_string(p.get("client-service", "/update/ConfigDragon.htm")[2].decode("utf-8"))
    check(ini.get("VerKey", "UpdAddr", fallback="").endswith("/download/Dragon.exe"), "game-hall config")

    hall = p.get("client-service", "/webgame.htm")[2].decode("utf-8")
    check("app://entergame|kvr" in hall and "app://entergame|dragon|http://" in hall, "hall entergame links")
    login = p.get("portal", "/zt/client/v2/index.html?cid=4224")[2].decode("utf-8")
    for needle in ["'app://loadgame|'", "app://exitgame", "app://minimize", "<form",
                   "127.0.0.1:%d/qzone/redirectToAuthorize.do?" % p.port("extlogin"),
                   "127.0.0.1:%d/weibo/redirectToAuthorize.do?" % p.port("extlogin")]:
        check(needle in login, "login page has " + needle)

    # QQ and Weibo: redirect, provider page, callback that sets "Pauth".
    for start in ["/qzone/redirectToAuthorize.do?client=kvr", "/weibo/redirectToAuthorize.do?client=kvr"]:
        cookies = {}
        status, location, _ = p.follow("http://127.0.0.1:%d%s" % (p.port("extlogin"), start), cookies)
        check(status == 302 and location, "redirect " + start)
        if start.startswith("/qzone"):
            check("/oauth2.0/authorize" in location and ":%d/" % p.port("qqauth") in location, "QQ authorize")
        status, _, page = p.follow(location, cookies)
        link = page.split('href="')[1].split('"')[0] if 'href="' in page else ""
        check("/callback.do" in link, "provider page links to the callback")
        status, _, _ = p.follow(link, cookies)
        check(status == 200 and cookies.get("Pauth"), "callback sets Pauth " + start)
    p.control("config?callback=bind")
    cookies = {}
    status, location, _ = p.follow("http://127.0.0.1:%d/qzone/callback.do?code=x" % p.port("extlogin"), cookies)
    check(status == 302 and "/qzone/extLoginBind.do" in location and not cookies, "bind form first")
    p.follow(location, cookies)
    check(not cookies, "binding form sets no cookie")
    p.follow(location + "?account=me", cookies)
    check(cookies.get("Pauth"), "binding sets Pauth")

    # Controls: served files and their faults.
    p.control("reset")
    p.control("file?path=/dl/a.bin&size=1000")
    status, headers, body = p.get("client-service", "/dl/a.bin")
    check(status == 200 and body == bytes(i % 251 for i in range(1000)), "pattern file")
    p.control("fault?path=/dl/a.bin&mode=404")
    check(p.get("client-service", "/dl/a.bin")[0] == 404, "fault 404")
    p.control("fault?path=/dl/a.bin&mode=nolength")
    status, headers, body = p.get("client-service", "/dl/a.bin")
    check("content-length" not in headers and len(body) == 1000, "fault nolength")
    p.control("fault?path=/dl/a.bin&mode=short&cut=300")
    status, headers, body = p.get("client-service", "/dl/a.bin")
    check(headers.get("content-length") == "1000" and len(body) == 300, "fault short")
    p.control("fault?path=/dl/a.bin&mode=500")
    status, headers, body = p.get("client-service", "/dl/a.bin")
    check(status == 500 and len(body) == 1000, "fault 500 keeps the body")
    p.control("redirect?path=/dl/a.bin&to=" + urllib.parse.quote("http://localhost:1/b", safe="") + "&status=307")
    status, headers, _ = p.get("client-service", "/dl/a.bin")
    check(status == 307 and headers.get("location") == "http://localhost:1/b", "redirect")
    p.control("redirect?path=/dl/a.bin")
    check(p.get("client-service", "/dl/a.bin")[0] == 500, "redirect removed")
    # The other host: 127.0.0.2, same files, its own log role.
    p.control("reset")
    p.control("file?path=/dl/a.bin&size=10")
    check(p.get("other", "/dl/a.bin")[0] == 200, "other host serves the files")
    try:
        socket.create_connection(("127.0.0.1", p.port("other")), timeout=2).close()
        check(False, "other host is not on 127.0.0.1")
    except OSError:
        pass

    # The log: every request but the controls, with its headers.
    entries = [json.loads(l) for l in p.control("log").splitlines()]
    check([e["role"] for e in entries] == ["other"], "other host's requests are logged")
    p.control("reset")
    p.get("client-service", "/active.htm?tag=kvr", {"User-Agent": "RTW"})
    entries = [json.loads(l) for l in p.control("log").splitlines()]
    check(len(entries) == 1 and entries[0]["role"] == "client-service" and entries[0]["path"] == "/active.htm"
          and entries[0]["query"] == "tag=kvr" and entries[0]["headers"].get("User-Agent") == "RTW", "log entry")

    # A role taken down refuses connections until it is up again.
    p.control("role?name=playtime&up=0")
    try:
        socket.create_connection(("127.0.0.1", p.port("playtime")), timeout=2).close()
        check(False, "role down closes its port")
    except OSError:
        pass
    p.control("reset")
    check(p.get("playtime", "/d.php")[0] == 200, "reset reopens every role")

    if args.sign_key:
        check_signatures(p, args.sign_key)
    p.control("reset")

    print("portal selftest: %s" % ("%d failure(s)" % len(FAILURES) if FAILURES else "ok"))
    return 1 if FAILURES else 0


if __name__ == "__main__":
    sys.exit(main())
