#!/usr/bin/env python3
"""Checks that the parts of the compiler, and those of the runtime, depend
on each other in one direction.

In the compiler every arrow runs downwards: the driver uses the front end and
the generators, both of them use the output files, the output uses the model
and every part uses the diagnostics. In the runtime the server half may use
the connection transport, and neither the transport nor the half that
clients and generated codecs link (codecs, client handles, reporting) may
use the server's private header; every runtime source must be placed in a
layer, so that a new file is given a direction when it is written. An
#include that breaks the direction is reported with its file and line, and
the check fails.

Usage: check_layers.py <compiler source directory>
       check_layers.py --runtime <runtime source directory>
"""
import pathlib
import re
import sys

# The parts each part may include, besides itself.
MAY_INCLUDE = {
    "diagnostics": set(),
    "model": {"diagnostics"},
    "output": {"model", "diagnostics"},
    "frontend": {"output", "model", "diagnostics"},
    "generate": {"output", "model", "diagnostics"},
    "driver": {"frontend", "generate", "output", "model", "diagnostics"},
}

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)/[^"]*"')

# The runtime's layers: the files of each, and the layers it may include
# the private headers of, besides its own.
RUNTIME_LAYERS = {
    "shared": ({"vlclnt.c", "vlerr.c", "vlxdr.c", "xdr_arr_vl.c", "xdr_helpers.c",
                "xdr_long_vl.c"}, set()),
    "connection": ({"vlconn.h", "vlconn_state.h", "vlconn.c", "vlconnmem.c", "vlconnwait.c"},
                   set()),
    "server": ({"vlsrv.h", "libvlrpc.c", "vladmit.c", "vlasync.c", "vlfds.c", "vlfork.c",
                "vlloop.c", "vlsock.c"}, {"connection"}),
}

LOCAL_INCLUDE = re.compile(r'^\s*#\s*include\s*"([^/"]+)"')


def wrong_includes(compiler):
    for part, allowed in MAY_INCLUDE.items():
        for path in sorted((compiler / part).rglob("*")):
            if path.suffix not in {".h", ".hpp", ".cpp", ".y", ".l"}:
                continue
            lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
            for number, line in enumerate(lines, 1):
                match = INCLUDE.match(line)
                if not match:
                    continue
                target = match.group(1)
                if target in MAY_INCLUDE and target != part and target not in allowed:
                    yield f"{path.relative_to(compiler)}:{number}: {part}/ includes {target}/"


def runtime_layer_of(name):
    for layer, (files, _) in RUNTIME_LAYERS.items():
        if name in files:
            return layer
    return None


def wrong_runtime_includes(runtime):
    for path in sorted(runtime.glob("*.[ch]")):
        layer = runtime_layer_of(path.name)
        if layer is None:
            yield f"{path.name}: placed in no layer of the runtime"
            continue
        allowed = RUNTIME_LAYERS[layer][1] | {layer}
        lines = path.read_text(encoding="utf-8", errors="replace").splitlines()
        for number, line in enumerate(lines, 1):
            match = LOCAL_INCLUDE.match(line)
            if not match or not (runtime / match.group(1)).is_file():
                continue
            target = runtime_layer_of(match.group(1))
            if target not in allowed:
                yield f"{path.name}:{number}: {layer} includes {match.group(1)} ({target})"


def compiler_findings(compiler):
    missing = [part for part in MAY_INCLUDE if not (compiler / part).is_dir()]
    if missing:
        print(f"no part {', '.join(missing)} under {compiler}", file=sys.stderr)
        return None
    return list(wrong_includes(compiler))


def main():
    args = sys.argv[1:]
    if len(args) == 2 and args[0] == "--runtime":
        found = list(wrong_runtime_includes(pathlib.Path(args[1])))
    elif len(args) == 1:
        found = compiler_findings(pathlib.Path(args[0]))
    else:
        print("\n".join(__doc__.strip().splitlines()[-2:]), file=sys.stderr)
        return 2
    if found is None:
        return 2
    for report in found:
        print(report)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
