#!/usr/bin/env python3
"""The installed compiler run as a user runs it: command line, messages with
their stream and exit status, configuration files, finding the installation,
the interactive setup at a terminal, signals and temporary files.

Every test runs in a private directory with its own HOME and TMPDIR and
without configuration variables in the environment.

Usage: cli_test.py [unittest arguments], with VELORIN_TEST_PREFIX set to an
installation tree.
"""

import os
import pty
import select
import shutil
import signal
import stat
import subprocess
import sys
import termios
import time
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import compiler_run  # noqa: E402
from compiler_run import PREFIX, VELORIN, write  # noqa: E402

CRUCIAL_FILES = ("lib/libvlrpc.a", "include/velorin.h", "data/makefile.tml", "bin/Velorin")

# A valid interface: the tests hold whether or not a program is generated.
INTERFACE = """\
program calc {
\tversion calc_v {
\t\tint add(in int a, in int b);
\t} = 1;
} = 536871001;
"""

SETUP_DIR_PROMPT = "\nPlease enter the full path of the Velorin installation directory:\n==> "
SETUP_CPP_PROMPT = ("\nPlease tell us the CPP command to be used. This is usually /lib/cpp.\n"
                    "'cc -E ' may not work, since it may require the input to have *.h or "
                    "*.c suffix.\n==> ")


def usage(program):
    return "Usage: " + program + " [-h] -[-v] [-I path] [-D macro] filename.\n"


class CompilerRun(compiler_run.CompilerRun):
    """The scratch area with calc.idl in work/, and helper preprocessor
    scripts."""

    scratch_prefix = "velorin_cli."

    def setUp(self):
        super().setUp()
        write(os.path.join(self.work, "calc.idl"), INTERFACE)

    def script(self, name, body):
        """An executable shell script in the scratch area."""
        path = self.path(name)
        write(path, "#!/bin/sh\n" + body, 0o755)
        return path

    def private_install(self, name="inst", init=None):
        """A copy of the installation tree, with its own Velorin.init."""
        inst = self.path(name)
        for entry in CRUCIAL_FILES:
            os.makedirs(os.path.dirname(os.path.join(inst, entry)), exist_ok=True)
            shutil.copy2(os.path.join(PREFIX, entry), os.path.join(inst, entry))
        if init is not None:
            write(os.path.join(inst, "Velorin.init"), init)
        return inst

    def lonely_copy(self):
        """The compiler alone, in a directory that is no installation."""
        bindir = self.path("lonely", "bin")
        os.makedirs(bindir)
        shutil.copy2(VELORIN, bindir)
        return os.path.join(bindir, "Velorin")

    def recording_cpp(self):
        """A preprocessor that writes each argument on a line of its own into
        args.txt and then runs the real one."""
        self.args_file = self.path("args.txt")
        return self.script("rec-cpp", 'for a in "$@"; do printf "%%s\\n" "$a"; done > %s\n'
                                      'exec /lib/cpp "$@"\n' % self.args_file)

    def recorded_args(self):
        with open(self.args_file) as f:
            return f.read().splitlines()

    def preprocessing_text(self, command):
        return "Preprocessing ... \n\t" + command + "\n"


