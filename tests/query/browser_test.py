#!/usr/bin/env python3
"""The search site in headless Chromium, used as a person uses it.

Lays out a site as setup does (web root with kiv/ and the web files, scripts
folder with KIVQuery.so and the two ping images), loads a small catalog with
KIVIndexer /updatedb, starts kivweb on 127.0.0.1 and drives Chromium through
chromedriver over WebDriver: home page, form controls, a search, paging
forward and back, saved settings restored, a hostile file name shown as text,
and no script error on any page. Only 127.0.0.1 is ever contacted.

Usage: browser_test.py --bin BIN_FOLDER --webfiles WEBFILES_FOLDER
"""
import argparse
import json
import os
import pwd
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import urllib.error
import urllib.request

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"
RUN_AS = "nobody"  # the account kivweb drops to when the test runs as root


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for(predicate, what, timeout=20.0):
    deadline = time.time() + timeout
    while time.time() < deadline:
        value = predicate()
        if value:
            return value
        time.sleep(0.1)
    raise Failure("timed out waiting for " + what)


class WebDriver:
    def __init__(self, port):
        self.base = "http://127.0.0.1:%d" % port
        self.session = None

    def call(self, method, path, body=None):
        data = json.dumps(body).encode() if body is not None else None
        if method == "POST" and data is None:
            data = b"{}"
        request = urllib.request.Request(self.base + path, data=data, method=method,
                                         headers={"Content-Type": "application/json"})
        try:
            with urllib.request.urlopen(request, timeout=120) as response:
                return json.loads(response.read() or b"{}").get("value")
        except urllib.error.HTTPError as error:
            detail = error.read().decode("utf-8", "replace")
            raise Failure("WebDriver %s %s: %s" % (method, path, detail[:500]))

    def s(self, method, path, body=None):
        return self.call(method, "/session/%s%s" % (self.session, path), body)

    def start(self, profile):
        args = ["--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
                "--disable-background-networking", "--disable-component-update",
                "--disable-sync", "--user-data-dir=" + profile, "--window-size=1200,900"]
        caps = {"capabilities": {"alwaysMatch": {
            "browserName": "chrome",
            "goog:chromeOptions": {"binary": CHROMIUM, "args": args},
            "goog:loggingPrefs": {"browser": "ALL"},
            "unhandledPromptBehavior": "ignore",
        }}}
        value = self.call("POST", "/session", caps)
        self.session = value["sessionId"]

    def quit(self):
        if self.session:
            try:
                self.call("DELETE", "/session/" + self.session)
            except Exception:
                pass

    def go(self, url):
        self.s("POST", "/url", {"url": url})

    def js(self, script, *args):
        return self.s("POST", "/execute/sync", {"script": script, "args": list(args)})

    def find(self, css):
        value = self.s("POST", "/element", {"using": "css selector", "value": css})
        return list(value.values())[0]

    def click(self, css):
        self.s("POST", "/element/%s/click" % self.find(css))

    def type(self, css, text):
        element = self.find(css)
        self.s("POST", "/element/%s/clear" % element)
        self.s("POST", "/element/%s/value" % element, {"text": text})

    def alert_text(self):
        try:
            return self.s("GET", "/alert/text")
        except Failure:
            return None

    def accept_alert(self):
        self.s("POST", "/alert/accept")

    def logs(self):
        for path in ("/se/log", "/log"):
            try:
                return self.s("POST", path, {"type": "browser"}) or []
            except Failure:
                continue
        return []


