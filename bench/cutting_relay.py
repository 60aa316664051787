"""A link that breaks: one request passed on to a server on 127.0.0.1, its answer passed back
until the body's first CUT bytes are through, then both connections closed."""
import socket
import threading


class CuttingRelay:
    """Listens on a free loopback port for the duration of a with-block; `passed` is what it
    sent back, head and body."""

    def __init__(self, server_port, cut):
        self.server_port = server_port
        self.cut = cut
        self.passed = 0
        self.listener = socket.create_server(("127.0.0.1", 0))
        self.thread = threading.Thread(target=self._relay, daemon=True)

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.listener.getsockname()[1], name)

    def __enter__(self):
        self.thread.start()
        return self

    def __exit__(self, *exc):
        self.listener.close()
        self.thread.join(30)

    def _relay(self):
        try:
            client, _ = self.listener.accept()
        except OSError:
            return  # closed before any client came
        with client, socket.create_connection(("127.0.0.1", self.server_port)) as server:
            request = b""
            while b"\r\n\r\n" not in request:
                piece = client.recv(65536)
                if not piece:
                    return
                request += piece
            server.sendall(request)
            answer, limit = b"", None
            while limit is None or self.passed < limit:
                piece = server.recv(1 << 20)
                if not piece:
                    break
                if limit is None:
                    answer += piece
                    if b"\r\n\r\n" not in answer:
                        continue
                    limit = answer.index(b"\r\n\r\n") + 4 + self.cut
                    piece, answer = answer, b""
                piece = piece[:limit - self.passed]
                client.sendall(piece)
                self.passed += len(piece)
