#!/usr/bin/env python3
"""Presses a key chord on the X display named by $DISPLAY through the XTEST
extension, as a user at the keyboard would: press_keys.py Control_L p"""
import ctypes
import ctypes.util
import sys

x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
xtst = ctypes.CDLL(ctypes.util.find_library("Xtst") or "libXtst.so.6")
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
x11.XStringToKeysym.restype = ctypes.c_ulong
x11.XStringToKeysym.argtypes = [ctypes.c_char_p]
x11.XKeysymToKeycode.restype = ctypes.c_ubyte
x11.XKeysymToKeycode.argtypes = [ctypes.c_void_p, ctypes.c_ulong]
x11.XFlush.argtypes = [ctypes.c_void_p]
x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
xtst.XTestFakeKeyEvent.argtypes = [ctypes.c_void_p, ctypes.c_uint, ctypes.c_int, ctypes.c_ulong]

display = x11.XOpenDisplay(None)
if not display:
    sys.exit("press_keys: cannot open the display")
codes = []
for name in sys.argv[1:]:
    code = x11.XKeysymToKeycode(display, x11.XStringToKeysym(name.encode()))
    if code == 0:
        sys.exit("press_keys: no key for %s" % name)
    codes.append(code)
for code in codes:
    xtst.XTestFakeKeyEvent(display, code, 1, 0)
for code in reversed(codes):
    xtst.XTestFakeKeyEvent(display, code, 0, 0)
x11.XFlush(display)
x11.XCloseDisplay(display)
