#!/usr/bin/python3
"""Sends or receives one test packet in the router test bed.

  probe.py listen tcp|udp PORT [SECONDS]   prints "ready", then "from ADDR DATA"
  probe.py listen ip PROTO [SECONDS]       raw IP protocol (47 for GRE)
  probe.py send tcp HOST PORT [DATA]       exit 0 when the connection was made
  probe.py send udp HOST PORT DATA
  probe.py send ip HOST PROTO DATA
  probe.py send dns HOST NAME              a DNS query for NAME to port 53

Every wait is bounded; nothing is retried.
"""
import socket
import struct
import sys


def dns_query(name):
    header = struct.pack("!HHHHHH", 0x1234, 0x0100, 1, 0, 0, 0)
    labels = b"".join(bytes([len(p)]) + p.encode() for p in name.split(".") if p)
    return header + labels + b"\0" + struct.pack("!HH", 1, 1)


def listen(kind, port, seconds):
    if kind == "tcp":
        s = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
        s.bind(("0.0.0.0", port))
        s.listen(1)
    elif kind == "udp":
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(("0.0.0.0", port))
    else:
        s = socket.socket(socket.AF_INET, socket.SOCK_RAW, port)
    s.settimeout(seconds)
    print("ready", flush=True)
    try:
        if kind == "tcp":
            conn, addr = s.accept()
            conn.settimeout(1)
            try:
                data = conn.recv(100)
            except OSError:
                data = b""
            conn.close()
        else:
            data, addr = s.recvfrom(2000)
            if kind == "ip":
                data = data[(data[0] & 15) * 4:]
    except socket.timeout:
        print("nothing", flush=True)
        return 1
    text = "".join(chr(b) if 32 < b < 127 else "." for b in data)
    print("from", addr[0], text, flush=True)
    return 0


def send(kind, host, port, data):
    if kind == "tcp":
        try:
            s = socket.create_connection((host, port), timeout=2)
            s.sendall(data)
            s.close()
            return 0
        except OSError:
            return 1
    if kind == "udp":
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.sendto(data, (host, port))
        return 0
    if port == 47:
        data = struct.pack("!HH", 0, 0x0800) + data  # a plain GRE header
    s = socket.socket(socket.AF_INET, socket.SOCK_RAW, port)
    s.sendto(data, (host, 0))
    return 0


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    if argv[1] == "listen":
        seconds = float(argv[4]) if len(argv) > 4 else 3.0
        return listen(argv[2], int(argv[3]), seconds)
    kind, host = argv[2], argv[3]
    if kind == "dns":
        return send("udp", host, 53, dns_query(argv[4]))
    data = (argv[5] if len(argv) > 5 else "probe").encode()
    return send(kind, host, int(argv[4]), data)


if __name__ == "__main__":
    sys.exit(main(sys.argv))
