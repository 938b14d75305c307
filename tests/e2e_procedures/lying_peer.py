#!/usr/bin/env python3
"""Peers of the lies interface on 127.0.0.1 that do not keep to its sizes.

    lying_peer.py serve <port file>
        A lying server: answers every call of the lies interface over TCP
        and UDP with a reply whose counts exceed the room the request gave
        the caller's buffers, whose strings lack their terminator, whose
        result claims more bytes than it sent, or whose union holds another
        arm than the caller's; it never answers a call of names. Writes "<tcp port> <udp port>" to the port
        file once it listens, and serves until it is killed.

    lying_peer.py hostile <lies.h> <program> <tcp port> <udp port>
        Requests to a generated server of the lies interface whose strings
        lack their terminator, whose sizes overflow 32 bits or exceed the
        bound of a result, or whose sizes and discriminants divide by zero,
        overflow or shift by more than their width: each must be
        refused (or, where noted, answered), and the server must go on
        answering the null procedure. Prints one line per failed case and
        ends with status 1 when one failed.
"""
import os
import select
import socket
import struct
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from rpc_sender import (GARBAGE_ARGS, NO_REPLY, SUCCESS, Target, opaque,  # noqa: E402
                        procedure_numbers, send_cases, u32)

SYSTEM_ERR = 5
FILL, FILLNAMED, NAME, ECHO, GET, SWAPHELD, NAMES = 1, 2, 3, 4, 6, 7, 11
# The results of a call the lying server leaves unanswered.
SILENT = None


def lying_results(proc, args):
    """The results the lying server sends for a call and its arguments."""
    if proc == FILL:
        n = struct.unpack(">i", args[:4])[0]
        return u32(n, 100, *range(100), 100)
    if proc == FILLNAMED:
        k = struct.unpack(">i", args[:4])[0]
        if k == 3:
            # As many elements as asked for, decoded into the caller's
            # storage before the count that precedes them refuses them.
            named = b"".join(opaque(b"ab\0") + u32(i) for i in range(3))
            return u32(2, 3) + named + u32(3)
        named = b"".join(opaque(b"ab\0") + u32(i) for i in range(4))
        return u32(k, 4) + named + u32(4)
    if proc == NAME:
        return opaque(b"N" * 16)
    if proc == ECHO:
        return opaque(b"S" * 16) + opaque(b"yo\0")
    if proc == GET:
        # Two bytes, and a result that says as many bytes came as were asked.
        size, nm = struct.unpack(">II", args[:8])
        return u32(size, nm) + opaque(b"ab") + u32(size * nm)
    if proc == NAMES:
        return SILENT
    if proc == SWAPHELD:
        # The held value, present, switched to its string arm; the result.
        return u32(1, 2) + opaque(b"liar\0") + u32(0)
    return b""


def reply_to(call):
    """The reply to one call message, b"" for one left unanswered, or None
    for what is no call."""
    if len(call) < 40:
        return None
    xid, kind, _, _, _, proc = struct.unpack(">6I", call[:24])
    if kind != 0:
        return None
    offset = 24
    for _ in range(2):  # credentials and verifier
        length = struct.unpack(">I", call[offset + 4:offset + 8])[0]
        offset += 8 + length + (-length % 4)
    results = lying_results(proc, call[offset:]) if proc else b""
    if results is SILENT:
        return b""
    return u32(xid, 1, 0, 0, 0, 0) + results


def read_record(conn):
    """One record-marked message from a TCP connection; None at its end."""
    message = b""
    while True:
        mark = b""
        while len(mark) < 4:
            chunk = conn.recv(4 - len(mark))
            if not chunk:
                return None
            mark += chunk
        length = struct.unpack(">I", mark)[0]
        fragment = b""
        while len(fragment) < (length & 0x7fffffff):
            chunk = conn.recv((length & 0x7fffffff) - len(fragment))
            if not chunk:
                return None
            fragment += chunk
        message += fragment
        if length & 0x80000000:
            return message


def serve(port_file):
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(8)
    datagrams = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    datagrams.bind(("127.0.0.1", 0))
    with open(port_file + ".tmp", "w") as f:
        f.write("%d %d\n" % (listener.getsockname()[1], datagrams.getsockname()[1]))
    os.rename(port_file + ".tmp", port_file)
    connections = []
    while True:
        ready, _, _ = select.select([listener, datagrams] + connections, [], [])
        for s in ready:
            if s is listener:
                connections.append(listener.accept()[0])
            elif s is datagrams:
                call, peer = datagrams.recvfrom(65536)
                reply = reply_to(call)
                if reply:
                    datagrams.sendto(reply, peer)
            else:
                call = read_record(s)
                reply = reply_to(call) if call is not None else None
                if reply is None:
                    connections.remove(s)
                    s.close()
                elif reply:
                    s.sendall(u32(0x80000000 | len(reply)) + reply)


