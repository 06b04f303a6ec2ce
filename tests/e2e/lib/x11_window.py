#!/usr/bin/python3
"""Finds and closes the shown windows on the X display, as a user or window manager would.

  x11_window.py find TITLE       prints "id width height" of each window with that title
  x11_window.py close TITLE      sends WM_DELETE_WINDOW to each window with that title
  x11_window.py close-id ID      sends WM_DELETE_WINDOW to the window with that id
  x11_window.py list             prints "id title" of every named window
  x11_window.py clipboard        prints the text on the clipboard (UTF-8)
  x11_window.py focus            prints the title of the shown window that has the keyboard
Exit code 1 when no window has the title.
"""
import sys

from Xlib import X, Xatom, display, protocol


def named_windows(d):
    found = []
    stack = [d.screen().root]
    while stack:
        window = stack.pop()
        try:
            name = window.get_full_property(d.intern_atom("_NET_WM_NAME"), d.intern_atom("UTF8_STRING"))
            title = name.value.decode("utf-8") if name else window.get_wm_name()
            viewable = window.get_attributes().map_state == X.IsViewable
            if title and viewable:
                found.append((window, title if isinstance(title, str) else title.decode("latin-1")))
            stack.extend(window.query_tree().children)
        except Exception:  # a window that vanished while we looked
            continue
    return found


def close(d, window):
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols,
                                         data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)


def read_clipboard(d):
    """The CLIPBOARD selection as UTF-8 text, asked of its owner as a program pasting would."""
    screen = d.screen()
    window = screen.root.create_window(0, 0, 1, 1, 0, screen.root_depth, event_mask=X.PropertyChangeMask)
    prop = d.intern_atom("TALLYWELL_CLIPBOARD")
    incr = d.intern_atom("INCR")
    window.convert_selection(d.intern_atom("CLIPBOARD"), d.intern_atom("UTF8_STRING"), prop, X.CurrentTime)
    while True:
        event = d.next_event()
        if event.type == X.SelectionNotify:
            break
    if event.property == X.NONE:
        return b""
    reply = window.get_full_property(prop, X.AnyPropertyType, sizehint=1 << 24)
    window.delete_property(prop)
    if reply is None:
        return b""
    if reply.property_type != incr:
        return bytes(reply.value)
    # Large texts come in pieces, each announced by a new value of the property.
    chunks = []
    while True:
        event = d.next_event()
        if event.type != X.PropertyNotify or event.atom != prop or event.state != X.PropertyNewValue:
            continue
        piece = window.get_full_property(prop, X.AnyPropertyType, sizehint=1 << 24)
        window.delete_property(prop)
        if piece is None or len(piece.value) == 0:
            return b"".join(chunks)
        chunks.append(bytes(piece.value))


def main():
    d = display.Display()
    command = sys.argv[1]
    if command == "clipboard":
        sys.stdout.buffer.write(read_clipboard(d))
        d.close()
        return 0
    if command == "focus":
        # The focus may rest on a child of the top-level window: climb to a named, shown one.
        window = d.get_input_focus().focus
        titles = dict((w.id, t) for w, t in named_windows(d))
        while isinstance(window, type(d.screen().root)) and window.id not in titles:
            parent = window.query_tree().parent
            if not parent or parent.id == d.screen().root.id:
                break
            window = parent
        print(titles.get(getattr(window, "id", None), ""))
        d.close()
        return 0
    if command == "list":
        for window, title in named_windows(d):
            print(window.id, title)
        return 0
    if command == "close-id":
        close(d, d.create_resource_object("window", int(sys.argv[2])))
        d.sync()
        d.close()
        return 0
    title = sys.argv[2]
    matches = [w for w, t in named_windows(d) if t == title]
    if not matches:
        return 1
    for window in matches:
        if command == "find":
            geometry = window.get_geometry()
            print(window.id, geometry.width, geometry.height)
        elif command == "close":
            close(d, window)
    d.sync()  # a round trip: the server has taken every request before we go
    d.close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
