# SPDX-License-Identifier: MIT
"""quelvane-cli upgrade: legacy hex ciphertext files rewritten as age files
beside them, opened again by the real age tool through a pseudo-terminal
(it reads a passphrase nowhere else), or by our own decrypt where it is
missing. What the age file must hold is the text the window's own road
decrypts, as UTF-8 with LF line breaks.

Run by ctest with QUELVANE_CLI, QUELVANE_ROAD and QUELVANE_SOURCE set.
"""
import fcntl
import os
import resource
import select
import shutil
import stat
import subprocess
import termios
import time
import unittest

import cli_test as base
from cli_test import CLI, MARK, WRONG, cp1252_text, file_text, hex_of, reference, reference_cipher

AGE = shutil.which("age")
ARMOR = b"-----BEGIN AGE ENCRYPTED FILE-----\n"
PASSWORD = b"correct horse"


def on_terminal(args, cwd, prompt, answer):
    """Runs args with a pseudo-terminal as its controlling terminal, typing answer
    at each prompt; returns the exit status, standard error and the prompt count."""
    master, slave = os.openpty()

    def controlling_terminal():
        os.setsid()
        fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

    proc = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                            cwd=cwd, preexec_fn=controlling_terminal, pass_fds=(slave,))
    os.close(slave)
    shown, answered = b"", 0
    deadline = time.monotonic() + 120
    try:
        while proc.poll() is None and time.monotonic() < deadline:
            if select.select([master], [], [], 0.1)[0]:
                try:
                    shown += os.read(master, 4096)
                except OSError:  # the terminal's last other end closed
                    break
            if shown.count(prompt) > answered:
                answered += 1
                os.write(master, answer + b"\n")
        _, err = proc.communicate(timeout=120)
    finally:
        os.close(master)
        if proc.poll() is None:
            proc.kill()
    return proc.returncode, err.decode(errors="replace"), answered


def legacy_file(payload, key=PASSWORD):
    """Hex ciphertext of a payload, framed by the reference implementation, not by ours."""
    return hex_of(reference.frame_encrypt(reference_cipher(key), payload + b"\xfe\r\n", 0x1234567, 0x7654321))


class Upgrade(base.Case):
    def upgrade(self, *args, status=0):
        return self.cli("upgrade", "-k", self.key, *args, status=status)

    def opened(self, name):
        """The payload of an age file, as the real age tool gives it."""
        if not AGE:
            return self.cli("decrypt", "-k", self.key, name)[0]
        out = self.path("opened.bin")
        if os.path.exists(out):
            os.remove(out)
        status, err, asked = on_terminal([AGE, "-d", "-o", out, self.path(name)], self.dir, b"passphrase",
                                         PASSWORD)
        self.assertEqual((status, asked), (0, 1), err)
        with open(out, "rb") as f:
            return f.read()

    def names(self):
        return sorted(os.listdir(self.dir))


