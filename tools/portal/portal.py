#!/usr/bin/env python3
"""Stand-in for the portal's servers, for tests and `./kvr run`.

Listens on 127.0.0.1 only, one port per server role:
  base+1 client-service   reports, login record, update (both builds' pages)
                          and game-hall configuration pages, downloads, the
                          game-hall page
  base+2 portal           login page, home and root pages, game pages
  base+3 playtime         the play-time record /d.php
  base+4 extlogin         QQ/Weibo redirect, callback and binding pages ("Pauth", HttpOnly)
  base+5 qqauth           the QQ authorisation page /oauth2.0/authorize
  base+6 other            a host the client must never contact, on 127.0.0.2 (not
                          a trusted name): it serves the same files, and what it
                          receives is logged like the rest

Every request is logged as one JSON line (role, method, path, query, headers).
Tests steer it through /__kvr/... on any port (these are not logged):
  /__kvr/ping                         "ok"
  /__kvr/reset                        empty log, default configuration, all roles up
  /__kvr/log[?format=tsv]             the log: JSON lines, or role\\tmethod\\tpath\\tquery\\theader...
  /__kvr/config?verkey=K&updaddr=U    the update configuration page's "Kvr" and "UpdAddr"
               &callback=cookie|bind  QQ/Weibo callback: set "Pauth" at once, or go to the binding form
               &sig=good|none|other|garbage  "UpdSig" of the update and game-hall pages: the
                                      signature of the file UpdAddr names (as served here, after
                                      redirects), none, a valid one of other bytes, or no base64
  /__kvr/file?path=P&size=N           serve N pattern bytes (byte i = i % 251) at P
              &source=/linux/file     ... or that file's bytes;  &text=T  ... or the text T
  /__kvr/fault?path=P&mode=M          M: 404 | nolength | short (announce all, send &cut=N bytes,
              [&delay=ms][&cut=N]        default half) | slow (wait delay ms, then answer) |
                                         trickle (pieces of &cut=N bytes, default 512,
                                         delay ms apart) | none |
                                         another status such as 500 (the body as it was);
                                         with delay, every mode but trickle answers that late
  /__kvr/redirect?path=P&to=URL       answer P with a redirect to URL (&status=302 default;
               [&status=N]               no &to: remove it)
  /__kvr/role?name=R&up=0|1           close or reopen the listener of role R

With --sign-key (a PEM private key; openssl signs) the configuration pages
carry UpdSig: base64 of the RSA PKCS#1 v1.5 signature over the SHA-256 digest
of the whole file, as `openssl dgst -sha256 -sign KEY FILE | openssl base64 -A`.

Usage: portal.py --base 19300 [--log FILE] [--sign-key PEM] [--daemon --pidfile F]
       | --stop --pidfile F
"""
import argparse
import base64
import hashlib
import json
import os
import signal
import socket
import subprocess
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

ROLES = ["client-service", "portal", "playtime", "extlogin", "qqauth", "other"]
HOST = "127.0.0.1"
OTHER_HOST = "127.0.0.2"  # loopback too, but no trusted name of the client


def role_host(role):
    return OTHER_HOST if role == "other" else HOST


