"""The kestrom3 package on frames written by the viewer's own writers: frame records and logs read
back as written, and beam results that are kestrom3-frame's to the last digit."""
import os
import subprocess
import sys

import numpy as np
import pytest

import kestrom3

BEAMS = ["round", "turned", "faint", "edge", "dark"]


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    path = tmp_path_factory.mktemp("frames")
    subprocess.run([os.environ["KESTROM_TEST_FRAME_WRITER"], str(path)], check=True)
    return path


def text_log_pixels(path):
    """The pixels of a text log record (rows of decimal values, each line ending LF CR)."""
    lines = path.read_bytes().split(b"\n\r")
    assert lines[-1] == b""
    return np.array([[int(v) for v in line.split(b",")] for line in lines[:-1]], dtype=np.int16)


def header_text(path):
    """The Key=Value lines of the header text at the start of a frame record."""
    text = path.read_bytes()[:16384].split(b"\0", 1)[0].decode("latin-1")
    return dict(line.split("=", 1) for line in text.split("\r\n") if "=" in line)


def run(program, args):
    return subprocess.run(program + args, capture_output=True)


FRAME_PROGRAM = [os.environ.get("KESTROM_FRAME_PROGRAM", "kestrom3-frame"), "results"]
PYTHON_PROGRAM = [sys.executable, "-m", "kestrom3", "results"]


@pytest.mark.parametrize("options, usage_error", [
    ([], False), (["--csv"], False), (["--method", "second-moment"], False),
    (["--csv", "--method=second-moment"], False), (["--method", "knife-edge", "--"], False),
    (["--method", "sideways"], True), (["--method"], True), (["--tsv"], True),
])
def test_the_command_prints_what_kestrom3_frame_prints(folder, tmp_path, options, usage_error):
    # Names that a CSV field must quote and a "File:" line must keep on one line.
    odd = [tmp_path / "a,b.RAW", tmp_path / "line\nbreak.RAW"]
    for path in odd:
        path.write_bytes((folder / "turned.RAW").read_bytes())
    files = [str(folder / f"{b}.RAW") for b in BEAMS] + [str(folder / "missing.RAW")] + [str(p) for p in odd]
    for chosen in (files, files[1:2]):
        expected = run(FRAME_PROGRAM, options + chosen)
        got = run(PYTHON_PROGRAM, options + chosen)
        assert got.stdout == expected.stdout
        assert got.returncode == expected.returncode == (2 if usage_error else 1 if len(chosen) > 1 else 0)
        if not usage_error:
            # The same complaint about the same file, under the package's own name.
            assert got.stderr.replace(b"kestrom3:", b"") == expected.stderr.replace(b"kestrom3-frame:", b"")


@pytest.mark.parametrize("method", ["knife-edge", "second-moment"])
def test_results_are_the_numbers_kestrom3_frame_prints(folder, method):
    for beam in BEAMS:
        path = folder / f"{beam}.RAW"
        printed = run(FRAME_PROGRAM, ["--method", method, str(path)]).stdout.decode().splitlines()
        expected = [line.split(": ", 1) for line in printed]
        (frame,) = kestrom3.read_frames(path)
        got = kestrom3.results(frame, method=method)
        assert list(got) == [k for k, _ in expected]
        for key, text in expected:
            value = got[key]
            assert value == (int(text) if isinstance(value, int) else float(text)), key
        assert {k for k, v in got.items() if isinstance(v, int)} == {"PeakLocx", "PeakLocy", "ZLocation", "WheelA", "WheelB"}
        # A bare array with the same pitch (the frame has no binning or stage position) gives the same.
        if frame.CaptureResolution == 0 and frame.ZLocation == 0:
            bare = kestrom3.results(frame.pixels, method=method,
                                    pixel_size_um=(frame.PixelHScale, frame.PixelVScale))
            assert bare == got


def test_a_frame_record_reads_back_as_written(folder):
    for beam in BEAMS:
        path = folder / f"{beam}.RAW"
        (frame,) = kestrom3.read_frames(path)
        assert frame.pixels.dtype == np.int16 and frame.pixels.shape == (124, 124)
        np.testing.assert_array_equal(frame.pixels, text_log_pixels(folder / f"{beam}.CSV"))
        (text,) = kestrom3.read_frames(folder / f"{beam}.CSV")
        np.testing.assert_array_equal(text.pixels, frame.pixels)
        assert text.header == {} and text.raw_header is None
        assert kestrom3.results(text) == kestrom3.results(frame.pixels)
        assert frame.header["DateTime"] == 45000.25
        for key, value in header_text(path).items():
            if key == "DateTime":
                continue
            field = frame.header[key]
            if isinstance(field, float):
                assert f"{field:.15g}" == value or float(value) == field, key
            else:
                assert str(int(field)) == value if key != "Version" else field == value, key
        assert len(frame.trailer) == 992


