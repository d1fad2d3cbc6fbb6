#!/usr/bin/python3
# The two pages in a real browser (headless Chromium driven by Selenium, the pages served from
# 127.0.0.1), used as a person would: the window and its captions, lists picked by their visible
# text, COMPILE's image against Linux's varnok-render, PLAY heard through the page's recording
# and measured, ABOUT's splash seen and gone (and the free page opened by varnok alone), the
# close box ending the program.
# usage: page_test.py BUILD_WEB_FOLDER LINUX_VARNOK_RENDER
import functools
import http.server
import math
import subprocess
import sys
import tempfile
import threading
import time

from selenium import webdriver
from selenium.webdriver.chrome.options import Options
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By
from selenium.webdriver.support.ui import Select, WebDriverWait

HOST = "www.halvex-tones.example"
# Per page: the title and the frequency picked.
PAGES = {
    "varnok": ("VARNOK V 1.3  (32 Bit)", "500"),
    "zembra": ("ZEMBRA V 1.2  (32 Bit)", "2000"),
}
CAPTIONS = ["# OF CHANNELS", "SAMPLE RATE", "# OF BITS", "STYLES", "FREQUENCY", "AMPLITUDE",
            "DURATION", "SWEEP (0 = OFF)", "FADE IN", "FADE OUT"]

folder, render = sys.argv[1], sys.argv[2]
passed = failed = 0


def check(what, ok, detail=""):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAIL: {what} {detail}")


class Quiet(http.server.SimpleHTTPRequestHandler):
    def log_message(self, *args):
        pass


def serve():
    handler = functools.partial(Quiet, directory=folder)
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
    threading.Thread(target=server.serve_forever, daemon=True).start()
    return server


def browser():
    options = Options()
    for argument in ["--headless=new", "--no-sandbox", "--window-size=1024,800",
                     "--autoplay-policy=no-user-gesture-required"]:
        options.add_argument(argument)
    options.binary_location = "/usr/bin/chromium"
    return webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)


def linux_image(options):
    return subprocess.run([render, *options, "-o", "-"], check=True, capture_output=True).stdout


def measure(recording, start):
    """Length in seconds, peak and frequency of the first sound after frame start."""
    left = recording["left"][start:]
    loud = [i for i, v in enumerate(left) if abs(v) > 0.02]
    if not loud:
        return 0.0, 0.0, 0.0
    first, last = loud[0], loud[-1]
    sound = left[first:last + 1]
    rises = sum(1 for i in range(1, len(sound)) if sound[i - 1] < 0 <= sound[i])
    seconds = len(sound) / recording["rate"]
    peak = max(max(abs(v) for v in sound), max(abs(v) for v in recording["right"][start:]))
    return seconds, peak, rises / seconds


