#!/usr/bin/python3
"""The browser's part of browser_e2e.sh: the pairing link is taken from the clipboard, where the
program's "Copiar el enlace" put the address its QR code holds; headless Chromium pairs with it,
watches station 1 count once the program opens it (xdotool on the main window), at 360x740 and
1280x800, then the program revokes the device and the page must say it is not paired."""

import argparse
import ctypes
import ctypes.util
import os
import subprocess
import sys
import time
import urllib.parse

from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By


def fail(message):
    print("FAIL: " + message, file=sys.stderr)
    sys.exit(1)


def clipboard_text(timeout=10.0):
    """The X clipboard's text, asked of its owner as any X client asks (no xclip here)."""
    x = ctypes.cdll.LoadLibrary(ctypes.util.find_library("X11"))
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    x.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x.XCreateSimpleWindow.restype = ctypes.c_ulong
    x.XCreateSimpleWindow.argtypes = [ctypes.c_void_p, ctypes.c_ulong] + [ctypes.c_int] * 2 + \
        [ctypes.c_uint] * 3 + [ctypes.c_ulong] * 2
    x.XInternAtom.restype = ctypes.c_ulong
    x.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x.XConvertSelection.argtypes = [ctypes.c_void_p] + [ctypes.c_ulong] * 5
    x.XPending.argtypes = [ctypes.c_void_p]
    x.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
    x.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long,
                                     ctypes.c_long, ctypes.c_int, ctypes.c_ulong,
                                     ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_int),
                                     ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_ulong),
                                     ctypes.POINTER(ctypes.c_void_p)]
    x.XFree.argtypes = [ctypes.c_void_p]
    display = x.XOpenDisplay(None)
    if not display:
        fail("no X display")
    window = x.XCreateSimpleWindow(display, x.XDefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0)
    clipboard = x.XInternAtom(display, b"CLIPBOARD", 0)
    utf8 = x.XInternAtom(display, b"UTF8_STRING", 0)
    target = x.XInternAtom(display, b"LUDOMAT_E2E", 0)
    x.XConvertSelection(display, clipboard, utf8, target, window, 0)
    event = (ctypes.c_long * 24)()
    selection_notify = 31
    deadline = time.time() + timeout
    while time.time() < deadline:
        if x.XPending(display):
            x.XNextEvent(display, event)
            if ctypes.cast(event, ctypes.POINTER(ctypes.c_int))[0] == selection_notify:
                kind, form = ctypes.c_ulong(), ctypes.c_int()
                count, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
                x.XGetWindowProperty(display, window, target, 0, 4096, 1, 0, ctypes.byref(kind),
                                     ctypes.byref(form), ctypes.byref(count), ctypes.byref(after),
                                     ctypes.byref(data))
                text = ctypes.string_at(data, count.value).decode() if data else ""
                if data:
                    x.XFree(data)
                return text
        else:
            time.sleep(0.05)
    fail("the clipboard never answered")


def keys(window, *names):
    subprocess.run(["xdotool", "windowfocus", "--sync", window], check=True)
    time.sleep(0.2)
    for name in names:
        subprocess.run(["xdotool", "key", "--clearmodifiers", name], check=True)
        time.sleep(0.3)


def wait_for(what, check, timeout=15.0):
    deadline = time.time() + timeout
    last = None
    while time.time() < deadline:
        try:
            last = check()
            if last:
                return last
        except Exception as error:  # the page is being rebuilt under the read
            last = error
        time.sleep(0.2)
    fail("%s (last seen: %r)" % (what, last))