def test_a_frame_log_reads_back_in_order(folder, tmp_path):
    records = [kestrom3.read_frames(folder / f"{b}.RAW")[0] for b in BEAMS]
    for name in ("series.RAW", "series"):
        log = kestrom3.read_frames(folder / name)
        assert [os.path.basename(f.path) for f in log] == [f"series{k:06d}.RAW" for k in range(1, 6)]
        for logged, record in zip(log, records):
            np.testing.assert_array_equal(logged.pixels, record.pixels)
            assert logged.header == record.header
    # A running log keeps an empty file waiting for its next frame: it is no frame of the log.
    for k in (1, 2):
        (tmp_path / f"run{k:06d}.RAW").write_bytes((folder / f"series{k:06d}.RAW").read_bytes())
    (tmp_path / "run000003.RAW").write_bytes(b"")
    assert len(kestrom3.read_frames(tmp_path / "run.RAW")) == 2
    # A text log: "beam.txt" names beam000001.CSV, ...
    for k, beam in enumerate(BEAMS, 1):
        (tmp_path / f"text{k:06d}.CSV").write_bytes((folder / f"{beam}.CSV").read_bytes())
    log = kestrom3.read_frames(tmp_path / "text.CSV")
    assert [os.path.basename(f.path) for f in log] == [f"text{k:06d}.CSV" for k in range(1, 6)]
    for logged, record in zip(log, records):
        np.testing.assert_array_equal(logged.pixels, record.pixels)


def test_a_file_that_is_no_frame_record_raises_the_viewers_words(folder, tmp_path):
    good = (folder / "round.RAW").read_bytes()
    cases = [
        ("absent.RAW", None, 'Cannot open file "{}". No such file or directory'),
        ("empty.RAW", b"", '"{}" is not a frame file: it is empty'),
        ("short.RAW", good[:30000], '"{}" is not a frame file: it holds 30000 bytes, a frame record 48448'),
        ("long.RAW", good + b"\0", '"{}" is not a frame file: it is longer than a frame record (48448 bytes)'),
        ("sized.RAW", good[:16400] + b"\0" * 8 + good[16408:],
         '"{}" is not a frame file: its header gives 0 rows and 0 columns, not 124 x 124'),
    ]
    text = (folder / "round.CSV").read_bytes()
    lines = text.split(b"\n\r")[:-1]
    cases += [
        ("empty.CSV", b"", '"{}" is not a text log record: it is empty'),
        ("short.CSV", b"".join(l + b"\n\r" for l in lines[:123]), '"{}" is not a text log record: it holds 123 lines, not 124'),
        ("wide.CSV", text.replace(b"\n\r", b",0\n\r", 1), '"{}" is not a text log record: line 1 holds 125 values, not 124'),
        ("word.CSV", b"x," + text, '"{}" is not a text log record: line 1 has "x" where a value from -32768 to 32767 belongs'),
        ("large.CSV", b"40000," + text, '"{}" is not a text log record: line 1 has "40000" where a value from -32768 to 32767 belongs'),
        ("longer.CSV", text + b"0\n\r", '"{}" is not a text log record: it goes on after line 124'),
    ]
    for name, data, message in cases:
        path = tmp_path / name
        if data is not None:
            path.write_bytes(data)
        with pytest.raises(kestrom3.FrameFileError) as raised:
            kestrom3.read_frames(path)
        assert str(raised.value) == message.format(path), name
    (tmp_path / "folder.RAW").mkdir()
    with pytest.raises(kestrom3.FrameFileError, match="not a regular file"):
        kestrom3.read_frames(tmp_path / "folder.RAW")
    # A bad file inside a log is named, not skipped.
    (tmp_path / "bad000001.RAW").write_bytes(good)
    (tmp_path / "bad000002.RAW").write_bytes(good[:100])
    (tmp_path / "bad000003.RAW").write_bytes(good)
    with pytest.raises(kestrom3.FrameFileError, match="bad000002.RAW"):
        kestrom3.read_frames(tmp_path / "bad.RAW")


@pytest.mark.parametrize("pixels, method, message", [
    (np.zeros((124, 123), np.int16), "knife-edge", "124 x 124"),
    (np.zeros((124, 124), np.float64), "knife-edge", "signed 16-bit"),
    (np.full((124, 124), 40000, np.int32), "knife-edge", "signed 16-bit"),
    (np.zeros((124, 124), np.int16), "second moment", 'not "second moment"'),
])
def test_results_refuse_what_is_no_frame(pixels, method, message):
    with pytest.raises(ValueError, match=message):
        kestrom3.results(pixels, method=method)


def test_an_installed_package_finds_the_library_by_its_soname(tmp_path, folder):
    # Installed, the package has no note of a build tree: the loader's path finds the library.
    import shutil
    built = os.path.dirname(kestrom3.__file__)
    shutil.copytree(built, tmp_path / "kestrom3", ignore=shutil.ignore_patterns("_build_library.py", "__pycache__"))
    library_dir = os.path.dirname(kestrom3._library.lib._name)
    env = dict(os.environ, PYTHONPATH=str(tmp_path))
    code = "import kestrom3, sys; print(kestrom3._library.lib._name, len(kestrom3.read_frames(sys.argv[1])))"
    args = [sys.executable, "-c", code, str(folder / "round.RAW")]
    found = subprocess.run(args, capture_output=True, text=True,
                           env=dict(env, LD_LIBRARY_PATH=library_dir))
    assert found.stdout == f"{kestrom3._library.SONAME} 1\n", found.stderr
