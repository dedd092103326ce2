#!/usr/bin/env python3
"""Small X11 requests that xdotool cannot make, through libX11 with ctypes:

  x11_window.py close <window id>   ask the window to close, as a window manager's
                                    close button does (WM_PROTOCOLS / WM_DELETE_WINDOW);
                                    xdotool can only destroy a window
  x11_window.py find <title>        print the id of a top-level window with exactly
                                    this title (xdotool misses windows without a class,
                                    such as SDL's message boxes); exit 1 when none
"""
import ctypes
import ctypes.util
import sys


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong), ("message_type", ctypes.c_ulong),
                ("format", ctypes.c_int), ("data", ctypes.c_long * 5)]


class Event(ctypes.Union):
    _fields_ = [("client", ClientMessage), ("pad", ctypes.c_long * 24)]


def load_x11():
    x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XInternAtom.restype = ctypes.c_ulong
    x11.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    x11.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long, ctypes.POINTER(Event)]
    x11.XQueryTree.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                               ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.POINTER(ctypes.c_ulong)),
                               ctypes.POINTER(ctypes.c_uint)]
    x11.XFetchName.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_char_p)]
    x11.XGetWindowProperty.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_ulong, ctypes.c_long, ctypes.c_long,
                                       ctypes.c_int, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong),
                                       ctypes.POINTER(ctypes.c_int), ctypes.POINTER(ctypes.c_ulong),
                                       ctypes.POINTER(ctypes.c_ulong), ctypes.POINTER(ctypes.c_void_p)]
    x11.XFree.argtypes = [ctypes.c_void_p]
    x11.XFlush.argtypes = [ctypes.c_void_p]
    x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
    return x11


def close_window(x11, display, window):
    event = Event()
    event.client.type = 33  # ClientMessage
    event.client.window = window
    event.client.message_type = x11.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.client.format = 32
    event.client.data[0] = x11.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.client.data[1] = 0  # CurrentTime
    if not x11.XSendEvent(display, window, 0, 0, ctypes.byref(event)):
        sys.exit("x11_window.py: XSendEvent failed")
    x11.XFlush(display)


def window_title(x11, display, window):
    """WM_NAME, or _NET_WM_NAME (UTF-8) for clients that set only that one."""
    name = ctypes.c_char_p()
    if x11.XFetchName(display, window, ctypes.byref(name)) and name.value is not None:
        title = name.value.decode(errors="replace")
        x11.XFree(name)
        return title
    actual_type, actual_format = ctypes.c_ulong(), ctypes.c_int()
    items, after, data = ctypes.c_ulong(), ctypes.c_ulong(), ctypes.c_void_p()
    net_wm_name = x11.XInternAtom(display, b"_NET_WM_NAME", 0)
    utf8 = x11.XInternAtom(display, b"UTF8_STRING", 0)
    if x11.XGetWindowProperty(display, window, net_wm_name, 0, 1024, 0, utf8, ctypes.byref(actual_type),
                              ctypes.byref(actual_format), ctypes.byref(items), ctypes.byref(after),
                              ctypes.byref(data)) != 0 or not data.value:
        return None
    title = ctypes.string_at(data.value, items.value).decode(errors="replace")
    x11.XFree(data)
    return title


def find_window(x11, display, title):
    root, parent = ctypes.c_ulong(), ctypes.c_ulong()
    children, count = ctypes.POINTER(ctypes.c_ulong)(), ctypes.c_uint()
    if not x11.XQueryTree(display, x11.XDefaultRootWindow(display), ctypes.byref(root), ctypes.byref(parent),
                          ctypes.byref(children), ctypes.byref(count)):
        return None
    found = None
    for i in range(count.value):
        if window_title(x11, display, children[i]) == title:
            found = children[i]
    if children:
        x11.XFree(children)
    return found


def main():
    if len(sys.argv) != 3 or sys.argv[1] not in ("close", "find"):
        sys.exit(__doc__)
    x11 = load_x11()
    display = x11.XOpenDisplay(None)
    if not display:
        sys.exit("x11_window.py: cannot open the display")
    try:
        if sys.argv[1] == "close":
            close_window(x11, display, int(sys.argv[2]))
        else:
            window = find_window(x11, display, sys.argv[2])
            if window is None:
                sys.exit(1)
            print(window)
    finally:
        x11.XCloseDisplay(display)


if __name__ == "__main__":
    main()