class Options(CompilerRun):

    def test_version_ends_the_run(self):
        for args, before in (
                (["-v"], ""),
                (["-v", "-x", "missing.idl"], ""),          # nothing after -v is looked at
                (["-h", "-v", "calc.idl"], usage(VELORIN)),  # options before it take effect
        ):
            status, out, err = self.run_velorin(args)
            self.assertEqual(status, 0, args)
            self.assertEqual(out, "")
            self.assertTrue(err.startswith(before + "Velorin V1.6 RkWp! system: Linux\n"), err)
            notice = err[len(before):].split("\n")
            self.assertEqual(len(notice), 4, err)           # version, two lines, final newline
            self.assertTrue(notice[1] and notice[2] and notice[3] == "", err)
            self.assertNotIn("Compiling", err)
            self.assertNoTemporaryFiles()

    def test_bad_command_lines(self):
        missing = "Missing input file name.\n"
        for args, diagnostic, tail in (
                (["-t", "calc.idl"], None, usage(VELORIN)),
                (["-x", "calc.idl"], "invalid option -- 'x'", usage(VELORIN)),
                (["calc.idl", "-I"], "option requires an argument -- 'I'", usage(VELORIN)),
                (["-D"], "option requires an argument -- 'D'", usage(VELORIN)),
                ([], None, missing),
                (["-h"], None, usage(VELORIN) + missing),
                (["-I", "inc"], None, missing),
        ):
            status, out, err = self.run_velorin(args)
            self.assertEqual(status, 1, args)
            self.assertEqual(out, "", args)
            self.assertTrue(err.endswith(tail), (args, err))
            head = err[:len(err) - len(tail)]
            if diagnostic is None:
                self.assertEqual(head, "", args)
            else:
                self.assertIn(diagnostic, head, args)
            self.assertNoTemporaryFiles()

    def test_help_with_a_file_compiles_it(self):
        status, out, err = self.run_velorin(["-h", "calc.idl"])
        self.assertEqual(status, 0, err)
        self.assertTrue(err.startswith(usage(VELORIN) + "Compiling calc.idl\n"), err)
        self.assertTrue(out.startswith(self.preprocessing_text(
            "/lib/cpp  -DVELORIN_COMPILE calc.idl")), out)
        self.assertNoTemporaryFiles()

    def test_preprocessor_command(self):
        self.env["CPP"] = cpp = self.recording_cpp()
        os.mkdir(os.path.join(self.work, "inc"))
        status, out, err = self.run_velorin(
            ["-I", "inc", "-D", "A=1", "calc.idl", "-D", "B"])
        self.assertEqual(status, 0, err)
        self.assertTrue(err.startswith("Compiling calc.idl\n"), err)
        self.assertTrue(out.startswith(self.preprocessing_text(
            cpp + "  -Iinc -DVELORIN_COMPILE -DA=1 -DB calc.idl")), out)
        self.assertEqual(self.recorded_args(),
                         ["-Iinc", "-DVELORIN_COMPILE", "-DA=1", "-DB", "calc.idl"])
        self.assertNoTemporaryFiles()

    def test_names_the_shell_would_change_are_quoted(self):
        self.env["CPP"] = cpp = self.recording_cpp()
        name = "a b;touch pwned;$(touch pwned2)'x.idl"
        include = "my inc $HOME"
        write(os.path.join(self.work, name), '#include "defs.h"\n' + INTERFACE)
        os.mkdir(os.path.join(self.work, include))
        write(os.path.join(self.work, include, "defs.h"), "/* nothing */\n")
        status, out, err = self.run_velorin(["-I", include, name])
        self.assertEqual(status, 0, err)
        self.assertEqual(self.recorded_args(), ["-I" + include, "-DVELORIN_COMPILE", name])
        self.assertTrue(out.startswith(self.preprocessing_text(
            cpp + "  -I'my inc $HOME' -DVELORIN_COMPILE 'a b;touch pwned;$(touch pwned2)'\\''x.idl'")),
            out)
        self.assertFalse(os.path.exists(os.path.join(self.work, "pwned")))
        self.assertFalse(os.path.exists(os.path.join(self.work, "pwned2")))


class Failures(CompilerRun):

    def test_missing_input_file(self):
        status, out, err = self.run_velorin(["nofile.idl"])
        self.assertEqual((status, out), (1, ""))
        self.assertEqual(err, "Compiling nofile.idl\nInput file nofile.idl does not exist.\n")
        self.assertNoTemporaryFiles()

    def test_failing_preprocessor(self):
        for cpp, code in ((self.script("fail-cpp", "exit 1\n"), 256),
                          (self.path("no-such-cpp"), 127 * 256)):
            self.env["CPP"] = cpp
            status, out, err = self.run_velorin(["calc.idl"])
            self.assertEqual(status, 1)
            self.assertEqual(out, self.preprocessing_text(cpp + "  -DVELORIN_COMPILE calc.idl"))
            self.assertTrue(err.startswith("Compiling calc.idl\n"), err)
            self.assertTrue(err.endswith("Preprocessing failed with error %d.\n" % code), err)
            self.assertNoTemporaryFiles()

    def test_preprocessed_file_cannot_be_opened(self):
        # This preprocessor removes the file its output is redirected to.
        self.env["CPP"] = self.script("unlink-cpp", 'rm -f "$(readlink /proc/$$/fd/1)"\n')
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 1)
        self.assertEqual(err, "Compiling calc.idl\ncan not open calc.idl\n")
        self.assertNoTemporaryFiles()

    def test_procedure_number_wider_than_32_bits(self):
        # The scanner reads the number as the largest 64-bit value; counting
        # on from it must neither overflow nor leave a file behind.
        write(os.path.join(self.work, "wide.idl"),
              "interface wide { int f() = 99999999999999999999; int g(); } = 1;\n")
        status, out, err = self.run_velorin(["wide.idl"])
        self.assertEqual(status, 1, err)     # a version with counted errors fails the run
        self.assertNotIn("runtime error", err)
        self.assertIn("Error:  procedure f has the number 9223372036854775807, more than the 32 "
                      "bits of a call can carry.\n", err)
        self.assertIn("\nError: 1 semantic errors have been found!\n", err)
        for name in ("wide.h", "wide_svc.c", "wide_xdr.c", "wide_cln.c"):
            self.assertFalse(os.path.exists(os.path.join(self.work, name)), name)
        self.assertNoTemporaryFiles()

    def test_successful_run_leaves_no_temporary_file(self):
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual(status, 0, err)
        self.assertTrue(err.startswith("Compiling calc.idl\n"), err)
        self.assertNoTemporaryFiles()