class RoundTrips(Upgrade):
    def test_the_window_s_text_comes_out_of_age_as_utf8_with_lf(self):
        cases = [  # legacy file, its bytes, what the age file holds
            ("windows.QvH", None, b"caf\xe9 \x80 na\xefve\r\nend \x81 \xfe\r\n"),  # encrypted from this file
            ("utf8.QvH", None, "Gr\u00fc\u00dfe \u20ac\r\nlone\rcr and lf\n\u4e16".encode()),
            ("cp1252.qvh", legacy_file(b"na\xefve \x80\r\nline\rcr\nlf \x9d"), None),  # an older copy's payload
            ("marked.hex", legacy_file(MARK + "\u041f\u0440\u0438\r\n\U0001F600".encode()), None),
        ]
        written = {}
        for name, data, text in cases:
            if data is None:
                self.write("text.txt", text)
                data = self.cli("encrypt", "-k", self.key, "text.txt")[0].strip()
            written[name] = self.write(name, data) and data
        self.upgrade(*[name for name, _, _ in cases])
        targets = {"windows.QvH": "windows.age", "utf8.QvH": "utf8.age", "cp1252.qvh": "cp1252.age",
                   "marked.hex": "marked.hex.age"}
        for name, data in written.items():
            with self.subTest(name):
                target = targets[name]
                self.assertTrue(self.read(target).startswith(ARMOR))
                self.assertEqual(stat.S_IMODE(os.stat(self.path(target)).st_mode), 0o600)
                self.assertEqual(self.read(name), data)  # kept as it was
                # The window's own road decrypts the text; the age file holds it as UTF-8 with LF.
                expected = file_text(self.road("decrypt", self.key, name)).encode()
                self.assertEqual(self.opened(target), expected)
        self.assertEqual(self.opened("cp1252.age"), cp1252_text(b"na\xefve \x80\nline\ncr\nlf \x9d").encode())

    def test_the_password_is_asked_once_for_all_files(self):
        for name in ("a.QvH", "b.QvH"):
            self.write(name, legacy_file(name.encode()))
        status, err, asked = on_terminal([CLI, "upgrade", "a.QvH", "b.QvH"], self.dir, b"Password: ", PASSWORD)
        self.assertEqual((status, asked), (0, 1), err)
        for name in ("a", "b"):
            self.assertEqual(self.cli("decrypt", "-k", self.key, name + ".age")[0], (name + ".QvH").encode())


class Refusals(Upgrade):
    def test_an_existing_age_file_is_replaced_only_with_force(self):
        self.write("n.QvH", legacy_file(b"new text"))
        self.write("n.age", b"someone's own file")
        os.chmod(self.path("n.age"), 0o640)
        _, err = self.upgrade("n.QvH", status=1)
        self.assertIn("n.age exists; --force replaces it", err)
        self.assertEqual(self.read("n.age"), b"someone's own file")
        self.upgrade("--force", "n.QvH")
        self.assertEqual(self.opened("n.age"), b"new text")
        self.assertEqual(stat.S_IMODE(os.stat(self.path("n.age")).st_mode), 0o640)  # the writer's rule

    def test_what_cannot_be_upgraded_leaves_nothing(self):
        self.write("t.txt", b"some text\n")
        self.cli("encrypt", "--format", "age", "-k", self.key, "-o", "already.age", "t.txt")
        self.write("wrong.QvP", b"not it")
        for name, data, message, password in [
            ("locked.QvH", legacy_file(b"text"), WRONG, "wrong.QvP"),
            ("damaged.QvH", legacy_file(b"some longer text")[:-16], WRONG, None),
            ("nul.QvH", legacy_file(b"bytes \x00 of an image"), "the decrypted bytes hold a NUL byte", None),
            ("mark-no-utf8.QvH", legacy_file(MARK + b"\xe9 not UTF-8"), "damaged ciphertext", None),
            ("empty.QvH", b"", "the input is empty", None),
            ("plain.QvH", b"a text, no ciphertext at all\n" * 3, "not Quelvane ciphertext", None),
            ("already.age", None, "it is an age file already", None),
        ]:
            with self.subTest(name):
                if data is not None:
                    self.write(name, data)
                before = self.names()
                key = self.path(password) if password else self.key
                _, err = self.cli("upgrade", "-k", key, name, status=1)
                self.assertIn(name + ": " + message, err)
                self.assertEqual(self.names(), before)  # no age file, no fresh file left either

    def test_usage_errors(self):
        for args, message in [
            ((), "upgrade needs one FILE.QvH at least"),
            (("-",), "standard input has no name"),
            (("-o", "x.age", "a.QvH"), "upgrade takes no -o"),
            (("--binary", "a.QvH"), "upgrade takes no --binary"),
            (("--output-dir", "d", "a.QvH"), "upgrade takes no --output-dir"),
        ]:
            with self.subTest(args=args):
                self.failure("upgrade", *args, message=message, status=2)
        out = b" ".join(self.cli("upgrade", "--help")[0].split())
        self.assertIn(b"FILE.QvH becomes FILE.age", out)
        self.assertIn(b"--password-file", out)
        self.assertNotIn(b"--output", out)
        self.assertIn(b"quelvane-cli upgrade [-k FILE]", self.cli("--help")[0])


