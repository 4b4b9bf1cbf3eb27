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

TYPES = {"tcp": socket.SOCK_STREAM, "udp": socket.SOCK_DGRAM, "ip": socket.SOCK_RAW}


def dns_query(name):
    header = struct.pack("!HHHHHH", 0x1234, 0x0100, 1, 0, 0, 0)
    labels = b"".join(bytes([len(p)]) + p.encode() for p in name.split(".") if p)
    return header + labels + b"\0" + struct.pack("!HH", 1, 1)


def listen(kind, port, seconds):
    s = socket.socket(socket.AF_INET, TYPES[kind], port if kind == "ip" else 0)
    if kind == "tcp":
        s.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    if kind != "ip":
        s.bind(("0.0.0.0", port))
    if kind == "tcp":
        s.listen(1)
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
    print("from", addr[0], "".join(chr(b) if 32 < b < 127 else "." for b in data), flush=True)
    return 0


def send(kind, host, port, data):
    if kind == "tcp":
        try:
            with socket.create_connection((host, port), timeout=2) as s:
                s.sendall(data)
            return 0
        except OSError:
            return 1
    if kind == "ip" and port == 47:
        data = struct.pack("!HH", 0, 0x0800) + data  # a plain GRE header
    s = socket.socket(socket.AF_INET, TYPES[kind], port if kind == "ip" else 0)
    s.sendto(data, (host, port if kind == "udp" else 0))
    return 0


def main(argv):
    if len(argv) < 4:
        print(__doc__, file=sys.stderr)
        return 2
    if argv[1] == "listen":
        return listen(argv[2], int(argv[3]), float(argv[4]) if len(argv) > 4 else 3.0)
    if argv[2] == "dns":
        return send("udp", argv[3], 53, dns_query(argv[4]))
    return send(argv[2], argv[3], int(argv[4]), (argv[5] if len(argv) > 5 else "probe").encode())


if __name__ == "__main__":
    sys.exit(main(sys.argv))
