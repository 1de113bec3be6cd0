"""Kestrom III frames in Python: saved frames and logs as numpy arrays, and the viewer's beam results.

    import kestrom3
    for f in kestrom3.read_frames("beam.RAW"):        # a frame record, or every file of a log
        r = kestrom3.results(f, method="second-moment")
        print(f.header["ZLocation"], r["BeamWidthx"], r["IsoDiameterMajor"])
"""
from .frames import Frame, FrameFileError, read_frames
from .results import results

__all__ = ["Frame", "FrameFileError", "read_frames", "results"]
