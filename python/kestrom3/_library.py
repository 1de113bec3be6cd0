"""The project's C library, libkestrom3subscriber, through ctypes.

From a build tree the package sits beside a generated ``_build_library.py`` that names the
library just built; installed, the library is found by its soname.
"""
import ctypes

SONAME = "libkestrom3subscriber.so.0"

FRAME_ROWS = 124
FRAME_COLUMNS = 124
TRAILER_SIZE = 992
RESULTS_MAX = 40

OK = 0
ERR_ARGUMENT = -1
ERR_BUFFER_TOO_SMALL = -2
ERR_FILE = -5
ERR_MEMORY = -6
ERR_TIMEOUT = -7

EVENT_NEW_FRAME = 0
EVENT_KEST_CLOSE = 1
EVENT_KEST_OPEN = 2
EVENT_CALIBRATE_DONE = 3

KNIFE_EDGE = 0
SECOND_MOMENT = 1

_d = ctypes.c_double
_i = ctypes.c_int32


class FrameHeader(ctypes.LittleEndianStructure):
    """The 320-byte frame header, named as the frame record's header text names its fields."""

    _pack_ = 1
    _fields_ = [
        ("Version", ctypes.c_char * 8), ("DateTime", _d),
        ("Height", _i), ("Width", _i), ("PixelBits", _i), ("CaptureResolution", _i),
        ("PixelHScale", _d), ("PixelVScale", _d), ("Interlaced", _i),
        ("FrameTotal", _d), ("ApertureTotal", _d), ("ApertureFrac", _d), ("Peak", _d),
        ("Valley", _d), ("PeakLocx", _i), ("PeakLocy", _i), ("Centroidx", _d),
        ("Centroidy", _d), ("BeamWidthx", _d), ("BeamWidthy", _d), ("Diameter", _d),
        ("Divergencex", _d), ("Divergencey", _d), ("EffectiveArea", _d),
        ("ZLocation", _i), ("WheelA", _i), ("FilterA", _d), ("WheelB", _i), ("FilterB", _d),
        ("BloomTop", _d), ("BloomBottom", _d),
        ("FlagPass", _i), ("FlagFail", _i), ("FlagFrameTotal", _i), ("FlagBeamWidthx", _i),
        ("FlagBeamWidthy", _i), ("FlagDivergencex", _i), ("FlagDivergencey", _i),
        ("FlagEffectiveArea", _i),
        ("CenterXLoc", _d), ("CenterYLoc", _d), ("Major", _d), ("Minor", _d),
        ("Flags", _i), ("AC", _i), ("RS", _i), ("Unused284", _i), ("Mean", _d),
        ("Deviation", _d), ("Exclude", ctypes.c_uint8), ("Reserved305", ctypes.c_uint8 * 15),
    ]


assert ctypes.sizeof(FrameHeader) == 320


class FrameRecord(ctypes.LittleEndianStructure):
    _pack_ = 1
    _fields_ = [
        ("header", FrameHeader),
        ("pixels", ctypes.c_int16 * (FRAME_ROWS * FRAME_COLUMNS)),
        ("trailer", ctypes.c_uint8 * TRAILER_SIZE),
    ]


class LiveFrame(ctypes.Structure):
    """k3s_frame: the frame block as the notice handed it out, and where it came from."""

    _fields_ = [
        ("pixels", ctypes.c_int16 * (FRAME_ROWS * FRAME_COLUMNS)),
        ("console", ctypes.c_uint8 * 256),
        ("factory", ctypes.c_uint8 * 256),
        ("index", ctypes.c_int64), ("slot", ctypes.c_int32), ("serial", ctypes.c_int32),
        ("time", _d), ("received_ns", ctypes.c_int64),
    ]


assert ctypes.sizeof(LiveFrame) == 31296


class Result(ctypes.Structure):
    _fields_ = [("name", ctypes.c_char * 32), ("text", ctypes.c_char * 32), ("value", _d)]


