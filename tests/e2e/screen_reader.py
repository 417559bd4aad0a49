#!/usr/bin/python3
"""A screen reader's walk through the client over the AT-SPI bus alone: keys by
the registry's synthesis, the rest by the accessible tree and the client's events.
No password character may appear in any event or Text call. Says "listening"
when the client is to be started.

    screen_reader.py USER_NAME PASSWORD SEARCH_TEXT
"""
import re
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

import pyatspi  # noqa: E402

TIMEOUT = 90  # seconds for anything awaited: a busy machine is slow, never wrong
MASK = "*"
TAB, RETURN, BACKSPACE, DOWN = 0xFF09, 0xFF0D, 0xFF08, 0xFF54
CONTROL_MASK = 4

events = []  # (type, source role, source name, detail1, text payload or None)


def fail(why):
    print("FAIL: " + why, file=sys.stderr)
    sys.exit(1)


def wait_for(condition, what):
    """Runs the event loop until condition() gives something true; returns it."""
    deadline = time.monotonic() + TIMEOUT
    while time.monotonic() < deadline:
        while GLib.MainContext.default().iteration(False):
            pass
        found = condition()
        if found:
            return found
        time.sleep(0.02)
    fail("waited in vain for " + what)


def role(accessible):
    return accessible.getRoleName()


def on_event(event):
    data = event.any_data
    try:
        source_role, source_name = role(event.source), event.source.name
    except Exception:  # an object gone by the time the event is read
        source_role, source_name = "", ""
    events.append((event.type, source_role, source_name, event.detail1, data if isinstance(data, str) else None))


def showing(accessible):
    return accessible.getState().contains(pyatspi.STATE_SHOWING)


def descendants(accessible):
    for child in accessible:
        if child is not None:
            yield child
            yield from descendants(child)


def find(root, role_name, name):
    return next((n for n in descendants(root) if role(n) == role_name and n.name == name and showing(n)), None)


def key(keysym, modifiers=0, heard=None, what=""):
    """Presses a key; with `heard`, waits for the first event since that it holds true of."""
    start = len(events)
    if modifiers:
        pyatspi.Registry.generateKeyboardEvent(modifiers, None, pyatspi.KEY_LOCKMODIFIERS)
    pyatspi.Registry.generateKeyboardEvent(keysym, None, pyatspi.KEY_SYM)
    if modifiers:
        pyatspi.Registry.generateKeyboardEvent(modifiers, None, pyatspi.KEY_UNLOCKMODIFIERS)
    if heard:
        return wait_for(lambda: next((e for e in events[start:] if heard(e)), None), what)


def press_and_hear_focus(keysym):
    event = key(keysym, 0, lambda e: e[0].startswith("focus:"), "a focus event after key %#x" % keysym)
    return event[1], event[2]


def type_into(box_role, box_name, text, echo):
    """Types text, each key awaited as the insertion it makes in the box."""
    for ch in text:
        key(ord(ch), 0, lambda e: e[0] == "object:text-changed:insert" and e[1:3] == (box_role, box_name)
            and e[4] == echo(ch), "'%s' typed into %s" % (echo(ch), box_name))


def check_masked(password_box, length, step):
    """Every way of reading the password box gives mask characters only."""
    text = password_box.queryText()
    readings = [read(offset, boundary)[0] for offset in range(length)
                for boundary in (pyatspi.TEXT_BOUNDARY_CHAR, pyatspi.TEXT_BOUNDARY_WORD_START,
                                 pyatspi.TEXT_BOUNDARY_LINE_START, pyatspi.TEXT_BOUNDARY_SENTENCE_START)
                for read in (text.getTextAtOffset, text.getTextBeforeOffset, text.getTextAfterOffset)]
    if text.characterCount != length or text.getText(0, -1) != MASK * length or any(r.strip(MASK) for r in readings):
        fail("%s: the password box counts %d, reads %r" % (step, text.characterCount, [text.getText(0, -1)] + readings))


