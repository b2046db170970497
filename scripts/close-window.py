# The close box of a window's title bar, as a window manager passes it on: WM_DELETE_WINDOW.
import ctypes
import sys

xlib = ctypes.cdll.LoadLibrary("libX11.so.6")
xlib.XOpenDisplay.restype = ctypes.c_void_p
xlib.XOpenDisplay.argtypes = [ctypes.c_char_p]
xlib.XInternAtom.restype = ctypes.c_ulong
xlib.XInternAtom.argtypes = [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_int]
xlib.XSendEvent.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_long,
                            ctypes.c_void_p]
xlib.XFlush.argtypes = [ctypes.c_void_p]
xlib.XCloseDisplay.argtypes = [ctypes.c_void_p]


class ClientMessage(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("window", ctypes.c_ulong),
                ("message_type", ctypes.c_ulong), ("format", ctypes.c_int),
                ("data", ctypes.c_long * 5), ("pad", ctypes.c_long * 12)]


display = xlib.XOpenDisplay(None)
window = int(sys.argv[1])
event = ClientMessage()
event.type = 33  # ClientMessage
event.window = window
event.message_type = xlib.XInternAtom(display, b"WM_PROTOCOLS", 0)
event.format = 32
event.data[0] = xlib.XInternAtom(display, b"WM_DELETE_WINDOW", 0)
event.data[1] = 0  # CurrentTime
xlib.XSendEvent(display, window, 0, 0, ctypes.byref(event))
xlib.XFlush(display)
xlib.XCloseDisplay(display)
