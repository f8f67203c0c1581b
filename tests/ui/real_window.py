#!/usr/bin/python3
"""The real program where users meet it, inside xvfb-run and dbus-run-session: "pixels", the
bar's outline on the X server at the scale factor 1.5; "orca", a blind user's session by the
keyboard alone under openbox, as the screen reader Orca speaks it, on a copy of EXAMPLE_SAVE and
on a large save from GENSAVE.
    real_window.py pixels|orca DUSKMEND EXAMPLE_SAVE GENSAVE"""
import atexit, ctypes, hashlib, os, re, shutil, signal, subprocess, sys, tempfile, time  # noqa: E401

(mode, program, example, gensave), failures = (sys.argv[1:] + [None])[:4], []
BLACK, FILL = (0,) * 3, (212, 208, 200)


def check(what, got, expected):
    if got != expected:
        failures.append(print(f"FAIL {what}: got {got!r}, expected {expected!r}"))
    return got == expected


def wait_for(what, condition, seconds=60):
    for _ in range(seconds * 10):
        if result := condition():
            return result
        time.sleep(0.1)
    sys.exit(f"gave up waiting for {what}")


def ours():  # what this script starts and may spin ends with it, even when a timeout kills it
    ctypes.CDLL(None).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


def start(scale="1"):
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_QPA_PLATFORMTHEME="", QT_SCALE_FACTOR=scale)
    errors = tempfile.TemporaryFile()  # a pipe that nobody reads would stop the program once full
    child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=errors, preexec_fn=ours)
    search = ["xdotool", "search", "--onlyvisible", "--name", r"^Duskmend v1\.0$"]
    window = wait_for("the window", lambda: child.poll() is not None and errors.seek(0) == 0 and sys.exit(
        f"the program ended at its start with {child.returncode}: {errors.read()!r}")
        or subprocess.run(search, capture_output=True, text=True).stdout.split())
    time.sleep(1)  # painted
    child.errors = errors  # what the program printed, shown when it ends as it should not
    return child, window[0]


def check_pixels(scale):
    child, window = start(scale)
    data = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"], capture_output=True).stdout
    child.terminate(), child.wait(timeout=10)  # a program that SIGTERM does not end fails here
    header = re.match(rb"P6\s+(\d+)\s+(\d+)\s+255\s", data)
    width, height, rgb, s, at = int(header[1]), int(header[2]), data[header.end():], float(scale), f"at {scale}"
    pixel = lambda x, y: tuple(rgb[3 * (y * width + x):3 * (y * width + x) + 3])  # noqa: E731
    count = lambda colour, points: sum(pixel(x, y) == colour for x, y in points)  # noqa: E731
    # The bar: a fill inside a black outline that is whole on all four sides.
    inside = [(x, y) for y in range(height) for x in range(0, width, 7) if pixel(x, y) == FILL]
    top, bottom = min(y for _, y in inside) - 1, max(y for _, y in inside) + 1
    filled = [x for x in range(width) if pixel(x, top + 1) == FILL]
    left, right = filled[0] - 1, filled[-1] + 1
    check(f"the bar's size {at}", max(abs(right - left + 1 - 449 * s), abs(bottom - top + 1 - 17 * s)) < 1.5, True)
    edges = [(x, y) for x in range(left, right + 1) for y in (top, bottom)]
    edges += [(x, y) for y in range(top, bottom + 1) for x in (left, right)]
    check(f"the bar's outline {at}", count(BLACK, edges), len(edges))


# Orca itself, its log written a line at a time: each "SPEECH OUTPUT" line is what a user hears.
ORCA = ("import builtins, runpy, sys\nreal = builtins.open\nsys.argv[0] = '/usr/bin/orca'\n"
        "builtins.open = lambda name, mode='r', *more, **named: real(name, mode, 1) if name == sys.argv[2] "
        "else real(name, mode, *more, **named)\nrunpy.run_path(sys.argv[0], run_name='__main__')\n")


