#!/usr/bin/python3
"""Reads the configurator window as a screen reader does, through AT-SPI.

Started inside a private D-Bus session and X display (scripts/a11y-smoke.sh sets them up), it
starts the window on the simulated device with the accessibility bridge on and checks that the
main page tabs are a page tab list of eleven named tabs and that table cells carry their names.
With --census it also counts, page by page and in the filter window, the editable controls and
how many of them have a name that is their own on the page, and prints the figures.

Exit status: 0 when every check passes, 1 when one fails, 2 when the window cannot be read.
"""
import argparse
import collections
import os
import signal
import subprocess
import sys
import time

import pyatspi

CAPTIONS = ["Radio", "Digipeater", "Beacons", "Network", "APRS-IS gateway", "RTC/NTP time",
            "Remote access", "Telemetry reports", "Weather reports", "Ext. interfaces", "Other"]

# Three table cells that must be found by what a screen reader says they are, each naming its row
# and column (the last a combo box, named by its label).
CELL_NAMES = ["Callsign filter 17, SSID", "Beacon 6, RF [min]", "Path rule 3, Enable if"]

FILTER_TITLE = "APRS-IS packets to RF filter"

EDITABLE = {pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY, pyatspi.ROLE_PASSWORD_TEXT, pyatspi.ROLE_COMBO_BOX,
            pyatspi.ROLE_CHECK_BOX, pyatspi.ROLE_RADIO_BUTTON, pyatspi.ROLE_SPIN_BUTTON, pyatspi.ROLE_SLIDER}


class Unreadable(Exception):
    pass


def children(node):
    try:
        return [node.getChildAtIndex(i) for i in range(node.childCount)]
    except Exception:  # a node gone meanwhile
        return []


def walk(node, depth=0):
    yield node
    if depth > 60:
        return
    for child in children(node):
        if child is not None:
            yield from walk(child, depth + 1)


def labels_of(node):
    names = []
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for i in range(relation.getNTargets()):
                names.append(relation.getTarget(i).name)
    return names


def text_of(node):
    try:
        text = node.queryText()
        return text.getText(0, text.characterCount)
    except NotImplementedError:
        return None


def spoken_name(node):
    """What a screen reader says a control is: its label for a combo box (whose name is its
    current item), else its name or its label; nothing when the name is only the value."""
    labels = [n for n in labels_of(node) if n]
    if node.getRole() == pyatspi.ROLE_COMBO_BOX:
        return labels[0] if labels else ""
    name = node.name or (labels[0] if labels else "")
    if name and node.getRole() in (pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY) and name == text_of(node):
        return ""
    return name