def run_page(driver, url, name):
    title, hz = PAGES[name]
    driver.get(url + f"{name}/index.html?record")
    wait = WebDriverWait(driver, 10)
    wait.until(lambda d: d.find_elements(By.CSS_SELECTOR, ".window .button"))
    bar = driver.find_element(By.CSS_SELECTOR, ".window .title span").get_attribute("textContent")
    check(f"{name}: title bar", bar == title + " " * 32 + HOST, repr(bar))
    # Every list is labelled by its caption, so a screen reader names it.
    lists = {}
    for caption in CAPTIONS:
        label = driver.find_element(By.XPATH, f"//label[normalize-space()='{caption}']")
        target = label.get_attribute("for")
        check(f"{name}: {caption} labels a list", bool(target))
        lists[caption] = Select(driver.find_element(By.ID, target))
    button = {b.text: b for b in driver.find_elements(By.CSS_SELECTOR, ".button")}
    check(f"{name}: PLAY disabled at start", not button["PLAY"].is_enabled())

    # A tone of every list's choosing, its image against Linux's.
    picks = {"# OF CHANNELS": "2", "SAMPLE RATE": "22050", "# OF BITS": "8",
             "STYLES": "Triangle", "FREQUENCY": hz, "AMPLITUDE": "80", "DURATION": "2",
             "SWEEP (0 = OFF)": "8000", "FADE IN": "ON", "FADE OUT": "ON"}
    for caption, text in picks.items():
        lists[caption].select_by_visible_text(text)
    button["COMPILE !"].click()
    wait.until(lambda d: button["PLAY"].is_enabled())
    image = bytes(driver.execute_script("return Array.from(window.varnok.image());"))
    expected = linux_image(["--channels", "2", "--rate", "22050", "--bits", "8", "--style",
                            "Triangle", "--frequency", hz, "--amplitude", "80", "--duration", "2",
                            "--sweep", "8000", "--fade-in", "--fade-out"])
    check(f"{name}: COMPILE makes Linux's image", image == expected,
          f"({len(image)} bytes against {len(expected)})")

    # PLAY and STOP it, then a plain tone heard: 1 s of Sine at half scale.
    button["PLAY"].click()
    button["STOP"].click()
    for caption, text in {"STYLES": "Sine", "AMPLITUDE": "50", "DURATION": "1",
                          "SWEEP (0 = OFF)": "OFF", "FADE IN": "OFF", "FADE OUT": "OFF",
                          "# OF BITS": "16", "SAMPLE RATE": "44100"}.items():
        lists[caption].select_by_visible_text(text)
    button["COMPILE !"].click()
    wait.until(lambda d: button["PLAY"].is_enabled())
    start = driver.execute_script("return window.varnok.recording().channels[0].length;")
    button["PLAY"].click()
    time.sleep(1.6)
    recording = driver.execute_script(
        "var r = window.varnok.recording();"
        "return {rate: r.rate, left: Array.from(r.channels[0]), right: Array.from(r.channels[1])};")
    seconds, peak, heard = measure(recording, start)
    print(f"{name}: heard {heard:.1f} Hz for {seconds:.3f} s, peak "
          f"{20 * math.log10(max(peak, 1e-9)):.2f} dBFS (output {recording['rate']} Hz)")
    check(f"{name}: the tone's length", abs(seconds - 1.0) < 0.01, seconds)
    check(f"{name}: the tone's level on both speakers", abs(peak - 0.5) < 0.01, peak)
    check(f"{name}: the tone's frequency", abs(heard - float(hz)) < 2, heard)

    # ABOUT: the splash for 2.5 s, then gone; the free page opened by varnok only.
    tabs = len(driver.window_handles)
    button["ABOUT"].click()
    splash = wait.until(lambda d: [w for w in d.find_elements(By.CSS_SELECTOR, ".window")
                                   if w.find_element(By.CSS_SELECTOR, ".title span").text == HOST])
    shown = time.monotonic()
    picture = splash[0].find_element(By.CSS_SELECTOR, "canvas")
    check(f"{name}: the splash's logo", (picture.size["width"], picture.size["height"]) == (474, 334),
          picture.size)
    WebDriverWait(driver, 6).until(lambda d: len(d.find_elements(By.CSS_SELECTOR, ".window")) == 1)
    gone = time.monotonic() - shown
    check(f"{name}: the splash shown 2.5 s", 2.2 < gone < 3.5, gone)
    opened = len(driver.window_handles) - tabs
    check(f"{name}: the free page opened {1 if name == 'varnok' else 0} time(s)",
          opened == (1 if name == "varnok" else 0), opened)
    driver.switch_to.window(driver.window_handles[0])

    # The close box ends the program, and the page says so.
    driver.find_element(By.CSS_SELECTOR, ".window .close").click()
    ended = WebDriverWait(driver, 5).until(lambda d: d.find_elements(By.CSS_SELECTOR, ".ended"))
    check(f"{name}: the close box ends it", not driver.find_elements(By.CSS_SELECTOR, ".window")
          and "ended" in ended[0].text)


server = serve()
url = f"http://127.0.0.1:{server.server_address[1]}/"
driver = browser()
try:
    for page in PAGES:
        run_page(driver, url, page)
        for handle in driver.window_handles[1:]:
            driver.switch_to.window(handle)
            driver.close()
        driver.switch_to.window(driver.window_handles[0])
finally:
    driver.quit()
    server.shutdown()
print(f"{passed} passed, {failed} failed")
sys.exit(1 if failed else 0)
