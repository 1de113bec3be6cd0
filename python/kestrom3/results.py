"""The viewer's beam results of a frame, computed by the C library's own core."""
import ctypes

import numpy as np

from . import _library
from ._library import FRAME_COLUMNS, FRAME_ROWS, FrameHeader, Result, lib

METHODS = {"knife-edge": _library.KNIFE_EDGE, "second-moment": _library.SECOND_MOMENT}

# The pixel pitch of a bare array when none is given, micrometres.
DEFAULT_PIXEL_SIZE_UM = (85.0, 85.0)

_INTEGER_FIELDS = {name for name, kind in FrameHeader._fields_ if kind is ctypes.c_int32}


def method_code(method):
    try:
        return METHODS[method]
    except (KeyError, TypeError):
        raise ValueError(f'results --method takes knife-edge or second-moment, not "{method}"') from None


def live_header(pixel_size_um):
    h, v = pixel_size_um
    header = FrameHeader()
    code = lib.k3s_live_header(ctypes.byref(header), float(h), float(v))
    if code != _library.OK:
        raise MemoryError(_library.error_text(code))
    return header


def _pixels_of(array):
    pixels = np.asarray(array)
    if pixels.shape != (FRAME_ROWS, FRAME_COLUMNS):
        raise ValueError(f"a frame is {FRAME_ROWS} x {FRAME_COLUMNS} pixels, not {pixels.shape}")
    if pixels.dtype != np.int16:
        if not np.issubdtype(pixels.dtype, np.integer) or (
            pixels.size and (pixels.min() < -32768 or pixels.max() > 32767)
        ):
            raise ValueError("a frame's pixels are signed 16-bit integers")
    return np.ascontiguousarray(pixels, dtype=np.int16)


def result_items(frame, method="knife-edge", pixel_size_um=None):
    """(name, text, value) of each result, named and written as kestrom3-frame results prints it."""
    code = method_code(method)
    raw = getattr(frame, "raw_header", None)
    if raw is None and hasattr(frame, "pixels"):
        frame = frame.pixels     # a text log record: pixels only
    if raw is not None:
        header = FrameHeader.from_buffer_copy(raw)
        if pixel_size_um is not None:
            header.PixelHScale, header.PixelVScale = (float(x) for x in pixel_size_um)
        pixels = _pixels_of(frame.pixels)
    else:
        header = live_header(pixel_size_um if pixel_size_um is not None else DEFAULT_PIXEL_SIZE_UM)
        pixels = _pixels_of(frame)
    items = (Result * _library.RESULTS_MAX)()
    count = ctypes.c_size_t()
    status = lib.k3s_beam_results(pixels.ctypes.data, ctypes.byref(header), code, items,
                                  len(items), ctypes.byref(count), None)
    if status == _library.ERR_MEMORY:
        raise MemoryError(_library.error_text(status))
    if status != _library.OK:
        raise RuntimeError(f"the beam results: {_library.error_text(status)}")
    out = []
    for item in items[: count.value]:
        name = item.name.decode("ascii")
        text = item.text.decode("ascii")
        value = int(text) if name in _INTEGER_FIELDS else item.value
        out.append((name, text, value))
    return out


def results(frame, method="knife-edge", pixel_size_um=None):
    """The beam results of a frame (its header gives the pixel pitch) or of a bare 124 x 124 array
    (pitch pixel_size_um=(h, v) in micrometres, 85 x 85 when not given), as the viewer computes them
    for the frame it shows. A mapping in kestrom3-frame results's order, keyed by its names."""
    return {name: value for name, _, value in result_items(frame, method, pixel_size_um)}
