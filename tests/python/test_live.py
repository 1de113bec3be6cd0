"""Live frames from a real console program on a simulated camera: frames in order with their
camera, requests and their errors, a camera or console that goes, a console that comes later, a
program that falls behind, and the asyncio variant."""
import asyncio
import os
import threading
import time

import numpy as np
import pytest

import kestrom3
from console import Console

SERIAL = 1234


@pytest.fixture
def console(monkeypatch):
    c = Console()
    # The library finds the console by these, as any program of the user does.
    monkeypatch.setenv("XDG_RUNTIME_DIR", c.environment["XDG_RUNTIME_DIR"])
    monkeypatch.setenv("KESTROM_SHM_NAMESPACE", c.namespace)
    c.start()
    yield c
    c.cleanup()


@pytest.mark.parametrize("named", [False, True], ids=["found-by-environment", "named-console"])
def test_frames_arrive_in_order_with_their_camera(console, monkeypatch, named):
    options = {}
    if named:
        options = dict(socket_path=console.socket_path, shm_namespace=console.namespace)
        monkeypatch.delenv("XDG_RUNTIME_DIR")
        monkeypatch.delenv("KESTROM_SHM_NAMESPACE")
    with kestrom3.Subscriber(serial=SERIAL, timeout=10, queue_size=64, **options) as cam:
        assert (cam.serial, cam.slot) == (SERIAL, 1)
        cam.start()
        frames = list(cam.frames(count=12, timeout=5))
        assert cam.dropped == 0
    indexes = [f.index for f in frames]
    assert indexes == list(range(indexes[0], indexes[0] + 12))
    for f in frames:
        assert f.pixels.shape == (124, 124) and f.pixels.dtype == np.int16
        assert (f.slot, f.serial, f.factory["SerialNumber"]) == (1, SERIAL, SERIAL)
        assert abs(f.time - time.time()) < 60
    last = frames[-1]
    # The beam lies where the simulator puts it, the image unturned ([row, column]).
    rows, columns = np.indices(last.pixels.shape)
    weights = np.clip(last.pixels.astype(float) - np.median(last.pixels), 0, None)
    assert abs((weights * rows).sum() / weights.sum() - 62) < 3
    assert last.console["FirmwareRevision"] == "v1.05"
    assert last.console["PixelCorrection"] in (0, 1)
    # A live frame's results are those of its pixels under the camera's own pitch.
    assert kestrom3.results(last, method="second-moment") == kestrom3.results(
        last.pixels, method="second-moment", pixel_size_um=last.pixel_size_um)
    assert console.process.poll() is None


def test_requests_reach_the_console_and_refused_ones_raise_its_words(console, tmp_path):
    with kestrom3.Subscriber(serial=SERIAL, timeout=10) as cam:
        for factor, words in [(11, "Gain factor can't exceed 10"), (0, "Gain factor must be 1 or more")]:
            with pytest.raises(kestrom3.RequestRefused, match=words):
                cam.gain_factor = factor
        cam.gain_factor = 3
        console.wait_for_history("Remote gain factor:3")
        assert "Remote gain factor:11" not in console.history_text()

        with pytest.raises(FileNotFoundError):
            cam.load_setup_file(tmp_path / "missing.setup")
        setup = tmp_path / "lab.setup"
        setup.write_text("[Settings]\nGainValue=1200\n")
        cam.load_setup_file(setup)
        console.wait_for_history(f"Setup:1 {setup}")

        cam.calibrate(wait=True, timeout=20)
        assert next(iter(cam.frames(count=1, timeout=5))).serial == SERIAL


def test_the_frames_end_when_the_camera_is_unplugged_and_when_the_console_goes(console):
    with kestrom3.Subscriber(serial=SERIAL, timeout=10) as cam:
        cam.start()
        assert len(list(cam.frames(count=3, timeout=5))) == 3
        console.set_attached(False)
        rest = list(cam.frames(timeout=10))   # ends; no timeout
        assert cam.closed_reason == f"The console closed camera {SERIAL} in tab 1"
        with pytest.raises(kestrom3.CameraClosed, match="closed camera"):
            cam.gain_factor = 2
    assert len(rest) < 48 * 10

    console.set_attached(True)
    with kestrom3.Subscriber(serial=SERIAL, timeout=15) as cam:
        cam.start()
        assert len(list(cam.frames(count=2, timeout=5))) == 2
        console.stop()
        assert list(cam.frames(timeout=10)) is not None
        assert cam.closed_reason in ("The console has gone", f"The console closed camera {SERIAL} in tab 1")


def test_no_console_raises_the_librarys_words_and_a_console_that_starts_later_is_found(monkeypatch):
    c = Console()
    monkeypatch.setenv("XDG_RUNTIME_DIR", c.environment["XDG_RUNTIME_DIR"])
    monkeypatch.setenv("KESTROM_SHM_NAMESPACE", c.namespace)
    try:
        with pytest.raises(kestrom3.ConsoleNotRunning, match=r"No console is running \(nothing listens at "):
            kestrom3.Subscriber(serial=SERIAL, timeout=0.3)
        starter = threading.Timer(1.0, c.start)
        starter.start()
        with kestrom3.Subscriber(serial=SERIAL, timeout=20) as cam:
            assert cam.serial == SERIAL
            assert len(list(cam.frames(count=2, timeout=5))) == 2
        starter.join()
        with pytest.raises(kestrom3.CameraNotFound, match="No open camera has serial number 999"):
            kestrom3.Subscriber(serial=999, timeout=0.3)
    finally:
        c.cleanup()


def test_a_program_that_sleeps_loses_its_oldest_frames_and_the_console_nothing(console):
    with kestrom3.Subscriber(serial=SERIAL, timeout=10, queue_size=3) as sleeper, \
            kestrom3.Subscriber(serial=SERIAL, timeout=10, queue_size=256) as awake:
        sleeper.start()
        awake.start()
        first = sleeper.next_frame(timeout=5)
        time.sleep(2.0)
        kept = [sleeper.next_frame(timeout=5) for _ in range(3)]
        seen = []
        for f in awake.frames(timeout=5):
            if f.index > kept[-1].index:
                break
            if f.index >= first.index:
                seen.append(f.index)
        # Neither subscriber was dropped as hung.
        assert "is gone" not in console.history_text()
    # The three newest were kept, in order; what fell between them and the first was counted.
    assert [f.index for f in kept] == list(range(kept[0].index, kept[0].index + 3))
    assert sleeper.dropped == kept[0].index - first.index - 1 > 40
    # The other subscriber of the same camera got every one of those frames meanwhile.
    assert seen == list(range(first.index, kept[-1].index + 1))


def test_the_asyncio_subscriber_takes_frames_and_ends_with_the_camera(console):
    async def watch():
        async with kestrom3.AsyncSubscriber(serial=SERIAL, timeout=10) as cam:
            await cam.start()
            await cam.set_gain_factor(2)
            indexes = [f.index async for f in cam.frames(count=5, timeout=5)]
            console.set_attached(False)
            rest = [f async for f in cam]
            return indexes, rest, cam.closed_reason

    indexes, rest, reason = asyncio.run(asyncio.wait_for(watch(), 30))
    assert indexes == list(range(indexes[0], indexes[0] + 5))
    assert reason == f"The console closed camera {SERIAL} in tab 1"
    console.wait_for_history("Remote gain factor:2")
