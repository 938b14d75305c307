#!/usr/bin/env python3
"""Compiles every example of the reference in docs/ with the installed
compiler: an `idl` block must compile with Velorin, and its generated C and
C++ with the C and C++ compilers; a `c` or `cpp` block must compile, without
a warning, against the files generated from the `idl` block before it; an
`idl-refused` block must be refused by Velorin."""
import os
import re
import shlex
import subprocess
import sys
import tempfile

SOURCE = os.environ["VELORIN_SOURCE_DIR"]
PREFIX = os.environ["VELORIN_TEST_PREFIX"]
CC = os.environ.get("VELORIN_TEST_CC", "cc")
CXX = os.environ.get("VELORIN_TEST_CXX", "c++")
VELORIN = os.path.join(PREFIX, "bin", "Velorin")
INCLUDES = ["-I.", "-I" + os.path.join(PREFIX, "include"), "-I/usr/include/tirpc"]
FENCE = re.compile(r"^```([\w-]*)\n(.*?)^```$", re.M | re.S)

failures = []


def run(command, cwd):
    env = dict(os.environ, HOME=cwd, ASAN_OPTIONS="detect_leaks=0")
    done = subprocess.run(command, cwd=cwd, env=env, capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def fail(where, what, output=""):
    failures.append(where)
    print(f"FAIL {where}: {what}\n{output}", file=sys.stderr)


def compile_interface(where, text, directory):
    with open(os.path.join(directory, "example.idl"), "w") as f:
        f.write(text)
    status, output = run([VELORIN, "example.idl"], directory)
    if status != 0 or "Error:" in output:
        fail(where, "Velorin refused the interface", output)
        return False
    for name in sorted(os.listdir(directory)):
        if name.endswith(".c") and not name.endswith("_impl_tmp.c"):
            compiler = [CC, "-std=gnu99"]
        elif name.endswith("Client.cpp"):
            compiler = [CXX, "-Werror"]
        else:
            continue
        status, output = run(compiler + INCLUDES + ["-c", "-o", "/dev/null", name], directory)
        if status != 0:
            fail(where, f"the generated {name} does not compile", output)
    return True


def compile_snippet(where, kind, text, directory, count):
    name = f"snippet{count}.{'c' if kind == 'c' else 'cpp'}"
    with open(os.path.join(directory, name), "w") as f:
        f.write(text)
    compiler = [CC, "-std=gnu99"] if kind == "c" else [CXX]
    status, output = run(compiler + ["-Wall", "-Werror"] + INCLUDES + ["-c", "-o", "/dev/null", name],
                         directory)
    if status != 0:
        fail(where, f"the {kind} example does not compile", output)


def check_page(path, work):
    with open(path) as f:
        page = f.read()
    directory = None
    examples = 0
    for count, block in enumerate(FENCE.finditer(page)):
        kind, text = block.group(1), block.group(2)
        line = page.count("\n", 0, block.start()) + 1
        where = f"{os.path.relpath(path, SOURCE)}:{line}"
        if kind == "idl":
            directory = tempfile.mkdtemp(dir=work)
            if not compile_interface(where, text, directory):
                directory = None
        elif kind == "idl-refused":
            refused = tempfile.mkdtemp(dir=work)
            with open(os.path.join(refused, "example.idl"), "w") as f:
                f.write(text)
            status, output = run([VELORIN, "example.idl"], refused)
            if status == 0 and "Error:" not in output:
                fail(where, "Velorin accepted an interface the page says it refuses", output)
        elif kind in ("c", "cpp"):
            if directory is None:
                fail(where, f"a {kind} example without an interface before it")
            else:
                compile_snippet(where, kind, text, directory, count)
        else:
            continue
        examples += 1
    return examples


def main():
    docs = os.path.join(SOURCE, "docs")
    with tempfile.TemporaryDirectory(prefix="velorin-docs.") as work:
        total = 0
        for name in sorted(os.listdir(docs)):
            if name.endswith(".md"):
                total += check_page(os.path.join(docs, name), work)
    if total == 0:
        fail("docs", "no examples found")
    if failures:
        print(f"{len(failures)} example(s) failed", file=sys.stderr)
        return 1
    print(f"{total} examples compiled")
    return 0


sys.exit(main())