class State:
    def __init__(self, base, log_path, sign_key=None):
        self.base = base
        self.log_path = log_path
        self.sign_key = sign_key
        self.signatures = {}  # sha256 of the bytes -> UpdSig
        self.lock = threading.Lock()
        self.servers = {}
        self.reset()

    def port(self, role):
        return self.base + 1 + ROLES.index(role)

    def url(self, role, path):
        return "http://%s:%d%s" % (role_host(role), self.port(role), path)

    def reset(self):
        with self.lock:
            self.log = []
            self.verkey = ""
            self.updaddr = self.url("client-service", "/download/NewKvr.exe")
            self.callback = "cookie"
            self.sig = "good"
            self.files = {}
            self.faults = {}
            self.redirects = {}

    def sign(self, data):
        digest = hashlib.sha256(data).hexdigest()
        if digest not in self.signatures:
            raw = subprocess.run(["openssl", "dgst", "-sha256", "-sign", self.sign_key], input=data,
                                 capture_output=True, check=True).stdout
            self.signatures[digest] = base64.b64encode(raw).decode("ascii")
        return self.signatures[digest]

    def served_bytes(self, url):
        """What a GET of url would bring from here, following our redirects."""
        path = urllib.parse.urlsplit(url).path
        for _ in range(4):
            if path not in self.redirects:
                break
            path = urllib.parse.urlsplit(self.redirects[path][0]).path
        return self.files[path][0] if path in self.files else None

    def config_page(self, address, key=None):
        """A configuration page: [VerKey] Kvr (update only), UpdAddr and UpdSig."""
        lines = ["[VerKey]"] + (["Kvr=%s" % key] if key is not None else []) + ["UpdAddr=%s" % address]
        data = self.served_bytes(address) if self.sign_key else None
        if self.sig == "garbage":
            lines.append("UpdSig=not*base64/signature==")
        elif self.sig in ("good", "other") and data is not None:
            lines.append("UpdSig=%s" % self.sign(data if self.sig == "good" else data + b"\0"))
        return "".join(line + "\r\n" for line in lines)

    def record(self, entry):
        with self.lock:
            self.log.append(entry)
            if self.log_path:
                with open(self.log_path, "a", encoding="utf-8") as f:
                    f.write(json.dumps(entry, ensure_ascii=False) + "\n")


def pattern_bytes(n):
    return bytes(i % 251 for i in range(n))


def page(title, body):
    return ("<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>%s</title>"
            "<style>body{font-family:'Microsoft YaHei',sans-serif;background:#e7f2f7;margin:16px}"
            "a{color:#1a5fa8}</style></head><body>%s</body></html>\n" % (title, body))


def login_page(st):
    """The portal's login page: its form and links send the app: commands."""
    game = st.url("portal", "/game/play.html")
    qq = st.url("extlogin", "/qzone/redirectToAuthorize.do?client=kvr")
    weibo = st.url("extlogin", "/weibo/redirectToAuthorize.do?client=kvr")
    body = """
<h2>Kelvara 登录</h2>
<form id="login" onsubmit="return enterGame();">
 <p>服务器 <select id="server"><option value="S12">12服</option><option value="S3">3服</option></select>
 区 <select id="area"><option value="【双线】》龙腾四海一区">龙腾四海一区</option>
 <option value="凤凰涅槃">凤凰涅槃</option></select></p>
 <p>账号 <input id="account" name="account" value=""> 密码 <input id="password" type="password"></p>
 <p><input id="enter" type="submit" value="进入游戏"></p>
</form>
<p><a id="qq" href="%(qq)s">QQ登录</a> <a id="weibo" href="%(weibo)s">微博登录</a></p>
<p><a id="minimize" href="app://minimize">最小化</a> <a id="exit" href="app://exitgame">退出</a></p>
<script>
function enterGame() {
  var server = document.getElementById('server').value;
  var area = document.getElementById('area').value;
  var account = document.getElementById('account').value;
  if (!account) return false;
  var text = server + '服-' + area + '-' + account;
  var game = '%(game)s?server=' + encodeURIComponent(server.replace(/S/g, '')) +
             '&uid=' + encodeURIComponent(account);
  window.location.href = 'app://loadgame|' + encodeURIComponent(text) + '|' + game;
  return false;
}
</script>
""" % {"qq": qq, "weibo": weibo, "game": game}
    return page("Marvole 登录", body)


def hall_page(st):
    root = st.url("portal", "/index.html")
    body = """
<h2>Marvole游戏大厅</h2>
<ul>
 <li><a id="kvr" href="app://entergame|kvr">Kelvara</a></li>
 <li><a id="dragon" href="app://entergame|dragon|%(root)s?game=dragon">Dragon (with its web page)</a></li>
</ul>
<script>
function enter(name, fallback) {
  window.location.href = 'app://entergame|' + name + (fallback ? '|' + fallback : '');
}
</script>
""" % {"root": root}
    return page("Marvole游戏大厅", body)