def typedefs(count):
    """An interface that declares `count` typedefs and uses the last one."""
    lines = ["typedef int t%d;" % i for i in range(count)]
    lines.append("interface many { t%d f(in t%d a); } = 1;" % (count - 1, count - 1))
    return "\n".join(lines) + "\n"


# Interfaces whose generated programs would not build, would take the
# user's function for the library's, or would lose what the user wrote:
# (file, text, message on the error stream).
REFUSED = (
    ("libread.idl", "interface lib { int read(in int fd); } = 1;\n",
     "Error:  procedure read is named like read of the C library, POSIX or ONC RPC.\n"),
    ("libclose.idl", "interface lib { int close(in int fd); } = 1;\n",
     "Error:  procedure close is named like close of the C library, POSIX or ONC RPC.\n"),
    ("libremove.idl", "interface lib { int remove(in int k); } = 1;\n",
     "Error:  procedure remove is named like remove of the C library, POSIX or ONC RPC.\n"),
    ("libselect.idl", "interface lib { int select(in int k); } = 1;\n",
     "Error:  procedure select is named like select of the C library, POSIX or ONC RPC.\n"),
    ("prefixed.idl",
     "interface lib { property SERV_CALL_PREFIX = srv_; int read(in int fd); } = 1;\n",
     "Error:  procedure read is named like read of the C library, POSIX or ONC RPC.\n"),
    ("libcall.idl", "interface lib { int clnt(in int k); } = 1;\n",
     "Error:  the server wrapper of procedure clnt is named like clnt_call of the C library, "
     "POSIX or ONC RPC.\n"),
    ("wrap.idl", "interface twice { int f(); int f_wrap(); } = 1;\n",
     "Error:  procedure f_wrap and the call function of procedure f are both named f_wrap.\n"),
    ("count.idl", "typedef int count;\ninterface c { count count(in count n); } = 1;\n",
     "Error:  procedure count and type count are both named count.\n"),
    ("enum.idl", "enum op { GET, PUT };\ninterface e { int get(in enum op o); } = 1;\n",
     "Error:  enumeration constant GET and the number macro of procedure get are both named "
     "GET.\n"),
    ("delete.idl", "interface k { int delete(in int k); } = 1;\n",
     "Error:  procedure delete is named by the C++ keyword delete.\n"),
    ("new.idl", "interface k { int f(in int new); } = 1;\n",
     "Error:  argument new of procedure f is named by the C++ keyword new.\n"),
    ("goto.idl", "interface k { int goto(in int k); } = 1;\n",
     "Error:  procedure goto is named by the C keyword goto.\n"),
    ("restrict.idl", "struct s { int restrict; };\ninterface k { int f(in struct s v); } = 1;\n",
     "Error:  member restrict of struct s is named by the C keyword restrict.\n"),
    ("local.idl", "interface k { int f(in int Input); } = 1;\n",
     "Error:  argument Input of procedure f and the argument record of the client stub are "
     "both named Input.\n"),
    ("member.idl", "struct s { int F; };\ninterface k { int f(in struct s v); } = 1;\n",
     "Error:  member F of struct s and the number macro of procedure f are both named F.\n"),
    ("freeres.idl", "typedef int x_freeres;\ntypedef int x;\n"
                    "interface k { int f(in x a, in x_freeres b); } = 1;\n",
     "Error:  type x_freeres and the free macro of type x are both named x_freeres.\n"),
    ("attribute.idl",
     "struct s { int n; int [size = n, maxsz = 10] v; };\n"
     "interface a { int f(in struct s v); } = 1;\n",
     "Error:  unkonwn array modifier maxsz\n"),
    ("up.idl", "interface up { int P0(in int a) = 1; } = 536871002;\n",
     "Error:  procedure P0 and the number macro of procedure P0 are both named P0.\n"),
    # What C cannot declare: a function returning an array, a void variable.
    ("four.idl", "typedef int four[4];\ninterface four_r { four sum(in int a); } = 1;\n",
     "Error:  procedure sum on line 2 returns the fixed array four: return it through a pointer"
     " (four*) or a struct that holds it.\n"),
    ("tag8.idl", "typedef char tag8[8];\ninterface tag { tag8 name(in int a); } = 1;\n",
     "Error:  procedure name on line 2 returns the fixed array tag8: return it through a pointer"
     " (tag8*) or a struct that holds it.\n"),
    ("voidmember.idl",
     "struct s { int a;\n\tvoid v; };\ninterface vm { int f(in struct s x); } = 1;\n",
     "Error:  member v of struct s on line 2 is void: leave it out, it has nothing to send.\n"),
    ("voidarg.idl", "interface va {\n\tint f(in void v); } = 1;\n",
     "Error:  argument v of f() on line 2 is void: leave it out, a procedure without arguments"
     " is written f().\n"),
    # A bound measured over the array's own data: storage is sized before
    # the data is there, so the generated code would measure a null string.
    ("ownbound.idl",
     "typedef char [size = strlen(*this)] sx;\ninterface ob { int echo(inout sx s); } = 1;\n",
     "Error:  array sx is bounded by its own data: give it a maxsize.\n"),
    ("ownmax.idl",
     "struct s { char [size = strlen(*this), maxsize = strlen(*this)] name; };\n"
     "interface om { int f(out struct s v); } = 1;\n",
     "Error:  array name is bounded by its own data: give it a maxsize.\n"),
)

