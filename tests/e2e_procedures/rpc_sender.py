#!/usr/bin/env python3
"""Hand-made ONC RPC requests on 127.0.0.1.

    rpc_sender.py null <tcp|udp> <port> <program> <version>
        A call of the null procedure straight to the port, without the
        portmapper: status 0 when it succeeds.

    rpc_sender.py hostile <kinds.h> <program> <tcp port> <udp port> [case text]
        Malformed, truncated and out-of-bounds requests to a server of the
        kinds interface over UDP and TCP: each must be answered with an
        error (or dropped), and the server must go on answering the null
        procedure afterwards. With a case text, only the cases whose names
        hold it are sent. Prints one line per failed case and ends with
        status 1 when one failed.
"""
import re
import socket
import struct
import sys

CALL, REPLY = 0, 1
SUCCESS, PROG_MISMATCH, PROC_UNAVAIL, GARBAGE_ARGS = 0, 2, 3, 4
NO_REPLY = "no reply"
# Seconds to wait for a reply that must come, and for one that may not.
# A reply that must come may be slow: under the sanitizers a server spends
# seconds marking a 2 GiB buffer it allocates and frees, and far longer on a
# loaded machine.
REPLY_WAIT = 60
SILENCE_WAIT = 0.5


def procedure_numbers(header):
    """The procedure number macros of the generated header."""
    text = open(header).read()
    return {m.group(1): int(m.group(2))
            for m in re.finditer(r"#define (\w+)\s+\(unsigned long\)\((\d+)\)", text)}


def u32(*values):
    return b"".join(struct.pack(">I", v & 0xffffffff) for v in values)


def opaque(data, count=None):
    """XDR variable-length opaque data: count, bytes, padding."""
    count = len(data) if count is None else count
    return u32(count) + data + b"\0" * (-len(data) % 4)


class Target:
    def __init__(self, program, tcp_port, udp_port):
        self.program = program
        self.ports = {"tcp": tcp_port, "udp": udp_port}
        self.xid = 0x5e1f0000

    def header(self, proc, version=1):
        self.xid += 1
        return u32(self.xid, CALL, 2, self.program, version, proc, 0, 0, 0, 0)

    def exchange(self, transport, message, whole_record=True, wait=REPLY_WAIT):
        """Sends the bytes; returns the accept status of the reply, or
        NO_REPLY when the server sent none within wait seconds."""
        if transport == "udp":
            with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
                s.settimeout(wait)
                s.sendto(message, ("127.0.0.1", self.ports["udp"]))
                try:
                    return parse_reply(s.recv(65536))
                except socket.timeout:
                    return NO_REPLY
        try:
            s = socket.create_connection(("127.0.0.1", self.ports["tcp"]), timeout=2)
        except OSError:
            return "refused"
        with s:
            s.settimeout(wait)
            if whole_record:
                message = u32(0x80000000 | len(message)) + message
            s.sendall(message)
            try:
                data = b""
                while len(data) < 4 or len(data) < 4 + (struct.unpack(">I", data[:4])[0] & 0x7fffffff):
                    chunk = s.recv(65536)
                    if not chunk:
                        return NO_REPLY
                    data += chunk
                return parse_reply(data[4:])
            except (socket.timeout, ConnectionResetError):
                return NO_REPLY


def parse_reply(data):
    xid, kind, reply_stat = struct.unpack(">III", data[:12])
    if kind != REPLY:
        return "not a reply"
    if reply_stat != 0:
        return "denied"
    flavor, length = struct.unpack(">II", data[12:20])
    offset = 20 + length + (-length % 4)
    return struct.unpack(">I", data[offset:offset + 4])[0]


