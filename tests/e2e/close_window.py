#!/usr/bin/env python3
"""Asks an X window to close, as a window manager's close box does.

Usage: close_window.py WINDOW_ID   (decimal or 0x... hexadecimal)

The test display has no window manager, and xdotool's own "close" destroys
the window behind the program's back instead of asking it. A close box
sends the client a WM_DELETE_WINDOW message; this does the same through
libX11, so only the standard library is needed.
"""

import ctypes
import sys

CLIENT_MESSAGE = 33
NO_EVENT_MASK = 0


class XClientMessageEvent(ctypes.Structure):
    _fields_ = [
        ("type", ctypes.c_int),
        ("serial", ctypes.c_ulong),
        ("send_event", ctypes.c_int),
        ("display", ctypes.c_void_p),
        ("window", ctypes.c_ulong),
        ("message_type", ctypes.c_ulong),
        ("format", ctypes.c_int),
        ("data", ctypes.c_long * 5),
    ]


class XEvent(ctypes.Union):
    _fields_ = [("xclient", XClientMessageEvent), ("pad", ctypes.c_long * 24)]


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: close_window.py WINDOW_ID")
    window = int(sys.argv[1], 0)

    xlib = ctypes.CDLL("libX11.so.6")
    xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
    xlib.XOpenDisplay.restype = ctypes.c_void_p
    xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
    xlib.XInternAtom.restype = ctypes.c_ulong
    xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                                ctypes.POINTER(XEvent)]
    xlib.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
    xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]

    display = xlib.XOpenDisplay(None)
    if not display:
        sys.exit("close_window.py: cannot open the display")
    event = XEvent()
    event.xclient.type = CLIENT_MESSAGE
    event.xclient.send_event = 1
    event.xclient.window = window
    event.xclient.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
    event.xclient.format = 32
    event.xclient.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
    event.xclient.data[1] = 0  # CurrentTime
    if not xlib.XSendEvent(display, window, 0, NO_EVENT_MASK, ctypes.byref(event)):
        sys.exit("close_window.py: the message could not be sent")
    xlib.XSync(display, 0)
    xlib.XCloseDisplay(display)


if __name__ == "__main__":
    main()
