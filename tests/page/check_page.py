#!/usr/bin/env python3
"""Opens the web page of a freshly made mosaic in headless Chromium and checks what a person gets:
the mosaic loaded and shown at the page's width, one map area per placed tile inside the picture,
every area's link opening its tile photo, and a screenshot that shows the picture.

Usage: check_page.py TESSARIX_CLI WORK_FOLDER. Exits 77 (skipped) when Chromium is missing."""

import html
import json
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import urllib.parse
import urllib.request
import zlib

PAGE_WIDTH = 600
TILE_COLOURS = [(200, 40, 40), (40, 160, 60), (40, 60, 200), (220, 180, 30),
                (130, 40, 160), (30, 170, 170), (90, 90, 90), (240, 120, 20)]
# Blanks, both quotes, "&", "<" and letters outside ASCII: each must survive HTML and the URL.
ODD_NAME = "Zoë's \"Café\" & <Ærø> Straße"


def chromium_program():
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def write_ppm(path, width, height, pixel):
    rows = bytearray()
    for y in range(height):
        for x in range(width):
            rows += bytes(pixel(x, y))
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (width, height) + rows)


def write_jpeg(path, width, height, pixel, work):
    ppm = os.path.join(work, "picture.ppm")
    write_ppm(ppm, width, height, pixel)
    with open(path, "wb") as out:
        subprocess.run(["cjpeg", "-quality", "95", ppm], stdout=out, check=True)
    os.remove(ppm)


