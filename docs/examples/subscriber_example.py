#!/usr/bin/env python3
"""Subscribes to the camera shown by the Kestrom III console and prints each frame's count and peak pixel.

Standard library only. Usage:
    subscriber_example.py [FRAMES] [--socket PATH] [--shm-prefix PREFIX]
Ends after FRAMES frames (default 10) or when the console closes the camera (message 1330).
The wire format is described in docs/protocol.md.
"""
import argparse
import mmap
import os
import socket
import struct
import sys

# size, kind, sequence, window, msg, reserved, wParam, lParam -- little-endian, 40 bytes.
FRAME = struct.Struct("<IIIIIIqq")
HELLO, HELLO_ACK, REGISTER, REGISTERED, UNREGISTER, SEND, POST, REPLY = range(1, 9)
PROTOCOL_VERSION = 1
MAGIC = 0x4B455354524F4D33  # "KESTROM3"

MSG_CONNECT = 1326  # request: connect; from the console: new frame (wParam frame count, lParam slot)
MSG_CLOSE = 1330    # request: close; from the console: the camera is closing

FRAME_BLOCK_SIZE = 31744
PIXELS = 124 * 124
FACTORY_OFFSET = 31008  # FactoryInfo in the frame block; its serial number is a big-endian u16 at 0


def default_socket_path():
    runtime = os.environ.get("XDG_RUNTIME_DIR")
    folder = os.path.join(runtime, "kestrom3") if runtime else "/tmp/kestrom3-%d" % os.geteuid()
    return os.path.join(folder, "TLogoAppForm-Kestrom_III_Control_Console.sock")


class ConsoleGone(Exception):
    pass


class Connection:
    """One connection to the console; every window of this program goes over it."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.buffer = b""
        self.sequence = 0
        self.handlers = {}  # window handle -> function(msg, wParam, lParam) -> result
        self.posted = []    # posted messages wait until the program asks for them
        self.write(HELLO, msg=PROTOCOL_VERSION, wparam=MAGIC)
        kind, _, window, version, wparam, _ = self.read()
        if kind != HELLO_ACK or wparam != MAGIC or window == 0:
            raise ConsoleGone("the console speaks protocol version %d, this program %d" % (version, PROTOCOL_VERSION))
        self.console = window

    def next_sequence(self):
        self.sequence = self.sequence % 0xFFFFFFFF + 1
        return self.sequence

    def write(self, kind, sequence=0, window=0, msg=0, wparam=0, lparam=0):
        self.sock.sendall(FRAME.pack(FRAME.size, kind, sequence, window, msg, 0, wparam, lparam))

    def read(self):
        while len(self.buffer) < FRAME.size:
            data = self.sock.recv(4096)
            if not data:
                raise ConsoleGone("the console has gone")
            self.buffer += data
        size, kind, sequence, window, msg, _, wparam, lparam = FRAME.unpack_from(self.buffer)
        if size != FRAME.size:
            raise ConsoleGone("bad frame from the console")
        self.buffer = self.buffer[FRAME.size:]
        return kind, sequence, window, msg, wparam, lparam

    def handle(self, frame):
        """A send from the console is answered at once; a post is kept for later."""
        kind, sequence, window, msg, wparam, lparam = frame
        if kind == SEND:
            handler = self.handlers.get(window)
            result = handler(msg, wparam, lparam) if handler else 0
            self.write(REPLY, sequence, window, msg, result)
        elif kind == POST:
            self.posted.append((window, msg, wparam, lparam))

    def await_answer(self, sequence):
        # The console may send to our windows while it handles our request: answer those meanwhile.
        while True:
            frame = self.read()
            if frame[0] in (REPLY, REGISTERED) and frame[1] == sequence:
                return frame
            self.handle(frame)

    def register_window(self, handler):
        sequence = self.next_sequence()
        self.write(REGISTER, sequence)
        window = self.await_answer(sequence)[2]
        self.handlers[window] = handler
        return window

    def send(self, window, msg, wparam, lparam):
        sequence = self.next_sequence()
        self.write(SEND, sequence, window, msg, wparam, lparam)
        return self.await_answer(sequence)[4]



def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("frames", nargs="?", type=int, default=10)
    parser.add_argument("--socket", default=default_socket_path())
    parser.add_argument("--shm-prefix", default=os.environ.get("KESTROM_SHM_NAMESPACE", ""),
                        help="prefix of the frame block names; default $KESTROM_SHM_NAMESPACE, as the console")
    args = parser.parse_args()

    try:
        console = Connection(args.socket)
    except OSError as error:
        print("no console: %s" % error, file=sys.stderr)
        return 1

    state = {"frames": 0, "done": False, "refused": False}

    def on_message(msg, wparam, lparam):
        if msg == MSG_CONNECT and not state["done"]:
            # The frame is in the slot's block only while this message is handled.
            path = "/dev/shm/%sKest3_%d" % (args.shm_prefix, lparam)
            with open(path, "rb") as block_file:
                # Anyone may make a name first; a block that is not ours is no console's.
                if os.fstat(block_file.fileno()).st_uid != os.geteuid():
                    print("shared memory %s belongs to another user" % path, file=sys.stderr, flush=True)
                    state["done"] = state["refused"] = True
                    return 0
                with mmap.mmap(block_file.fileno(), FRAME_BLOCK_SIZE, access=mmap.ACCESS_READ) as block:
                    peak = max(struct.unpack_from("<%dh" % PIXELS, block, 0))
                    serial = struct.unpack_from(">H", block, FACTORY_OFFSET)[0]
            state["frames"] += 1
            print("frame %d slot %d serial %d peak %d" % (wparam, lparam, serial, peak), flush=True)
            state["done"] = state["frames"] >= args.frames
        return 0

    try:
        window = console.register_window(on_message)
        slot = console.send(console.console, MSG_CONNECT, window, 0)
        if slot == 0:
            print("refused: the console shows its History tab", flush=True)
            return 1
        print("connected window %d slot %d" % (window, slot), flush=True)
        while not state["done"]:
            console.handle(console.read())
            while console.posted:
                target, msg, _, _ = console.posted.pop(0)
                if target == window and msg == MSG_CLOSE:
                    print("camera closed", flush=True)
                    return 0
        # Outside the frame handler: leave the camera's subscribers.
        console.send(console.console, MSG_CLOSE, window, slot)
        console.write(UNREGISTER, window=window)
        if state["refused"]:
            return 1
        print("done", flush=True)
        return 0
    except ConsoleGone as gone:
        print(str(gone), flush=True)
        return 2


if __name__ == "__main__":
    sys.exit(main())
