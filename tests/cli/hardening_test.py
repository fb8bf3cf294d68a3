# SPDX-License-Identifier: MIT
"""quelvane-cli against someone else on the same machine: links and special
files that a second account (nobody) plants at its outputs, signals in the
middle of a command, and the start-up sweep beside folders that only look
like its own.

Run by ctest with QUELVANE_CLI set; the planted links need root (to act as
nobody through setpriv).
"""
import glob
import hashlib
import os
import re
import select
import shutil
import signal
import stat
import subprocess
import tempfile
import time
import unittest

CLI = os.environ.get("QUELVANE_CLI", "")
SETPRIV = shutil.which("setpriv")
NOBODY = 65534


class Case(unittest.TestCase):
    def setUp(self):
        if not CLI:
            self.skipTest("QUELVANE_CLI is not set")
        self.dir = tempfile.mkdtemp(prefix="quelvane-hardening-")
        os.chmod(self.dir, 0o755)
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.run_dir = self.mkdir("run", 0o700)
        self.tmp_dir = self.mkdir("tmp", 0o700)
        self.env = dict(os.environ, XDG_RUNTIME_DIR=self.run_dir, TMPDIR=self.tmp_dir)
        self.key = self.write("key.QvP", b"correct horse")
        self.write("t.txt", b"the secret text\n")

    def path(self, name):
        return os.path.join(self.dir, name)

    def mkdir(self, name, mode):
        os.mkdir(self.path(name))
        os.chmod(self.path(name), mode)
        return self.path(name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def cli(self, *args, status=0):
        done = subprocess.run([CLI, *args], capture_output=True, cwd=self.dir, env=self.env, timeout=120,
                              start_new_session=True)
        if status is not None:
            self.assertEqual(done.returncode, status, done.stderr.decode(errors="replace"))
        return done.stdout, done.stderr.decode(errors="replace")

    def hex_file(self):
        self.cli("encrypt", "--password-file", self.key, "--output", "t.QvH", "t.txt")
        return self.path("t.QvH")

    def commands(self, output, *extra):
        """Every command writing to output."""
        hex_file = self.path("t.QvH") if os.path.exists(self.path("t.QvH")) else self.hex_file()
        return [("encrypt", "--password-file", self.key, "--output", output, *extra, "t.txt"),
                ("decrypt", "--password-file", self.key, "--output", output, *extra, hex_file),
                ("generate", "--output", output, *extra)]


class PlantedLinks(Case):
    def setUp(self):
        super().setUp()
        if os.getuid() != 0 or not SETPRIV:
            self.skipTest("needs root and setpriv to act as a second account")
        self.shared = self.mkdir("shared", 0o1777)  # as /tmp is
        self.theirs = self.mkdir("theirs", 0o777)
        os.chown(self.theirs, NOBODY, NOBODY)

    def as_nobody(self, *command):
        subprocess.run([SETPRIV, f"--reuid={NOBODY}", f"--regid={NOBODY}", "--clear-groups", *command], check=True)

    def test_a_planted_link_gets_nothing_even_with_force(self):
        bait = os.path.join(self.theirs, "r.TxT")
        link = os.path.join(self.shared, "report.TxT")
        self.as_nobody("sh", "-c", f'touch "{bait}" && chmod 666 "{bait}" && ln -s "{bait}" "{link}"')
        for extra in ((), ("--force",)):
            for args in self.commands(link, *extra):
                with self.subTest(args=args):
                    _, err = self.cli(*args, status=1)
                    self.assertIn(link, err)
                    self.assertTrue(os.path.islink(link))
                    self.assertEqual(os.path.getsize(bait), 0, "the decrypted text reached their file")

    def test_a_dangling_link_makes_no_file_in_their_folder(self):
        made = os.path.join(self.theirs, "new.TxT")
        link = os.path.join(self.shared, "new.TxT")
        self.as_nobody("ln", "-s", made, link)
        for args in self.commands(link):
            with self.subTest(args=args):
                _, err = self.cli(*args, status=1)
                self.assertIn(link, err)
                self.assertFalse(os.path.lexists(made))
        self.assertEqual(os.listdir(self.shared), ["new.TxT"])


class SpecialFiles(Case):
    def test_pipes_and_devices_are_never_replaced(self):
        fifo = self.path("fifo")
        os.mkfifo(fifo)
        targets = [fifo]
        if os.getuid() == 0:
            os.mknod(self.path("null"), 0o666 | stat.S_IFCHR, os.makedev(1, 3))
            targets.append(self.path("null"))
        reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)  # a writer would not block but show up here
        self.addCleanup(os.close, reader)
        for target in targets:
            before = os.lstat(target)
            for args in self.commands(target, "--force"):
                with self.subTest(args=args):
                    self.cli(*args, status=1)
                    after = os.lstat(target)
                    self.assertEqual((after.st_ino, after.st_mode, after.st_rdev),
                                     (before.st_ino, before.st_mode, before.st_rdev))
        self.assertEqual(os.read(reader, 1), b"")
        self.assertEqual(sorted(os.listdir(self.dir)), sorted(["fifo", "key.QvP", "run", "t.QvH", "t.txt", "tmp"] +
                                                            (["null"] if len(targets) > 1 else [])))


