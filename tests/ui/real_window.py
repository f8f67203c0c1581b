#!/usr/bin/python3
"""The real program where users meet it, inside xvfb-run and dbus-run-session: the X server's
pixels at the scale factors 1, 1.25, 1.5 and 2; the keyboard alone; a screen reader's client
over AT-SPI. Both of the latter remove the light entries of a copy of EXAMPLE_SAVE.
    real_window.py DUSKMEND EXAMPLE_SAVE"""
import os, re, shutil, signal, subprocess, sys, tempfile, time  # noqa: E401

(program, example), failures = sys.argv[1:3], []
GROUND, GREY, WHITE, BLACK, FILL = (192,) * 3, (128,) * 3, (255,) * 3, (0,) * 3, (212, 208, 200)


def check(what, got, expected):
    if got != expected:
        failures.append(print(f"FAIL {what}: got {got!r}, expected {expected!r}"))


def wait_for(what, condition, seconds=60):
    for _ in range(seconds * 10):
        if result := condition():
            return result
        time.sleep(0.1)
    sys.exit(f"gave up waiting for {what}")


def start(scale="1"):
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_QPA_PLATFORMTHEME="", QT_SCALE_FACTOR=scale)
    errors = tempfile.TemporaryFile()  # a pipe that nobody reads would stop the program once full
    child = subprocess.Popen([program], env=env, stdout=subprocess.DEVNULL, stderr=errors)
    search = ["xdotool", "search", "--onlyvisible", "--name", r"^Duskmend v1\.0$"]
    window = wait_for("the window", lambda: child.poll() is not None and errors.seek(0) == 0 and sys.exit(
        f"the program ended at its start with {child.returncode}: {errors.read()!r}")
        or subprocess.run(search, capture_output=True, text=True).stdout.split())
    time.sleep(1)  # painted
    return child, window[0]


def check_pixels(scale):
    child, window = start(scale)
    data = subprocess.run(["import", "-window", window, "-depth", "8", "ppm:-"], capture_output=True).stdout
    child.terminate(), child.wait()
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
    # Each engraved rule: a grey line with its white twin right beside it, without a gap.
    rows = [y for y in range(height) if count(GREY, ((x, y) for x in range(width))) >= 400 * s]
    ends = [y for y in rows if y + 1 not in rows]
    check(f"horizontal rules {at}", [count(WHITE, ((x, y + 1) for x in range(width))) >= 400 * s for y in ends],
          [True, True])
    longest = lambda y: max(len(run) for run in bytes(  # noqa: E731
        pixel(x, y) == GREY for x in range(width)).split(b"\0"))
    # (the vertical rules cross their ends; the right ends stop clear of the frame beside them)
    check(f"the rules' length {at}", [abs(longest(y) - 462 * s) <= 0.5 for y in ends], [True, True])
    columns = [x for x in range(width) if count(GREY, ((x, y) for y in range(height))) >= 100 * s]
    ends = [x for x in columns if x + 1 not in columns]
    check(f"vertical rules {at}", [count(WHITE, ((x + 1, y) for y in range(height))) >= 100 * s for x in ends], [True])
    # The path starts below the line that the style draws under Frame2's title: the line is
    # found right of the path's text, the text right of the title.
    x0, x1 = int(300 * s), int(460 * s)
    line = next(y for y in range(1, height) if len({pixel(x, y) for x in range(x0, x1)}) == 1
                and pixel(x0, y) != GROUND and pixel(x0, y - 1) == GROUND)
    text = [y for y in range(line - int(10 * s), line + int(30 * s))
            if any(max(pixel(x, y)) < 100 for x in range(int(80 * s), x0))]
    check(f"the path below the frame's line {at}", bool(text) and text[0] > line + 1, True)


def copy_of_example():
    save = os.path.join(tempfile.mkdtemp(), "sphereworld.scp")
    shutil.copy(example, save)
    return save


def check_keys():  # Alt+S, the path typed into the file dialog, Alt+R, Alt+X
    save, (child, window) = copy_of_example(), start()
    key = lambda *args: subprocess.run(["xdotool", *args], capture_output=True)  # noqa: E731
    dialog = ["xdotool", "search", "--onlyvisible", "--name", "^Open sphereworld"]
    opened = lambda: subprocess.run(dialog, capture_output=True, text=True).stdout.split()  # noqa: E731
    wait_for("Alt+S", lambda: key("windowfocus", window) and key("key", "alt+s") and time.sleep(1) or opened(), 20)
    key("windowfocus", opened()[0]), key("type", "--delay", "20", save), key("key", "Return")
    wait_for("the dialog to close", lambda: not opened())
    # Without a window manager the focus may come late: press Alt+R until the pass has run.
    wait_for("Alt+R", lambda: key("windowfocus", window) and key("key", "alt+r") and time.sleep(1)
             or os.path.exists(save + "tmp"))
    key("key", "alt+x"), child.wait(timeout=30)
    with open(save, "rb") as text:
        check("the keyboard's remove: the characters' lights alone stay", text.read().count(b"\nLIGHT="), 11)


