#!/usr/bin/env python3
"""Drives an interactive program through a pseudo-terminal.

    pty_session.py PROMPT COMMANDS_FILE PROGRAM [ARG...]

Waits for PROMPT, types the next line of COMMANDS_FILE, and so on; after the
last line it waits for the program to end. Everything the terminal showed
goes to standard output; the exit status is the program's (124 when it hung).
"""
import os
import pty
import select
import sys
import time

TIMEOUT = 60.0


def main():
    prompt = sys.argv[1].encode()
    with open(sys.argv[2], "rb") as f:
        commands = f.read().splitlines()
    argv = sys.argv[3:]

    pid, fd = pty.fork()
    if pid == 0:
        os.execvp(argv[0], argv)

    shown = bytearray()
    seen_prompts = 0
    deadline = time.monotonic() + TIMEOUT
    eof = False
    while not eof and time.monotonic() < deadline:
        ready, _, _ = select.select([fd], [], [], 0.1)
        if ready:
            try:
                data = os.read(fd, 4096)
            except OSError:  # the terminal is gone once the program ends
                data = b""
            if not data:
                eof = True
            shown += data
        # One command for every new prompt.
        while shown.count(prompt) > seen_prompts and seen_prompts < len(commands):
            os.write(fd, commands[seen_prompts] + b"\n")
            seen_prompts += 1
            deadline = time.monotonic() + TIMEOUT

    sys.stdout.write(shown.decode(errors="replace"))
    if not eof:
        os.kill(pid, 9)
        os.waitpid(pid, 0)
        return 124
    _, status = os.waitpid(pid, 0)
    return os.WEXITSTATUS(status) if os.WIFEXITED(status) else 128 + os.WTERMSIG(status)


if __name__ == "__main__":
    sys.exit(main())