class Orca:
    def __init__(self):
        # Orca's default settings, whatever the user's are; and no speech server, which hangs
        # Orca on a machine without sound: what it speaks is in its log all the same.
        home = tempfile.mkdtemp()
        atexit.register(shutil.rmtree, home, True)
        self.log, self.read, self.said, self.output = os.path.join(home, "orca.log"), 0, [], tempfile.TemporaryFile()
        self.process = subprocess.Popen(["/usr/bin/python3", "-c", ORCA, "--debug-file", self.log],
                                        env=dict(os.environ, HOME=home, SPEECHD_CMD="false", SPEECHD_ADDRESS=f"unix_socket:{home}/x"),
                                        stdout=self.output, stderr=self.output, preexec_fn=ours)
        atexit.register(lambda: self.process.kill() or self.process.wait())
        self.hear("^Screen reader on", "Orca to start")

    def hear(self, pattern, what=None, seconds=30):  # all said up to the first line that matches
        for _ in range(seconds * 10):
            text = open(self.log, errors="replace").read() if os.path.exists(self.log) else ""
            end = text.rfind("\n") + 1
            self.said += re.findall(r"SPEECH OUTPUT: '(.*?)'(?:[\[{ ]|$)", text[self.read:end], re.M | re.S)
            self.read = max(self.read, end)
            if (at := next((i for i, line in enumerate(self.said) if re.search(pattern, line)), None)) is not None:
                said, self.said = self.said[:at + 1], self.said[at + 1:]
                return said
            if self.process.poll() is not None:
                sys.exit(f"Orca ended with {self.process.returncode}: {self.output.seek(0) or self.output.read()!r}")
            time.sleep(0.1)
        sys.exit(f"gave up waiting for {what or repr(pattern)}; Orca said {self.said}")