def make_catalog(bin_dir, work, env):
    def run(*args):
        result = subprocess.run(list(args), env=env, capture_output=True, text=True, timeout=600)
        if result.returncode != 0:
            raise Failure("%s failed (%d): %s %s" % (args, result.returncode, result.stdout[-2000:],
                                                     result.stderr[-2000:]))
        return result.stdout

    kivreg = os.path.join(bin_dir, "kivreg")
    for name, value in [("KIVInstallPathExes", work + "/install/"),
                        ("TemporaryFolder", work + "/tmp/"), ("SqlLogFolder", work + "/"),
                        ("SqlServer", "localhost"), ("SqlDatabase", "master"),
                        ("CategoriesEdit", "0|Text/*.txt|Music/*.mp3"),
                        ("LastIndexData", "2026-12-07 08:00:00")]:
        run(kivreg, "set", name, value)
    run(os.path.join(bin_dir, "kivsql"), "-Q", "create database [kiv]")
    run(kivreg, "set", "SqlDatabase", "kiv")
    os.makedirs(work + "/tmp", exist_ok=True)
    lines = []
    for i in range(60):
        lines.append("//PC%d\tmusic\trock\tpage\tsong%02d.mp3\t%d" % (i % 3, i, 100 + i))
    lines.append("//PC1\tmusic\t\t\tsongbook\t0")
    lines.append("//O'Neil\tdocs\t\t\t<img src=x onerror=alert(1)>.txt\t1")
    lines.append("//PC2\tdocs\t\tsongs\t*\t0")
    with open(work + "/tmp/kivtmp.txt", "w", newline="") as f:
        f.write("".join(line + "\r\n" for line in lines))
    run(os.path.join(bin_dir, "KIVIndexer"), "/updatedb")
    run(kivreg, "set", "WebStatus", "yes")
    run(kivreg, "set", "DataOfTheIndex", "last index on 07-Dec-2026")


def start_kivweb(bin_dir, webfiles, work, env):
    root = work + "/www"
    scripts = root + "/scripts"
    os.makedirs(root + "/kiv")
    os.makedirs(scripts)
    for name in os.listdir(webfiles):
        path = os.path.join(webfiles, name)
        if os.path.isfile(path) and re.search(r"\.(gif|ico|htm|htc|js)$", name):
            shutil.copy(path, root + "/kiv/" + name)
    shutil.copy(os.path.join(bin_dir, "KIVQuery.so"), scripts + "/KIVQuery.so")
    for name in ("pingyes.gif", "pingno.gif"):
        shutil.copy(os.path.join(webfiles, name), scripts + "/" + name)
    config = work + "/kivweb.conf"
    with open(config, "w") as f:
        f.write("threads = 8\n")
        if os.geteuid() == 0:
            f.write("account = %s\n" % RUN_AS)
    if os.geteuid() == 0:
        account = pwd.getpwnam(RUN_AS)
        os.chmod(work, 0o755)
        for folder, dirs, files in os.walk(work):
            for name in [folder] + [os.path.join(folder, d) for d in dirs] + \
                        [os.path.join(folder, f) for f in files]:
                os.chown(name, account.pw_uid, account.pw_gid)
    log = open(work + "/kivweb.log", "w")
    process = subprocess.Popen([os.path.join(bin_dir, "kivweb"), "--config", config, "--listen",
                                "127.0.0.1:0", "--root", root, "--scripts", scripts],
                               env=env, stderr=log, stdout=subprocess.DEVNULL)

    def serving():
        with open(work + "/kivweb.log") as f:
            match = re.search(r"serving http://127\.0\.0\.1:(\d+)/", f.read())
        if process.poll() is not None:
            raise Failure("kivweb ended: " + open(work + "/kivweb.log").read())
        return int(match.group(1)) if match else None

    return process, wait_for(serving, "kivweb")


class Session:
    """What a browser test's body works with: the browser, the site's address,
    the scratch folder and its environment, and the script errors seen."""

    def __init__(self, driver, site, work, env, errors):
        self.driver, self.site, self.work, self.env, self.errors = driver, site, work, env, errors

    def collect(self, page):
        for entry in self.driver.logs():
            if entry.get("level") == "SEVERE":
                self.errors.append("%s: %s" % (page, entry.get("message")))

    def loaded(self):
        return self.driver.js("return document.readyState") == "complete"


