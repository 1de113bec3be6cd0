"""python3 -m kestrom3 results [--csv] [--method M] FILE...: what kestrom3-frame results prints;
python3 -m kestrom3 watch [OPTION]...: one line per live frame with its results."""
import os
import sys

from .frames import FrameFileError, read_frame_record
from .results import method_code, result_items

PROGRAM = "kestrom3"
USAGE = (
    "Usage: python3 -m kestrom3 results [--csv] [--method M] FILE...\n"
    "       python3 -m kestrom3 watch [OPTION]... (watch --help tells more)\n"
    "  The beam results of frame records (.RAW), as kestrom3-frame results prints them:\n"
    "  \"Key: value\" lines; --csv one line per file after a header line; --method knife-edge\n"
    "  (the default) or second-moment, which adds the Iso... values.\n"
    "Exit status: 0 done, 1 a file gave no results, 2 bad usage.\n"
)


class UsageError(Exception):
    pass


def one_line(data):
    return bytes(0x3F if c < 0x20 or c == 0x7F else c for c in data)


def csv_field(data):
    if not any(c in data for c in b',"\n\r'):
        return data
    return b'"' + data.replace(b'"', b'""') + b'"'


def parse(args):
    """Switches, options and files in any order; after "--" every argument is a file."""
    files, csv, method, help_asked, files_only = [], False, "knife-edge", False, False
    i = 0
    while i < len(args):
        arg = args[i]
        name = arg.split("=", 1)[0]
        if not files_only and len(arg) > 2 and arg.startswith("--") and name == "--method":
            if "=" in arg:
                method = arg.split("=", 1)[1]
            elif i + 1 < len(args):
                i += 1
                method = args[i]
            else:
                raise UsageError(f'option "{arg}" needs a value')
        elif files_only or len(arg) < 2 or arg[0] != "-":
            files.append(arg)
        elif arg == "--":
            files_only = True
        elif arg in ("--help", "-h"):
            help_asked = True
        elif arg == "--csv":
            csv = True
        else:
            raise UsageError(f'unknown option "{arg}"')
        i += 1
    return files, csv, method, help_asked


def results_command(args, out, err):
    try:
        files, csv, method, help_asked = parse(args)
    except UsageError as e:
        err.write(f"{PROGRAM}: {e}\n{USAGE}".encode())
        return 2
    if help_asked:
        out.write(USAGE.encode())
        return 0
    if not files:
        err.write(f"{PROGRAM}: results needs at least one frame file\n{USAGE}".encode())
        return 2
    try:
        method_code(method)
    except ValueError as e:
        err.write(f"{PROGRAM}: {one_line(os.fsencode(str(e))).decode('utf-8', 'replace')}\n"
                  f"Usage: python3 -m kestrom3 results [--csv] [--method M] FILE... "
                  f"(python3 -m kestrom3 --help tells more)\n".encode())
        return 2
    if csv:
        names = [name for name, _, _ in result_items(_zero_frame(), method)]
        out.write(b",".join([b"File"] + [csv_field(n.encode()) for n in names]) + b"\n")
    failed, first = False, True
    for path in files:
        try:
            items = result_items(read_frame_record(path), method)
        except FrameFileError as e:
            err.write(PROGRAM.encode() + b": " + one_line(os.fsencode(str(e))) + b"\n")
            failed = True
            continue
        name = os.fsencode(path)
        if csv:
            out.write(b",".join([csv_field(name)] + [csv_field(t.encode()) for _, t, _ in items]) + b"\n")
        else:
            block = b"" if first else b"\n"
            if len(files) > 1:
                block += b"File: " + one_line(name) + b"\n"
            block += b"".join(f"{n}: {t}\n".encode() for n, t, _ in items)
            out.write(block)
        first = False
    try:
        out.flush()
    except OSError as e:
        err.write(f"{PROGRAM}: the results could not be written: {e.strerror}\n".encode())
        return 1
    return 1 if failed else 0


def _zero_frame():
    import numpy as np
    return np.zeros((124, 124), dtype=np.int16)


def main(argv=None):
    argv = sys.argv[1:] if argv is None else argv
    out, err = sys.stdout.buffer, sys.stderr.buffer
    if not argv:
        err.write(f"{PROGRAM}: no command given\n{USAGE}".encode())
        return 2
    if argv[0] in ("--help", "-h"):
        out.write(USAGE.encode())
        return 0
    if argv[0] == "watch":
        from .watch import watch_command
        return watch_command(argv[1:], out, err)
    if argv[0] != "results":
        err.write(f'{PROGRAM}: unknown command "{one_line(os.fsencode(argv[0])).decode("utf-8", "replace")}"\n{USAGE}'.encode())
        return 2
    return results_command(argv[1:], out, err)


if __name__ == "__main__":
    sys.exit(main())