REFUSED_UP = [text for name, text, message in REFUSED if name == "up.idl"][0]

# Interfaces that must still compile, with names that only resemble the
# library's or the generated ones: (file, text).
ACCEPTED = (
    ("plain.idl", "struct point { int x; int y; };\n"
                  "interface plain { int get(in struct point p); void put(in int value);"
                  " int getQuote(in int count); } = 1;\n"),
    ("alike.idl", "interface alike { int reader(in int fd); int read_block(in int fd);"
                  " int closeAll(); int selectItem(in int index); int Remove(in int size);"
                  " int wrap(); int f_call_count(); } = 1;\n"),
    ("prefix.idl", "interface pre { property SERV_CALL_PREFIX = srv_; int fetch(in int key); }"
                   " = 1;\n"),
    ("many.idl", typedefs(1025)),
    ("alias.idl", "struct s { int a; };\ntypedef struct s s_t;\n"
                  "interface alias { int f(in s_t v); int g(in struct s w); } = 1;\n"),
)


class Interfaces(CompilerRun):
    """What the compiler accepts is what the program gets: an interface whose
    names collide, or that loses what the user wrote, is refused with status 1
    and leaves no header or C file; one with ordinary names gives files that
    compile."""

    def generated(self, base):
        return [name for name in (base + ".h", base + "_svc.c", base + "_xdr.c", base + "_cln.c")
                if os.path.exists(os.path.join(self.work, name))]

    def test_refused(self):
        for name, text, message in REFUSED:
            with self.subTest(name):
                write(os.path.join(self.work, name), text)
                before = sorted(os.listdir(self.work))
                status, out, err = self.run_velorin([name])
                self.assertEqual(status, 1, err)
                self.assertIn(message, err)
                # No file of the run is left: neither the C files nor the
                # class, template or makefile.
                self.assertEqual(sorted(os.listdir(self.work)), before)

    def test_refused_run_keeps_what_was_there(self):
        # A makefile the user keeps and the files of an earlier good run
        # stay as they were; what the failed run wrote alone is gone.
        good = "interface up { int put(in int a); } = 536871002;\n"
        write(os.path.join(self.work, "up.idl"), good)
        self.assertEqual(self.run_velorin(["up.idl"])[0], 0)
        write(os.path.join(self.work, "up.mak"), "# kept by hand\n")
        os.remove(os.path.join(self.work, "upClient.cpp"))
        kept = {}
        for entry in os.listdir(self.work):
            with open(os.path.join(self.work, entry), "rb") as f:
                kept[entry] = f.read()
        write(os.path.join(self.work, "up.idl"), REFUSED_UP)
        status, out, err = self.run_velorin(["up.idl"])
        self.assertEqual(status, 1, err)
        self.assertEqual(sorted(os.listdir(self.work)), sorted(kept))
        for entry, content in kept.items():
            if entry != "up.idl":
                with open(os.path.join(self.work, entry), "rb") as f:
                    self.assertEqual(f.read(), content, entry)

    def test_accepted_interfaces_compile(self):
        cc = os.environ.get("VELORIN_TEST_CC") or "cc"
        cxx = os.environ.get("VELORIN_TEST_CXX") or "c++"
        includes = ["-I" + os.path.join(PREFIX, "include"), "-I/usr/include/tirpc", "-I."]
        for name, text in ACCEPTED:
            with self.subTest(name):
                write(os.path.join(self.work, name), text)
                status, out, err = self.run_velorin([name])
                self.assertEqual(status, 0, err)
                self.assertNotIn("Error", err)
                base = text.split("interface ")[1].split()[0]
                self.assertEqual(len(self.generated(base)), 4)
                for compiler, sources in ((cc, [base + "_svc.c", base + "_xdr.c", base + "_cln.c",
                                                base + "_impl_tmp.c"]),
                                          (cxx, [base + "Client.cpp"])):
                    result = subprocess.run([compiler, "-fsyntax-only", "-Wall"] + includes +
                                            sources, cwd=self.work, capture_output=True,
                                            text=True, timeout=120)
                    self.assertEqual(result.returncode, 0, result.stderr)

    def test_unknown_property_warns_in_every_place(self):
        for place in ("property SERVER_PROT = 45123;",
                      "property NON_BLOCKING = true; property SERVER_PROT = 45123;"):
            with self.subTest(place):
                write(os.path.join(self.work, "port.idl"),
                      "interface port { %s int f(); } = 1;\n" % place)
                status, out, err = self.run_velorin(["port.idl"])
                self.assertEqual(status, 0, err)
                self.assertEqual(err.count("Wraning: unknown property SERVER_PROT defined.\n"), 1,
                                 err)

    def test_more_than_one_input_file(self):
        write(os.path.join(self.work, "other.idl"), INTERFACE.replace("calc", "other"))
        status, out, err = self.run_velorin(["calc.idl", "other.idl"])
        self.assertEqual((status, out), (1, ""))
        self.assertEqual(err, "Only one input file can be compiled at a time: calc.idl other.idl.\n")
        self.assertEqual(sorted(os.listdir(self.work)), ["calc.idl", "other.idl"])
        self.assertNoTemporaryFiles()


