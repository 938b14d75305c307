#!/usr/bin/env python3
"""The installed compiler's temporary files (the seven section files and the
preprocessed file) and its output files, seen from outside: where and how the
temporary files are created, that no end of a run leaves one behind, and what
a run does when an output file cannot be created.

Every test runs in a private directory with its own HOME and TMPDIR, without
configuration variables in the environment.

Usage: temporary_files_test.py [unittest arguments], with VELORIN_TEST_PREFIX
set to an installation tree.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

PREFIX = os.environ.get("VELORIN_TEST_PREFIX", "")
VELORIN = os.path.join(PREFIX, "bin", "Velorin")
CONFIG_KEYS = ("VELORIN_HOME", "CPP", "ONC_RPC_HEADER", "PMAP_CLNT_HEADER", "ANSI_CC",
               "SYS_LDFLAGS")

INTERFACE = """\
%typedef int calc_extra;
program calc {
\tversion calc_v {
\t\tint add(in int a, in int b);
\t} = 1;
} = 536871002;
"""

GENERATED = ("calc.h", "calc_svc.c", "calc_xdr.c", "calc_cln.c", "calcClient.hpp",
             "calcClient.cpp", "calc_impl_tmp.c")


def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


class CompilerRun(unittest.TestCase):

    def setUp(self):
        self.root = tempfile.mkdtemp(prefix="velorin_output.")
        self.addCleanup(shutil.rmtree, self.root, True)
        self.home = os.path.join(self.root, "home")
        self.tmp = os.path.join(self.root, "tmp")
        self.work = os.path.join(self.root, "work")
        for d in (self.home, self.tmp, self.work):
            os.mkdir(d)
        self.env = {k: v for k, v in os.environ.items() if k not in CONFIG_KEYS}
        self.env.update(HOME=self.home, TMPDIR=self.tmp)
        self.env.pop("VELORIN_TEST_PREFIX", None)
        self.interface(INTERFACE)

    def interface(self, text):
        write(os.path.join(self.work, "calc.idl"), text)

    def preprocessor(self, body):
        """A preprocessor script, chosen through the CPP variable."""
        path = os.path.join(self.root, "cpp.sh")
        write(path, "#!/bin/sh\n" + body, 0o755)
        self.env["CPP"] = path

    def run_velorin(self, args):
        result = subprocess.run([VELORIN] + args, cwd=self.work, env=self.env,
                                stdin=subprocess.DEVNULL, capture_output=True, text=True,
                                timeout=60)
        return result.returncode, result.stdout, result.stderr

    def in_work(self, name):
        return os.path.join(self.work, name)

    def assertNoTemporaryFiles(self):
        self.assertEqual(os.listdir(self.tmp), [])


class TemporaryFiles(CompilerRun):

    def test_created_private_in_tmpdir_and_gone_after_the_run(self):
        # While the preprocessor runs, the seven section files and the file
        # the preprocessor writes into all exist, readable by their owner only.
        listing = os.path.join(self.root, "listing")
        self.preprocessor('stat -c "%%a %%F" "$TMPDIR"/* > %s\nexec /lib/cpp "$@"\n' % listing)
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 0, err)
        with open(listing) as f:
            self.assertEqual(f.read().splitlines(), ["600 regular empty file"] * 8)
        self.assertNoTemporaryFiles()

    def test_unusable_tmpdir_falls_back_to_the_system_directory(self):
        # The preprocessor lists the files the compiler holds open and the
        # file it writes into: all of them in /tmp, all gone after the run.
        self.env["TMPDIR"] = os.path.join(self.root, "missing")
        listing = os.path.join(self.root, "listing")
        self.preprocessor(
            'output=$(readlink /proc/$$/fd/1)\n'
            'pid=$$\n'
            'while [ "$(cat /proc/$pid/comm)" != Velorin ]; do\n'
            '  pid=$(awk \'{ print $4 }\' /proc/$pid/stat)\n'
            'done\n'
            '{ for fd in /proc/$pid/fd/*; do readlink "$fd"; done; echo "$output"; } > %s\n'
            'exec /lib/cpp "$@"\n' % listing)
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 0, err)
        self.assertEqual(err.splitlines()[0], "Compiling calc.idl", err)
        with open(listing) as f:
            made = [name for name in f.read().splitlines() if "/velorin" in name]
        self.assertEqual(len(made), 8, made)
        for name in made:
            self.assertRegex(name, r"^/tmp/velorin[A-Za-z0-9]{6}$")
            self.assertFalse(os.path.exists(name), name)
        self.assertFalse(os.path.exists(os.path.join(self.root, "missing")))

    def test_no_directory_takes_a_temporary_file(self):
        # Even -v needs the section files: without any place for them the run
        # ends at once, naming every directory tried. /tmp is made read-only
        # in a mount namespace of the compiler's own; it stays visible, since
        # the installation under test may itself lie below /tmp.
        if subprocess.run(["unshare", "-rm", "true"], capture_output=True).returncode != 0:
            self.skipTest("no user and mount namespaces here")
        missing = os.path.join(self.root, "missing")
        self.env["TMPDIR"] = missing
        result = subprocess.run(
            ["unshare", "-rm", "sh", "-c", 'mount --bind /tmp /tmp && mount -o remount,bind,ro /tmp && exec "$0" -v',
             VELORIN], env=self.env, stdin=subprocess.DEVNULL, capture_output=True, text=True,
            timeout=60)
        self.assertEqual((result.returncode, result.stdout), (1, ""), result.stderr)
        self.assertEqual(result.stderr,
                         missing + "/velorinXXXXXX: No such file or directory\n"
                         "/tmp/velorinXXXXXX: Read-only file system\n"
                         "Fatal error: fail open file /tmp/velorinXXXXXX\n")

    def test_parse_errors_leave_no_temporary_file(self):
        for text in (INTERFACE.replace("int b);", "int b)"),   # syntax error
                     INTERFACE.replace("int add", "undefined_t add")):
            self.interface(text)
            status, out, err = self.run_velorin(["calc.idl"])
            self.assertEqual(status, 1, err)
            self.assertRegex(err, "(Syntax|Semantic) error: ")
            self.assertNotIn("Compiling version", out)
            self.assertNoTemporaryFiles()

    def test_interrupt_while_preprocessing_leaves_no_temporary_file(self):
        # An interrupt from the terminal reaches the whole process group:
        # the compiler and the preprocessor it waits for.
        # The preprocessor turns into a long sleep; the interrupt is sent once
        # that sleep runs.
        started = os.path.join(self.root, "started")
        self.preprocessor("echo $$ > %s\nexec sleep 30\n" % started)
        proc = subprocess.Popen([VELORIN, "calc.idl"], cwd=self.work, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, start_new_session=True)
        self.addCleanup(self.kill_group, proc)
        deadline = time.time() + 20
        while not self.sleeping(started):
            self.assertLess(time.time(), deadline, "the preprocessor did not start")
            time.sleep(0.02)
        self.assertEqual(len(os.listdir(self.tmp)), 8)
        os.killpg(proc.pid, signal.SIGINT)
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 1, err)
        self.assertNotIn("Compiling version", out)
        self.assertNoTemporaryFiles()
        for name in GENERATED:
            self.assertFalse(os.path.exists(self.in_work(name)), name)

    @staticmethod
    def sleeping(started):
        try:
            with open(started) as f:
                pid = int(f.read())
            with open("/proc/%d/comm" % pid) as f:
                return f.read().strip() == "sleep"
        except (OSError, ValueError):
            return False

    def kill_group(self, proc):
        try:
            os.killpg(proc.pid, signal.SIGKILL)
        except OSError:
            pass
        proc.communicate()


class OutputFiles(CompilerRun):

    def test_header_that_cannot_be_created(self):
        os.mkdir(self.in_work("calc.h"))
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 255, err)
        self.assertTrue(err.endswith("calc.h: Is a directory\n"
                                     "Error: could not create file calc.h for output.\n"), err)
        for name in GENERATED[1:] + ("calc.mak",):
            self.assertFalse(os.path.exists(self.in_work(name)), name)
        self.assertNoTemporaryFiles()

    def test_client_file_that_cannot_be_created(self):
        os.mkdir(self.in_work("calc_cln.c"))
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 255, err)
        self.assertTrue(err.endswith("calc_cln.c: Is a directory\n"
                                     "Error: could not create file calc_cln.c for output.\n"), err)
        # The files opened before it are there, without their preambles.
        for name in ("calc.h", "calc_xdr.c", "calc_svc.c"):
            self.assertEqual(os.path.getsize(self.in_work(name)), 0, name)
        for name in ("calcClient.hpp", "calcClient.cpp", "calc_impl_tmp.c"):
            self.assertFalse(os.path.exists(self.in_work(name)), name)
        self.assertNoTemporaryFiles()

    def test_template_that_cannot_be_created(self):
        os.mkdir(self.in_work("calc_impl_tmp.c"))
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 0, err)
        self.assertIn("calc_impl_tmp.c: Is a directory\n", err)
        self.assertNotIn("Error", err)
        self.assertIn("Files calc.h calc_svc.c calc_xdr.c calc_cln.c have been generated!\n", out)
        self.assertNotIn("Template server implementation file", out)
        for name in GENERATED[:-1]:
            self.assertGreater(os.path.getsize(self.in_work(name)), 0, name)
        with open(self.in_work("calc.h")) as f:
            header = f.read()
        self.assertIn("#include <string.h>\ntypedef int calc_extra;\n#ifdef __cplusplus\n",
                      header)
        self.assertNoTemporaryFiles()


if __name__ == "__main__":
    unittest.main()
