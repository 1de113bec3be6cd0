"""A console program on simulated cameras for the package's live tests, in a folder of its own:
its socket, shared-memory names and settings are this test's alone."""
import os
import shutil
import signal
import subprocess
import tempfile
import time

CAMERAS = """\
[camera]
device = 0
serial = 1234
attached = {attached}
"""


class Console:
    def __init__(self):
        self.folder = tempfile.mkdtemp(prefix="kestrom3-py-")
        os.mkdir(os.path.join(self.folder, "run"), 0o700)
        self.config = os.path.join(self.folder, "cameras.conf")
        self.history = os.path.join(self.folder, "history.log")
        self.set_attached(True)
        self.namespace = f"kpy{os.getpid()}_"
        self.environment = dict(os.environ, XDG_RUNTIME_DIR=os.path.join(self.folder, "run"),
                                XDG_STATE_HOME=os.path.join(self.folder, "state"),
                                XDG_CONFIG_HOME=os.path.join(self.folder, "config"),
                                KESTROM_CONFIG_DIR=os.path.join(self.folder, "config"),
                                KESTROM_SHM_NAMESPACE=self.namespace, QT_QPA_PLATFORM="offscreen")
        # The console is not ours to check for leaks, nor run behind the library's sanitizers.
        self.environment.pop("LD_PRELOAD", None)
        self.socket_path = os.path.join(self.folder, "run", "kestrom3",
                                        "TLogoAppForm-Kestrom_III_Control_Console.sock")
        self.process = None

    def set_attached(self, attached):
        with open(self.config + ".new", "w") as f:
            f.write(CAMERAS.format(attached="yes" if attached else "no"))
        os.replace(self.config + ".new", self.config)

    def start(self):
        self.process = subprocess.Popen(
            [os.environ["KESTROM_CONSOLE_BINARY"], "-platform", "offscreen", "--sim-config", self.config,
             "--history-log", self.history], env=self.environment,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        deadline = time.monotonic() + 20
        while not os.path.exists(self.socket_path):
            assert self.process.poll() is None, "the console ended at its start"
            assert time.monotonic() < deadline, "the console did not open its socket"
            time.sleep(0.02)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()

    def history_text(self):
        try:
            with open(self.history, encoding="utf-8", errors="replace") as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def wait_for_history(self, text, seconds=10):
        deadline = time.monotonic() + seconds
        while text not in self.history_text():
            assert time.monotonic() < deadline, f"the history never said {text!r}"
            time.sleep(0.05)

    def cleanup(self):
        self.stop()
        for name in ["KIIICommand"] + [f"Kest3_{slot}" for slot in range(1, 5)]:
            try:
                os.unlink(f"/dev/shm/{self.namespace}{name}")
            except FileNotFoundError:
                pass
        shutil.rmtree(self.folder, ignore_errors=True)