class Batch(Upgrade):
    def test_one_failing_file_stops_none_of_the_others(self):
        os.mkdir(self.path("sub"))
        self.write("a.QvH", legacy_file(b"alpha"))
        self.write("sub/b.QvH", legacy_file(b"beta\r\n"))
        self.write("c.QvH", legacy_file(b"gamma")[:-16])
        self.write("c.age", b"")  # refused, and it does not stop the ones after it
        self.write("d.QvH", legacy_file(b"delta"))
        self.write("e\x1b[2J.QvH", b"no ciphertext, and a name that would clear the terminal\n")
        _, err = self.upgrade("a.QvH", "missing.QvH", "sub/b.QvH", "c.QvH", "d.QvH", "a.qvh", "e\x1b[2J.QvH",
                              status=1)
        self.assertIn("e\\x1B[2J.QvH: not Quelvane ciphertext", err)
        self.assertNotIn("\x1b", err)
        self.assertIn("Cannot read missing.QvH", err)
        self.assertIn("c.QvH: c.age exists", err)
        self.assertIn("a.qvh: another INPUT of this run goes to a.age already", err)
        self.assertEqual(self.read("c.age"), b"")
        self.assertFalse(os.path.exists(self.path("missing.age")))
        for name, text in [("a.age", b"alpha"), ("sub/b.age", b"beta\n"), ("d.age", b"delta")]:
            with self.subTest(name):
                self.assertEqual(self.opened(name), text)


class Memory(Upgrade):
    def peak_kib(self, *args):
        """The peak resident memory of one run, in KiB."""
        proc = subprocess.Popen([CLI, *args], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, cwd=self.dir, start_new_session=True)
        _, status, usage = os.wait4(proc.pid, 0)
        self.assertEqual(os.waitstatus_to_exitcode(status), 0, proc.stderr.read().decode(errors="replace"))
        proc.stderr.close()
        proc.returncode = 0
        return usage.ru_maxrss

    def test_a_large_file_takes_no_more_memory_than_a_small_one(self):
        line = "a line of the text, caf\u00e9 \u20ac\r\n".encode()
        self.write("large.txt", line * (48 * base.MIB // len(line)))
        self.write("small.txt", line)
        for name in ("large", "small"):
            self.cli("encrypt", "-k", self.key, "-o", name + ".QvH", name + ".txt")
        small = self.peak_kib("upgrade", "-k", self.key, "small.QvH")
        large = self.peak_kib("upgrade", "-k", self.key, "large.QvH")
        self.assertLess(large - small, 24 * 1024, f"{small} KiB for a line, {large} KiB for 48 MiB")
        self.assertEqual(self.cli("decrypt", "-k", self.key, "large.age")[0],
                         self.read("large.txt").replace(b"\r\n", b"\n"))

    def test_no_password_and_no_text_left_behind(self):
        self.write("pw.QvP", "Zq7 a unique p\u00e4ssword".encode("cp1252"))
        text = "a unique plaintext line, caf\u00e9\r\n" * 50 + "and the very last words Qx\r\n"
        self.write("t.QvH", legacy_file(text.encode("cp1252"), key=self.read("pw.QvP")))
        secrets = [b"unique p\xe4ssword", "unique p\u00e4ssword".encode(), "unique p\u00e4ssword".encode("utf-16-le"),
                   b"unique plaintext", "unique plaintext".encode("utf-16-le"), b"very last words Qx",
                   "caf\u00e9\nand the".encode()]
        found = base.Memory.left_in_memory(self, secrets, "upgrade", "--password-file", "pw.QvP", "t.QvH")
        self.assertEqual(found, [])
        self.assertTrue(self.read("t.age").startswith(ARMOR))

del Upgrade  # the groups above are the tests
if __name__ == "__main__":
    unittest.main()