def text_of(driver, selector):
    return (driver.find_element(By.CSS_SELECTOR, selector).get_attribute("textContent") or "").strip()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--main", required=True)
    parser.add_argument("--vista", required=True)
    parser.add_argument("--shots", required=True)
    args = parser.parse_args()

    keys(args.vista, "alt+e")  # "Copiar el enlace"
    link = clipboard_text()
    parts = urllib.parse.urlsplit(link)
    code = urllib.parse.parse_qs(parts.query).get("codigo", [""])[0]
    if parts.scheme != "https" or parts.path != "/emparejar" or len(code) != 8:
        fail("the copied link is not a pairing address: %r" % link)
    base = "%s://%s" % (parts.scheme, parts.netloc)

    options = webdriver.ChromeOptions()
    options.binary_location = "/usr/bin/chromium"
    for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage",
                     "--ignore-certificate-errors", "--window-size=1280,800"):
        options.add_argument(argument)
    options.set_capability("acceptInsecureCerts", True)
    driver = webdriver.Chrome(service=Service("/usr/bin/chromedriver"), options=options)
    try:
        # The QR's address asks the device's name, the code filled in; sent, the device is paired.
        driver.get(link)
        name = wait_for("the pairing form", lambda: driver.find_element(By.NAME, "nombre"))
        name.send_keys("Teléfono de prueba")
        name.submit()
        wait_for("the page saying the device is paired",
                 lambda: "Dispositivo emparejado" in driver.page_source)
        cookie = next((c for c in driver.get_cookies() if c["name"] == "ludomat_vista"), None)
        if not cookie or not cookie.get("httpOnly") or not cookie.get("secure") or \
                cookie.get("sameSite") != "Strict":
            fail("the device's cookie is not HttpOnly, Secure and SameSite=Strict: %r" % cookie)
        driver.get(base + "/")
        wait_for("station 1 in the room", lambda: driver.find_element(By.CSS_SELECTOR, "#salon #puesto-1"))
        idle = text_of(driver, "#puesto-1 .importe")

        # Station 1 opened in the program: it counts on the page within a few seconds.
        keys(args.main, "alt+1")
        amount = wait_for("station 1's amount to change from %r" % idle,
                          lambda: (lambda a: a if a and a != idle else None)(
                              text_of(driver, "#puesto-1 .importe")))
        first = wait_for("station 1's time", lambda: text_of(driver, "#puesto-1 .tiempo"))
        wait_for("station 1's time to run on from %r" % first,
                 lambda: text_of(driver, "#puesto-1 .tiempo") != first, timeout=10)
        print("station 1 counting: %s, %s" % (amount, text_of(driver, "#puesto-1 .tiempo")))

        for width, height, mobile in ((360, 740, True), (1280, 800, False)):
            driver.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                                   {"width": width, "height": height, "deviceScaleFactor": 1,
                                    "mobile": mobile})
            time.sleep(1.5)
            before = text_of(driver, "#puesto-1 .tiempo")
            wait_for("station 1 to count at %dx%d" % (width, height),
                     lambda: text_of(driver, "#puesto-1 .tiempo") != before, timeout=10)
            overflow = driver.execute_script(
                "return document.documentElement.scrollWidth - document.documentElement.clientWidth")
            if width == 360 and overflow > 0:
                fail("the page scrolls sideways by %d px at 360 px" % overflow)
            driver.save_screenshot(os.path.join(args.shots, "vista-%dx%d.png" % (width, height)))
            if not driver.find_element(By.CSS_SELECTOR, "#puesto-1 .importe").is_displayed():
                fail("station 1's amount is not shown at %dx%d" % (width, height))

        # Revoked in the program: the device's row clicked (the list's first row, at 8,472 px
        # below its header), "Revocar", and the question's first answer.
        time.sleep(2.5)  # the window's list is read every 2 s
        subprocess.run(["xdotool", "mousemove", "--window", args.vista, "100", "505", "click", "1"],
                       check=True)
        keys(args.vista, "alt+r")
        time.sleep(0.5)
        box = wait_for("the revocation's question", lambda: subprocess.run(
            ["xdotool", "search", "--onlyvisible", "--name", "^Ludomat$"],
            capture_output=True, text=True).stdout.split())[0]
        keys(box, "shift+Tab", "space")
        wait_for("the page to say the device is not paired",
                 lambda: "no emparejado" in text_of(driver, "#estado").lower())
        driver.save_screenshot(os.path.join(args.shots, "vista-revocada.png"))
    except SystemExit:
        # What the page showed when it failed, for whoever reads the log.
        driver.save_screenshot(os.path.join(args.shots, "fallo.png"))
        subprocess.run(["import", "-window", "root", os.path.join(args.shots, "fallo-programa.png")])
        print("  page at %s: %s" % (driver.current_url,
                                    driver.execute_script("return document.body.innerText")[:600]),
              file=sys.stderr)
        raise
    finally:
        driver.quit()
    print("browser part passed")


if __name__ == "__main__":
    main()
