"""Runs of the installed compiler from Python tests: the installation named
by VELORIN_TEST_PREFIX, and a test case whose every test has a scratch area
of its own: home/ (HOME), tmp/ (TMPDIR) and work/ (the working directory),
with no configuration variables in the environment."""

import os
import shutil
import subprocess
import tempfile
import unittest

PREFIX = os.environ.get("VELORIN_TEST_PREFIX", "")
VELORIN = os.path.join(PREFIX, "bin", "Velorin")
CONFIG_KEYS = ("VELORIN_HOME", "CPP", "ONC_RPC_HEADER", "PMAP_CLNT_HEADER", "ANSI_CC",
               "SYS_LDFLAGS")


def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


class CompilerRun(unittest.TestCase):
    """The scratch area, removed after each test; scratch_prefix names it."""

    scratch_prefix = "velorin_test."

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix=self.scratch_prefix)
        self.addCleanup(shutil.rmtree, self.root, True)
        self.home = self.path("home")
        self.tmp = self.path("tmp")
        self.work = self.path("work")
        for d in (self.home, self.tmp, self.work):
            os.mkdir(d)
        self.env = {k: v for k, v in os.environ.items() if k not in CONFIG_KEYS}
        self.env.update(HOME=self.home, TMPDIR=self.tmp)
        self.env.pop("VELORIN_TEST_PREFIX", None)

    def path(self, *names):
        return os.path.join(self.root, *names)

    def run_velorin(self, args, program=VELORIN, env=None, cwd=None, argv0=None):
        """Runs the compiler (argv0 as its program name) without a terminal;
        its status and both streams."""
        result = subprocess.run([argv0 or program] + args, executable=program,
                                cwd=cwd or self.work, env=env or self.env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        return result.returncode, result.stdout, result.stderr

    def assertNoTemporaryFiles(self):
        self.assertEqual(os.listdir(self.tmp), [])