def run_session(name, body, prepare=None):
    """Lays out a catalog and kivweb in a scratch folder, starts chromedriver
    and headless Chromium, and runs body(session); prepare(args, work, env),
    when given, runs once the catalog exists and before kivweb starts. Fails
    on any script error. Returns the exit code."""
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--webfiles", required=True)
    args = parser.parse_args()
    for tool in (CHROMIUM, CHROMEDRIVER):
        if not os.access(tool, os.X_OK):
            print("missing " + tool)
            return 1

    work = tempfile.mkdtemp(prefix="tellwen-%s." % name)
    env = dict(os.environ)
    env["TELLWEN_REGISTRY"] = work + "/registry"
    env["TELLWEN_DATA"] = work + "/data"
    env["XDG_RUNTIME_DIR"] = work + "/run"
    os.makedirs(work + "/run", mode=0o700)
    # Keep every request on 127.0.0.1, whatever the machine's proxy settings.
    for proxy in ("http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy"):
        env.pop(proxy, None)
        os.environ.pop(proxy, None)
    env["no_proxy"] = "127.0.0.1"
    urllib.request.install_opener(urllib.request.build_opener(urllib.request.ProxyHandler({})))

    kivweb = driver_process = None
    driver = None
    errors = []
    try:
        make_catalog(args.bin, work, env)
        if prepare:
            prepare(args, work, env)
        kivweb, port = start_kivweb(args.bin, args.webfiles, work, env)
        site = "http://127.0.0.1:%d" % port
        driver_port = free_port()
        driver_process = subprocess.Popen(
            [CHROMEDRIVER, "--port=%d" % driver_port, "--allowed-ips=127.0.0.1"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env)
        driver = WebDriver(driver_port)

        def ready():
            try:
                return (driver.call("GET", "/status") or {}).get("ready")
            except Exception:
                return False

        wait_for(ready, "chromedriver")
        driver.start(work + "/profile")
        body(Session(driver, site, work, env, errors))
        check(not errors, "script errors:\n" + "\n".join(errors))
        print("%s test passed" % name)
        return 0
    except Failure as failure:
        print("FAILED: %s" % failure)
        if os.path.exists(work + "/kivweb.log"):
            print("kivweb log tail:\n" + open(work + "/kivweb.log").read()[-3000:])
        return 1
    finally:
        if driver:
            driver.quit()
        for process in (driver_process, kivweb):
            if process and process.poll() is None:
                process.terminate()
                try:
                    process.wait(timeout=20)
                except subprocess.TimeoutExpired:
                    process.kill()
        shutil.rmtree(work, ignore_errors=True)


def browse(session):
    driver, site = session.driver, session.site
    collect, loaded = session.collect, session.loaded

    def shown(element_id):
        return driver.js("var e = document.getElementById(arguments[0]);"
                         "return !!e && getComputedStyle(e).display != 'none';", element_id)

    def rows():
        return driver.js("return document.querySelectorAll('#table3 tr.ab').length")

    def header():
        return driver.js("var e = document.getElementById('table1');"
                         "return e ? e.innerText : ''")

    # The console log must reach the test, or "no script error" means nothing.
    driver.go(site + "/kiv/default.htm#stay")
    driver.js("console.error('kiv-selfcheck');")
    check(any("kiv-selfcheck" in str(e.get("message")) for e in driver.logs()),
          "the browser's console log is collected")

    # The entry page leads to the home page.
    driver.go(site + "/")
    wait_for(lambda: driver.js("return !!document.getElementById('kivform')"), "home page")
    wait_for(loaded, "home page load")
    check(driver.js("return document.title") == "Tellwen", "home title")
    check("last index on 07-Dec-2026" in driver.js("return document.body.innerText"),
          "index date on the home page")
    check(driver.js("var i = document.images; for (var k = 0; k < i.length; k++)"
                    " if (!i[k].complete || i[k].naturalWidth == 0) return i[k].src;"
                    " return '';") == "", "every image of the home page loads")
    collect("home")

    # The form's controls enable and disable with the boxes they depend on.
    form = "document.getElementById('kivform')."
    check(driver.js("return " + form + "sizemin.disabled") is True, "size fields start disabled")
    check(driver.js("return " + form + "alives.disabled") is True, "alives starts disabled")
    driver.click("input[name=sizebetween]")
    check(driver.js("return " + form + "sizemin.disabled") is False, "size enabled by sizebetween")
    check(driver.js("return " + form + "shares.disabled && " + form + "dirs.disabled") is True,
          "shares and dirs disabled while a size range is chosen")
    driver.click("input[name=files]")
    check(driver.js("return " + form + "sizemin.disabled && " + form + "sizebetween.disabled")
          is True, "size controls need files")
    driver.click("input[name=files]")
    driver.click("input[name=sizebetween]")
    check(driver.js("return " + form + "dirs.disabled") is False, "dirs enabled again")
    driver.click("input[name=automaticping]")
    check(driver.js("return " + form + "alives.disabled") is False, "alives follows autoping")
    driver.click("input[name=automaticping]")

    # An empty search is refused in the page.
    driver.click("input[type=submit]")
    check(driver.alert_text() == "Please enter your search string.", "empty search alert")
    driver.accept_alert()
    check(driver.js("return !!document.getElementById('kivform')"), "still on the home page")

    # A search with 25 rows a page, then forward and back.
    driver.js(form + "pagesize.selectedIndex = 0;")  # 25
    driver.type("input[name=search]", "song")
    driver.click("input[type=submit]")
    wait_for(lambda: "displaying results 1 to 25" in header(), "first results page")
    wait_for(loaded, "results load")
    check(rows() == 25, "25 rows on the first page, got %s" % rows())
    check(not shown("tdDisp"), "the wait block disappears")
    check(shown("table3") and shown("tablenav1") and shown("tablenav2"), "results shown")
    check("Search results for 'song'" in driver.js("return document.title"), "results title")
    collect("results 1")
    driver.click("#tablenav1 > tbody > tr > td:last-child > a")
    wait_for(lambda: "displaying results 26 to 50" in header(), "second results page")
    wait_for(loaded, "page 2 load")
    check(rows() == 25, "25 rows on the second page")
    collect("results 2")
    driver.click("#tablenav2 > tbody > tr > td:last-child > a")
    wait_for(lambda: "displaying results 51 to" in header(), "third results page")
    wait_for(loaded, "page 3 load")
    check(rows() == 12, "the last page holds the rest (12), got %s" % rows())
    check(driver.js("return document.querySelectorAll('#tablenav1 > tbody > tr > td:last-child > a').length")
          == 0, "no next link on the last page")
    driver.click("#tablenav1 > tbody > tr > td:first-child > a")
    wait_for(lambda: "displaying results 26 to 50" in header(), "back to the second page")
    wait_for(loaded, "back load")
    collect("results back")

    # A hostile file name is text, and runs nothing.
    driver.go(site + "/scripts/KIVQuery.so?Command?search=onerror&files=on&recordfrom=0")
    wait_for(lambda: "displaying results 1 to 1" in header(), "hostile search")
    wait_for(loaded, "hostile load")
    check(driver.alert_text() is None, "no script ran from a file name")
    check("<img src=x onerror=alert(1)>.txt" in driver.js("return document.body.innerText"),
          "the hostile name is shown as text")
    check(driver.js("return document.querySelectorAll('img[src=\"x\"]').length") == 0,
          "no element made from a file name")
    collect("hostile")

    # Settings saved in cookies come back on the next visit.
    driver.go(site + "/scripts/KIVQuery.so?Command?")
    wait_for(loaded, "home again")
    driver.click("input[name=dirs]")
    driver.js(form + "pagesize.selectedIndex = 1;")  # 100
    driver.js(form + "searchkind.selectedIndex = 2;")  # exact
    driver.type("input[name=search]", "abc")
    driver.click("#savesettings")
    check(driver.alert_text() == "Settings saved successful!", "settings saved alert")
    driver.accept_alert()
    driver.go(site + "/scripts/KIVQuery.so?Command?")
    wait_for(loaded, "home after saving")
    state = driver.js("var f = document.getElementById('kivform');"
                      "return [f.dirs.checked, f.files.checked, f.pagesize.selectedIndex,"
                      " f.searchkind.selectedIndex, f.search.value];")
    check(state == [False, True, 1, 2, "abc"], "settings restored, got %s" % state)
    collect("home restored")

    # The FAQ page.
    driver.go(site + "/scripts/KIVQuery.so?Command?page=faq")
    wait_for(loaded, "faq")
    check("frequently asked questions" in driver.js("return document.body.innerText"), "faq")
    collect("faq")


def main():
    return run_session("browser", browse)


if __name__ == "__main__":
    sys.exit(main())
