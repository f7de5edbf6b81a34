"""How a local test server announces itself and when it stops, shared by the HTTP and FTP
servers.

A test starts a server, reads its port from the port file and stops it again; a server that
its test forgot, or whose test crashed, must not outlive it. Under Wine a Unix program
started by a Windows test is detached from it (its parent becomes init), so "my parent
died" cannot be seen from the process tree. The lifeline covers that case: the server
listens on a second port, and once a client has connected there, the server stops when the
last such connection closes. The operating system closes a dead test's sockets, so the
server follows its test at once, whatever the test's kind.

The port file holds one line, "PORT LIFELINE_PORT\n", written whole (a temporary file
renamed into place), so a reader that sees the file sees all of it; the server removes the
file when it stops, so a test can wait for it to disappear. "-" prints the line on
standard output instead.

A server stops on the first of: the last lifeline connection closes; the process given by
--parent-pid is gone (by default the parent at start, unless that is init); no activity for
--idle-timeout seconds; an explicit stop (the HTTP server's /_quit); SIGTERM or SIGINT.
"""

import os
import select
import signal
import socket
import sys
import threading
import time


def add_arguments(parser):
    parser.add_argument("--port-file", default="-",
                        help='where to write "PORT LIFELINE_PORT"; "-" for standard output')
    parser.add_argument("--parent-pid", type=int, default=None,
                        help="stop when this process is gone (default: the parent at start, "
                             "unless it is init)")
    parser.add_argument("--idle-timeout", type=float, default=300.0,
                        help="stop after this many seconds without activity (0: never)")


class Lifetime:
    """Watches the conditions above and calls `on_stop` once, from a thread of its own."""

    def __init__(self, args, on_stop):
        self._args = args
        self._on_stop = on_stop
        self._stopping = threading.Event()
        self._lock = threading.Lock()
        self._last_activity = time.monotonic()
        self._busy = 0
        self._reason = None
        self._lifelines = 0
        self._lifeline_seen = False
        parent = args.parent_pid
        if parent is None:
            parent = os.getppid()
            if parent <= 1:
                parent = None
        self._parent = parent
        self._listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        self._listener.bind(("127.0.0.1", 0))
        self._listener.listen(8)
        self.lifeline_port = self._listener.getsockname()[1]
        signal.signal(signal.SIGTERM, lambda *_: self.stop("SIGTERM"))
        signal.signal(signal.SIGINT, lambda *_: self.stop("SIGINT"))

    @property
    def stopping(self):
        return self._stopping

    @property
    def reason(self):
        return self._reason

    def touch(self):
        """Notes activity: the idle timeout counts from the last call."""
        with self._lock:
            self._last_activity = time.monotonic()

    def busy(self):
        """A context in which the server counts as active (a transfer, a held connection)."""
        lifetime = self

        class _Busy:
            def __enter__(self):
                with lifetime._lock:
                    lifetime._busy += 1
                    lifetime._last_activity = time.monotonic()

            def __exit__(self, *exc):
                with lifetime._lock:
                    lifetime._busy -= 1
                    lifetime._last_activity = time.monotonic()
                return False

        return _Busy()

    def publish(self, port):
        line = "%d %d\n" % (port, self.lifeline_port)
        path = self._args.port_file
        if path == "-":
            sys.stdout.write(line)
            sys.stdout.flush()
        else:
            temporary = path + ".tmp%d" % os.getpid()
            with open(temporary, "w") as f:
                f.write(line)
            os.replace(temporary, path)
        threading.Thread(target=self._accept_lifelines, daemon=True).start()
        threading.Thread(target=self._watch, daemon=True).start()

    def stop(self, reason):
        with self._lock:
            if self._stopping.is_set():
                return
            self._reason = reason
            self._stopping.set()
        threading.Thread(target=self._on_stop, daemon=True).start()

    def remove_port_file(self):
        path = self._args.port_file
        if path != "-":
            try:
                os.remove(path)
            except OSError:
                pass

    def _accept_lifelines(self):
        while not self._stopping.is_set():
            ready, _, _ = select.select([self._listener], [], [], 0.2)
            if not ready:
                continue
            try:
                connection, _ = self._listener.accept()
            except OSError:
                continue
            with self._lock:
                self._lifelines += 1
                self._lifeline_seen = True
            threading.Thread(target=self._hold_lifeline, args=(connection,), daemon=True).start()

    def _hold_lifeline(self, connection):
        with connection:
            while not self._stopping.is_set():
                ready, _, _ = select.select([connection], [], [], 0.2)
                if not ready:
                    continue
                try:
                    data = connection.recv(4096)
                except OSError:
                    data = b""
                if not data:
                    break
        with self._lock:
            self._lifelines -= 1
            last = self._lifelines == 0
        if last:
            self.stop("lifeline closed")

    def _watch(self):
        while not self._stopping.wait(0.2):
            if self._parent is not None and not _alive(self._parent):
                self.stop("parent %d gone" % self._parent)
                return
            timeout = self._args.idle_timeout
            if timeout > 0:
                with self._lock:
                    idle = self._busy == 0 and time.monotonic() - self._last_activity > timeout
                if idle:
                    self.stop("idle for %g s" % timeout)
                    return


def _alive(pid):
    try:
        os.kill(pid, 0)
    except ProcessLookupError:
        return False
    except PermissionError:
        return True
    # A zombie child still answers the signal; it is gone all the same.
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().split(")")[-1].split()[0] != "Z"
    except OSError:
        return False
