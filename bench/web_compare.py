#!/usr/bin/python3
# The page against the native renderer, in one run: "COMPILE !" of the largest tone (512 s,
# 44100 Hz, 16-bit stereo, 315 Hz, amplitude 100) in the varnok page in headless Chromium, per
# style (the handler's time: the click returns once the program waits again), beside the native
# fill of the same tone on one thread (bench_render threads/1/STYLE/plain), medians of RUNS;
# then the page's weight and the time from its request to its window.
# usage: bench/web_compare.py [BUILD_WEB] [BENCH_RENDER] [RUNS]
import functools
import http.server
import json
import os
import statistics
import subprocess
import sys
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select

web = sys.argv[1] if len(sys.argv) > 1 else "build-web"
bench = sys.argv[2] if len(sys.argv) > 2 else "build/bin/bench_render"
runs = int(sys.argv[3]) if len(sys.argv) > 3 else 3
STYLES = ["Sine", "Saw", "Absolute Sine", "SquareWave", "Triangle", "Pink Synth",
          "Absolute Square", "White Noise", "Inverse Sine"]


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def native_fills():
    out = subprocess.run([bench, "--benchmark_filter=^threads/1/[^/]+/plain",
                          f"--benchmark_repetitions={runs}", "--benchmark_format=json"],
                         check=True, capture_output=True, text=True).stdout
    medians = {}
    for row in json.loads(out)["benchmarks"]:
        if row.get("aggregate_name") == "median":
            medians[row["run_name"].split("/")[2]] = row["real_time"]
    return medians


server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), functools.partial(Quiet, directory=web))
threading.Thread(target=server.serve_forever, daemon=True).start()
options = Options()
for argument in ["--headless=new", "--no-sandbox", "--autoplay-policy=no-user-gesture-required"]:
    options.add_argument(argument)
options.binary_location = "/usr/bin/chromium"
driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
try:
    url = f"http://127.0.0.1:{server.server_address[1]}/varnok/index.html"
    shown = []
    for _ in range(runs):
        driver.get("about:blank")
        driver.get(url)
        shown.append(driver.execute_script(
            "return new Promise(done => { const look = () => document.querySelector('.button')"
            " ? done(performance.now()) : requestAnimationFrame(look); look(); });"))
    lists = {label.text: Select(driver.find_element(By.ID, label.get_attribute("for")))
             for label in driver.find_elements(By.CSS_SELECTOR, "label[for]")}
    for caption, text in {"# OF CHANNELS": "2", "AMPLITUDE": "100", "DURATION": "512"}.items():
        lists[caption].select_by_visible_text(text)
    page = {}
    for style in STYLES:
        lists["STYLES"].select_by_visible_text(style)
        times = []
        for _ in range(runs + 1):  # the first compiles the code further
            times.append(driver.execute_script(
                "const b = Array.from(document.querySelectorAll('.button'));"
                "const button = t => b.find(e => e.textContent == t);"
                "if (button('COMPILE !').disabled) { button('PLAY').click(); button('STOP').click(); }"
                "const t0 = performance.now(); button('COMPILE !').click();"
                "return performance.now() - t0;"))
        page[style] = statistics.median(times[1:])
finally:
    driver.quit()
    server.shutdown()

native = native_fills()
print(f"The largest tone compiled, medians of {runs} (ms):")
print(f"{'style':<16} {'native, 1 thread':>17} {'page':>8} {'page / native':>14}")
for style in STYLES:
    print(f"{style:<16} {native[style]:>17.1f} {page[style]:>8.1f} {page[style] / native[style]:>14.2f}")
files = [os.path.join(web, "varnok", name) for name in ("index.html", "index.js", "index.wasm")]
weight = sum(os.path.getsize(f) for f in files)
print(f"page files (HTML, JS, WASM): {weight} bytes ({weight / 1048576:.2f} MiB)")
print(f"window shown {statistics.median(shown):.0f} ms after the page's request (median of {runs})")