class Signals(CompilerRun):

    def start_with_slow_preprocessor(self, seconds):
        """Starts a compile whose preprocessor waits; returns the process once
        the preprocessor runs."""
        started = self.path("cpp-started")
        cpp = self.script("slow-cpp", "{ sleep %s & echo $! > %s; wait $!; } 2>/dev/null || exit 1\n"
                                      "exec /lib/cpp \"$@\"\n" % (seconds, started))
        self.env["CPP"] = cpp
        proc = subprocess.Popen([VELORIN, "calc.idl"], cwd=self.work, env=self.env,
                                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        self.addCleanup(self.stop_preprocessor, started)
        deadline = time.time() + 20
        while not (os.path.exists(started) and os.path.getsize(started) > 0):
            self.assertLess(time.time(), deadline, "the preprocessor did not start")
            time.sleep(0.02)
        return proc

    def stop_preprocessor(self, started):
        try:
            with open(started) as f:
                os.kill(int(f.read()), signal.SIGKILL)
        except (OSError, ValueError):
            pass

    def test_terminating_signals_clean_up(self):
        for sig in (signal.SIGTERM, signal.SIGHUP, signal.SIGUSR1):
            proc = self.start_with_slow_preprocessor(30)
            proc.send_signal(sig)
            proc.wait(timeout=20)
            self.stop_preprocessor(self.path("cpp-started"))   # it holds the pipes
            out, err = proc.communicate(timeout=20)
            self.assertEqual(proc.returncode, 1, sig)
            self.assertEqual(err, "Compiling calc.idl\nInterrupted by signal.\n"
                                  "clean up ... exiting\n")
            self.assertNoTemporaryFiles()
            os.remove(self.path("cpp-started"))

    def test_harmless_signals_do_not_abort(self):
        proc = self.start_with_slow_preprocessor(1)
        for sig in (signal.SIGWINCH, signal.SIGURG, signal.SIGCHLD, signal.SIGCONT):
            proc.send_signal(sig)
        out, err = proc.communicate(timeout=30)
        self.assertEqual(proc.returncode, 0, err)
        self.assertNotIn("Interrupted", err)
        self.assertNoTemporaryFiles()


class Configuration(CompilerRun):

    def test_installation_without_its_template(self):
        inst = self.private_install()
        os.remove(os.path.join(inst, "data", "makefile.tml"))
        self.env["VELORIN_HOME"] = inst
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertEqual((status, out), (255, ""))
        self.assertEqual(err, "Could not find file /data/makefile.tml.\n"
                              "Fail to validate integrity of the installation, bail out.\n")
        self.assertNoTemporaryFiles()

    def test_no_installation_and_no_terminal(self):
        # Found through PATH, but not in an installation: no question is asked.
        lonely = self.lonely_copy()
        self.env["PATH"] = os.path.dirname(lonely) + ":/usr/bin:/bin"
        status, out, err = self.run_velorin(["calc.idl"], program=lonely, argv0="Velorin")
        self.assertEqual((status, out), (255, ""))
        self.assertEqual(err, "Could not find file /lib/libvlrpc.a.\n"
                              "Misconfiguration or missing crucial files in installation!\n"
                              "\nError: required configuration VELORIN_HOME not defined.\n")

    def test_per_user_file_hides_the_installation_file(self):
        inst = self.private_install(init="CPP=/no/such/cpp\n")
        program = os.path.join(inst, "bin", "Velorin")
        status, out, err = self.run_velorin(["calc.idl"], program=program)
        self.assertEqual(status, 1)
        self.assertTrue(out.startswith(self.preprocessing_text(
            "/no/such/cpp  -DVELORIN_COMPILE calc.idl")), out)

        # A per-user file without a CPP line: the default, not the
        # installation's file.
        write(os.path.join(self.home, ".velorin"), "ANSI_CC=gcc\n")
        status, out, err = self.run_velorin(["calc.idl"], program=program)
        self.assertEqual(status, 0, err)
        self.assertTrue(out.startswith(self.preprocessing_text(
            "/lib/cpp  -DVELORIN_COMPILE calc.idl")), out)

    def test_per_user_file_and_environment(self):
        cpp = self.recording_cpp()
        write(os.path.join(self.home, ".velorin"), "# mine\n   CPP  =   %s\nCPP=/second\n" % cpp)
        for value in (None, ""):                        # unset, or set but empty
            if value is None:
                self.env.pop("CPP", None)
            else:
                self.env["CPP"] = value
            status, out, err = self.run_velorin(["calc.idl"])
            self.assertEqual(status, 0, err)
            self.assertTrue(out.startswith(self.preprocessing_text(
                cpp + "  -DVELORIN_COMPILE calc.idl")), out)
        self.env["CPP"] = "/from/environment"
        status, out, err = self.run_velorin(["calc.idl"])
        self.assertTrue(out.startswith(self.preprocessing_text(
            "/from/environment  -DVELORIN_COMPILE calc.idl")), out)

    def test_without_home_the_file_is_in_the_working_directory(self):
        cpp = self.recording_cpp()
        write(os.path.join(self.work, ".velorin"), "CPP=%s\n" % cpp)
        for home in (None, ""):
            env = dict(self.env)
            if home is None:
                del env["HOME"]
            else:
                env["HOME"] = home
            status, out, err = self.run_velorin(["calc.idl"], env=env)
            self.assertEqual(status, 0, err)
            self.assertTrue(out.startswith(self.preprocessing_text(
                cpp + "  -DVELORIN_COMPILE calc.idl")), out)

    def test_found_through_links_in_path(self):
        inst = self.private_install()
        links = self.path("links")
        os.mkdir(links)
        os.mkdir(self.path("loop"))
        os.symlink("Velorin", self.path("loop", "Velorin"))     # a cycle: passed over
        os.symlink(os.path.join(inst, "bin", "Velorin"), os.path.join(links, "hop"))
        os.symlink("hop", os.path.join(links, "Velorin"))       # relative, then absolute
        self.env["PATH"] = self.path("loop") + ":" + links + ":/usr/bin:/bin"
        # Without the links being followed, links/ would be taken for bin/.
        status, out, err = self.run_velorin(["calc.idl"], program=os.path.join(links, "Velorin"),
                                            argv0="Velorin")
        self.assertEqual(status, 0, err)
        self.assertEqual(err.split("\n")[0], "Compiling calc.idl")

    def test_started_as_bin_velorin_from_the_installation(self):
        inst = self.private_install()
        status, out, err = self.run_velorin([os.path.join(self.work, "calc.idl")],
                                            program=os.path.join(inst, "bin", "Velorin"),
                                            cwd=inst, argv0="./bin/Velorin")
        self.assertEqual(status, 0, err)
        mak = [f for f in os.listdir(inst) if f.endswith(".mak")]
        for name in mak:   # the makefile names the installation that was found
            with open(os.path.join(inst, name)) as f:
                self.assertIn("VELORIN_HOME=" + os.path.realpath(inst) + "\n", f.read())


class InteractiveSetup(CompilerRun):
    """The setup needs a terminal on standard input: the compiler gets the
    slave side of a pseudo-terminal, its error stream is read through a pipe."""

    def setUp(self):
        super().setUp()
        self.program = self.lonely_copy()    # no VELORIN_HOME can be found
        self.proc = None
        self.addCleanup(self.finish)

    def start(self, env=None):
        master, slave = pty.openpty()
        attributes = termios.tcgetattr(slave)
        attributes[3] &= ~termios.ECHO
        termios.tcsetattr(slave, termios.TCSANOW, attributes)
        self.master = master
        self.proc = subprocess.Popen([self.program, "calc.idl"], cwd=self.work,
                                     env=env or self.env, stdin=slave,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        os.close(slave)
        self.err = b""

    def finish(self):
        if self.proc is None:
            return
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        for stream in (self.proc.stdout, self.proc.stderr):
            stream.close()
        os.close(self.master)
        self.proc = None

    def expect(self, text, timeout=20):
        """Reads the error stream until it ends with text."""
        wanted = text.encode()
        deadline = time.time() + timeout
        while not self.err.endswith(wanted):
            left = deadline - time.time()
            self.assertGreater(left, 0, "waiting for %r, got %r" % (text, self.err))
            ready, _, _ = select.select([self.proc.stderr], [], [], left)
            if ready:
                chunk = os.read(self.proc.stderr.fileno(), 4096)
                self.assertTrue(chunk, "error stream ended; got %r" % self.err)
                self.err += chunk

    def answer(self, text):
        os.write(self.master, text.encode())

    def end(self):
        """Waits for the compiler; returns its status and the rest of both streams."""
        out, err = self.proc.communicate(timeout=30)
        self.err += err
        return self.proc.returncode, out.decode(), self.err.decode()

    def complete_setup(self, env):
        """Runs the setup with valid answers to both questions; returns end()."""
        self.start(env)
        self.expect(SETUP_DIR_PROMPT)
        self.answer(PREFIX + "\n")
        self.expect(SETUP_CPP_PROMPT)
        self.answer("/lib/cpp\n")
        return self.end()

    def user_config(self):
        with open(os.path.join(self.home, ".velorin")) as f:
            return f.read()

    def test_completed_setup_is_appended_and_used_later(self):
        write(os.path.join(self.home, ".velorin"), "# mine\n")
        self.start()
        self.expect(SETUP_DIR_PROMPT)
        self.answer(PREFIX + "   trailing words\n")
        self.expect("checking if executable %s/bin/Velorin exists...\nOK, %s/bin/Velorin was "
                    "found.\n%s" % (PREFIX, PREFIX, SETUP_CPP_PROMPT))
        self.answer("/lib/cpp\n")
        status, out, err = self.end()
        self.assertEqual(status, 0, err)
        self.assertTrue(err.startswith(
            "Could not find file /lib/libvlrpc.a.\n"
            "Misconfiguration or missing crucial files in installation!\n"
            "\nError: required configuration VELORIN_HOME not defined.\n"
            "\nEnter configuration procedure ... \n" + SETUP_DIR_PROMPT), err)
        self.assertIn("Check if CPP works ...\nCompiling calc.idl\n", err)
        self.assertEqual(self.user_config(),
                         "# mine\nVELORIN_HOME=%s\n\nCPP=/lib/cpp\n\n" % PREFIX)
        self.assertNoTemporaryFiles()

        # A later run without a terminal finds both values there.
        status, out, err = self.run_velorin(["calc.idl"], program=self.program)
        self.assertEqual(status, 0, err)
        self.assertEqual(err.split("\n")[0], "Compiling calc.idl")

    def test_setup_keeps_the_values_of_the_installation_file(self):
        # The installation is found but no preprocessor is: the compiler runs
        # in a mount namespace of its own in which /lib/cpp is an empty file.
        if subprocess.run(["unshare", "-rm", "true"], capture_output=True).returncode != 0:
            self.skipTest("no user and mount namespaces here")
        inst = self.private_install(init="# an installation\nANSI_CC=gcc\nSYS_LDFLAGS=-ltirpc -lm\n")
        write(self.path("empty"), "")
        self.program = self.script("velorin-without-cpp",
                                   "exec unshare -rm sh -c 'mount --bind %s /lib/cpp && exec %s \"$@\"' "
                                   "sh \"$@\"\n" % (self.path("empty"), os.path.join(inst, "bin", "Velorin")))
        cpp = self.script("gcc-cpp", 'if [ $# -eq 0 ]; then exec gcc -E -x c -; fi\n'
                                     'exec gcc -E -x c "$@"\n')
        self.start()
        self.expect("Error: configuration CPP not defined.\n\nEnter configuration procedure ... \n"
                    + SETUP_DIR_PROMPT)
        self.answer(inst + "\n")
        self.expect(SETUP_CPP_PROMPT)
        self.answer(cpp + "\n")
        status, out, err = self.end()
        self.assertEqual(status, 0, err)
        self.assertEqual(self.user_config(),
                         "VELORIN_HOME=%s\n\nCPP=%s\n\nANSI_CC=gcc\n\nSYS_LDFLAGS=-ltirpc -lm\n\n"
                         % (inst, cpp))

        # The next run reads the per-user file alone and still has them.
        os.remove(os.path.join(self.work, "calc.mak"))
        status, out, err = self.run_velorin(["calc.idl"], program=os.path.join(inst, "bin", "Velorin"))
        self.assertEqual(status, 0, err)
        with open(os.path.join(self.work, "calc.mak")) as f:
            header = f.read().split("\n")[:6]
        self.assertEqual(header[0], "CC=gcc")
        self.assertEqual(header[4], "SYS_LDFLAGS=-ltirpc -lm")

    def test_bad_answers_ask_again(self):
        self.start()
        self.expect(SETUP_DIR_PROMPT)
        self.answer("\n")                                      # no word at all
        self.expect("checking if executable /bin/Velorin exists...\n"
                    "Fail checking /bin/Velorin\n" + SETUP_DIR_PROMPT)
        self.answer(self.root + "\n")                          # no bin/Velorin there
        self.expect("Fail checking %s/bin/Velorin\n%s" % (self.root, SETUP_DIR_PROMPT))
        long_dir = "/" + "d" * 3000                              # longer than any buffer
        self.answer(long_dir + "\n")
        self.expect("Fail checking %s/bin/Velorin\n%s" % (long_dir, SETUP_DIR_PROMPT))
        self.answer(PREFIX + "\n")
        self.expect(SETUP_CPP_PROMPT)
        self.answer("/bin/false\n")                            # the test finds no OK
        self.expect("Check if CPP works ...\nChecking of CPP failed, repeating setup.\n"
                    + SETUP_DIR_PROMPT)
        # A command that works, but whose configuration line would be too long
        # to be read back.
        self.answer(PREFIX + "\n")
        self.expect(SETUP_CPP_PROMPT)
        self.answer("/lib/cpp" + " " * 1100 + "-P\n")
        self.expect("Check if CPP works ...\nChecking of CPP failed, repeating setup.\n"
                    + SETUP_DIR_PROMPT)
        self.answer(PREFIX + "\n")
        self.expect(SETUP_CPP_PROMPT)
        self.answer("/lib/cpp -P\n")
        status, out, err = self.end()
        self.assertEqual(status, 0, err)
        self.assertEqual(self.user_config(), "VELORIN_HOME=%s\n\nCPP=/lib/cpp -P\n\n" % PREFIX)

    def test_end_of_input_ends_with_status_1(self):
        pwned = self.path("pwned")
        for answers, end_of_input in (
                ([], "\x04"),
                (["/us"], "\x04\x04"),            # the first ^D delivers the half line
                ([PREFIX + "\n"], "\x04"),
                ([PREFIX + "\n", "touch " + pwned], "\x04\x04"),
        ):
            self.start()
            self.expect(SETUP_DIR_PROMPT)
            for a in answers:
                self.answer(a)
                if a.endswith("\n"):
                    self.expect(SETUP_CPP_PROMPT)
            self.answer(end_of_input)
            status, out, err = self.end()
            self.assertEqual(status, 1, (answers, err))
            self.assertNotIn("Check if CPP works", err)    # a half answer is not tried
            self.assertNotIn("Compiling", err)
            self.assertFalse(os.path.exists(os.path.join(self.home, ".velorin")))
            self.assertFalse(os.path.exists(pwned))
            self.assertNoTemporaryFiles()
            self.finish()

    def test_configuration_file_cannot_be_written(self):
        env = dict(self.env, HOME=self.path("no", "such", "home"))
        status, out, err = self.complete_setup(env)
        self.assertEqual(status, 255, err)
        target = self.path("no", "such", "home", ".velorin")
        self.assertTrue(err.endswith("Check if CPP works ...\n%s: No such file or directory\n"
                                     "Fail open file %s for output.\n" % (target, target)), err)
        self.assertNoTemporaryFiles()

    def test_never_writes_into_the_filesystem_root(self):
        # Without HOME the answers go to .velorin in the working directory.
        env = dict(self.env)
        del env["HOME"]
        status, out, err = self.complete_setup(env)
        self.assertEqual(status, 0, err)
        with open(os.path.join(self.work, ".velorin")) as f:
            self.assertEqual(f.read(), "VELORIN_HOME=%s\n\nCPP=/lib/cpp\n\n" % PREFIX)


if __name__ == "__main__":
    unittest.main()
