"""Our own nginx on 127.0.0.1: configuration, logs, pid file and temp folders in one folder."""
import os
import signal
import socket
import subprocess
import time

CONFIG = """\
worker_processes 1;
pid {prefix}/nginx.pid;
error_log {prefix}/error.log warn;
events {{ worker_connections 64; }}
http {{
  log_format sent '$status $bytes_sent';
  access_log {prefix}/access.log sent;
  sendfile on;
  tcp_nopush on;
  default_type application/octet-stream;
  client_body_temp_path {prefix}/tmp/body;
  proxy_temp_path {prefix}/tmp/proxy;
  fastcgi_temp_path {prefix}/tmp/fastcgi;
  uwsgi_temp_path {prefix}/tmp/uwsgi;
  scgi_temp_path {prefix}/tmp/scgi;
  server {{
    listen 127.0.0.1:{port};
    root {root};
  }}
}}
"""


def _free_loopback_port():
    with socket.socket() as probe:
        probe.bind(("127.0.0.1", 0))
        return probe.getsockname()[1]


def _running(pid):
    """False once the process is gone or only a zombie waiting to be reaped."""
    try:
        with open("/proc/%d/stat" % pid) as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


def _nginx_binary():
    return "/usr/sbin/nginx" if os.path.exists("/usr/sbin/nginx") else "nginx"


class NginxServer:
    """Serves ROOT over http://127.0.0.1:PORT/ until stop(), which ends it by its pid."""

    def __init__(self, prefix, root):
        self.prefix = os.path.abspath(prefix)
        self.root = os.path.abspath(root)
        self.port = _free_loopback_port()
        self.pid = None

    def url(self, name):
        return "http://127.0.0.1:%d/%s" % (self.port, name)

    def start(self):
        os.makedirs(os.path.join(self.prefix, "tmp"), exist_ok=True)
        config = os.path.join(self.prefix, "nginx.conf")
        with open(config, "w") as out:
            out.write(CONFIG.format(prefix=self.prefix, root=self.root, port=self.port))
        pid_file = os.path.join(self.prefix, "nginx.pid")
        if os.path.exists(pid_file):
            os.remove(pid_file)
        subprocess.run([_nginx_binary(), "-p", self.prefix, "-c", config,
                        "-e", os.path.join(self.prefix, "error.log")], check=True)
        for _ in range(100):
            if os.path.exists(pid_file) and open(pid_file).read().strip():
                self.pid = int(open(pid_file).read())
                return
            time.sleep(0.05)
        raise RuntimeError("nginx wrote no pid file; see %s/error.log" % self.prefix)

    def last_logged(self):
        """The status and the bytes sent, head and body, of the last request answered."""
        with open(os.path.join(self.prefix, "access.log")) as log:
            status, sent = log.read().splitlines()[-1].split()
        return int(status), int(sent)

    def stop(self):
        if self.pid is None:
            return
        os.kill(self.pid, signal.SIGTERM)  # the master ends its worker, then itself
        for _ in range(200):
            if not _running(self.pid):
                break
            time.sleep(0.05)
        self.pid = None
