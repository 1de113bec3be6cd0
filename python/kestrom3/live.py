"""Live frames from the console: a subscriber on the library's own thread, frames as numpy arrays.

The library answers each frame notice itself, after one copy of the frame into a bounded queue, so
a program that falls behind never holds up the console: the oldest frame waiting is dropped and
counted (Subscriber.dropped).
"""
import collections
import ctypes
import os
import time

import numpy as np

from . import _library
from ._library import FRAME_COLUMNS, FRAME_ROWS, FrameHeader, LiveFrame, lib
from .errors import CameraClosed, CameraNotFound, ConsoleNotRunning, FrameTimeout, KestromError, RequestRefused
from .records import console_fields, factory_fields, pixel_pitch_um

# How often the attach looks again for a console or camera, and the longest single wait inside
# the library (so that Ctrl-C is felt).
ATTACH_RETRY_S = 0.2
WAIT_SLICE_MS = 200
# The component's own attach-retry timer stays out of the way: the package retries itself.
_COMPONENT_RETRY_MS = 24 * 3600 * 1000

_live_headers = {}


def _live_header(h_um, v_um):
    header = _live_headers.get((h_um, v_um))
    if header is None:
        header = FrameHeader()
        code = lib.k3s_live_header(ctypes.byref(header), float(h_um), float(v_um))
        if code != _library.OK:
            raise MemoryError(_library.error_text(code))
        _live_headers[(h_um, v_um)] = header
    return header


class Frame:
    """One live frame: pixels (numpy int16, (124, 124), [row, column], as the camera delivered
    them), index (the console's frame count), slot, serial, time (arrival, seconds since 1970),
    and the ConsoleBlock and FactoryInfo that came with it, decoded (console, factory)."""

    __slots__ = ("_raw", "pixels", "index", "slot", "serial", "time", "_console", "_factory")

    def __init__(self, raw):
        self._raw = raw
        self.pixels = np.frombuffer(raw, dtype=np.int16, count=FRAME_ROWS * FRAME_COLUMNS).reshape(
            FRAME_ROWS, FRAME_COLUMNS)
        self.index = raw.index
        self.slot = raw.slot
        self.serial = raw.serial
        self.time = raw.time
        self._console = None
        self._factory = None

    @property
    def received_ns(self):
        """Arrival on the monotonic clock (time.monotonic_ns()), nanoseconds."""
        return self._raw.received_ns

    @property
    def console(self):
        if self._console is None:
            self._console = console_fields(self._raw.console)
        return self._console

    @property
    def factory(self):
        if self._factory is None:
            self._factory = factory_fields(self._raw.factory)
        return self._factory

    @property
    def pixel_size_um(self):
        """The pixel pitch the viewer takes for this camera's live frames (FactoryInfo)."""
        return pixel_pitch_um(self._raw.factory)

    @property
    def raw_header(self):
        """The frame header the viewer gives a live frame of this camera (for results)."""
        return _live_header(*self.pixel_size_um)

    def __repr__(self):
        return f"<kestrom3.Frame {self.index} slot {self.slot} serial {self.serial}>"


