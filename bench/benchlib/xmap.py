"""Watches an X display for top-level windows being mapped.

A tiny X11 client on the standard library alone: it connects to the local
display, asks the root window for SubstructureNotify events and reports each
MapNotify of a top-level window as it arrives, stamped with time.monotonic().
Polling xdotool or xwininfo instead would add its own polling interval to
every start-up figure.
"""

import os
import select
import socket
import struct
import time

_MAP_NOTIFY = 19
_CHANGE_WINDOW_ATTRIBUTES = 2
_GET_INPUT_FOCUS = 43
_CW_EVENT_MASK = 0x00000800
_SUBSTRUCTURE_NOTIFY_MASK = 0x00080000


def _recv_exactly(sock, size):
    data = b""
    while len(data) < size:
        chunk = sock.recv(size - len(data))
        if not chunk:
            raise ConnectionError("X server closed the connection")
        data += chunk
    return data


class MapWatcher:
    """Open before starting the program; then wait_for_map()."""

    def __init__(self, display=None):
        display = display or os.environ["DISPLAY"]
        number = display.split(":", 1)[1].split(".", 1)[0]
        self._sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self._sock.connect("/tmp/.X11-unix/X" + number)
        self._root = self._handshake()
        self._select_substructure_events()

    def _handshake(self):
        # Little-endian, protocol 11.0, no authorisation (a private Xvfb).
        self._sock.sendall(struct.pack("<BxHHHHxx", 0x6C, 11, 0, 0, 0))
        status, _, _, _, extra = struct.unpack("<BBHHH", _recv_exactly(self._sock, 8))
        setup = _recv_exactly(self._sock, extra * 4)
        if status != 1:
            raise ConnectionError("X server refused the connection")
        vendor_length, = struct.unpack_from("<H", setup, 16)
        format_count = setup[21]
        screen_offset = 32 + (vendor_length + 3) // 4 * 4 + 8 * format_count
        root, = struct.unpack_from("<I", setup, screen_offset)
        return root

    def _select_substructure_events(self):
        self._sock.sendall(struct.pack("<BxHIII", _CHANGE_WINDOW_ATTRIBUTES, 4, self._root,
                                       _CW_EVENT_MASK, _SUBSTRUCTURE_NOTIFY_MASK))
        # A round trip: once its reply is in, the selection is in force.
        self._sock.sendall(struct.pack("<BxH", _GET_INPUT_FOCUS, 1))
        while True:
            packet = _recv_exactly(self._sock, 32)
            if packet[0] == 0:
                raise ConnectionError("X error %d while selecting events" % packet[1])
            if packet[0] == 1:
                return

    def wait_for_map(self, timeout):
        """time.monotonic() at which a top-level window was mapped, or None."""
        deadline = time.monotonic() + timeout
        while True:
            remaining = deadline - time.monotonic()
            if remaining <= 0:
                return None
            ready, _, _ = select.select([self._sock], [], [], remaining)
            if not ready:
                return None
            packet = _recv_exactly(self._sock, 32)
            arrived = time.monotonic()
            override_redirect = packet[12]
            if packet[0] & 0x7F == _MAP_NOTIFY and not override_redirect:
                return arrived

    def close(self):
        self._sock.close()
