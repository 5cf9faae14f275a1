#!/usr/bin/python3
"""What a screen reader hears of a program's form, over AT-SPI.

    atspi_names.py Tarvix|TarvixS PROGRAM

Starts the program on an X server of its own (Xvfb) with a session bus of its
own (dbus-run-session, which starts the accessibility bus on demand), without
any capability, and reads its accessible tree with pyatspi as Orca would:
each box must be named by its label, the lamp must say its colour, the
component must say what it is and how its run stands. Exits 77 (a skip) with
the reason when Xvfb, D-Bus, AT-SPI or pyatspi is missing.
"""

import os
import shutil
import subprocess
import sys
import tempfile
import time

SKIP = 77

EXPECTED = {
    # role, name, what the description must be (None: anything)
    "Tarvix": [
        ("text", "Number of echo requests to send", None),
        ("text", "Send buffer size.", None),
        ("text", "Timeout in milliseconds to wait for each reply.", None),
        ("text", "Time To Live.", None),
        ("text", "IP Address or Host Name to Ping", None),
        ("text", "Ping output", None),
        ("image", "Status lamp", "Green"),
        (None, "Ping control", "Idle, no run yet"),
    ],
    "TarvixS": [
        ("text", "Host Name or IP Address to ping", None),
        ("chart", "Ping control", "Idle, no run yet"),
    ],
}


def skip(reason):
    print(f"SKIP: {reason}")
    sys.exit(SKIP)


def fail(reason):
    print(f"FAIL: {reason}")
    sys.exit(1)


