#!/usr/bin/env python3
"""The rest of the site in headless Chromium over kivweb and a catalog loaded
by KIVIndexer /updatedb: the browse frames clicked through computer, share and
folder with the trail and query time shown, a sortable table sorted by a click,
the charts page switching kind and range and showing the image, the on-demand
ping icon, the results table sorted by size and by name; no script error on any
page."""
import os
import re
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import browser_test as bt  # noqa: E402


def prepare(args, work, env):
    subprocess.run([os.path.join(args.bin, "kivreg"), "set", "GenerateLogForStatistics", "1"],
                   env=env, check=True)


def walk(session):
    driver, site = session.driver, session.site
    collect, loaded = session.collect, session.loaded

    def frame_js(frame, script):
        return driver.js("var d = document.querySelector('iframe[name=%s]').contentDocument;"
                         "if (!d || d.readyState != 'complete') return null;" % frame + script)

    # Browse: computers, then a computer's shares, then a share's folders.
    script = "/scripts/KIVQuery.so"
    driver.go(site + script + "?Command?stats=browse")
    bt.wait_for(loaded, "browse page")
    bt.wait_for(lambda: (frame_js("a", "return d.querySelectorAll('#table3a a').length;") or 0) >= 3,
                "computers in frame a")
    names = frame_js("a", "return Array.from(d.querySelectorAll('#table3a p.ptab1'))"
                          ".map(function (p) { return p.textContent; });")
    bt.check(names[:3] == sorted(names[:3]), "computers sorted by name: %s" % names)
    frame_js("a", "var links = Array.from(d.querySelectorAll('#table3a a'));"
                  "links.filter(function (a) { return a.textContent == 'PC2'; })[0].click();"
                  "return 1;")
    bt.wait_for(lambda: "docs" in (frame_js("b", "return d.body.innerText;") or ""),
                "shares of PC2 in frame b")
    bt.wait_for(lambda: "PC2" in driver.js("return document.getElementById('cale').innerText"),
                "trail shows PC2")
    frame_js("b", "Array.from(d.querySelectorAll('#table3b a')).filter(function (a) {"
                  " return a.textContent == 'docs'; })[0].click(); return 1;")
    try:
        bt.wait_for(lambda: "songs" in (frame_js("c", "return d.body.innerText;") or ""),
                    "folders of the share in frame c")
    except bt.Failure:
        print(frame_js("c", "return d.body.innerHTML;"))
        raise
    frame_js("c", "Array.from(d.querySelectorAll('#table3c a')).filter(function (a) {"
                  " return a.textContent == 'songs'; })[0].click(); return 1;")
    bt.wait_for(lambda: ".." in (frame_js("c", "return d.body.innerText;") or ""),
                "sub-folder with its '..' row")
    trail = driver.js("return document.getElementById('cale').innerText")
    bt.check("docs" in trail and "songs" in trail, "trail shows the folder, got %r" % trail)
    time_text = driver.js("return document.getElementById('timpul').innerText")
    bt.check(len(time_text) == 5 and time_text[2] == ":", "query time shown: %r" % time_text)
    collect("browse")

    # A sortable table: top shares, sorted by computer on a click.
    driver.go(site + script + "?Command?stats=yes&path=topshares")
    bt.wait_for(loaded, "top shares")
    first = driver.js("return Array.from(document.querySelectorAll('#tabletop tbody tr'))"
                      ".map(function (r) { return r.cells[1].innerText.trim(); });")
    bt.check(len(first) >= 3, "top shares rows: %s" % first)
    driver.js("document.querySelector('#tabletop thead tr:last-child').cells[1].click();")
    after = driver.js("return Array.from(document.querySelectorAll('#tabletop tbody tr'))"
                      ".map(function (r) { return r.cells[1].innerText.trim(); });")
    bt.check(after == sorted(after, key=str.lower), "sorted by computer: %s" % after)
    driver.js("document.querySelector('#tabletop thead tr:last-child').cells[1].click();")
    again = driver.js("return Array.from(document.querySelectorAll('#tabletop tbody tr'))"
                      ".map(function (r) { return r.cells[1].innerText.trim(); });")
    bt.check(again == list(reversed(after)), "second click reverses: %s" % again)
    # The on-demand ping of a computer that does not resolve: the icon
    # becomes pingno.gif.
    driver.js("var i = document.querySelector('#tabletop img.fi'); ping(i, 'nobody.invalid');")
    bt.wait_for(lambda: "stats=ping" in driver.js(
        "return document.querySelector('#tabletop img.fi').src"), "ping request")
    collect("top shares")

    # The results table sorts as well: by size, by file name, a second
    # click reversing; each row moves whole.
    driver.go(site + script + "?Command?search=song&searchkind=any+word&recordfrom=0"
              "&recordto=199&dowait=1&dirs=on&files=on&pagesize=200")
    bt.wait_for(loaded, "results page")
    bt.check(driver.js("return document.getElementById('table3').getAttribute("
                       "'data-sort-attached')") == "1", "results table is sortable")

    def result_rows():
        return driver.js("return Array.from(document.querySelectorAll('#table3 tbody tr'))"
                         ".map(function (r) { return [r.cells[1].innerText.trim(),"
                         " r.cells[2].innerText.trim(), r.cells[3].innerText.trim(),"
                         " r.cells[4].innerText.trim()]; });")

    def click_head(column):
        driver.js("document.querySelector('#table3 thead tr:last-child').cells[%d].click();"
                  % column)

    def size_key(text):
        # As the site writes sizes: "<1Kb", "123Kb", "1.2Mb"; words after numbers.
        match = re.match(r"^<?\s*([\d.]+)\s*(kb|mb|gb|tb)$", text, re.I)
        if match:
            unit = {"kb": 1, "mb": 1024, "gb": 1048576, "tb": 1073741824}
            return (0, float(match.group(1)) * unit[match.group(2).lower()], "")
        return (1, 0, text.lower())

    before = result_rows()
    bt.check(len(before) >= 60, "result rows: %d" % len(before))
    bt.check(sorted(before) == sorted(result_rows()), "rows unchanged before a click")
    click_head(4)
    by_size = result_rows()
    keys = [size_key(row[3]) for row in by_size]
    bt.check(keys == sorted(keys), "sorted by size: %s" % [row[3] for row in by_size])
    bt.check(sorted(by_size) == sorted(before), "rows moved whole when sorted by size")
    click_head(4)
    keys = [size_key(row[3]) for row in result_rows()]
    bt.check(keys == sorted(keys, reverse=True), "second click: largest first")
    click_head(3)
    by_name = [row[2] for row in result_rows()]
    bt.check(by_name == sorted(by_name, key=str.lower), "sorted by file name: %s" % by_name)
    bt.check(sorted(result_rows()) == sorted(before), "rows moved whole when sorted by name")
    collect("results")

    # Charts: daily searches first, then accesses, then yearly.
    driver.go(site + script + "?Command?stats=yes&path=charts")
    bt.wait_for(loaded, "charts page")
    src = driver.js("return document.getElementById('imaginea').src")
    bt.check("stats=chart&path=1&t=1" in src, "starts with daily searches: %s" % src)
    try:
        bt.wait_for(lambda: driver.js("return document.getElementById('imaginea').naturalWidth")
                    == 443, "chart image shown")
    except bt.Failure:
        print("kivweb exit:", kivweb.poll())
        print(open(work + "/kivweb.log").read()[-1500:])
        raise
    driver.js("document.getElementById('hbhb2').click();")
    driver.js("document.getElementById('haha').click();")
    src = driver.js("return document.getElementById('imaginea').src")
    bt.check("path=3&t=2" in src, "yearly accesses: %s" % src)
    bt.check(driver.js("return document.getElementById('hbhb2').disabled"), "chosen kind disabled")
    title = driver.js("return document.getElementById('charttitle').innerText")
    bt.check(title == "accesses (monthly updated)", "chart title: %r" % title)
    bt.wait_for(lambda: driver.js("var i = document.getElementById('imaginea');"
                                  "return i.complete && i.naturalWidth == 443;"), "yearly chart")
    collect("charts")

    for path in ("", "&path=files", "&path=lastqueries", "&path=categories"):
        driver.go(site + script + "?Command?stats=yes" + path)
        bt.wait_for(loaded, "stats" + path)
        bt.check("statistics" in driver.js("return document.body.innerText"), "stats" + path)
        collect("stats" + path)



def main():
    return bt.run_session("site-browser", walk, prepare)


if __name__ == "__main__":
    sys.exit(main())
