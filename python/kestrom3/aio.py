"""Live frames on asyncio: the Subscriber's queue watched from the event loop, no thread per frame.

    async with kestrom3.AsyncSubscriber(serial=1234) as cam:
        async for f in cam:
            ...
"""
import asyncio
import functools

from .errors import FrameTimeout
from .live import Subscriber


class AsyncSubscriber:
    """Subscriber's interface for asyncio. Attaching and the requests (which wait for the
    console's answer) run in the loop's executor; frames are taken when the queue's descriptor is
    readable."""

    def __init__(self, serial=None, timeout=10.0, queue_size=8, socket_path=None, shm_namespace=None):
        self._arguments = dict(serial=serial, timeout=timeout, queue_size=queue_size,
                               socket_path=socket_path, shm_namespace=shm_namespace)
        self._subscriber = None

    async def _call(self, function, *args):
        return await asyncio.get_running_loop().run_in_executor(None, functools.partial(function, *args))

    async def open(self):
        self._subscriber = await self._call(functools.partial(Subscriber, **self._arguments))
        return self

    async def __aenter__(self):
        return await self.open()

    async def __aexit__(self, *exc):
        await self.close()

    async def close(self):
        if self._subscriber is not None:
            await self._call(self._subscriber.close)

    @property
    def subscriber(self):
        """The synchronous Subscriber underneath (its properties read without waiting)."""
        return self._subscriber

    async def next_frame(self, timeout=None):
        """The next frame; None once the camera has closed (closed_reason says why)."""
        loop = asyncio.get_running_loop()
        while True:
            frame = self._subscriber.poll_frame()
            if frame is not None or self._subscriber.closed_reason is not None:
                return frame
            ready = loop.create_future()
            descriptor = self._subscriber.fileno()
            loop.add_reader(descriptor, lambda: ready.done() or ready.set_result(None))
            try:
                await asyncio.wait_for(ready, timeout)
            except asyncio.TimeoutError:
                raise FrameTimeout(f"No frame came within {timeout:g} s") from None
            finally:
                loop.remove_reader(descriptor)

    async def frames(self, count=None, timeout=None):
        taken = 0
        while count is None or taken < count:
            frame = await self.next_frame(timeout)
            if frame is None:
                return
            taken += 1
            yield frame

    def __aiter__(self):
        return self.frames()

    @property
    def dropped(self):
        return self._subscriber.dropped

    @property
    def closed_reason(self):
        return self._subscriber.closed_reason

    @property
    def serial(self):
        return self._subscriber.serial

    @property
    def slot(self):
        return self._subscriber.slot

    async def start(self):
        await self._call(self._subscriber.start)

    async def stop(self):
        await self._call(self._subscriber.stop)

    async def set_gain_factor(self, factor):
        await self._call(setattr, self._subscriber, "gain_factor", factor)

    async def set_pixel_correction(self, on):
        await self._call(setattr, self._subscriber, "pixel_correction", on)

    async def set_gain_correction(self, on):
        await self._call(setattr, self._subscriber, "gain_correction", on)

    async def calibrate(self, wait=True, timeout=30.0):
        await self._call(self._subscriber.calibrate, wait, timeout)

    async def load_setup_file(self, path):
        await self._call(self._subscriber.load_setup_file, path)