def cases(procs, call):
    """(name, transports, message, statuses accepted, whole record): call
    makes the header of a call to a procedure (and version).

    A datagram is decoded out of the library's whole receive buffer, not
    just the bytes received, so over UDP an argument cut short is read from
    what the buffer held before: such a call may succeed, but it must not
    hurt the server. Those cases accept SUCCESS over UDP.

    Over TCP a message normally goes as one whole record; the cases that
    bring their own record mark break that framing on purpose."""
    refused = (GARBAGE_ARGS, NO_REPLY)
    cut_short = {"tcp": refused, "udp": refused + (SUCCESS,)}
    add = procs["ADD"]
    return [
        ("garbage instead of a call", "both", b"\x17" * 9, (NO_REPLY,), True),
        ("header cut after the message type", "both", u32(7, CALL), (NO_REPLY,), True),
        ("no arguments for add", "both", call(add), cut_short, True),
        ("one of two arguments for add", "both", call(add) + u32(1), cut_short, True),
        ("unknown procedure", "both", call(999) + u32(1, 2), (PROC_UNAVAIL,), True),
        ("unknown version", "both", call(0, 7), (PROG_MISMATCH,), True),
        ("vector count above its bound", "both",
         call(procs["SUM"]) + u32(1000, 1000) + u32(*range(1000)), refused, True),
        ("vector count below its size variable", "both", call(procs["SUM"]) + u32(5, 3, 1, 2, 3),
         refused, True),
        ("vector cut short", "both", call(procs["SUM"]) + u32(5, 5, 1, 2), cut_short, True),
        ("fixed array count above its bound", "both", call(procs["TAGSUM"]) + u32(64, 64) + b"A" * 64,
         refused, True),
        ("byte count above its bound", "both", call(procs["BYTESUM"]) + u32(513) + opaque(b"\1" * 513),
         refused, True),
        ("string above its bound", "both", call(procs["LENGTH"]) + opaque(b"x" * 299 + b"\0"),
         refused, True),
        ("string count without its bytes", "both", call(procs["UPPER"]) + u32(200) + b"abc\0",
         cut_short, True),
        ("list cut inside a node", "tcp", call(procs["LISTSUM"]) + u32(1, 10, 1, 20, 1), refused, True),
        # A record that ends before its announced length, or announces one
        # far beyond any sensible request, and then the connection closes.
        ("record shorter than announced", "tcp", u32(0x80000000 | 400) + call(add) + u32(1),
         (NO_REPLY,), False),
        ("record of an absurd length", "tcp", u32(0xffffffff) + call(add), (NO_REPLY,), False),
        # A zero-length string is how a null string travels.
        ("zero-length string", "both", call(procs["UPPER"]) + opaque(b""), refused + (SUCCESS,), True),
        # Bytes without a NUL are no string: they are refused, or handed on
        # terminated; the procedure must never read past them (which the
        # sanitizer build sees).
        ("string without its terminating NUL", "both", call(procs["UPPER"]) + opaque(b"abc"),
         refused + (SUCCESS,), True),
    ]


def null_call(transport, port, program, version):
    target = Target(program, port, port)
    return 0 if target.exchange(transport, target.header(0, version)) == SUCCESS else 1


def send_cases(target, case_list, only=""):
    """Sends each case whose name holds `only` (see cases() for their form)
    and a null call after it; prints one line per failure and returns 1
    when there was one."""
    failures = []
    for name, transports, message, accepted, whole_record in case_list:
        if only not in name:
            continue
        for transport in ("tcp", "udp") if transports == "both" else (transports,):
            expected = accepted[transport] if isinstance(accepted, dict) else accepted
            # A reply that must come is waited for long, so that a busy
            # machine cannot make it late; where silence is one of the
            # accepted answers, a short wait is enough.
            wait = SILENCE_WAIT if NO_REPLY in expected else REPLY_WAIT
            got = target.exchange(transport, message, whole_record, wait)
            if got not in expected:
                failures.append("%s over %s: got %s, expected one of %s" % (name, transport, got, expected))
            if target.exchange(transport, target.header(0)) != SUCCESS:
                failures.append("%s over %s: the null procedure gets no answer afterwards" % (name, transport))
    print("\n".join(failures))
    return 1 if failures else 0


def hostile(header, program, tcp_port, udp_port, only=""):
    target = Target(program, tcp_port, udp_port)
    return send_cases(target, cases(procedure_numbers(header), target.header), only)


def main(args):
    if args[:1] == ["null"] and len(args) == 5:
        return null_call(args[1], int(args[2]), int(args[3], 0), int(args[4]))
    if args[:1] == ["hostile"] and len(args) in (5, 6):
        return hostile(args[1], int(args[2], 0), int(args[3]), int(args[4]), *args[5:])
    print(__doc__, file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
