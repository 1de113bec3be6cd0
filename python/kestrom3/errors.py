"""The package's exceptions; their texts are the console's and the library's own."""


class KestromError(Exception):
    """Something the console or the library refused or reported."""


class ConsoleNotRunning(KestromError):
    """No console answered ("No console is running (nothing listens at ...)")."""


class CameraNotFound(KestromError):
    """The console runs but has no open camera with the serial number asked for."""


class RequestRefused(KestromError):
    """The request was not sent: the console would refuse it (its own text says why)."""


class CameraClosed(KestromError):
    """The camera has been closed, or the console has gone; the text says which."""


class FrameTimeout(KestromError, TimeoutError):
    """Nothing came within the time given."""