def _load():
    try:
        from . import _build_library
        path = _build_library.PATH
    except ImportError:
        path = SONAME
    try:
        lib = ctypes.CDLL(path)
    except OSError as e:
        raise ImportError(f"kestrom3 needs the library {path}: {e}") from e
    c_size_p = ctypes.POINTER(ctypes.c_size_t)
    lib.k3s_error_text.restype = ctypes.c_char_p
    lib.k3s_error_text.argtypes = [ctypes.c_int]
    lib.k3s_read_frame_record.argtypes = [
        ctypes.c_char_p, ctypes.POINTER(FrameRecord), ctypes.c_char_p, ctypes.c_size_t]
    lib.k3s_read_frame_csv.argtypes = [ctypes.c_char_p, ctypes.c_void_p, ctypes.c_char_p, ctypes.c_size_t]
    lib.k3s_frame_log_file.argtypes = [
        ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t, c_size_p]
    lib.k3s_live_header.argtypes = [ctypes.POINTER(FrameHeader), _d, _d]
    lib.k3s_beam_results.argtypes = [
        ctypes.c_void_p, ctypes.POINTER(FrameHeader), ctypes.c_int, ctypes.POINTER(Result),
        ctypes.c_size_t, c_size_p, ctypes.POINTER(FrameHeader)]
    for name in ("k3s_read_frame_record", "k3s_read_frame_csv", "k3s_frame_log_file", "k3s_live_header",
                 "k3s_beam_results"):
        getattr(lib, name).restype = ctypes.c_int

    # The live side: a handle on the library's own thread.
    handle = ctypes.c_void_p
    lib.k3s_create_with.restype = handle
    lib.k3s_create_with.argtypes = [ctypes.c_char_p, ctypes.c_char_p, ctypes.c_int]
    lib.k3s_destroy.restype = None
    lib.k3s_destroy.argtypes = [handle]
    lib.k3s_run_background.argtypes = [handle, ctypes.c_size_t]
    lib.k3s_wait_event.argtypes = [handle, ctypes.c_int, ctypes.POINTER(ctypes.c_int), ctypes.c_void_p]
    lib.k3s_event_descriptor.argtypes = [handle]
    lib.k3s_event_descriptor.restype = ctypes.c_int
    lib.k3s_dropped_frames.restype = ctypes.c_longlong
    lib.k3s_dropped_frames.argtypes = [handle]
    lib.k3s_open.restype = ctypes.c_uint32
    lib.k3s_open.argtypes = [handle]
    lib.k3s_find_serial.argtypes = [handle, ctypes.c_int]
    for name in ("k3s_start", "k3s_stop", "k3s_close", "k3s_calibrate", "k3s_serial", "k3s_tab",
                 "k3s_pixel_correction", "k3s_gain_correction_on"):
        getattr(lib, name).argtypes = [handle]
    for name in ("k3s_set_pixel_correction", "k3s_set_gain_correction", "k3s_set_gain_factor"):
        getattr(lib, name).argtypes = [handle, ctypes.c_int]
    lib.k3s_set_setup_filename.argtypes = [handle, ctypes.c_char_p]
    for name in ("k3s_close_reason", "k3s_console_error", "k3s_attach_error", "k3s_get_serial_list"):
        getattr(lib, name).argtypes = [handle, ctypes.c_char_p, ctypes.c_size_t, c_size_p]
    for name in ("k3s_run_background", "k3s_wait_event", "k3s_find_serial", "k3s_start", "k3s_stop",
                 "k3s_close", "k3s_calibrate", "k3s_serial", "k3s_tab", "k3s_pixel_correction",
                 "k3s_gain_correction_on", "k3s_set_pixel_correction", "k3s_set_gain_correction",
                 "k3s_set_gain_factor", "k3s_set_setup_filename", "k3s_close_reason",
                 "k3s_console_error", "k3s_attach_error", "k3s_get_serial_list"):
        getattr(lib, name).restype = ctypes.c_int
    return lib


lib = _load()


def error_text(code):
    return lib.k3s_error_text(code).decode("utf-8", "replace")


def handle_text(function, handle):
    """A text the library keeps for a handle (close reason, console error, ...)."""
    length = ctypes.c_size_t()
    function(handle, None, 0, ctypes.byref(length))
    text = ctypes.create_string_buffer(length.value + 1)
    function(handle, text, len(text), ctypes.byref(length))
    return text.value.decode("utf-8", "replace")
