"""Kestrom III frames in Python: live frames and saved frames as numpy arrays, the console's
requests, and the viewer's beam results.

    import kestrom3
    with kestrom3.Subscriber(serial=1234, timeout=10) as cam:   # finds the camera, connects
        for f in cam.frames(count=100, timeout=2.0):
            r = kestrom3.results(f, method="second-moment")
    for f in kestrom3.read_frames("beam.RAW"):        # a frame record, or every file of a log
        print(f.header["ZLocation"], kestrom3.results(f)["BeamWidthx"])
"""
from .aio import AsyncSubscriber
from .errors import (CameraClosed, CameraNotFound, ConsoleNotRunning, FrameTimeout, KestromError,
                     RequestRefused)
from .frames import Frame, FrameFileError, read_frames
from .live import Subscriber
from .results import results

__all__ = [
    "AsyncSubscriber", "CameraClosed", "CameraNotFound", "ConsoleNotRunning", "Frame",
    "FrameFileError", "FrameTimeout", "KestromError", "RequestRefused", "Subscriber",
    "read_frames", "results",
]