def start_xvfb(work):
    display_file = os.path.join(work, "display")
    with open(display_file, "w") as out:
        # Xvfb picks a free display itself and writes its number to the fd.
        server = subprocess.Popen(
            ["Xvfb", "-displayfd", str(out.fileno()), "-screen", "0", "1024x768x24", "-nolisten", "tcp"],
            pass_fds=(out.fileno(),), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    for _ in range(100):
        if os.path.getsize(display_file) > 0:
            with open(display_file) as f:
                return server, ":" + f.read().split()[0]
        if server.poll() is not None:
            fail("Xvfb did not start")
        time.sleep(0.1)
    server.kill()
    fail("Xvfb named no display")


def walk(node, found, depth=0):
    if node is None or depth > 30:
        return
    try:
        found.append((node.getRoleName(), node.name or "", node.description or ""))
        for i in range(node.childCount):
            walk(node.getChildAtIndex(i), found, depth + 1)
    except Exception as error:  # a node that went away meanwhile
        print(f"note: {error}")


def find(node, role, name, depth=0):
    if node is None or depth > 30:
        return None
    if node.getRoleName() == role and node.name == name:
        return node
    for i in range(node.childCount):
        found = find(node.getChildAtIndex(i), role, name, depth + 1)
        if found is not None:
            return found
    return None


def hear_the_lamp_change(pyatspi, pid):
    """Pings 127.0.0.1 as a user of a screen reader would (the host typed
    through the editable text, Ping pressed through its action) and listens
    for the lamp's description to change to red and back to green, and for
    the control's to follow the run to its end: the events a screen reader
    hears."""
    from gi.repository import GLib

    desktop = pyatspi.Registry.getDesktop(0)
    application = next(desktop.getChildAtIndex(i) for i in range(desktop.childCount)
                       if desktop.getChildAtIndex(i).get_process_id() == pid)
    host = find(application, "text", "IP Address or Host Name to Ping")
    ping = find(application, "push button", "Ping")
    if host is None or ping is None:
        fail("the host box or the Ping button is not there over AT-SPI")
    heard = []
    control = []

    def changed(event):
        # What the source says when the event is read, which may be later.
        if event.source is not None and event.source.name == "Ping control":
            control.append(event.source.description)
        if event.source is not None and event.source.name == "Status lamp":
            heard.append(event.source.description)
            if "Green" in heard[heard.index("Red"):] if "Red" in heard else False:
                pyatspi.Registry.stop()

    pyatspi.Registry.registerEventListener(changed, "object:property-change:accessible-description")
    host.queryEditableText().setTextContents("127.0.0.1")
    ping.queryAction().doAction(0)
    GLib.timeout_add_seconds(30, lambda: pyatspi.Registry.stop() or False)
    pyatspi.Registry.start()
    pyatspi.Registry.deregisterEventListener(changed, "object:property-change:accessible-description")
    print(f"  the lamp said, as it changed: {heard}")
    print(f"  the control said, as the run went: {control}")
    # Whether the run itself gets an ICMP socket depends on the machine (the
    # program holds no capability): the control is heard changing as it looks
    # the host up and ends, whatever became of the run.
    if len(control) < 2:
        fail(f"the control's changes were not heard: {control}")
    if "Red" not in heard or "Green" not in heard[heard.index("Red"):]:
        fail(f"the lamp's change to red and back to green was not heard: {heard}")


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in EXPECTED:
        print(__doc__)
        sys.exit(2)
    kind, program = sys.argv[1], os.path.abspath(sys.argv[2])
    if not os.access(program, os.X_OK):
        fail(f"{program} is not built")

    for tool, package in (("Xvfb", "xvfb"), ("dbus-run-session", "dbus"), ("setpriv", "util-linux")):
        if shutil.which(tool) is None:
            skip(f"{tool} is not installed (Debian package {package}; scripts/install-deps.sh installs it)")
    if not any(os.path.exists(p) for p in ("/usr/libexec/at-spi-bus-launcher", "/usr/lib/at-spi2-core/at-spi-bus-launcher")):
        skip("the AT-SPI bus launcher is not installed (Debian package at-spi2-core)")
    try:
        import gi  # noqa: F401
        import pyatspi  # noqa: F401
    except ImportError as error:
        skip(f"pyatspi is not importable ({error}; Debian package python3-pyatspi)")

    # A session bus of our own: the accessibility bus it starts is ours too.
    if os.environ.get("TARVIX_ATSPI_SESSION") != "1":
        env = dict(os.environ, TARVIX_ATSPI_SESSION="1")
        sys.exit(subprocess.call(["dbus-run-session", "--", sys.executable, *sys.argv], env=env))

    import pyatspi

    # The accessibility bus and its registry up before the program asks for them.
    pyatspi.Registry.getDesktop(0).childCount
    work = tempfile.mkdtemp()
    server, display = start_xvfb(work)
    log = open(os.path.join(work, "program.log"), "w+")
    env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    env.pop("QT_ACCESSIBILITY", None)
    app = subprocess.Popen(["setpriv", "--inh-caps=-all", "--ambient-caps=-all", "--bounding-set=-all",
                            "--no-new-privs", program], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        found = []
        missing = EXPECTED[kind]
        deadline = time.time() + 60
        while time.time() < deadline:
            if app.poll() is not None:
                log.seek(0)
                fail(f"{kind} ended early with {app.returncode}:\n{log.read()}")
            found = []
            desktop = pyatspi.Registry.getDesktop(0)
            for i in range(desktop.childCount):
                application = desktop.getChildAtIndex(i)
                try:
                    if application is not None and application.get_process_id() == app.pid:
                        walk(application, found)
                except Exception:
                    continue
            missing = [e for e in EXPECTED[kind]
                       if not any((e[0] is None or e[0] == role) and e[1] == name and (e[2] is None or e[2] == desc)
                                  for role, name, desc in found)]
            if not missing:
                break
            time.sleep(0.5)
        for role, name, desc in found:
            print(f"  {role!r:24} {name!r:52} {desc!r}")
        if missing:
            log.seek(0)
            fail(f"not heard over AT-SPI: {missing}\nthe program said:\n{log.read()}")
        # Nothing the user can reach may be nameless.
        nameless = [role for role, name, _ in found if role in ("text", "push button", "check box") and not name]
        if nameless:
            fail(f"controls without a name: {nameless}")
        if kind == "Tarvix":
            hear_the_lamp_change(pyatspi, app.pid)
        print(f"PASS: {kind}: {len(EXPECTED[kind])} names heard over AT-SPI")
    finally:
        app.terminate()
        try:
            app.wait(5)
        except subprocess.TimeoutExpired:
            app.kill()
        server.terminate()
        server.wait(5)
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    main()