def wait_for(what, find, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found:
            return found
        time.sleep(0.5)
    raise Unreadable(f"{what}: not found within {seconds} s")


def application(pid):
    def find():
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            try:
                if app is not None and app.get_process_id() == pid:
                    return app
            except Exception:
                pass
        return None
    return find


def main_tab_list(app):
    for node in walk(app):
        if node.getRole() == pyatspi.ROLE_PAGE_TAB_LIST and node.childCount == len(CAPTIONS):
            return node
    return None


def leaf_pages(root):
    """The pages a user sees: the children of a stack of pages that hold no stack of their own."""
    pages = []
    for node in walk(root):
        if node.getRole() != pyatspi.ROLE_LAYERED_PANE:
            continue
        for page in children(node):
            if not any(n.getRole() == pyatspi.ROLE_LAYERED_PANE for n in walk(page)):
                pages.append(page)
    return pages


def count(controls):
    """Editable controls, those named uniquely among them, and combo boxes with no label."""
    names = [spoken_name(c) for c in controls]
    seen = collections.Counter(names)
    unique = sum(1 for n in names if n and seen[n] == 1)
    unlabelled = sum(1 for c in controls if c.getRole() == pyatspi.ROLE_COMBO_BOX and not any(labels_of(c)))
    return len(controls), unique, unlabelled


def editable_in(node):
    return [n for n in walk(node) if n.getRole() in EDITABLE]


def built(frame, last=[None]):
    """True once the number of editable controls has stopped growing."""
    now = len(editable_in(frame))
    steady = now == last[0]
    last[0] = now
    return steady


def check(app, census):
    failures = []
    tab_list = wait_for("the page tab list of the main window", lambda: main_tab_list(app), 30)
    tabs = children(tab_list)
    names = [t.name for t in tabs]
    roles = {t.getRole() for t in tabs}
    print(f"page tab list: {len(tabs)} tabs: {', '.join(names)}")
    if names != CAPTIONS or roles != {pyatspi.ROLE_PAGE_TAB}:
        failures.append("the page tab list does not hold the eleven named page tabs")
    if sum(1 for t in tabs if t.getState().contains(pyatspi.STATE_SELECTED)) != 1:
        failures.append("not exactly one page tab is selected")

    failures += check_tab_events(tab_list)

    frame = tab_list.parent.parent
    log = next((n for n in walk(frame) if n.name == "Status log"), None)
    progress = next((n for n in walk(frame) if n.getRole() == pyatspi.ROLE_PROGRESS_BAR), None)
    print(f"status log named: {'yes' if log else 'no'}; progress bar named: "
          f"{'yes' if progress is not None and progress.name else 'no'}")
    if not log or progress is None or not progress.name:
        failures.append("the status log or the progress bar has no name")

    # The pages other than the first are built once the window has painted, one at a time.
    pages = wait_for("the pages and sub-pages", lambda: (lambda p: p if len(p) >= 35 else None)(leaf_pages(frame)), 60)
    wait_for("every page built", lambda: built(frame), 60)
    for name in CELL_NAMES:
        def find_cell(n=name):
            return next((c for page in pages for c in editable_in(page) if spoken_name(c) == n), None)
        cell = wait_for(f"the control read as \"{name}\"", find_cell, 30)
        print(f"cell \"{name}\": {cell.getRoleName()}")

    if census:
        take_census(app, frame, pages)
    return failures


def check_tab_events(tab_list):
    """Focusing the tabs and pressing a tab must tell which tab has the focus and is selected."""
    heard = []

    def hear(event):
        if event.source is not None and event.source.getRole() == pyatspi.ROLE_PAGE_TAB and event.detail1 == 1:
            heard.append(f"{event.type.minor} {event.source.name}")

    pyatspi.Registry.registerEventListener(hear, "object:state-changed:focused", "object:state-changed:selected")
    try:
        tab_list.parent.queryComponent().grabFocus()
        listen(2)
        children(tab_list)[3].queryAction().doAction(0)
        listen(2)
    finally:
        pyatspi.Registry.deregisterEventListener(hear, "object:state-changed:focused", "object:state-changed:selected")
    print(f"heard from the page tabs: {heard}")
    wanted = ["focused Radio", "focused Network", "selected Network"]
    return [] if heard == wanted else [f"the page tabs told {heard}, not {wanted}"]


def listen(seconds):
    from gi.repository import GLib
    loop = GLib.MainLoop()
    GLib.timeout_add(int(seconds * 1000), loop.quit)
    loop.run()


def take_census(app, frame, pages):
    total = unique = unlabelled = 0
    for page in pages:
        controls = editable_in(page)
        n, u, c = count(controls)
        total, unique, unlabelled = total + n, unique + u, unlabelled + c
    print(f"page controls named uniquely on their page: {unique}/{total}")
    filter_button = next((n for n in walk(frame) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON
                          and n.name == "Filter setup"), None)
    f_total = f_unique = f_unlabelled = None
    if filter_button is not None:
        filter_button.queryAction().doAction(0)
        window = wait_for("the filter window", lambda: next(
            (w for w in children(app) if w is not None and w.name.startswith(FILTER_TITLE)), None), 30)
        f_total, f_unique, f_unlabelled = count(editable_in(window))
        print(f"filter window controls named uniquely: {f_unique}/{f_total}")
    else:
        print("filter window: its button was not found")
    print(f"combo boxes without a label relation: {unlabelled} on the pages, "
          f"{f_unlabelled if f_unlabelled is not None else '?'} in the filter window")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("program", help="the window's program, zyvora-configurator")
    parser.add_argument("--census", action="store_true", help="also count the named controls of every page")
    args = parser.parse_args()

    env = dict(os.environ, QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1", QT_ACCESSIBILITY="1")
    env.pop("QT_QPA_PLATFORM", None)  # the X display, where the bridge runs
    window = subprocess.Popen([args.program, "--simulate", "--no-splash"], env=env, stdin=subprocess.DEVNULL)
    try:
        app = wait_for("the window's application on the accessibility bus", application(window.pid), 60)
        failures = check(app, args.census)
    except Unreadable as e:
        print(f"a11y-check: {e}", file=sys.stderr)
        return 2
    finally:
        window.send_signal(signal.SIGTERM)
        try:
            window.wait(10)
        except subprocess.TimeoutExpired:
            window.kill()
            window.wait()
    for failure in failures:
        print(f"a11y-check: {failure}", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