def make_mosaics(cli, work):
    """Flat-coloured tiles, a collection of them, and the mosaics of two sources with reports
    and pages. Returns the paths of the sources' pages and reports."""
    tiles = os.path.join(work, "tiles")
    os.makedirs(tiles)
    for i, colour in enumerate(TILE_COLOURS):
        write_jpeg(os.path.join(tiles, "tile %d %s.jpg" % (i, ODD_NAME)), 48, 32,
                   lambda x, y, c=colour: c, work)
    collection = os.path.join(tiles, "All.tzc")
    subprocess.run([cli, "collection", "create", collection], check=True,
                   stdout=subprocess.DEVNULL, timeout=60)
    sources = []
    for name in ("Plain", ODD_NAME):
        source = os.path.join(work, name + ".jpg")
        write_jpeg(source, 240, 160,
                   lambda x, y: TILE_COLOURS[(x // 40 + 3 * (y // 40)) % len(TILE_COLOURS)], work)
        sources.append(os.path.join(work, name))
    subprocess.run([cli, "mosaic", "-c", collection, "--mosaic-width", "480", "--tiles-per-row",
                    "6", "--report", "--web-page=%d" % PAGE_WIDTH]
                   + [s + ".jpg" for s in sources],
                   check=True, stdout=subprocess.DEVNULL, timeout=120)
    return [(s + ".html", s + " Report.TXT") for s in sources]


# Loaded beside the page in a frame: collects what the browser made of the page into its own DOM,
# where --dump-dom can read it.
PROBE = """<html><body><pre id="result"></pre><iframe id="page" width="%(frame)d" height="900"
src="%(page)s"></iframe><script>
function opens(url) {
  return new Promise(done => { const i = new Image(); i.onload = () => done(true);
                                i.onerror = () => done(false); i.src = url; });
}
document.getElementById('page').onload = async () => {
  const doc = document.getElementById('page').contentDocument;
  const img = doc.querySelector('img[usemap]');
  const box = img.getBoundingClientRect();
  const areas = Array.from(doc.querySelectorAll('map area'));
  const hrefs = areas.map(a => a.href);
  const opened = {};
  for (const href of new Set(hrefs)) opened[href] = await opens(href);
  let preview = null;
  if (areas.length > 0) {
    areas[0].dispatchEvent(new MouseEvent('mouseover', {bubbles: true}));
    const zoom = doc.getElementById('MyZoom');
    preview = {src: zoom.src, display: zoom.style.display, left: zoom.style.left,
               top: zoom.style.top};
  }
  document.getElementById('result').textContent = JSON.stringify({
    src: img.src, complete: img.complete, naturalWidth: img.naturalWidth, naturalHeight: img.naturalHeight,
    left: box.left, top: box.top, width: box.width, height: box.height,
    mapName: doc.querySelector('map').name, usemap: img.getAttribute('usemap'),
    areas: areas.map(a => ({shape: a.shape, coords: a.coords, href: a.href})),
    opened: opened, preview: preview, title: doc.title});
};
</script></body></html>
"""


def run_chromium(chromium, arguments, timeout=60):
    """Runs headless Chromium on a profile of its own; after `timeout` seconds it and all its
    helper processes are ended."""
    with tempfile.TemporaryDirectory() as profile:
        env = dict(os.environ, HOME=profile, XDG_CONFIG_HOME=profile, XDG_CACHE_HOME=profile)
        browser = subprocess.Popen(
            [chromium, "--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
             "--user-data-dir=" + profile, "--hide-scrollbars", "--force-device-scale-factor=1"]
            + arguments,
            env=env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, start_new_session=True)
        try:
            out, _ = browser.communicate(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(browser.pid, signal.SIGKILL)
            browser.communicate()
            raise AssertionError("Chromium did not finish within %d seconds" % timeout)
        assert browser.returncode == 0, "Chromium ended with status %d" % browser.returncode
        return out.decode("utf-8")


def browser_view(chromium, page, work):
    probe = os.path.join(work, "probe.html")
    with open(probe, "w", encoding="utf-8") as f:
        f.write(PROBE % {"frame": PAGE_WIDTH + 100,
                         "page": html.escape(urllib.request.pathname2url(page))})
    dom = run_chromium(chromium, ["--allow-file-access-from-files", "--virtual-time-budget=10000",
                                  "--dump-dom", "file://" + urllib.request.pathname2url(probe)])
    found = re.search(r'<pre id="result">(.*?)</pre>', dom, re.S)
    if not found or not found.group(1):
        raise AssertionError("the browser reported nothing about the page")
    return json.loads(html.unescape(found.group(1)))


def placed_tiles(report):
    """The tile paths of the report's cells that hold a photo, in cell order."""
    with open(report, "rb") as f:
        lines = f.read().split(b"\r\n")
    rows = lines[lines.index(b"Position Left x Top\tImage\tSequence\tDifference\tUsed Count") + 1:]
    return [row.split(b"\t")[1].decode("utf-8") for row in rows
            if row and row.split(b"\t")[1] != b"-"]


def read_png(path):
    """Width, height and RGB rows of an 8-bit RGB or RGBA PNG, as Chromium writes it."""
    with open(path, "rb") as f:
        data = f.read()
    assert data[:8] == b"\x89PNG\r\n\x1a\n", "the screenshot is no PNG"
    pos, chunks, header = 8, [], None
    while pos < len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        body = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", body)
        elif kind == b"IDAT":
            chunks.append(body)
        pos += 12 + length
    width, height, depth, colour, _, _, interlace = header
    assert depth == 8 and colour in (2, 6) and interlace == 0, "unexpected PNG format"
    channels = 3 if colour == 2 else 4
    raw = zlib.decompress(b"".join(chunks))
    stride = width * channels
    rows, previous = [], bytearray(stride)
    for y in range(height):
        kind = raw[y * (stride + 1)]
        line = bytearray(raw[y * (stride + 1) + 1:(y + 1) * (stride + 1)])
        for i in range(stride):
            a = line[i - channels] if i >= channels else 0
            b = previous[i]
            c = previous[i - channels] if i >= channels else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append([tuple(line[x * channels:x * channels + 3]) for x in range(width)])
        previous = line
    return width, height, rows


def read_jpeg(path):
    """Width, height and RGB rows of a JPEG, decoded by djpeg."""
    data = subprocess.run(["djpeg", "-pnm", path], stdout=subprocess.PIPE, check=True).stdout
    magic, width, height, _, pixels = data.split(maxsplit=4)
    assert magic == b"P6"
    width, height = int(width), int(height)
    return width, height, [[tuple(pixels[(y * width + x) * 3:(y * width + x) * 3 + 3])
                            for x in range(width)] for y in range(height)]


def check_screenshot(chromium, page, view, work):
    """The screen shows the mosaic file in the picture's rectangle, scaled to it, and nothing else
    beside it: a blank or broken picture fails."""
    shot = os.path.join(work, "screenshot.png")
    run_chromium(chromium, ["--window-size=%d,600" % (PAGE_WIDTH + 100),
                            "--screenshot=" + shot, "file://" + urllib.request.pathname2url(page)])
    width, height, screen = read_png(shot)
    mosaic_width, mosaic_height, mosaic = read_jpeg(
        urllib.parse.unquote(urllib.parse.urlsplit(view["src"]).path))
    right, bottom = int(view["width"]), min(int(view["height"]), height)
    assert right < width, "the screenshot is narrower than the picture"
    points = [(x, y) for y in range(2, bottom - 2, 5) for x in range(2, right - 2, 5)]
    alike = sum(1 for x, y in points
                if sum(abs(a - b) for a, b in zip(
                    screen[y][x], mosaic[y * mosaic_height // bottom][x * mosaic_width // right]))
                < 48)
    assert alike > len(points) * 9 // 10, "the screen shows the mosaic at only %d of %d points" % (
        alike, len(points))
    beside = [screen[y][x] for y in range(0, bottom, 8) for x in range(right + 4, width, 8)]
    assert all(min(p) > 235 for p in beside), "something is drawn beside the picture"


def check_page(chromium, page, report, work):
    view = browser_view(chromium, page, work)
    assert view["complete"] and view["naturalWidth"] > 0, "the mosaic picture did not load"
    assert view["usemap"] == "#" + view["mapName"], "the picture is not tied to its map"
    assert view["title"] == page[:-len(".html")] + " created by Tessarix", view["title"]
    assert (view["left"], view["top"]) == (0, 0), "the picture is not at the page's corner"
    assert view["width"] == PAGE_WIDTH, "shown %s pixels wide" % view["width"]
    expected_height = PAGE_WIDTH * view["naturalHeight"] / view["naturalWidth"]
    assert abs(view["height"] - expected_height) <= 1, "the picture is stretched"

    tiles = placed_tiles(report)
    areas = view["areas"]
    assert len(areas) == len(tiles) > 0, "%d areas for %d placed tiles" % (len(areas), len(tiles))
    for area, tile in zip(areas, tiles):
        left, top, right, bottom = (int(v) for v in area["coords"].split(","))
        assert area["shape"] == "rect"
        assert 0 <= left < right <= view["width"] and 0 <= top < bottom <= view["height"], \
            "area %s outside the picture" % area["coords"]
        url = urllib.parse.urlsplit(area["href"])
        assert url.scheme == "file", area["href"]
        assert view["opened"][area["href"]], "the browser cannot open " + area["href"]
        path = urllib.parse.unquote(url.path)
        assert os.path.isfile(path) and os.path.samefile(path, tile), \
            "the area links to %s, not to %s" % (path, tile)

    preview = view["preview"]
    assert preview["src"] == areas[0]["href"] and preview["display"] == "", \
        "hovering a tile does not show its photo: %s" % preview
    check_screenshot(chromium, page, view, work)


def main():
    cli, work = sys.argv[1], sys.argv[2]
    chromium = chromium_program()
    if chromium is None:
        print("chromium is not installed (scripts/install-test-deps installs it)")
        return 77
    shutil.rmtree(work, ignore_errors=True)
    os.makedirs(work)
    for page, report in make_mosaics(cli, work):
        check_page(chromium, page, report, work)
        print("checked in the browser:", os.path.basename(page))
    shutil.rmtree(work)
    return 0


if __name__ == "__main__":
    sys.exit(main())