class Signals(Case):
    def leftovers(self):
        """Temporary files of a command: in the run's folder (less its mark) or beside the output."""
        inside = [p for p in glob.glob(os.path.join(self.run_dir, "Quelvane-*", "*"))
                  if not p.endswith("/Quelvane.lock")]
        return inside + glob.glob(self.path("out.QvH.*"))

    def caught(self):
        """An encryption of a large text from a pipe, caught while the kept text exists (a file read where it
        is, and the output, which has no name until it is complete, leave no name to catch it by)."""
        size = 64 << 20
        for _ in range(4):  # a bigger text when the command ended before it was caught
            with open(self.path("big.txt"), "wb") as f:
                f.write((b"a line of plaintext to encrypt\n" * (size // 31 + 1))[:size])
            feeder = subprocess.Popen(["cat", self.path("big.txt")], stdout=subprocess.PIPE)
            self.addCleanup(feeder.wait, 60)
            proc = subprocess.Popen([CLI, "encrypt", "--password-file", self.key, "--output", "out.QvH"],
                                    stdin=feeder.stdout, cwd=self.dir, env=self.env, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
            feeder.stdout.close()
            deadline = time.monotonic() + 60
            while proc.poll() is None and not self.leftovers() and time.monotonic() < deadline:
                time.sleep(0.001)
            if proc.poll() is None and self.leftovers():
                return proc
            proc.wait(timeout=60)
            if os.path.exists(self.path("out.QvH")):
                os.remove(self.path("out.QvH"))
            size *= 2
        self.skipTest("every command ended before it could be caught")

    def test_int_term_and_hup_remove_the_temporary_files(self):
        for sig in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP):
            with self.subTest(signal=sig.name):
                proc = self.caught()
                proc.send_signal(sig)
                self.assertEqual(proc.wait(timeout=60), -sig)
                self.assertEqual(self.leftovers(), [])
                self.assertEqual(glob.glob(os.path.join(self.run_dir, "Quelvane-*")), [])

    def test_a_start_removes_only_what_killed_runs_left(self):
        look_alikes = ["quelvane-master", "Quelvane-backup", "QUELVANE-ABCDEF", "Quelvane-abc123"]
        for place in (self.run_dir, self.tmp_dir):
            for name in look_alikes:
                os.mkdir(os.path.join(place, name))
                with open(os.path.join(place, name, "notes.txt"), "w") as f:
                    f.write("the user's own")
        proc = self.caught()
        proc.kill()  # no handler runs: its folder stays, for the next start
        proc.wait(timeout=60)
        abandoned = [p for p in glob.glob(os.path.join(self.run_dir, "Quelvane-*"))
                     if os.path.exists(os.path.join(p, "Quelvane.lock"))]
        self.cli("--version")
        for place in (self.run_dir, self.tmp_dir):
            for name in look_alikes:
                self.assertTrue(os.path.exists(os.path.join(place, name, "notes.txt")), name)
        for folder in abandoned:
            self.assertFalse(os.path.exists(folder))


class PasswordFiles(Case):
    def test_a_line_break_at_the_end_is_told(self):
        self.write("nl.QvP", b"correct horse\n")
        _, err = self.cli("encrypt", "--password-file", "nl.QvP", "--output", "t.QvH", "t.txt")
        self.assertIn("nl.QvP ends with a line break, which is part of the password", err)
        _, err = self.cli("decrypt", "--password-file", self.key, "t.QvH", status=1)  # the break was in the key
        self.assertIn("wrong password", err)
        self.cli("encrypt", "--password-file", self.key, "--output", "k.QvH", "t.txt")
        _, err = self.cli("decrypt", "--password-file", self.key, "k.QvH")
        self.assertEqual(err, "")


class DamagedText(Case):
    def test_a_marked_text_changed_in_one_digit_is_damage(self):
        # The snowman makes the payload marked UTF-8; the rest is ASCII, so a
        # flipped top bit in it is a lead byte before an "a": never UTF-8.
        self.write("u.txt", "\u2603".encode() + b"a" * 4000)
        self.cli("encrypt", "--password-file", self.key, "--output", "u.QvH", "u.txt")
        with open(self.path("u.QvH"), "rb") as f:
            digits = bytearray(b"".join(f.read().split()))
        at = 2 * 1600  # the high digit of a byte in the middle
        digits[at] = ord("%X" % (int(chr(digits[at]), 16) ^ 8))
        self.write("bad.QvH", bytes(digits))
        for target in (["--output", "bad.txt"], []):
            out, err = self.cli("decrypt", "--password-file", self.key, *target, "bad.QvH", status=1)
            self.assertIn("damaged", err)
            self.assertEqual(out, b"")
        self.assertFalse(os.path.exists(self.path("bad.txt")))


def files_of(folder):
    """Every file below folder with a digest of its bytes."""
    found = {}
    for root, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(root, name)
            if os.path.isfile(path) and not os.path.islink(path):
                with open(path, "rb") as f:
                    found[os.path.relpath(path, folder)] = hashlib.sha256(f.read()).hexdigest()
    return found


class SameFiles(Case):
    def test_an_output_that_is_an_input_is_refused_before_any_work(self):
        self.write("notes", b"the new notes\n")
        self.cli("encrypt", "--password-file", self.key, "--output", "notes.QvH", "t.txt")  # older notes.QvH
        self.cli("encrypt", "--password-file", self.key, "--output", "a.QvH", "t.txt")
        self.cli("encrypt", "--password-file", self.key, "--output", "a.TxT", "t.txt")  # a ciphertext too
        os.link(self.path("t.txt"), self.path("hard.txt"))
        os.mkdir(self.path("sub"))
        key = ("--password-file", self.key, "--force")
        for args, stdin, target, input_name in [
            (("encrypt", *key, "--output-dir", ".", "notes", "notes.QvH"), None, "notes.QvH", "notes.QvH"),
            (("encrypt", *key, "--output", "t.txt", "t.txt"), None, "t.txt", "t.txt"),
            (("encrypt", *key, "--output", "sub/../t.txt", "t.txt"), None, "sub/../t.txt", "t.txt"),
            (("encrypt", *key, "--output", "hard.txt", "t.txt"), None, "hard.txt", "t.txt"),
            (("encrypt", *key, "--output", "t.txt"), "t.txt", "t.txt", "standard input"),
            (("decrypt", *key, "--output", "a.QvH", "a.QvH"), None, "a.QvH", "a.QvH"),
            (("decrypt", *key, "--output-dir", ".", "a.QvH", "a.TxT"), None, "a.TxT", "a.TxT"),
            (("encrypt", *key, "--output", self.key, "t.txt"), None, self.key, self.key + ", the password file"),
            (("decrypt", "--password-file", "-", "--force", "--output", "key.QvP", "a.QvH"), "key.QvP", "key.QvP",
             "standard input, the password file"),
        ]:
            with self.subTest(args=args):
                before = files_of(self.dir)
                with open(self.path(stdin) if stdin else os.devnull, "rb") as f:
                    done = subprocess.run([CLI, *args], stdin=f, capture_output=True, cwd=self.dir, env=self.env,
                                          timeout=120)
                err = done.stderr.decode()
                self.assertEqual(done.returncode, 1, err)
                self.assertRegex(err, r"%s would replace %s(, an INPUT)?" % (re.escape(target), re.escape(input_name)))
                self.assertEqual(files_of(self.dir), before)
                self.assertEqual(done.stdout, b"")


class Keeping(Case):
    """Standard input kept only as far as the command can use it."""

    def keep(self, args, feed, runtime):
        env = dict(self.env, XDG_RUNTIME_DIR=runtime)
        feeder = subprocess.Popen(["sh", "-c", feed], stdout=subprocess.PIPE, cwd=self.dir)
        done = subprocess.run([CLI, *args], stdin=feeder.stdout, capture_output=True, env=env, cwd=self.dir,
                              timeout=240)
        feeder.stdout.close()
        feeder.wait(timeout=60)  # it stops too: its reader is gone
        return done.returncode, done.stdout, done.stderr.decode()

    def test_the_keeping_stops_past_what_a_frame_holds(self):
        shm = tempfile.mkdtemp(prefix="quelvane-keeping-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
        self.addCleanup(shutil.rmtree, shm, True)
        os.chmod(shm, 0o700)
        largest_payload = 2**31 - 23
        largest_hex = 2 * ((largest_payload + 1 + 12 + 7) // 8 * 8)  # a frame: header, payload, marker, padding
        for args, feed, most in [
            (("encrypt", "--binary"), "yes", largest_payload),
            (("encrypt",), "yes", largest_payload),
            (("decrypt",), "yes 0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF0123456789ABCDEF",
             largest_hex * 33 // 32),
        ]:
            with self.subTest(args=args):
                status, out, err = self.keep((*args, "--password-file", self.key), feed, shm)
                self.assertEqual((status, out), (1, b""), err)
                self.assertIn("standard input: it is too large", err)
                stopped = int(re.search(r"reading stopped after (\d+) bytes", err).group(1))
                self.assertGreater(stopped, most)
                self.assertLess(stopped, most + (1 << 20), "it went on reading past the limit")
                self.assertEqual(os.listdir(shm), [])

    def test_a_full_keeping_folder_is_told_and_left_empty(self):
        if os.getuid() != 0:
            self.skipTest("needs root to mount a small folder")
        small = self.mkdir("small", 0o700)
        if subprocess.run(["mount", "-t", "tmpfs", "-o", "size=1m,mode=700", "tmpfs", small],
                          capture_output=True).returncode != 0:
            self.skipTest("cannot mount a small folder here")
        self.addCleanup(subprocess.run, ["umount", "-l", small])
        self.cli("encrypt", "--password-file", self.key, "--format", "age", "--output", "a.age", "t.txt")
        with open(self.path("a.age"), "rb") as f:
            age_head = f.read().split(b"---")[0]
        self.write("age_head", age_head)
        self.write("big.txt", b"a line of the text that is decrypted\n" * 100000)
        self.cli("encrypt", "--password-file", self.key, "--output", "big.QvH", "big.txt")
        self.cli("encrypt", "--password-file", self.key, "--format", "age", "--output", "big.age", "big.txt")
        kept = "Cannot keep standard input in a private temporary folder: there is no room left in " + small
        for args, feed, message in [
            (("encrypt",), "yes", kept),
            (("encrypt", "--format", "age"), "yes", kept),
            (("decrypt",), "cat age_head; yes", kept),  # no frame limit: only the room stops it
            (("decrypt", "big.QvH"), "true", "Cannot hold the result in a private temporary folder: there is no "
                                             "room left in " + small),
            (("decrypt", "big.age"), "true", "Cannot hold the result in a private temporary folder: there is no "
                                             "room left in " + small),
        ]:
            with self.subTest(args=args):
                status, out, err = self.keep((*args, "--password-file", self.key), feed, small)
                self.assertEqual((status, out), (1, b""), err)
                self.assertIn(message, err)
                self.assertEqual(os.listdir(small), [])
        # A full folder of the output itself, for the writers that write the file on threads of their own too.
        for args in [("encrypt", "big.txt"), ("encrypt", "--format", "age", "big.txt"), ("decrypt", "big.age")]:
            with self.subTest(args=args):
                target = os.path.join(small, "out")
                out, err = self.cli(*args, "--password-file", self.key, "--output", target, status=1)
                self.assertIn("Cannot save %s: No space left on device" % target, err)
                self.assertEqual(os.listdir(small), [])


class HeldResults(Case):
    """Standard output gets only what was judged, whatever the input does meanwhile."""

    def test_a_change_after_the_judging_reaches_no_output(self):
        text = b"".join(b"line %07d of the text that is decrypted\n" % i for i in range(200000))  # 8 MB
        self.write("big.txt", text)
        for extra in ((), ("--binary",), ("--format", "age"), ("--format", "age", "--no-armor")):
            with self.subTest(extra=extra):
                self.cli("encrypt", "--password-file", self.key, "--force", "--output", "big.enc", *extra, "big.txt")
                size = os.path.getsize(self.path("big.enc"))
                proc = subprocess.Popen([CLI, "decrypt", "--password-file", self.key,
                                         *(("--binary",) if "--binary" in extra else ()), "big.enc"],
                                        stdout=subprocess.PIPE, stderr=subprocess.PIPE, cwd=self.dir, env=self.env)
                self.addCleanup(lambda p=proc: p.poll() is None and p.kill())
                # Once the first bytes are out, the rest of the file is damaged in place.
                ready, _, _ = select.select([proc.stdout], [], [], 120)
                self.assertTrue(ready, "nothing came out")
                with open(self.path("big.enc"), "r+b") as f:
                    f.seek(size * 3 // 4)
                    middle = f.read(64)
                    f.seek(size * 3 // 4)
                    f.write(bytes(b ^ 0x01 for b in middle))
                out, err = proc.communicate(timeout=120)
                self.assertEqual(proc.returncode, 0, err.decode())
                self.assertEqual(out, text)


class GrowingInput(Case):
    """A file that grows while it is encrypted is not cut to its old size."""

    def test_growth_while_encrypting_writes_nothing(self):
        small = b"a line of the text to encrypt\n" * 1000
        for extra, output, text in [((), "out.enc", small), ((), None, small), (("--binary",), "out.enc", small),
                                    (("--format", "age"), "out.enc", small), (("--format", "age"), None, small),
                                    ((), None, small * 100)]:  # more than standard output holds back
            with self.subTest(extra=extra, output=output, size=len(text)):
                grown = self.write("grows.txt", text)
                proc = subprocess.Popen([CLI, "encrypt", "--password-file", "-", *extra,
                                         *(("--output", output) if output else ()), "grows.txt"],
                                        stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                        cwd=self.dir, env=self.env)
                self.addCleanup(lambda p=proc: p.poll() is None and p.kill())
                # It waits for the password once it opened the file and took its size: then the file grows.
                deadline = time.monotonic() + 60
                while proc.poll() is None and not (self.holds(proc.pid, grown) and self.asleep(proc.pid)):
                    self.assertLess(time.monotonic(), deadline, "the file was never opened")
                    time.sleep(0.001)
                with open(grown, "ab") as f:
                    f.write(b"the part that came later\n")
                out, err = proc.communicate(b"correct horse", timeout=120)
                self.assertEqual(proc.returncode, 1, err.decode())
                self.assertIn("grows.txt: the input grew while it was read (it had %d bytes); nothing was written"
                              % len(text), err.decode())
                if len(text) == len(small):
                    self.assertEqual(out, b"")
                else:  # what went out is no ciphertext that decrypts
                    self.write("part.QvH", out)
                    self.cli("decrypt", "--password-file", self.key, "part.QvH", status=1)
                    os.remove(self.path("part.QvH"))
                self.assertEqual(sorted(os.listdir(self.dir)), ["grows.txt", "key.QvP", "run", "t.txt", "tmp"])

    @staticmethod
    def asleep(pid):
        """Blocked (on the password), not between opening the file and taking its size."""
        try:
            with open("/proc/%d/stat" % pid) as f:
                return f.read().rsplit(")", 1)[1].split()[0] == "S"
        except OSError:
            return False

    @staticmethod
    def holds(pid, path):
        fds = "/proc/%d/fd" % pid
        try:
            return any(os.readlink(os.path.join(fds, fd)) == path for fd in os.listdir(fds))
        except OSError:
            return False


if __name__ == "__main__":
    unittest.main()