def check_screen_reader():
    import gi
    gi.require_version("Atspi", "2.0")
    from gi.repository import GLib
    import pyatspi

    launcher = subprocess.Popen(["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"])
    enable = ["gdbus", "call", "--session", "--dest", "org.a11y.Bus", "--object-path", "/org/a11y/bus", "--method",
              "org.freedesktop.DBus.Properties.Set", "org.a11y.Status", "IsEnabled", "<true>"]
    wait_for("the accessibility bus", lambda: subprocess.run(enable, capture_output=True).returncode == 0, 10)
    save, (child, _) = copy_of_example(), start()
    events = []
    def role(node):  # of an object that may be gone already (the file dialog's)
        try:
            return node.getRoleName()
        except GLib.GError:
            return None

    pyatspi.Registry.registerEventListener(lambda e: events.append((e.type, e.source.name, e.detail1, role(e.source))),
                                           "object:text-changed", "object:property-change:accessible-name",
                                           "object:property-change:accessible-description", "object:state-changed:showing")

    def pump(times=1):  # lets the events in
        for _ in range(times):
            GLib.MainContext.default().iteration(False), time.sleep(0.01 if times > 1 else 0)

    def find(role, name, within):
        return wait_for(f"{role} {name}", lambda: pump() or next(iter(pyatspi.findAllDescendants(
            within, lambda n: n.getRoleName() == role and re.fullmatch(name, n.name or ""))), None), 30)

    press = lambda node: node.queryAction().doAction(0)  # noqa: E731
    app = find("application", "duskmend", pyatspi.Registry.getDesktop(0))
    bar = find("progress bar", "Progress", app)
    check("the bar at the start", bar.queryValue().currentValue, 100.0)
    press(find("push button", "Open Sphereworld.scp", app))
    dialog = find("dialog", r"Open sphereworld\.scp\.\.\.", app)
    find("text", ".*", dialog).queryEditableText().setTextContents(save)
    press(find("push button", "Open", dialog))
    pump(50)  # what the dialog told
    events.clear()
    press(find("push button", "Remove all Local Lights", app))
    wait_for("the end of the pass", lambda: pump() or bar.description == "100% - Ready")
    pump(50)  # the last events
    counts = [find("label", name, app) for name in ("Local Lights found", "Sectors total")]
    check("the counts as text", ["Text" in c.get_interfaces() and c.queryText().getText(0, -1) for c in counts],
          ["5", "8"])
    # where a screen reader's review of the screen finds them: right of their captions, on one line
    extents = [c.queryText().getRangeExtents(0, 1, pyatspi.DESKTOP_COORDS) for c in counts]  # x, y, width, height
    check("the counts where they stand", [e[2] > 0 and e[3] > 0 for e in extents] + [extents[0][1] == extents[1][1],
                                                                                      extents[0][0] < extents[1][0]], [True] * 4)
    # The end of the pass is said wherever the focus is: a notification shows with it.
    told = lambda: [e[1] for e in events if e[0] == "object:state-changed:showing" and e[3] == "notification"  # noqa
                    and e[2] == 1]
    wait_for("the end of the pass told", lambda: pump() or len(told()) == 2, 10)
    check("the save opened and the end of the pass told", told(), [save, "Ready. Local Lights found 5, Sectors total 8"])
    told = [e for e in events if e[0] == "object:text-changed:insert" and e[1] in ("Local Lights found", "Sectors total")]
    check("a change of each count is told, as the whole text", (sorted({e[1] for e in told}), {e[2] for e in told}),
          (["Local Lights found", "Sectors total"], {0}))
    check("the progress told once, from the bar, and no name changes but the notification's",
          (sum(e[:2] == ("object:property-change:accessible-description", "Progress") for e in events) >= 3,
           [e for e in events if e[0] == "object:property-change:accessible-name" and e[3] != "notification"]), (True, []))
    value = bar.queryValue()
    check("the bar, one element with its value", (bar.childCount, value.currentValue, value.minimumValue,
                                                  value.maximumValue, value.minimumIncrement), (0, 100.0, 0.0, 100.0, 1.0))
    decorations = pyatspi.findAllDescendants(app, lambda n: n.getRoleName() == "image" and not n.name)
    check("the lines hidden from screen readers",
          [d.getState().contains(pyatspi.STATE_VISIBLE) for d in decorations], [False] * 6)
    check("the path's description", find("label", re.escape(save), app).description, save)
    # A SIGTERM while a dialog is open ends the program, as Exit does, and changes nothing.
    removed = open(save, "rb").read()
    press(find("push button", "Change all Local Lights", app))
    find("dialog", "Hey, Dude!", app)
    child.send_signal(signal.SIGTERM)
    check("a SIGTERM with a dialog open", (child.wait(timeout=30), open(save, "rb").read() == removed), (0, True))
    launcher.terminate()


for scale in ("1", "1.25", "1.5", "2"):
    check_pixels(scale)
check_keys()
check_screen_reader()
print("the real window: all checks passed" if not failures else f"{len(failures)} failed")
sys.exit(1 if failures else 0)