def main():
    user, password, search = sys.argv[1:4]
    for kind in ("object:text-changed", "object:text-selection-changed", "object:state-changed",
                 "object:property-change", "focus:"):
        pyatspi.Registry.registerEventListener(on_event, kind)
    # The client, started once this is said, reads the listeners at its start:
    # it never raises an event before it knows that someone listens.
    pyatspi.Registry.getDesktop(0).childCount
    print("listening", flush=True)

    frame = wait_for(
        lambda: next((f for app in pyatspi.Registry.getDesktop(0) if app is not None and app.name == "Tallyro"
                      for f in app if f is not None and role(f) == "frame" and showing(f)), None),
        "the client's window on the bus",
    )
    user_box = wait_for(lambda: find(frame, "text", "帐号"), "the account box")
    password_box = find(frame, "password text", "密码")
    wait_for(
        lambda: frame.getState().contains(pyatspi.STATE_ACTIVE) and user_box.getState().contains(pyatspi.STATE_FOCUSED),
        "the active window with the focus in the account box",
    )

    # The account; a copy of it on the clipboard, for pasting over the password.
    type_into("text", "帐号", user, lambda ch: ch)
    user_box.queryEditableText().copyText(0, len(user))
    if press_and_hear_focus(TAB) != ("password text", "密码"):
        fail("Tab from the account box does not reach the password box")

    # Type, delete, select all, paste: only mask characters, read or told.
    signing_in = len(events)
    mask = lambda ch: MASK  # noqa: E731
    type_into("password text", "密码", password, mask)
    check_masked(password_box, len(password), "typed")
    for _ in range(3):
        key(BACKSPACE, 0, lambda e: e[0] == "object:text-changed:delete" and e[1] == "password text",
            "a character deleted from the password box")
    key(ord("a"), CONTROL_MASK)
    wait_for(lambda: password_box.queryText().getNSelections() == 1, "the password selected")
    key(ord("v"), CONTROL_MASK, lambda e: e[0] == "object:text-changed:insert" and e[1] == "password text",
        "the clipboard pasted over the password")
    check_masked(password_box, len(user), "pasted over")
    type_into("password text", "密码", password[len(user):], mask)

    # Signing in: the focus lands on the search box, and the screen reader hears it.
    start = len(events)
    key(RETURN, 0, lambda e: e[0].startswith("focus:") and e[1:3] == ("text", "搜索股票代码或名称"),
        "the focus on the search box after signing in")
    told = [e for e in events[signing_in:] if e[1] == "password text" and (e[4] or "").strip(MASK)]
    told += [e for e in events[:start] if any(p in t for p in (password, password[len(user):]) for t in (e[2], e[4] or ""))]
    if told:
        fail("the password was told in %s" % told)

    # A code typed; Down names the row it selects.
    type_into("text", "搜索股票代码或名称", search, lambda ch: ch)
    stock_list = find(frame, "list", "股票列表")
    rows = wait_for(lambda: [n.name for n in stock_list if role(n) == "list item"] or None, "rows for the search")
    if len(rows) < 4 or not all(search in r.split(" ")[0] for r in rows):
        fail("the search %r lists %s" % (search, rows))
    selected = key(DOWN, 0, lambda e: e[0] == "object:state-changed:selected" and e[3] == 1, "a row selected")
    if selected[1:3] != ("list item", rows[0]):
        fail("Down selected %s, not %s" % (selected[1:3], rows[0]))

    # The row's first action opens its analysis; the focus goes to the advice.
    start = len(events)
    find(stock_list, "list item", rows[3]).queryAction().doAction(0)
    wait_for(
        lambda: any(e[0].startswith("focus:") and e[1:3] == ("text", "操盘建议") for e in events[start:]),
        "the focus on the advice after opening " + rows[3],
    )
    code, name = rows[3].split(" ", 1)
    panel = find(frame, "panel", "查询结果")
    labels = [n.queryText().getText(0, -1) for n in panel if role(n) == "label" and showing(n)]
    if labels[:2] != [name, code.upper()]:
        fail("the result names %s, not %s %s" % (labels[:2], name, code))
    for level in ("压力位:", "支撑位:"):
        value = labels[labels.index(level) + 1] if level in labels else ""
        if not re.fullmatch(r"RMB: \d+\.\d\d", value):
            fail("the result's %s reads %r" % (level, value))


if __name__ == "__main__":
    main()
