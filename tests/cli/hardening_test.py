# SPDX-License-Identifier: MIT
"""quelvane-cli against someone else on the same machine: links and special
files that a second account (nobody) plants at its outputs, signals in the
middle of a command, and the start-up sweep beside folders that only look
like its own.

Run by ctest with QUELVANE_CLI set; the planted links need root (to act as
nobody through setpriv).
"""
import glob
import os
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
        """An encryption of a large text, caught while its temporary files exist."""
        size = 64 << 20
        for _ in range(4):  # a bigger text when the command ended before it was caught
            with open(self.path("big.txt"), "wb") as f:
                f.write((b"a line of plaintext to encrypt\n" * (size // 31 + 1))[:size])
            proc = subprocess.Popen([CLI, "encrypt", "--password-file", self.key, "--output", "out.QvH", "big.txt"],
                                    cwd=self.dir, env=self.env, stderr=subprocess.DEVNULL, start_new_session=True)
            deadline = time.monotonic() + 60
            while proc.poll() is None and not self.leftovers() and time.monotonic() < deadline:
                time.sleep(0.001)
            if proc.poll() is None:
                return proc
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


if __name__ == "__main__":
    unittest.main()
