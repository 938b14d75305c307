#!/usr/bin/env python3
"""Checks that the compiler's parts depend on each other in one direction.

Every arrow runs downwards: the driver uses the front end and the
generators, both of them use the output files, the output uses the model and
every part uses the diagnostics. An #include of a part that is not below the
including part is reported with its file and line, and the check fails.

Usage: check_layers.py <compiler source directory>
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


def main():
    if len(sys.argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    compiler = pathlib.Path(sys.argv[1])
    missing = [part for part in MAY_INCLUDE if not (compiler / part).is_dir()]
    if missing:
        print(f"no part {', '.join(missing)} under {compiler}", file=sys.stderr)
        return 2
    found = list(wrong_includes(compiler))
    for report in found:
        print(report)
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
