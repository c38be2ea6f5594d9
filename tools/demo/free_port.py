"""Prints the port the demo's FTP server takes on 127.0.0.1: the wanted one (argument) when nothing
listens there, else one the system has free. Run with Debian's interpreter."""
import socket
import sys

s = socket.socket()
s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
try:
    s.bind(("127.0.0.1", int(sys.argv[1])))
except OSError:
    s.bind(("127.0.0.1", 0))
print(s.getsockname()[1])