class Subscriber:
    """A subscriber of the console for one camera.

    serial: the camera's serial number (the console shows its tab); None: the camera of the tab
    the console shows. timeout: seconds to wait for the console and the camera. queue_size: frames
    kept for the program. socket_path and shm_namespace: another console than this user's own
    (default: the KESTROM_SHM_NAMESPACE and socket the library uses).
    """

    def __init__(self, serial=None, timeout=10.0, queue_size=8, socket_path=None, shm_namespace=None):
        if queue_size < 1:
            raise ValueError("queue_size is at least 1")
        socket = os.fsencode(socket_path) if socket_path else None
        prefix = os.fsencode(shm_namespace) if shm_namespace else None
        self._handle = lib.k3s_create_with(socket, prefix, _COMPONENT_RETRY_MS)
        if not self._handle:
            raise MemoryError("Insufficient Memory")
        self._pending = collections.deque()
        self._dropped = 0
        self._closed_reason = None
        self._gain_factor = None
        code = lib.k3s_run_background(self._handle, queue_size)
        if code != _library.OK:
            self._destroy()
            raise KestromError(_library.error_text(code))
        try:
            self._attach(serial, timeout)
        except BaseException:
            self._destroy()
            raise

    # Attaching.

    def _text(self, function):
        return _library.handle_text(function, self._handle)

    def _attach(self, serial, timeout):
        deadline = time.monotonic() + max(0.0, timeout)
        while True:
            reason = self._try_attach(serial)
            if reason is None:
                return
            console_error = self._text(lib.k3s_console_error)
            if time.monotonic() >= deadline:
                if console_error:
                    raise ConsoleNotRunning(console_error)
                raise CameraNotFound(reason)
            time.sleep(ATTACH_RETRY_S)

    def _try_attach(self, serial):
        """None when attached, else why not."""
        if serial is not None:
            if lib.k3s_find_serial(self._handle, int(serial)) == 0:
                return f"No open camera has serial number {serial}"
        lib.k3s_open(self._handle)
        if lib.k3s_serial(self._handle) != 0:
            return None
        return self._text(lib.k3s_attach_error) or "The console shows no camera"

    # Frames.

    def _take(self, timeout):
        """The next item (event, frame or None), or None at the timeout (None: wait for ever)."""
        if self._pending:
            return self._pending.popleft()
        deadline = None if timeout is None else time.monotonic() + timeout
        event = ctypes.c_int()
        raw = LiveFrame()
        while True:
            if deadline is None:
                wait_ms = WAIT_SLICE_MS
            else:
                wait_ms = max(0, min(WAIT_SLICE_MS, int((deadline - time.monotonic()) * 1000 + 0.999)))
            code = lib.k3s_wait_event(self._handle, wait_ms, ctypes.byref(event), ctypes.byref(raw))
            if code == _library.OK:
                return event.value, (Frame(raw) if event.value == _library.EVENT_NEW_FRAME else None)
            if code != _library.ERR_TIMEOUT:
                raise KestromError(_library.error_text(code))
            if deadline is not None and time.monotonic() >= deadline:
                return None

    def _closed(self):
        self._closed_reason = self._text(lib.k3s_close_reason)

    def next_frame(self, timeout=None):
        """The next frame; None once the camera has closed (closed_reason says why). FrameTimeout
        when none came within timeout seconds (None: wait for ever)."""
        if self._closed_reason is not None:
            return None
        while True:
            item = self._take(timeout)
            if item is None:
                raise FrameTimeout(f"No frame came within {timeout:g} s")
            event, frame = item
            if event == _library.EVENT_NEW_FRAME:
                return frame
            if event == _library.EVENT_KEST_CLOSE:
                self._closed()
                return None

    def frames(self, count=None, timeout=None):
        """Frames as they come, up to count (None: until the camera closes); FrameTimeout when a
        frame takes longer than timeout seconds."""
        taken = 0
        while count is None or taken < count:
            frame = self.next_frame(timeout)
            if frame is None:
                return
            taken += 1
            yield frame

    __iter__ = frames

    @property
    def dropped(self):
        """Frames the program did not take in time: the oldest waiting gave way to a new one."""
        return lib.k3s_dropped_frames(self._handle) if self._handle else self._dropped

    @property
    def closed_reason(self):
        """Why the frames ended ("The console closed camera 1234 in tab 1", "The console has
        gone"); None while the camera is open."""
        return self._closed_reason

    @property
    def serial(self):
        return lib.k3s_serial(self._handle)

    @property
    def slot(self):
        return lib.k3s_tab(self._handle)

    # Requests.

    def _request(self, function, *args):
        if self._closed_reason is not None:
            raise CameraClosed(self._closed_reason)
        code = function(self._handle, *args)
        if code != _library.OK:
            raise RequestRefused(_library.error_text(code))

    def start(self):
        """Frames to this program (again, after stop)."""
        self._request(lib.k3s_start)

    def stop(self):
        self._request(lib.k3s_stop)

    @property
    def gain_factor(self):
        """The gain factor last asked for (None before)."""
        return self._gain_factor

    @gain_factor.setter
    def gain_factor(self, factor):
        # The console refuses these with a box and these words; the request is not sent.
        if factor > 10:
            raise RequestRefused("Gain factor can't exceed 10")
        if factor < 1:
            raise RequestRefused("Gain factor must be 1 or more")
        if factor != int(factor):
            raise RequestRefused(f"The console takes whole gain factors, not {factor}")
        self._request(lib.k3s_set_gain_factor, int(factor))
        self._gain_factor = int(factor)

    @property
    def pixel_correction(self):
        return bool(lib.k3s_pixel_correction(self._handle))

    @pixel_correction.setter
    def pixel_correction(self, on):
        self._request(lib.k3s_set_pixel_correction, 1 if on else 0)

    @property
    def gain_correction(self):
        return bool(lib.k3s_gain_correction_on(self._handle))

    @gain_correction.setter
    def gain_correction(self, on):
        self._request(lib.k3s_set_gain_correction, 1 if on else 0)

    def calibrate(self, wait=True, timeout=30.0):
        """Calibrates the camera; with wait, returns when the console says it is done (frames that
        came meanwhile stay for frames())."""
        self._request(lib.k3s_calibrate)
        if not wait:
            return
        deadline = time.monotonic() + timeout
        kept = []
        try:
            while True:
                item = self._take(max(0.0, deadline - time.monotonic()))
                if item is None:
                    raise FrameTimeout(f"The calibration did not end within {timeout:g} s")
                event, frame = item
                if event == _library.EVENT_CALIBRATE_DONE:
                    return
                if event == _library.EVENT_KEST_CLOSE:
                    kept.append(item)
                    self._closed()
                    raise CameraClosed(self._closed_reason)
                if event == _library.EVENT_NEW_FRAME:
                    kept.append(item)
        finally:
            self._pending.extend(kept)

    def load_setup_file(self, path):
        """Has the console load a setup file (it must see the same file system)."""
        path = os.path.abspath(os.fspath(path))
        if not os.path.isfile(path):
            raise FileNotFoundError(f"No setup file {path}")
        self._request(lib.k3s_set_setup_filename, os.fsencode(path))

    # Leaving.

    def _destroy(self):
        if self._handle:
            self._dropped = lib.k3s_dropped_frames(self._handle)
            lib.k3s_destroy(self._handle)
            self._handle = None

    def close(self):
        """Leaves the camera's subscribers and the console."""
        if not self._handle:
            return
        if self._closed_reason is None and lib.k3s_serial(self._handle) != 0:
            lib.k3s_close(self._handle)
        self._destroy()

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self._destroy()
        except Exception:
            pass

    def fileno(self):
        """Readable while an event or frame waits (for event loops)."""
        return lib.k3s_event_descriptor(self._handle)

    def poll_frame(self):
        """A frame waiting now, or None (for event loops: after fileno() is readable). None also
        after the camera has closed."""
        try:
            return self.next_frame(timeout=0)
        except FrameTimeout:
            return None