def check_orca():  # a blind user's session by the keyboard alone
    subprocess.Popen(["openbox"], stderr=subprocess.DEVNULL)
    subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    enable = ["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
              "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "IsEnabled", "<true>"]
    wait_for("the accessibility bus", lambda: subprocess.run(enable, capture_output=True).returncode == 0, 10)
    for _ in range(2):  # a busy machine, as a game server and its builds make it
        subprocess.Popen(["sh", "-c", "while :; do :; done"], preexec_fn=ours)
    # The desktop's opener of links, which notes what it is asked to open.
    opener = tempfile.mkdtemp()
    atexit.register(shutil.rmtree, opener, True)
    mailed = os.path.join(opener, "opened")
    with open(os.path.join(opener, "xdg-open"), "w") as script:
        script.write(f'#!/bin/sh\necho "$1" >> {mailed}\n')
    os.chmod(script.name, 0o755)
    os.environ["PATH"] = opener + os.pathsep + os.environ["PATH"]
    orca, (child, _) = Orca(), start()
    atexit.register(lambda: child.kill())
    key = lambda *keys: subprocess.run(["xdotool", "key", "--delay", "300", *keys])  # noqa: E731
    orca.hear("^Open Sphereworld.scp push button")
    key("KP_Up")  # flat review: the focused line, with the path's box beside the button
    check("nothing loaded, at the start", orca.hear("scp$")[-1], "No Worldsave loaded... Open Sphereworld.scp")

    def open_save(path):  # through the file dialog, the name typed as fast as xdotool types
        key("alt+s"), orca.hear("^File name: text")
        subprocess.run(["xdotool", "type", "--delay", "0", path]), time.sleep(1), key("Return")
        return orca.hear("^notification ")[-1]

    def focus(button):  # by Tab, as a user finds it
        for _ in range(8):
            if (key("Tab"), orca.hear(r"push button\.$"))[1][-1] == f"{button} push button.":
                return
        sys.exit(f"Tab never reached {button}")

    # Tab visits the buttons in their order from Open; Return presses the focused one: with
    # nothing loaded, the analysis says so. Alt+F and Alt+E open their menus.
    check("the order of Tab", [(key("Tab"), orca.hear(r"push button\.$"))[1][-1] for _ in range(5)],
          [f"{name} push button." for name in ("Remove all Local Lights", "Change all Local Lights", "About...",
                                               "Exit", "Start analysis only")])
    key("Return")
    check("nothing loaded", orca.hear("^OK push button")[-2], "Load a worldsave at first, please...")
    key("Return")
    for menu, first in (("alt+f", "Open Sphereworld.scp."), ("alt+e", "Remove all Local Light entries.")):
        key(menu), orca.hear(f"^{re.escape(first)}$", f"the first entry of {menu}'s menu"), key("Escape", "Escape")
    told = "notification Ready. Local Lights found {}, Sectors total {}."
    save, big = (os.path.join(tempfile.mkdtemp(), "sphereworld.scp") for _ in range(2))
    for path in (save, big):
        atexit.register(shutil.rmtree, os.path.dirname(path), True)
    shutil.copy(example, save)
    check("the save named when opened", open_save(save), f"notification {save}.")
    focus("Start analysis only")
    key("space")
    check("the analysis told", orca.hear("^notification")[-1], told.format(5, 8))
    key("KP_Up", "KP_Page_Up", "KP_Page_Up")  # flat review: the focused line, then two below
    check("the counts in flat review", orca.hear("Local Lights found")[-1], " Local Lights found: 5  Sectors total: 8")
    key("alt+c"), orca.hear("^Hey, Dude!")
    check("the change's question", orca.hear(r"text\.$")[-1], "Change to what value? text.")
    key("5", "Return")
    check("the change told", orca.hear("^notification")[-1], told.format(5, 8))
    key("alt+r")
    check("the remove told", orca.hear("^notification")[-1], told.format(5, 8))
    with open(save, "rb") as text:
        check("the remove by the keyboard: the characters' lights alone stay", text.read().count(b"\nLIGHT="), 11)
    os.remove(save)  # a pass that fails: its message, then the result
    focus("Start analysis only"), key("space"), orca.hear("^OK push button"), key("Return")
    check("a failure told", orca.hear("^notification")[-1], "notification Failed - worldsave unchanged. "
          "Local Lights found 5, Sectors total 8.")
    focus("About..."), key("space")
    said = orca.hear("^notification")
    check("the About box read as it opens", (any(line.startswith("About Duskmend dialog") for line in said), said[-1]),
          (True, "notification Duskmend Version 1.0.0. EMail duskmend@example.org, ICQ 100000001, websites "
                 "https://duskmend.example.org/ and https://duskmend.example.org/manual/."))
    # One Tab at a time, each heard: Orca passes over a focus that the next one overtook.
    check("the pictures and the e-mail address, a link",
          [(key("Tab"), orca.hear(r"(image|link)\.$"))[1][-1] for _ in range(3)],
          ["Duskmend icon image.", "Sphere logo image.", "duskmend@example.org link."])
    key("Return")
    check("the e-mail address opened", wait_for("the opener", lambda: os.path.exists(mailed) and open(mailed).read(), 10),
          "mailto:duskmend@example.org\n")
    key("Escape"), orca.hear("push button")
    # A second Space during a long pass does nothing: no second pass, no other command; the
    # focus stays where it was.
    subprocess.run([gensave, "300M", big], check=True, stdout=subprocess.DEVNULL)
    digest = lambda: hashlib.sha256(open(big, "rb").read()).digest()  # noqa: E731
    old, old_lines = digest(), open(big, "rb").read().splitlines(keepends=True)
    open_save(big)
    focus("Remove all Local Lights")
    subprocess.run(["xdotool", "key", "--delay", "50", "space", "space"])
    said = orca.hear("^notification")
    if not check("the bar told during a long pass", any(re.match(r"\d+ percent\.$", line) for line in said), True):
        print(f"Orca said: {said}")
    said += (key("Tab"), orca.hear(r"push button\.$"))[1]
    check("a double Space", [line for line in said if re.search("^notification|About|push button|Dude", line)],
          [told.format(8575, 10692), "Change all Local Lights push button."])
    new, kept = digest(), iter(open(big, "rb").read().splitlines(keepends=True))
    # The new save is the old one without its 8575 light entries (some with the sector header
    # in front of them), and nothing else.
    at, gone = next(kept, None), []
    for line in old_lines:
        if line == at:
            at = next(kept, None)
        else:
            gone.append(line)
    check("the lines that the remove pass took out",
          (at, sum(bool(re.match(rb"(?i)(local)?light=", g)) for g in gone),
           all(re.match(rb"(?i)(\[sector|(local)?light=)", g) for g in gone)), (None, 8575, True))
    # A change from the Edit menu, given no value, changes nothing; its message box is read.
    before = os.stat(big)
    key("alt+e", "Down", "Return"), orca.hear("^Hey, Dude!"), key("Escape")
    orca.hear("You have to enter a new value or remove all local lights!", "the cancelled change's box")
    check("a cancelled change", os.stat(big).st_mtime_ns, before.st_mtime_ns)
    key("Return"), orca.hear("push button")

    def ended(child, what):  # the program ended as Exit ends it
        if not check(what, child.wait(timeout=60), 0):
            print(child.errors.seek(0) or child.errors.read().decode(errors="replace"))

    # A SIGTERM while the About box is open ends the program, as Exit does, and changes nothing.
    key("alt+a"), orca.hear("^notification")
    child.send_signal(signal.SIGTERM)
    ended(child, "a SIGTERM with the About box open")
    check("the save after a SIGTERM", os.stat(big).st_mtime_ns, before.st_mtime_ns)
    # Alt+C and Alt+S during a pass open nothing, and Alt+X ends the program once the pass has
    # stopped: the save is whole, old or new.
    subprocess.run([gensave, "300M", big], check=True, stdout=subprocess.DEVNULL)
    child, _ = start()
    orca.hear("^Open Sphereworld.scp push button")
    open_save(big)
    subprocess.run(["xdotool", "key", "--delay", "50", "alt+r", "alt+c", "alt+s", "alt+x"])
    ended(child, "Alt+X during a pass")
    check("the save after Alt+X during a pass", digest() in (old, new), True)


if mode == "pixels":
    check_pixels("1.5")  # a fractional scale, where a rounding can break the outline
else:
    check_orca()
print("the real window: all checks passed" if not failures else f"{len(failures)} failed")
sys.exit(1 if failures else 0)