def hostile(header, program, tcp_port, udp_port):
    procs = procedure_numbers(header)
    target = Target(program, tcp_port, udp_port)
    call = target.header
    refused = (GARBAGE_ARGS, NO_REPLY)
    echo, put, get = procs["ECHO"], procs["PUT"], procs["GET"]
    fill, divided, part, shifted = procs["FILL"], procs["DIVIDED"], procs["PART"], procs["SHIFTED"]
    int_min, minus_one = 0x80000000, 0xffffffff
    # Over UDP a request cut short is decoded from what the receive buffer
    # held before (see rpc_sender.cases): it may succeed there.
    cut_short = {"tcp": refused, "udp": refused + (SUCCESS,)}
    # The result of fill holds n elements, at most 100: more cannot be sent
    # back, and the procedure would write them past its buffer.
    fills = [("fill of %d" % n, "both", call(fill) + u32(n), (SUCCESS,) if n <= 100 else (GARBAGE_ARGS,), True)
             for n in (0, 1, 99, 100, 101, 1000)]
    return send_cases(target, fills + [
        # A union switched by a / b, a size of n / d and sizes shifted by k.
        ("a quotient that switches an arm", "both", call(divided) + u32(4, 2, 7), (SUCCESS,), True),
        ("a discriminant divided by zero", "both", call(divided) + u32(4, 0, 7), refused, True),
        ("a discriminant of INT_MIN / -1", "both", call(divided) + u32(int_min, minus_one, 7), refused,
         True),
        ("a record cut after the dividend", "both", call(divided) + u32(4), cut_short, True),
        ("a size of a quotient", "both", call(part) + u32(16, 4, 4, 1, 2, 3, 4), (SUCCESS,), True),
        ("a size divided by zero", "both", call(part) + u32(16, 0, 0), refused, True),
        ("a size of INT_MIN / -1", "both", call(part) + u32(int_min, minus_one, 8, *range(8)), refused,
         True),
        ("a size cut after the dividend", "both", call(part) + u32(16), cut_short, True),
        ("a size of 1 << 3", "both", call(shifted) + u32(3, 16) + opaque(b"12345678") + u32(2, 1, 2),
         (SUCCESS,), True),
        ("a size of 1 << 32", "both", call(shifted) + u32(32, 0) + opaque(b"1") + u32(0), refused, True),
        ("a size of 1 << 64", "both", call(shifted) + u32(64, 0) + opaque(b"1") + u32(0), refused, True),
        ("a size of 1 << -1", "both", call(shifted) + u32(minus_one, 0) + opaque(b"") + u32(0), refused,
         True),
        ("inout string of 16 bytes without NUL", "both", call(echo) + opaque(b"s" * 16) + opaque(b"c\0"),
         refused, True),
        ("inout string whose NUL is missing", "both", call(echo) + opaque(b"abc") + opaque(b"c\0"), refused, True),
        ("inout fixed string of 16 bytes without NUL", "both", call(echo) + opaque(b"s\0") + opaque(b"c" * 16),
         refused, True),
        ("inout strings with their NUL", "both", call(echo) + opaque(b"s\0") + opaque(b"c\0"), (SUCCESS,), True),
        # nm, size, then the bytes: 2 * 0x80000001 promised, 2 sent.
        ("a product beyond 32 bits", "both", call(put) + u32(2, 0x80000001) + opaque(b"ab"), refused, True),
        ("a product that fits", "both", call(put) + u32(2, 2) + opaque(b"abcd"), (SUCCESS,), True),
        # size, nm: a result buffer of 2 GiB is allocated untouched (or,
        # where the system refuses it, answered with a system error).
        ("a result buffer of 2 GiB", "both", call(get) + u32(1, 0x80000000), (SUCCESS, SYSTEM_ERR), True),
        ("a result buffer beyond 32 bits", "both", call(get) + u32(0xffffffff, 0xffffffff), (SYSTEM_ERR,), True),
    ])


def main(args):
    if args[:1] == ["serve"] and len(args) == 2:
        return serve(args[1])
    if args[:1] == ["hostile"] and len(args) == 5:
        return hostile(args[1], int(args[2], 0), int(args[3]), int(args[4]))
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