class Handler(BaseHTTPRequestHandler):
    server_version = "KvrPortal/1.0"
    protocol_version = "HTTP/1.0"  # one request per connection: simple, and what old clients expect

    def log_message(self, fmt, *args):  # quiet: the JSON log is the record
        pass

    @property
    def st(self):
        return self.server.state

    def do_GET(self):
        parsed = urllib.parse.urlsplit(self.path)
        path, query = parsed.path, parsed.query
        if path.startswith("/__kvr/"):
            return self.control(path[len("/__kvr/"):], urllib.parse.parse_qs(query))
        self.st.record({
            "time": time.time(), "role": self.server.role, "method": self.command,
            "path": path, "query": query,
            "headers": {k: v for k, v in self.headers.items()},
        })
        self.serve(path, query)

    do_POST = do_GET
    do_HEAD = do_GET

    # ---- answers -------------------------------------------------------
    def answer(self, body, status=200, ctype="text/html; charset=utf-8", headers=(), path=None):
        if isinstance(body, str):
            body = body.encode("utf-8")
        fault = self.st.faults.get(path or urllib.parse.urlsplit(self.path).path)
        mode = fault["mode"] if fault else "none"
        delay = fault.get("delay", 0) / 1000.0 if fault else 0
        if mode == "404":
            status, body = 404, b"not found"
        elif mode.isdigit():
            status = int(mode)
        if mode != "trickle":
            time.sleep(delay)
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        for k, v in headers:
            self.send_header(k, v)
        if mode != "nolength":
            self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        if self.command == "HEAD":
            return
        if mode == "short":
            cut = fault.get("cut", len(body) // 2)
            self.wfile.write(body[:cut])
            self.wfile.flush()
            self.close_connection = True
            try:
                self.connection.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass
            return
        if mode == "trickle":
            piece = fault.get("cut", 512) or 512
            for i in range(0, len(body), piece):
                try:
                    self.wfile.write(body[i:i + piece])
                    self.wfile.flush()
                except OSError:
                    return
                time.sleep(delay)
            return
        self.wfile.write(body)

    def redirect(self, location, headers=(), status=302):
        self.send_response(status)
        self.send_header("Location", location)
        for k, v in headers:
            self.send_header(k, v)
        self.send_header("Content-Length", "0")
        self.end_headers()

    def serve(self, path, query):
        st, role = self.st, self.server.role
        q = urllib.parse.parse_qs(query)
        if path in st.redirects:
            to, status = st.redirects[path]
            return self.redirect(to, status=status)
        if path in st.files:
            data, ctype = st.files[path]
            return self.answer(data, ctype=ctype)
        if role == "client-service":
            if path in ("/install.htm", "/active.htm", "/uninstall.htm", "/login.htm", "/"):
                return self.answer("ok")
            if path in ("/update/ConfigKvr.htm", "/update/ConfigKvr64.htm"):
                return self.answer(st.config_page(st.updaddr, st.verkey), ctype="text/plain")
            if path.startswith("/update/Config") and path.endswith(".htm"):
                name = path[len("/update/Config"):-len(".htm")]
                return self.answer(st.config_page(st.url("client-service", "/download/%s.exe" % name)),
                                   ctype="text/plain")
            if path == "/webgame.htm":
                return self.answer(hall_page(st))
        elif role == "portal":
            if path == "/zt/client/v2/index.html":
                return self.answer(login_page(st))
            if path in ("/", "/index.html"):
                return self.answer(page("Marvole", "<h1>Marvole 网页游戏</h1>"))
            if path == "/game/play.html":
                srv = q.get("server", [""])[0]
                uid = q.get("uid", [""])[0]
                return self.answer(page("Kelvara %s服" % srv,
                                        "<h2>Kelvara %s服</h2><p id=\"uid\">%s</p>"
                                        "<object id=\"game\" type=\"application/x-shockwave-flash\""
                                        " width=\"100%%\" height=\"600\"></object>" % (srv, uid)))
            if path.startswith("/flashplayer"):
                return self.answer(page("Flash Player", "<h2>Flash Player</h2>"))
        elif role == "playtime":
            if path == "/d.php":
                return self.answer("ok")
        elif role == "extlogin":
            return self.serve_extlogin(path, query, q)
        elif role == "qqauth":
            if path == "/oauth2.0/authorize":
                back = q.get("redirect_uri", [st.url("extlogin", "/qzone/callback.do")])[0]
                state = q.get("state", ["kvr"])[0]
                target = "%s?code=stand-in-code&state=%s" % (back, urllib.parse.quote(state))
                return self.answer(page("QQ登录", "<h2>QQ授权</h2><a id=\"authorize\" href=\"%s\">"
                                        "授权并登录</a>" % target))
        self.answer("not found", status=404, ctype="text/plain")

    def serve_extlogin(self, path, query, q):
        st = self.st
        cookie = ("Set-Cookie", "Pauth=stand-in-%d; Path=/; HttpOnly" % int(time.time()))
        if path == "/qzone/redirectToAuthorize.do":
            back = st.url("extlogin", "/qzone/callback.do")
            return self.redirect(st.url("qqauth", "/oauth2.0/authorize?response_type=code"
                                        "&client_id=4224&state=kvr&redirect_uri=" +
                                        urllib.parse.quote(back, safe="")))
        if path == "/weibo/redirectToAuthorize.do":
            return self.redirect(st.url("extlogin", "/weibo/authorize"))
        if path == "/weibo/authorize":
            target = st.url("extlogin", "/weibo/callback.do?state=kvr&code=stand-in-code")
            return self.answer(page("微博登录", "<h2>微博授权</h2><a id=\"authorize\" href=\"%s\">"
                                    "授权并登录</a>" % target))
        if path in ("/qzone/callback.do", "/weibo/callback.do"):
            kind = path.split("/")[1]
            if st.callback == "bind":
                return self.redirect(st.url("extlogin", "/%s/extLoginBind.do" % kind))
            return self.answer(page("登录成功", "<p>登录成功</p>"), headers=[cookie])
        if path in ("/qzone/extAutoBind.do", "/weibo/extAutoBind.do"):
            return self.answer(page("绑定成功", "<p>绑定成功</p>"), headers=[cookie])
        if path in ("/qzone/extLoginBind.do", "/weibo/extLoginBind.do"):
            if q.get("account"):
                return self.answer(page("绑定成功", "<p>绑定成功</p>"), headers=[cookie])
            return self.answer(page("绑定账号", "<form><p>Marvole账号 <input name=\"account\">"
                                    "</p><input type=\"submit\" value=\"绑定\"></form>"))
        self.answer("not found", status=404, ctype="text/plain")

    # ---- controls ------------------------------------------------------
    def control(self, name, q):
        st = self.st
        one = lambda k, d=None: q.get(k, [d])[0]
        if name == "ping":
            return self.plain("ok")
        if name == "reset":
            st.reset()
            for role in ROLES:
                set_role(st, role, True)
            return self.plain("ok")
        if name == "log":
            with st.lock:
                entries = list(st.log)
            if one("format") == "tsv":
                clean = lambda s: str(s).replace("\t", " ").replace("\r", " ").replace("\n", " ")
                lines = []
                for e in entries:
                    fields = [e["role"], e["method"], e["path"], e["query"]]
                    fields += ["%s: %s" % (k, v) for k, v in e["headers"].items()]
                    lines.append("\t".join(clean(f) for f in fields))
                return self.plain("".join(l + "\n" for l in lines))
            return self.plain("".join(json.dumps(e, ensure_ascii=False) + "\n" for e in entries))
        if name == "config":
            with st.lock:
                if "verkey" in q:
                    st.verkey = one("verkey")
                if "updaddr" in q:
                    st.updaddr = one("updaddr")
                if "callback" in q:
                    st.callback = one("callback")
                if "sig" in q:
                    st.sig = one("sig")
            return self.plain("ok")
        if name == "file":
            path = one("path")
            if not path:
                return self.plain("path missing", 400)
            if "size" in q:
                data = pattern_bytes(int(one("size")))
            elif "source" in q:
                with open(one("source"), "rb") as f:
                    data = f.read()
            else:
                data = one("text", "").encode("utf-8")
            ctype = one("type", "application/octet-stream")
            with st.lock:
                st.files[path] = (data, ctype)
            return self.plain("ok")
        if name == "fault":
            path = one("path")
            mode = one("mode", "none")
            with st.lock:
                if mode == "none":
                    st.faults.pop(path, None)
                else:
                    fault = {"mode": mode, "delay": int(one("delay", "0"))}
                    if "cut" in q:
                        fault["cut"] = int(one("cut"))
                    st.faults[path] = fault
            return self.plain("ok")
        if name == "redirect":
            path = one("path")
            if not path:
                return self.plain("path missing", 400)
            with st.lock:
                if one("to"):
                    st.redirects[path] = (one("to"), int(one("status", "302")))
                else:
                    st.redirects.pop(path, None)
            return self.plain("ok")
        if name == "role":
            role = one("name")
            if role not in ROLES:
                return self.plain("unknown role", 400)
            up = one("up", "1") != "0"
            if not up and role == self.server.role:
                return self.plain("cannot close the port of this request", 400)
            set_role(st, role, up)
            return self.plain("ok")
        self.plain("unknown control", 404)

    def plain(self, text, status=200):
        body = text.encode("utf-8")
        self.send_response(status)
        self.send_header("Content-Type", "text/plain; charset=utf-8")
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def set_role(st, role, up):
    srv = st.servers.get(role)
    if up and srv is None:
        srv = Server((role_host(role), st.port(role)), Handler)
        srv.role, srv.state = role, st
        threading.Thread(target=srv.serve_forever, daemon=True).start()
        st.servers[role] = srv
    elif not up and srv is not None:
        # shutdown() waits for serve_forever: do it off the request thread.
        del st.servers[role]
        srv.shutdown()
        srv.server_close()


def serve(args):
    st = State(args.base, args.log, args.sign_key)
    if args.log:
        open(args.log, "w").close()
    down = set(filter(None, (args.down or "").split(",")))
    for role in ROLES:
        if role not in down:
            set_role(st, role, True)
    stop = threading.Event()
    signal.signal(signal.SIGTERM, lambda *a: stop.set())
    signal.signal(signal.SIGINT, lambda *a: stop.set())
    print("portal: listening on %s ports %d-%d, %s port %d" % (HOST, args.base + 1, args.base + 5,
                                                               OTHER_HOST, args.base + 6), flush=True)
    while not stop.wait(0.5):
        pass
    for role in list(st.servers):
        st.servers[role].server_close()


def ping(base, timeout=10.0):
    port = base + 2  # the portal role answers the controls
    end = time.time() + timeout
    while time.time() < end:
        try:
            with socket.create_connection((HOST, port), timeout=1) as s:
                s.sendall(b"GET /__kvr/ping HTTP/1.0\r\n\r\n")
                if b"ok" in s.recv(4096) + s.recv(4096):
                    return True
        except OSError:
            pass
        time.sleep(0.1)
    return False


def stop_pidfile(pidfile):
    try:
        with open(pidfile) as f:
            pid = int(f.read().strip())
    except (OSError, ValueError):
        return
    try:
        os.kill(pid, signal.SIGTERM)
        for _ in range(50):
            os.kill(pid, 0)
            time.sleep(0.1)
    except ProcessLookupError:
        pass
    try:
        os.unlink(pidfile)
    except OSError:
        pass


def main():
    ap = argparse.ArgumentParser(description="stand-in portal servers")
    ap.add_argument("--base", type=int, default=18300, help="ports are base+1 .. base+5")
    ap.add_argument("--log", help="also append the JSON-lines log to this file")
    ap.add_argument("--down", help="roles not to open at start, comma-separated")
    ap.add_argument("--sign-key", help="PEM private key that signs the served updates and installers")
    ap.add_argument("--daemon", action="store_true", help="run detached; return once listening")
    ap.add_argument("--pidfile", help="pid of the detached server")
    ap.add_argument("--stop", action="store_true", help="stop the server of --pidfile")
    args = ap.parse_args()
    if args.stop:
        stop_pidfile(args.pidfile)
        return 0
    if args.daemon:
        if args.pidfile:
            stop_pidfile(args.pidfile)  # a server left over from an interrupted run
        pid = os.fork()
        if pid == 0:
            os.setsid()
            fd = os.open(os.devnull, os.O_RDWR)
            for i in (0, 1, 2):
                os.dup2(fd, i)
            try:
                serve(args)
            finally:
                os._exit(0)
        if args.pidfile:
            with open(args.pidfile, "w") as f:
                f.write(str(pid))
        if not ping(args.base):
            os.kill(pid, signal.SIGTERM)
            print("portal: did not start on ports %d-%d" % (args.base + 1, args.base + 5),
                  file=sys.stderr)
            return 1
        print("portal: pid %d, ports %d-%d" % (pid, args.base + 1, args.base + 5))
        return 0
    serve(args)
    return 0


if __name__ == "__main__":
    sys.exit(main())
