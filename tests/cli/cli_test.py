# SPDX-License-Identifier: MIT
"""quelvane-cli driven as a user drives it: real files in a temporary folder,
pipes, and a pseudo-terminal for the password prompt. The window's own road
is road_helper (core TextCipher with the window's file loads); the reference
implementation in tools/ checks the ciphertext apart from the C++ code.

Run by ctest with QUELVANE_CLI, QUELVANE_ROAD and QUELVANE_SOURCE set.
"""
import codecs
import fcntl
import os
import random
import re
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import termios
import time
import unittest

CLI = os.environ.get("QUELVANE_CLI", "")
ROAD = os.environ.get("QUELVANE_ROAD", "")
SOURCE = os.environ.get("QUELVANE_SOURCE", os.path.join(os.path.dirname(__file__), "..", ".."))
sys.path.insert(0, os.path.join(SOURCE, "tools"))
import reference_vectors as reference  # noqa: E402

WRONG = "wrong password or damaged ciphertext"


def hex_of(data):
    return data.hex().upper().encode()


def reference_decrypt(key, cipher):
    """The frame's plaintext, decrypted by the reference implementation."""
    c = reference.Cipher()
    c.key(key)
    out, cl, cr = bytearray(), 0, 0
    for o in range(0, len(cipher), 8):
        left, right = int.from_bytes(cipher[o:o + 4], "big"), int.from_bytes(cipher[o + 4:o + 8], "big")
        pl, pr = c.dec(left, right)
        out += (pl ^ cl).to_bytes(4, "big") + (pr ^ cr).to_bytes(4, "big")
        cl, cr = left, right
    return bytes(out)


class Case(unittest.TestCase):
    def setUp(self):
        if not CLI:
            self.skipTest("QUELVANE_CLI is not set")
        self.dir = tempfile.mkdtemp(prefix="quelvane-cli-test-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.key = self.write("key.QvP", b"correct horse")

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        os.makedirs(os.path.dirname(self.path(name)), exist_ok=True)
        with open(self.path(name), "wb") as f:
            f.write(data)
        return self.path(name)

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def cli(self, *args, stdin=b"", status=0, tty=False):
        """Runs the program without a terminal (a new session) unless tty."""
        done = subprocess.run([CLI, *args], input=stdin, capture_output=True, cwd=self.dir,
                              start_new_session=not tty, timeout=120)
        if status is not None:
            self.assertEqual(done.returncode, status, done.stderr.decode(errors="replace"))
        return done.stdout, done.stderr.decode("utf-8", errors="replace")

    def road(self, command, key, name, status=0):
        done = subprocess.run([ROAD, command, key, self.path(name)], capture_output=True, timeout=120)
        self.assertEqual(done.returncode, status, done.stderr.decode(errors="replace"))
        return done.stdout

    def failure(self, *args, stdin=b"", message, status=1):
        out, err = self.cli(*args, stdin=stdin, status=status)
        self.assertEqual(out, b"")
        self.assertIn(message, err)
        return err


TEXTS = {
    "lines.txt": b"first line\nsecond, with a comma\n\"quoted\"\n",
    "windows.TxT": b"caf\xe9 \x80 na\xefve\r\nend \x81 \xfe\r\n",
    "utf8.txt": "Gr\u00fc\u00dfe \u20ac\r\nlone\rcr and lf\n".encode("utf-8"),
    "one.txt": b"x",
    "bom.txt": b"\xef\xbb\xbfmarked \xe2\x80\x9cquotes\xe2\x80\x9d",
}
LANGUAGES = {name: text.encode() for name, text in {
    "russian.txt": "\u041f\u0440\u0438\u0432\u0435\u0442, \u043c\u0438\u0440\n\u0421\u044a\u0435\u0448\u044c \u0436\u0435 \u0435\u0449\u0451\n",
    "greek.txt": "\u039a\u03b1\u03bb\u03b7\u03bc\u03ad\u03c1\u03b1 \u03ba\u03cc\u03c3\u03bc\u03b5\n",
    "chinese.txt": "\u4f60\u597d\uff0c\u4e16\u754c\n\u4e2d\u6587\u6d4b\u8bd5",
    "arabic.txt": "\u0645\u0631\u062d\u0628\u0627 \u0628\u0627\u0644\u0639\u0627\u0644\u0645 123\n",
    "hindi.txt": "\u0928\u092e\u0938\u094d\u0924\u0947 \u0926\u0941\u0928\u093f\u092f\u093e\n",
    "polish.txt": "Za\u017c\u00f3\u0142\u0107 g\u0119\u015bl\u0105 ja\u017a\u0144\n",
    "turkish.txt": "\u015ei\u015fli'de \u0131l\u0131k bir g\u00fcn\n",
    "vietnamese.txt": "Ti\u1ebfng Vi\u1ec7t c\u00f3 d\u1ea5u\n",
    "emoji.txt": "\U0001F468\u200D\U0001F469\u200D\U0001F467 \U0001F1E9\U0001F1EA ok\n",
    "mark-letters.txt": "\u00ef\u00bb\u00bfabc\n",  # its byte text would read as UTF-8
}.items()}


GAPS = "\x81\x8d\x8f\x90\x9d"  # Windows-1252 leaves them undefined: they stand for the C1 controls


def cp1252_text(data):
    return data.decode("cp1252", errors="gaps")


# The code page's gaps read as the C1 controls they stand for.
codecs.register_error("gaps", lambda e: (e.object[e.start:e.end].decode("latin-1"), e.end))


def cp1252_bytes(text):
    return b"".join(bytes([ord(c)]) if c in GAPS else c.encode("cp1252") for c in text)


def file_text(data):
    """The text of a text file as the window loads it, line breaks as LF."""
    if data[:2] in (b"\xff\xfe", b"\xfe\xff") and len(data) % 2 == 0:
        text = data.decode("utf-16")
    elif data.startswith(b"\xef\xbb\xbf"):
        try:
            text = data[3:].decode("utf-8")
        except UnicodeError:
            text = cp1252_text(data)
    else:
        try:
            text = data.decode("utf-8")
        except UnicodeError:
            text = cp1252_text(data)
    return re.sub(r"\r\n|\r|\n|\u2028|\u2029", "\n", text)  # the box's line breaks


MARK = b"\xef\xbb\xbf"


def payload_of(data):
    """What the window encrypts of a text file: byte text with CR LF where the code page holds the text (and
    the bytes would not read as the UTF-8 form), else the UTF-8 mark and UTF-8 with CR LF."""
    text = file_text(data).replace("\n", "\r\n")
    try:
        payload = cp1252_bytes(text)
    except UnicodeError:
        return MARK + text.encode("utf-8")
    if payload.startswith(MARK):
        try:
            payload[3:].decode("utf-8")
            return MARK + text.encode("utf-8")
        except UnicodeError:
            pass
    return payload


def cli_text(data):
    """What decrypt writes of the text of a text file: UTF-8 with LF."""
    return file_text(data).encode("utf-8")


class RoundTrips(Case):
    def payload(self, hex_file, key=b"correct horse"):
        """The payload of a ciphertext, decrypted by the reference implementation."""
        frame = reference_decrypt(key, bytes.fromhex(self.read(hex_file).decode()))
        length = int.from_bytes(frame[8:12], "little")
        self.assertTrue(frame[12:12 + length].endswith(b"\xfe\r\n"))
        return frame[12:12 + length - 3]

    def test_each_side_decrypts_what_the_other_encrypted(self):
        texts = dict(TEXTS, **LANGUAGES)
        rnd = random.Random(1)
        texts["long.txt"] = "".join(f"line {i}, {rnd.random()} caf\u00e9\n" for i in range(30000)).encode()
        texts["long-chinese.txt"] = "".join(f"\u7b2c{i}\u884c \u4e16\u754c\n" for i in range(30000)).encode()
        unicode_key = self.write("unicode.QvP", MARK + "\u043a\u043b\u044e\u0447 \u5bc6\U0001F511".encode())
        for key, key_bytes in [(self.key, b"correct horse"), (unicode_key, self.read("unicode.QvP")[3:])]:
            for name, data in texts.items():
                with self.subTest(name, key=key_bytes):
                    self.write(name, data)
                    self.cli("encrypt", "--password-file", key, "--output", name + ".QvH", "--force", name)
                    self.assertEqual(self.payload(name + ".QvH", key_bytes), payload_of(data))
                    self.assertEqual(file_text(self.road("decrypt", key, name + ".QvH")), file_text(data))
                    out, _ = self.cli("decrypt", "--password-file", key, name + ".QvH")
                    self.assertEqual(out, cli_text(data))
                    if b"\r" not in data and not data.startswith(MARK):
                        self.assertEqual(out, data, "a UTF-8 text with LF comes back byte for byte")
                    self.write(name + ".road.QvH", self.road("encrypt", key, name))
                    out, _ = self.cli("decrypt", "--password-file", key, name + ".road.QvH")
                    self.assertEqual(out, cli_text(data))

    def test_binary_files_come_back_exactly(self):
        rnd = random.Random(5)
        files = {
            "image.png": b"\x89PNG\r\n\x1a\n\x00\x00" + bytes(rnd.randrange(256) for _ in range(70000)),
            "windows.TxT": TEXTS["windows.TxT"],
            "marked": MARK + "\u4e16".encode() + b"\r\n\r",
            "one": b"\x00",
        }  # sizes across the pieces: Streams
        for name, data in files.items():
            with self.subTest(name):
                self.write(name, data)
                self.cli("encrypt", "--binary", "--password-file", self.key, "--output", name + ".QvH", name)
                self.assertEqual(self.payload(name + ".QvH"), data)
                out, _ = self.cli("decrypt", "--binary", "--password-file", self.key, name + ".QvH")
                self.assertEqual(out, data)
                self.cli("decrypt", "--binary", "--password-file", self.key, "--output", name + ".back", name + ".QvH")
                self.assertEqual(self.read(name + ".back"), data)

    def test_pipes_and_the_line_end_after_the_hex(self):
        out, _ = self.cli("encrypt", "--password-file", self.key, stdin=TEXTS["lines.txt"])
        self.assertRegex(out, rb"^([0-9A-F]{16})+\n$")
        self.write("piped.QvH", out)
        self.assertEqual(self.payload("piped.QvH"), payload_of(TEXTS["lines.txt"]))
        back, _ = self.cli("decrypt", "--password-file", self.key, "-", stdin=out)
        self.assertEqual(back, TEXTS["lines.txt"])
        self.write("t.txt", TEXTS["lines.txt"])
        self.cli("encrypt", "--password-file", self.key, "--output", "t.QvH", "t.txt")
        self.assertRegex(self.read("t.QvH"), rb"^([0-9A-F]{16})+$")  # as "&Save Quelvane" writes it
        self.assertNotEqual(self.read("t.QvH"), out.strip())  # a fresh random frame every time

    def test_a_named_pipe_is_read_to_its_end(self):
        self.write("t.txt", TEXTS["lines.txt"])
        os.mkfifo(self.path("fifo"))
        writer = subprocess.Popen(["sh", "-c", f'cat "$1" > "$2"', "sh", self.path("t.txt"), self.path("fifo")])
        out, _ = self.cli("encrypt", "--password-file", self.key, "fifo")
        writer.wait(timeout=60)
        self.write("t.QvH", out)
        self.assertEqual(self.payload("t.QvH"), payload_of(TEXTS["lines.txt"]))

    def test_reads_hex_as_the_window_loads_it(self):
        self.write("t.txt", TEXTS["lines.txt"])
        hex_text = self.road("encrypt", self.key, "t.txt")
        lines = [hex_text[i:i + 20] for i in range(0, len(hex_text), 20)]
        forms = {  # byte-order marks: hexdecryption_test
            "wrapped": b"\r\n".join(b"  " + line for line in lines) + b"\r\n",
            "lower": hex_text.lower(),
            "commas": b",".join(lines),
        }
        for name, data in forms.items():
            with self.subTest(name):
                self.write(name, data)
                out, _ = self.cli("decrypt", "--password-file", self.key, name)
                self.assertEqual(out, TEXTS["lines.txt"])


class AgeFiles(Case):
    def test_age_files_round_trip_and_are_told_apart(self):
        data = b"caf\xc3\xa9 \r\n\x00 any bytes\n"  # exact bytes: no text rule in this format
        self.write("notes.txt", data)
        self.write("wrong.QvP", b"not it")
        for extra, head in [((), b"-----BEGIN AGE ENCRYPTED FILE-----\n"), (("--no-armor",), b"age-encryption.org/v1\n")]:
            with self.subTest(extra=extra):
                self.cli("encrypt", "--format", "age", *extra, "-k", self.key, "-o", "n.age", "-f", "notes.txt")
                self.assertTrue(self.read("n.age").startswith(head))
                out, _ = self.cli("decrypt", "-k", self.key, "n.age")
                self.assertEqual(out, data)
                self.failure("decrypt", "-k", self.path("wrong.QvP"), "-o", "back.txt", "n.age",
                             message="no stanza of the age file opens")
                self.assertFalse(os.path.exists(self.path("back.txt")))
        os.makedirs(self.path("out"))
        os.makedirs(self.path("back"))
        self.cli("encrypt", "--format", "age", "--output-dir", "out", "-k", self.key, "notes.txt")
        self.cli("decrypt", "--output-dir", "back", "-k", self.key, "out/notes.age")
        self.assertEqual(self.read("back/notes.TxT"), data)
        for args, message in [(("--format", "gpg"), "unknown format"), (("--no-armor",), "--no-armor is for")]:
            with self.subTest(args=args):
                self.failure("encrypt", *args, "-k", self.key, "notes.txt", message=message, status=2)


class Vectors(Case):
    def frames(self):
        with open(os.path.join(SOURCE, "tests", "data", "cipher.vec")) as f:
            for line in f:
                fields = line.split()
                if fields and fields[0] == "frame":
                    key = bytes.fromhex(fields[1])
                    plain = b"" if fields[2] == "-" else bytes.fromhex(fields[2])
                    # A password file holds no NUL byte.
                    if 0 not in key:
                        yield key, plain, fields[3].encode()

    def test_frames_without_the_end_marker_are_no_text(self):
        count = 0
        for key, plain, cipher in self.frames():
            self.write("k.QvP", key[:448])
            self.write("f.QvH", cipher)
            if plain.endswith(b"\xfe\r\n"):
                out, _ = self.cli("decrypt", "--binary", "--password-file", "k.QvP", "f.QvH")
                self.assertEqual(out, plain[:-3])
            else:
                self.failure("decrypt", "--binary", "--password-file", "k.QvP", "f.QvH", message=WRONG)
            count += 1
        self.assertGreater(count, 200)

    def test_texts_framed_by_the_reference_under_the_vectors_keys(self):
        rnd = random.Random(3)
        keys = sorted({key for key, _, _ in self.frames() if len(key) <= 448})
        for key in keys:
            text = bytes(rnd.choice(b"abc XYZ,\"\r\n\xe9\x80\xfe\x00\x81") for _ in range(rnd.randrange(0, 60)))
            cipher = reference.frame_encrypt(reference_cipher(key), text + b"\xfe\r\n",
                                             rnd.randrange(2**31), rnd.randrange(2**31))
            self.write("k.QvP", key)
            self.write("r.QvH", hex_of(cipher))
            out, _ = self.cli("decrypt", "--binary", "--password-file", "k.QvP", "r.QvH")
            self.assertEqual(out, text, key.hex())
            if b"\x00" not in text:  # as text: UTF-8 with LF
                out, _ = self.cli("decrypt", "--password-file", "k.QvP", "r.QvH")
                self.assertEqual(out, cp1252_text(re.sub(rb"\r\n?", b"\n", text)).encode(), key.hex())

    def test_the_reference_reads_the_frame_the_cli_writes(self):
        for text in [b"", b"abc", b"a\r\nb", bytes(range(1, 256)), "\u4e16\r\n".encode()]:
            data = text.replace(b"\r\n", b"\n")
            self.write("t.txt", data or b"x")
            self.cli("encrypt", "--password-file", self.key, "--output", "t.QvH", "--force", "t.txt")
            frame = reference_decrypt(b"correct horse", bytes.fromhex(self.read("t.QvH").decode()))
            body = payload_of(data or b"x") + b"\xfe\r\n"
            self.assertEqual(int.from_bytes(frame[8:12], "little"), len(body))
            self.assertEqual(frame[12:12 + len(body)], body)
            self.assertEqual(frame[12 + len(body):], bytes(len(frame) - 12 - len(body)))
            self.assertEqual(len(frame) % 8, 0)
            self.assertLess(len(frame) - 12 - len(body), 8)


def reference_cipher(key):
    c = reference.Cipher()
    c.key(key)
    return c


class BadInput(Case):
    def setUp(self):
        super().setUp()
        self.write("t.txt", TEXTS["lines.txt"])
        self.good = self.road("encrypt", self.key, "t.txt")

    def test_wrong_password_and_damaged_frames_write_nothing(self):
        other = self.write("other.QvP", b"correct horsE")
        flip = {b"0": b"1"}
        damaged = {  # the size descriptor's block, the end marker's block, the length, the digits
            "descriptor": self.good[:20] + flip.get(self.good[20:21], b"0") + self.good[21:],
            "marker": self.good[:-5] + flip.get(self.good[-5:-4], b"0") + self.good[-4:],
            "short": self.good[:-16],
            "odd": self.good[:-1],
            "letter": self.good[:20] + b"G" + self.good[20:],
        }
        self.write("good.QvH", self.good)
        err = self.failure("decrypt", "--password-file", other, "--output", "out.TxT", "good.QvH", message=WRONG)
        self.assertIn("good.QvH", err)
        for name, data in damaged.items():
            with self.subTest(name):
                self.write(name, data)
                self.failure("decrypt", "--password-file", self.key, "--output", "out.TxT", name, message=WRONG)
        self.assertFalse(os.path.exists(self.path("out.TxT")))

    def test_damage_inside_the_text_reads_as_the_window_reads_it(self):
        # No integrity check: a changed middle block changes the text, for both.
        data = self.good[:36] + (b"1" if self.good[36:37] == b"0" else b"0") + self.good[37:]
        self.write("middle.QvH", data)
        out, _ = self.cli("decrypt", "--binary", "--password-file", self.key, "middle.QvH")
        # The window's box makes CR LF of a lone CR or LF the garbage may hold;
        # --binary gives the bytes as they are.
        def lines(data):
            return data.replace(b"\r\n", b"\n").replace(b"\r", b"\n")
        self.assertEqual(lines(out), lines(self.road("decrypt", self.key, "middle.QvH")))
        self.assertNotEqual(lines(out), TEXTS["lines.txt"])

    def test_empty_inputs(self):
        for command, data in [("encrypt", b""), ("encrypt", b"\xef\xbb\xbf"), ("decrypt", b""),
                              ("decrypt", b" \r\n\t\r\n"), ("decrypt", b"\xef\xbb\xbf\n")]:
            with self.subTest(command=command, data=data):
                self.write("e", data)
                self.failure(command, "--password-file", self.key, "e", message="the input is empty")
                self.failure(command, "--password-file", self.key, stdin=data, message="standard input: ")

    def test_a_lone_surrogate_is_named_by_its_place(self):
        self.write("u.txt", b"\xff\xfe" + "ab\ncd".encode("utf-16-le") + b"\x00\xd8" + "e\n".encode("utf-16-le"))
        self.failure("encrypt", "--password-file", self.key, "--output", "u.QvH", "u.txt", message="line 2, column 3")
        self.assertFalse(os.path.exists(self.path("u.QvH")))

    def test_a_nul_byte_is_no_text(self):
        self.write("nul.bin", b"text\x00more")
        err = self.failure("encrypt", "--password-file", self.key, "--output", "n.QvH", "nul.bin", message="NUL")
        self.assertIn("--binary", err)
        self.assertFalse(os.path.exists(self.path("n.QvH")))
        self.cli("encrypt", "--binary", "--password-file", self.key, "--output", "n.QvH", "nul.bin")
        err = self.failure("decrypt", "--password-file", self.key, "--output", "n.out", "n.QvH", message="NUL")
        self.assertIn("--binary", err)
        self.assertFalse(os.path.exists(self.path("n.out")))

    def test_unreadable_inputs_and_password_files(self):
        os.mkdir(self.path("folder"))
        self.failure("encrypt", "--password-file", self.key, "missing.txt", message="Cannot read missing.txt")
        self.failure("decrypt", "--password-file", self.key, "folder", message="it is a folder")
        self.failure("encrypt", "--password-file", "missing.QvP", "t.txt", message="Cannot read missing.QvP")
        self.write("nul.QvP", b"ab\x00c")
        self.failure("encrypt", "--password-file", "nul.QvP", "t.txt", message="holds a NUL byte")
        self.write("empty.QvP", b"")
        self.failure("encrypt", "--password-file", "empty.QvP", "t.txt", message="empty.QvP is empty")

    def test_closed_standard_streams_are_told_as_closed(self):
        self.write("t.QvH", self.good)
        for args, closed, message in [
            (("encrypt", "--password-file", self.key, "t.txt"), 1, "cannot write to standard output: it is closed"),
            (("decrypt", "--password-file", self.key, "t.QvH"), 1, "cannot write to standard output: it is closed"),
            (("--help",), 1, "cannot write to standard output: it is closed"),
            (("encrypt", "--password-file", self.key), 0, "Cannot read standard input: it is closed"),
            (("encrypt", "--password-file", "-", "t.txt"), 0, "Cannot read standard input: it is closed"),
        ]:
            with self.subTest(args=args, closed=closed):
                done = subprocess.run([CLI, *args], stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, cwd=self.dir,
                                      preexec_fn=lambda: os.close(closed), start_new_session=True, timeout=60)
                self.assertEqual(done.returncode, 1)
                self.assertIn(message, done.stderr.decode())

    def test_a_long_password_file_keeps_448_characters(self):
        long_key = bytes(random.Random(2).randrange(30, 128) for _ in range(500))
        self.write("long.QvP", long_key)
        self.write("first.QvP", long_key[:448])
        _, err = self.cli("encrypt", "--password-file", "long.QvP", "--output", "t.QvH", "t.txt")
        self.assertIn("holds 500 characters; the password is its first 448", err)
        out, _ = self.cli("decrypt", "--password-file", "first.QvP", "t.QvH")
        self.assertEqual(out, TEXTS["lines.txt"])

    def test_an_existing_output_is_replaced_only_with_force(self):
        self.write("out.QvH", b"keep me")
        self.failure("encrypt", "--password-file", self.key, "--output", "out.QvH", "t.txt", message="--force")
        self.assertEqual(self.read("out.QvH"), b"keep me")
        self.cli("encrypt", "--password-file", self.key, "--output", "out.QvH", "--force", "t.txt")
        self.assertEqual(file_text(self.road("decrypt", self.key, "out.QvH")), file_text(TEXTS["lines.txt"]))


class Usage(Case):
    def test_usage_errors_exit_2(self):
        for args, message in [
            ((), "no command"),
            (("bogus",), "unknown command"),
            (("encrypt", "--bogus"), "unknown option --bogus"),
            (("encrypt", "--output"), "--output needs a value"),
            (("encrypt", "a", "b"), "several INPUT files need --output-dir"),
            (("encrypt", "--output", "x", "--output-dir", "d", "a"), "exclude each other"),
            (("decrypt", "--output-dir", "d"), "--output-dir needs INPUT files"),
            (("encrypt", "--password-file", "a", "--password-file", "b"), "given twice"),
            (("generate", "--password-file", "k"), "generate takes no --password-file"),
            (("generate", "2"), "from 3 to 448"),
            (("generate", "449"), "from 3 to 448"),
            (("generate", "abc"), "from 3 to 448"),
            (("generate", "-5"), "from 3 to 448"),
            (("decrypt", "-k", "-"), "cannot both come from standard input"),
            (("decrypt", "--password-file=-", "-"), "cannot both come from standard input"),
            (("encrypt", "-o"), "-o needs a value"),
            (("encrypt", "--output=", "a"), "--output needs a value"),
            (("encrypt", "-o", "a", "--output", "b"), "given twice"),
            (("generate", "-k", "k"), "generate takes no -k"),
            (("encrypt", "-x"), "unknown option -x"),
            (("encrypt", "-q=1"), "-q takes no value"),
            (("encrypt", "--\x1b[2J"), "unknown option --\\x1B[2J"),
            (("\x1b]0;x\x07",), "unknown command \"\\x1B]0;x\\x07\""),
        ]:
            with self.subTest(args=args):
                self.failure(*args, message=message, status=2)

    def test_a_password_on_the_command_line_is_refused_and_not_repeated(self):
        err = self.failure("encrypt", "--password=hunter2", message="unknown option --password", status=2)
        self.assertNotIn("hunter2", err)

    def test_without_password_file_or_terminal_it_is_a_usage_error(self):
        self.write("t.txt", b"text")
        self.failure("encrypt", "t.txt", message="no password", status=2)

    def test_each_command_tells_its_own_options(self):
        for command, has, lacks in [("encrypt", b"--binary", b"LENGTH"), ("decrypt", b"--output-dir", b"LENGTH"),
                                    ("generate", b"LENGTH", b"--password-file")]:
            with self.subTest(command=command):
                out, _ = self.cli(command, "--help")
                self.assertIn(has, out)
                self.assertNotIn(lacks, out)
        self.failure("encrypt", "--force=yes", message="--force", status=2)
        self.failure("--output", "x", "generate", "--output", "y", message="given twice", status=2)

    def test_german_where_the_system_speaks_it(self):
        german = dict(os.environ, LANGUAGE="de", LANG="de_DE.UTF-8")
        for args, status, stream, text in [(("--help",), 0, "stdout", "Verschlüsselt Texte"),
                                           (("encrypt", "--bogus"), 2, "stderr", "unbekannte Option --bogus"),
                                           (("encrypt", "missing.txt"), 1, "stderr", "lässt sich nicht lesen")]:
            with self.subTest(args=args):
                done = subprocess.run([CLI, *args], capture_output=True, cwd=self.dir, env=german, timeout=60,
                                      start_new_session=True, stdin=subprocess.DEVNULL)
                self.assertEqual(done.returncode, status)
                self.assertIn(text, getattr(done, stream).decode())

    def test_help_and_version(self):
        for args in [("--help",), ("encrypt", "-h"), ("decrypt", "--help"), ("generate", "-h")]:
            with self.subTest(args=args):
                out, _ = self.cli(*args)
                self.assertTrue(out.startswith(b"Usage: quelvane-cli "), out[:80])  # the name, not the path run
                self.assertNotIn(b"&", out)
        out, _ = self.cli("--help")
        self.assertIn(b"quelvane-cli encrypt", out)
        out, _ = self.cli("decrypt", "--bogus", "--version")
        self.assertRegex(out, rb"^quelvane-cli \d+\.\d+\.\d+\n$")


class Options(Case):
    """The parser's value options: each takes the next word, "-" included, and which file is the input never
    changes; the short options take their values as the long ones do."""

    def setUp(self):
        super().setUp()
        self.write("notes.txt", b"my notes\n")
        self.write("old.QvH", b"old")

    def test_value_options_take_the_next_word(self):
        key = b"correct horse"
        cases = [  # arguments, standard input, where the ciphertext of notes.txt goes (None: standard output)
            (("encrypt", "--force", "--output", "-", "--password-file", "key.QvP", "notes.txt"), b"x\n", None),
            (("encrypt", "-f", "-o", "-", "-k", "key.QvP", "notes.txt"), b"x\n", None),
            (("encrypt", "--output=-", "--password-file=key.QvP", "notes.txt"), b"x\n", None),
            (("encrypt", "-k", "-", "notes.txt"), key, None),
            (("encrypt", "--password-file", "-", "--output", "out.QvH", "notes.txt"), key, "out.QvH"),
            (("encrypt", "-k", "key.QvP", "-o", "out.QvH", "notes.txt"), b"", "out.QvH"),
            (("encrypt", "-k", "key.QvP", "-f", "-o", "old.QvH", "notes.txt"), b"", "old.QvH"),
            (("encrypt", "-k", "key.QvP", "--output", "--force", "notes.txt"), b"", "--force"),
            (("-k", "key.QvP", "encrypt", "-o", "-", "--", "notes.txt"), b"", None),
            (("-k", "key.QvP", "encrypt", "-o", "-", "-"), b"my notes\n", None),
        ]
        for args, stdin, target in cases:
            with self.subTest(args=args):
                for name in ("out.QvH", "--force"):
                    if os.path.exists(self.path(name)):
                        os.remove(self.path(name))
                out, _ = self.cli(*args, stdin=stdin)
                self.assertEqual(self.read("notes.txt"), b"my notes\n")
                if target:
                    self.assertEqual(out, b"")
                self.write("check.QvH", out if target is None else self.read(target))
                back, _ = self.cli("decrypt", "-k", "-", "check.QvH", stdin=key)
                self.assertEqual(back, b"my notes\n")
        self.failure("encrypt", "-k", "key.QvP", "-o", "old.QvH", "notes.txt", message="--force")

    def test_quiet_keeps_the_errors_alone(self):
        self.write("nl.QvP", b"correct horse\n")
        _, err = self.cli("encrypt", "-k", "nl.QvP", "-o", "a.QvH", "notes.txt")
        self.assertIn("ends with a line break", err)
        _, err = self.cli("encrypt", "-q", "-k", "nl.QvP", "-o", "b.QvH", "notes.txt")
        self.assertEqual(err, "")
        self.failure("encrypt", "--quiet", "-k", "nl.QvP", "-o", "b.QvH", "notes.txt", message="--force")

    def test_names_in_messages_are_escaped(self):
        name = "evil\x1b]0;owned\x07\r\x1b[2J.txt"
        self.cli("encrypt", "-k", "key.QvP", "-o", "notes.QvH", "notes.txt")
        self.write(name, b"")
        for args in [("encrypt", "-k", "key.QvP", "missing" + name), ("encrypt", "-k", "missing" + name, "notes.txt"),
                     ("decrypt", "-k", "key.QvP", "-o", name, "notes.QvH"), ("decrypt", "-k", "key.QvP", name)]:
            with self.subTest(args=args):
                _, err = self.cli(*args, status=None)
                self.assertIn("evil\\x1B]0;owned\\x07\\r\\x1B[2J.txt", err)
                self.assertNotIn("\x1b", err)


class Names(Case):
    """Files whose names are not UTF-8: opened by the argument's own bytes, shown escaped."""

    def test_a_name_that_is_not_utf8_opens_its_own_file(self):
        folder = os.fsencode(self.dir)
        text, cipher, key = b"caf\xe9.txt", b"caf\xe9.QvH", b"k\xe9y.QvP"
        with open(os.path.join(folder, text), "wb") as f:
            f.write(b"latin text\n")
        with open(os.path.join(folder, key), "wb") as f:
            f.write(b"correct horse")
        os.mkdir(os.path.join(folder, b"out\xe9"))
        out, _ = self.cli("encrypt", "-k", key, text)
        self.write("piped.QvH", out)
        self.cli("encrypt", "-k", key, "-o", cipher, text)
        self.cli("encrypt", "-k", key, "--output-dir", b"out\xe9", text)
        for hex_file in [b"piped.QvH", cipher, b"out\xe9/" + cipher]:
            with self.subTest(hex_file=hex_file):
                back, _ = self.cli("decrypt", "-k", key, hex_file)
                self.assertEqual(back, b"latin text\n")
        self.cli("decrypt", "-k", key, "--output-dir", b"out\xe9", cipher)
        with open(os.path.join(folder, b"out\xe9", b"caf\xe9.TxT"), "rb") as f:
            self.assertEqual(f.read(), b"latin text\n")
        err = self.failure("encrypt", "-k", key, b"missing-" + text, message="Cannot read missing-caf\\xE9.txt")
        self.assertIn("No such file", err)
        self.failure("encrypt", "-k", key, "-o", cipher, text, message="caf\\xE9.QvH exists")


class Progress(Case):
    """A bar on standard error when it is a terminal and the input is large; nothing otherwise."""

    def run_on(self, terminal, *args):
        if not terminal:
            return self.cli(*args)[1].encode()
        master, slave = os.openpty()
        proc = subprocess.Popen([CLI, *args], stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=slave,
                                cwd=self.dir, start_new_session=True)
        os.close(slave)
        shown = b""
        while True:
            try:
                data = os.read(master, 65536)
            except OSError:  # the program closed the terminal's last end
                break
            if not data:
                break
            shown += data
        os.close(master)
        self.assertEqual(proc.wait(timeout=120), 0)
        return shown

    def test_a_bar_only_on_a_terminal(self):
        rnd = random.Random(41)
        self.write("strong.QvP", b"Vq7#pL2!mZ9rT4wX$hB8")  # no warning between the bar's lines
        self.write("big.txt", text_across(9 * MIB, [], rnd))
        self.cli("encrypt", "-k", "strong.QvP", "-o", "big.QvH", "big.txt")
        self.cli("encrypt", "--format", "age", "-k", "strong.QvP", "-o", "big.age", "big.txt")
        self.write("small.txt", b"small\n")
        for terminal, args, bar in [
            (True, ("encrypt", "-k", "strong.QvP", "-f", "-o", "big.QvH", "big.txt"), True),
            (True, ("decrypt", "-k", "strong.QvP", "-o", "back.txt", "big.QvH"), True),
            (True, ("encrypt", "--format", "age", "-k", "strong.QvP", "-f", "-o", "big.age", "big.txt"), True),
            (True, ("decrypt", "-k", "strong.QvP", "-f", "-o", "back.txt", "big.age"), True),
            (True, ("decrypt", "-q", "-k", "strong.QvP", "-f", "-o", "back.txt", "big.QvH"), False),
            (True, ("encrypt", "-k", "strong.QvP", "-o", "small.QvH", "small.txt"), False),
            (False, ("encrypt", "-k", "strong.QvP", "-f", "-o", "big.QvH", "big.txt"), False),
        ]:
            with self.subTest(terminal=terminal, args=args):
                shown = self.run_on(terminal, *args)
                if bar:
                    self.assertRegex(shown, rb"\r *100% \[#+\] (\d+\.\d) MiB / \1 MiB .*/s .*\r?\n$")
                    self.assertGreater(shown.count(b"\r"), 1)
                    self.assertNotIn(b"\x1b", shown)  # a carriage return redraws it, nothing else
                else:
                    self.assertEqual(shown, b"")


class Readings(Case):
    """A wrong password tried again as the user may have meant it; password files read as text files are."""

    def test_the_other_readings_of_a_password(self):
        nfc, nfd = "caf\u00e9 \u00fcber", "cafe\u0301 u\u0308ber"
        cases = [  # the password file encrypting, the one decrypting, what stderr tells
            (MARK + nfc.encode(), MARK + nfd.encode(), "normalisation form NFC opens it"),
            (MARK + nfd.encode(), MARK + nfc.encode(), "normalisation form NFD opens it"),
            (MARK + nfc.encode(), nfc.encode(), "the password file read as UTF-8 opens it"),
            ("\ufeffcaf\u00e9 \u4e16".encode("utf-16-le"), MARK + "caf\u00e9 \u4e16".encode(), None),
            ("\ufeffcaf\u00e9 \u4e16".encode("utf-16-be"), MARK + "caf\u00e9 \u4e16".encode(), None),
        ]
        self.write("t.txt", b"the text\n")
        for locking, opening, told in cases:
            with self.subTest(locking=locking, opening=opening):
                self.write("lock.QvP", locking)
                self.write("open.QvP", opening)
                self.cli("encrypt", "-k", "lock.QvP", "-f", "-o", "t.QvH", "t.txt")
                out, err = self.cli("decrypt", "-k", "open.QvP", "t.QvH")
                self.assertEqual(out, b"the text\n")
                if told:
                    self.assertIn(told, err)
                else:  # the same password, and the window's load reads the file alike
                    self.assertEqual(err, "")
                    self.assertEqual(file_text(self.road("decrypt", self.path("lock.QvP"), "t.QvH")), "the text\n")
        self.write("utf8.QvP", nfc.encode())
        _, err = self.cli("encrypt", "-k", "utf8.QvP", "-f", "-o", "t.QvH", "t.txt")
        self.assertIn("UTF-8 without the mark", err)
        self.write("other.QvP", MARK + "cafe \u00fcber".encode())
        self.failure("decrypt", "-k", "other.QvP", "t.QvH", message=WRONG)

    def test_what_is_no_ciphertext_is_told_apart(self):
        self.write("t.txt", b"text\n")
        self.cli("encrypt", "-k", "key.QvP", "-o", "t.QvH", "t.txt")
        for name, data in [("text", b"hello world, a text that is no hex at all\n" * 3),
                           ("image", b"\x89PNG\r\n\x1a\n" + bytes(range(256)) * 4),
                           ("short", b"0123456789ABCDEF" + b"0123456789ABCD"),
                           ("utf16", "hello world, no hex".encode("utf-16"))]:
            with self.subTest(name):
                self.write(name, data)
                err = self.failure("decrypt", "-k", "key.QvP", name, message="not Quelvane ciphertext")
                self.assertNotIn(WRONG, err)


class Batch(Case):
    def test_one_bad_member_stops_nothing(self):
        names = {"a.TxT": b"alpha\n", "b.txt": b"beta", "c.md": b"gamma, delta"}
        for name, data in names.items():
            self.write(name, data)
        os.mkdir(self.path("hex"))
        self.cli("encrypt", "--password-file", self.key, "--output-dir", "hex", *names)
        self.assertEqual(sorted(os.listdir(self.path("hex"))), ["a.QvH", "b.QvH", "c.md.QvH"])
        self.write("hex/b.QvH", self.read("hex/b.QvH")[:-16])  # damaged
        self.write("hex/empty.QvH", b"")
        os.mkdir(self.path("text"))
        inputs = ["hex/a.QvH", "hex/b.QvH", "hex/missing.QvH", "hex/empty.QvH", "hex/c.md.QvH"]
        _, err = self.cli("decrypt", "--password-file", self.key, "--output-dir", "text", *inputs, status=1)
        self.assertIn("hex/b.QvH: " + WRONG, err)
        self.assertIn("Cannot read hex/missing.QvH", err)
        self.assertIn("hex/empty.QvH: the input is empty", err)
        self.assertEqual(sorted(os.listdir(self.path("text"))), ["a.TxT", "c.md.TxT"])
        self.assertEqual(self.read("text/a.TxT"), b"alpha\n")
        self.assertEqual(self.read("text/c.md.TxT"), b"gamma, delta")

    def test_existing_and_repeated_targets(self):
        self.write("x/a.txt", b"one")
        self.write("y/a.txt", b"two")
        self.write("b.txt", b"three")
        self.write("out/b.QvH", b"old")
        _, err = self.cli("encrypt", "--password-file", self.key, "--output-dir", "out", "x/a.txt", "y/a.txt",
                          "b.txt", status=1)
        self.assertIn("y/a.txt: another INPUT of this run goes to", err)
        self.assertIn("out/b.QvH exists; --force replaces it", err)
        self.assertEqual(self.read("out/b.QvH"), b"old")
        self.assertEqual(self.road("decrypt", self.key, "out/a.QvH"), b"one")
        self.cli("encrypt", "--password-file", self.key, "--output-dir", "out", "--force", "b.txt")
        self.assertEqual(self.road("decrypt", self.key, "out/b.QvH"), b"three")
        self.failure("encrypt", "--password-file", self.key, "--output-dir", "nowhere", "b.txt",
                     message="nowhere is not a folder")


class Generate(Case):
    def test_lengths_and_characters(self):
        for length, expected in [(None, 112), ("3", 3), ("248", 248), ("249", 249), ("448", 448), ("3.5", 4),
                                 ("4.5", 4)]:
            with self.subTest(length=length):
                out, _ = self.cli("generate", *([length] if length else []))
                self.assertEqual(len(out), expected)
                self.assertTrue(all(30 <= b <= 127 for b in out))
        draws = b"".join(self.cli("generate", "448")[0] for _ in range(5))
        self.assertGreater(len(set(draws)), 90)  # the 98 characters, control ones included
        self.assertNotEqual(self.cli("generate")[0], self.cli("generate")[0])

    def test_a_password_file_is_owner_only_and_opens_what_it_locked(self):
        self.cli("generate", "40", "--output", "new.QvP")
        self.assertEqual(stat.S_IMODE(os.stat(self.path("new.QvP")).st_mode), 0o600)
        self.assertEqual(len(self.read("new.QvP")), 40)
        self.write("old.QvP", b"old password")
        os.chmod(self.path("old.QvP"), 0o644)
        self.failure("generate", "--output", "old.QvP", message="--force")
        self.assertEqual(self.read("old.QvP"), b"old password")
        self.cli("generate", "--output", "old.QvP", "--force")
        self.assertEqual(stat.S_IMODE(os.stat(self.path("old.QvP")).st_mode), 0o600)
        self.write("t.txt", b"locked")
        self.cli("encrypt", "--password-file", "old.QvP", "--output", "t.QvH", "t.txt")
        self.assertEqual(self.road("decrypt", self.path("old.QvP"), "t.QvH"), b"locked")


class Terminal(Case):
    """The prompt on a pseudo-terminal that is the program's controlling terminal."""

    def start(self, *args, stdin=subprocess.DEVNULL, prefix=(), cwd=None, on_terminal=False):
        master, slave = os.openpty()
        self.addCleanup(os.close, master)

        def controlling_terminal():
            os.setsid()
            fcntl.ioctl(slave, termios.TIOCSCTTY, 0)

        proc = subprocess.Popen([*prefix, CLI, *args], stdin=stdin, stdout=slave if on_terminal else subprocess.PIPE,
                                stderr=subprocess.PIPE, cwd=cwd or self.dir, preexec_fn=controlling_terminal,
                                pass_fds=(slave,))
        os.close(slave)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        self.master, self.proc, self.shown = master, proc, b""
        return proc

    def expect(self, text):
        deadline = time.monotonic() + 20
        while text not in self.shown:
            self.assertLess(time.monotonic(), deadline, f"waiting for {text!r}, the terminal shows {self.shown!r}")
            if select.select([self.master], [], [], 0.1)[0]:
                try:
                    self.shown += os.read(self.master, 4096)
                except OSError:
                    break
        self.assertIn(text, self.shown)

    def type(self, line):
        self.assertFalse(termios.tcgetattr(self.master)[3] & termios.ECHO, "echo is on at the prompt")
        os.write(self.master, line + b"\n")

    def finish(self, status=0):
        out, err = self.proc.communicate(timeout=60)
        self.assertEqual(self.proc.returncode, status, err.decode(errors="replace"))
        return out, err.decode()

    def test_decrypt_asks_once_without_echo(self):
        self.write("t.txt", b"behind a typed password")
        self.write("pw.QvP", b"typed secret")
        self.write("t.QvH", self.road("encrypt", self.path("pw.QvP"), "t.txt"))
        self.start("decrypt", "t.QvH")
        self.expect(b"Password: ")
        self.type(b"typed secret")
        out, _ = self.finish()
        self.assertEqual(out, b"behind a typed password")
        self.assertNotIn(b"typed secret", self.shown)
        self.assertTrue(termios.tcgetattr(self.master)[3] & termios.ECHO, "echo stays off")

    def test_encrypt_asks_twice(self):
        self.write("t.txt", b"text")
        self.start("encrypt", "--output", "t.QvH", "t.txt")
        self.expect(b"Password: ")
        self.type(b"one")
        self.expect(b"Password again: ")
        self.type(b"two")
        _, err = self.finish(1)
        self.assertIn("the two passwords typed differ", err)
        self.assertFalse(os.path.exists(self.path("t.QvH")))
        self.start("encrypt", "--output", "t.QvH", "t.txt")
        self.expect(b"Password: ")
        self.type("p\u00e4ss".encode())
        self.expect(b"Password again: ")
        # Waiting with the password in memory: it is in no argument and no variable.
        for name in ("cmdline", "environ"):
            with open(f"/proc/{self.proc.pid}/{name}", "rb") as f:
                self.assertNotIn("p\u00e4ss".encode(), f.read())
        self.type("p\u00e4ss".encode())
        self.finish()
        self.write("latin.QvP", "p\u00e4ss".encode("cp1252"))
        self.assertEqual(self.road("decrypt", self.path("latin.QvP"), "t.QvH"), b"text")

    def test_a_typed_password_in_any_language_is_not_shown(self):
        password = "\u043a\u043b\u044e\u0447 \u5bc6\u7801"
        self.write("pw.QvP", MARK + password.encode())
        self.write("t.txt", "\u0442\u0435\u043a\u0441\u0442\n".encode())
        self.write("t.QvH", self.road("encrypt", self.path("pw.QvP"), "t.txt"))
        self.start("decrypt", "t.QvH")
        self.expect(b"Password: ")
        self.type(password.encode())
        out, err = self.finish()
        self.assertEqual(out, self.read("t.txt"))
        self.assertNotIn(password.encode(), self.shown)
        self.assertNotIn(password, err)

    def test_a_line_not_valid_in_the_terminals_encoding_is_refused(self):
        self.write("t.QvH", b"00" * 16)
        for line in [b"caf\xe9", b"caf\xe8"]:  # Latin-1 bytes on a UTF-8 terminal: never one same password
            with self.subTest(line=line):
                self.start("decrypt", "t.QvH")
                self.expect(b"Password: ")
                self.type(line)
                _, err = self.finish(1)
                self.assertIn("not valid UTF-8", err)

    def test_interrupted_prompt_gives_the_echo_back(self):
        self.write("t.QvH", b"00" * 16)
        self.start("decrypt", "t.QvH")
        self.expect(b"Password: ")
        os.write(self.master, b"\x03")
        self.proc.wait(timeout=20)
        self.assertEqual(self.proc.returncode, -signal.SIGINT)
        self.assertTrue(termios.tcgetattr(self.master)[3] & termios.ECHO)

    def test_no_core_and_no_memory_reading_while_it_waits(self):
        self.write("t.QvH", b"00" * 16)
        # Run as another user when root, so the owner of its /proc files tells.
        setpriv = shutil.which("setpriv")
        prefix = (setpriv, "--reuid=65534", "--regid=65534", "--clear-groups") if os.getuid() == 0 and setpriv else ()
        if os.getuid() == 0 and not prefix:
            self.skipTest("root without setpriv")
        with open(self.path("t.QvH"), "rb") as hex_text:  # its folder is the test's own
            self.start("decrypt", stdin=hex_text, prefix=prefix, cwd="/")
        self.expect(b"Password: ")
        with open(f"/proc/{self.proc.pid}/limits") as f:
            self.assertRegex(f.read(), r"Max core file size\s+0\s+0")
        status = os.stat(f"/proc/{self.proc.pid}/status")
        with open(f"/proc/{self.proc.pid}/status") as f:
            uid = int(re.search(r"^Uid:\s+(\d+)", f.read(), re.M).group(1))
        self.assertNotEqual(uid, 0)
        self.assertEqual(status.st_uid, 0, "not dumpable: its /proc files belong to root")
        os.write(self.master, b"\x03")
        self.proc.wait(timeout=20)

    def test_generate_shows_control_characters_on_a_terminal(self):
        # The generator draws only characters that can be typed: no control
        # character is left to show.
        self.start("generate", "448", on_terminal=True).wait(timeout=20)
        self.expect(b"\n")
        self.assertRegex(self.shown.decode(), "^[\x20-\x7e]{448}\r\n$")


MIB = 1024 * 1024
PIECE = 256 * 1024  # a frame's and a text's piece in the program; four frame pieces are in flight
HEX_PIECE = 2 * MIB  # hex text read at a time when decrypting


def frame_size(payload):
    """The ciphertext's bytes for a payload, the end marker and the frame's 12 bytes included."""
    return (payload + 3 + 12 + 7) // 8 * 8


def text_across(size, cuts, rnd, utf8=True):
    """A text of size bytes whose line breaks and characters beyond ASCII straddle the given offsets."""
    words = [b"caf\xc3\xa9", b"\xe2\x82\xac", b"plain", b"x"] if utf8 else [b"caf\xe9", b"\x80", b"plain", b"x"]
    odd = b"\xc3\xa9\r\n\xe2\x82\xac\r" if utf8 else b"\xe9\r\n\x80\r"
    cuts = sorted((c for c in cuts if len(odd) <= c < size), reverse=True)
    out = bytearray()
    while len(out) < size - len(odd) * len(cuts):
        out += b" ".join(rnd.choice(words) for _ in range(rnd.randrange(1, 12))) + rnd.choice([b"\n", b"\r\n", b"\r"])
    del out[size - len(odd) * len(cuts):]
    while out and out[-1] >= 0x80:  # never end inside a character
        out[-1:] = b"."
    for cut in cuts:  # from the last, so the earlier ones stay where they are
        at = cut - rnd.randrange(1, len(odd))
        while utf8 and at < len(out) and out[at] & 0xC0 == 0x80:
            at -= 1
        out[at:at] = odd
    return bytes(out)


class Streams(Case):
    """Inputs across the program's pieces: read, converted, chained and written out a piece at a time."""

    def test_bytes_round_trip_across_the_pieces(self):
        rnd = random.Random(31)
        # Payloads whose frame ends just before, at and after a frame piece, the ring of four, a hex piece.
        ends = [PIECE, 4 * PIECE, HEX_PIECE // 2]
        sizes = [end - 15 + d for end in ends for d in (-8, -1, 0, 1)] + [HEX_PIECE + 9]
        for size in sizes:
            with self.subTest(size=size):
                data = rnd.randbytes(size)
                self.write("b.bin", data)
                self.cli("encrypt", "--binary", "--password-file", self.key, "--output", "b.QvH", "--force", "b.bin")
                self.assertEqual(os.path.getsize(self.path("b.QvH")), 2 * frame_size(size))
                out, _ = self.cli("decrypt", "--binary", "--password-file", self.key, "b.QvH")
                self.assertEqual(out, data)

    def test_texts_round_trip_across_the_pieces(self):
        rnd = random.Random(32)
        # Text pieces, and a text large enough to be scanned in two halves (split near its middle).
        for size, utf8 in [(PIECE + 1, True), (4 * PIECE - 2, False), (2 * HEX_PIECE + 3, True),
                           (2 * HEX_PIECE + 1, False)]:
            with self.subTest(size=size, utf8=utf8):
                data = text_across(size, [k * PIECE for k in range(1, 17)] + [size // 2 - d for d in range(9)],
                                   rnd, utf8)
                self.write("t.txt", data)
                self.cli("encrypt", "--password-file", self.key, "--output", "t.QvH", "--force", "t.txt")
                self.assertEqual(file_text(self.road("decrypt", self.key, "t.QvH")), file_text(data))
                self.cli("decrypt", "--password-file", self.key, "--output", "back.txt", "--force", "t.QvH")
                self.assertEqual(self.read("back.txt"), cli_text(data))
                hex_text = self.read("t.QvH")
                wrapped = b"\r\n".join(hex_text[i:i + 76] for i in range(0, len(hex_text), 76))  # read as loaded
                out, _ = self.cli("decrypt", "--password-file", self.key, stdin=wrapped)
                self.assertEqual(out, cli_text(data))

    def test_a_bad_end_of_a_long_ciphertext_writes_nothing(self):
        data = text_across(3 * HEX_PIECE // 2, [], random.Random(33))
        self.write("t.txt", data)
        self.write("nul.txt", data + b"\x00")
        self.cli("encrypt", "--password-file", self.key, "--output", "good.QvH", "t.txt")
        self.cli("encrypt", "--binary", "--password-file", self.key, "--output", "nul.QvH", "nul.txt")
        good = self.read("good.QvH")
        other = self.write("other.QvP", b"correct horsE")
        cases = [  # name, hex, password file, message
            ("end marker", good[:-5] + (b"1" if good[-5:-4] == b"0" else b"0") + good[-4:], self.key, WRONG),
            ("a block short", good[:-16], self.key, WRONG),
            ("wrong password", good, other, WRONG),
            ("a NUL at the end", self.read("nul.QvH"), self.key, "NUL"),
        ]
        before = sorted(os.listdir(self.dir))
        for name, hex_text, key, message in cases:
            with self.subTest(name):
                self.write("bad.QvH", hex_text)
                self.failure("decrypt", "--password-file", key, "bad.QvH", message=message)
                self.failure("decrypt", "--password-file", key, stdin=hex_text, message=message)
                self.failure("decrypt", "--password-file", key, "--output", "out.TxT", "bad.QvH", message=message)
                self.assertEqual(sorted(os.listdir(self.dir)), sorted(before + ["bad.QvH"]))

    def test_a_payload_starting_with_the_mark_is_read_as_what_follows_it(self):
        # Read as UTF-8; a mark before bytes that are no UTF-8 is damage, never byte text.
        for payload, text in [(MARK + "\u00e9 \u4e16\r\n".encode(), "\u00e9 \u4e16\n"),
                              (MARK + b"\xe9 caf\xe9\r\n", None)]:
            with self.subTest(payload=payload):
                self.write("p.bin", payload)
                self.cli("encrypt", "--binary", "--password-file", self.key, "--output", "p.QvH", "--force", "p.bin")
                if text is None:
                    self.failure("decrypt", "--password-file", self.key, "--output", "d.txt", "p.QvH",
                                 message="damaged")
                    self.failure("decrypt", "--password-file", self.key, "p.QvH", message="damaged")
                    self.assertFalse(os.path.exists(self.path("d.txt")))
                else:
                    self.cli("decrypt", "--password-file", self.key, "--output", "p.txt", "--force", "p.QvH")
                    self.assertEqual(self.read("p.txt"), text.encode())
                    out, _ = self.cli("decrypt", "--password-file", self.key, "p.QvH")
                    self.assertEqual(out, text.encode())
                out, _ = self.cli("decrypt", "--binary", "--password-file", self.key, "p.QvH")
                self.assertEqual(out, payload)  # the bytes as they are

    def test_a_file_too_large_for_a_frame_is_refused_before_the_password(self):
        with open(self.path("huge.bin"), "wb") as f:
            f.truncate(2**31 - 22)  # sparse: a payload and its end marker one byte past what a frame describes
        self.failure("encrypt", "--binary", "--output", "huge.QvH", "huge.bin", message="the input is too large")
        self.assertFalse(os.path.exists(self.path("huge.QvH")))

    def test_standard_input_is_kept_privately_and_a_signal_removes_it(self):
        runtime = os.path.join(self.dir, "runtime")
        os.mkdir(runtime, 0o700)
        env = dict(os.environ, XDG_RUNTIME_DIR=runtime)
        proc = subprocess.Popen([CLI, "encrypt", "--password-file", self.key], stdin=subprocess.PIPE,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env, start_new_session=True)
        self.addCleanup(proc.stdin.close)
        self.addCleanup(lambda: proc.poll() is None and proc.kill())
        proc.stdin.write(b"a secret line\n" * 1000)
        proc.stdin.flush()
        deadline = time.monotonic() + 20

        def kept():  # an open file of the private folder, unnamed or not
            fds = "/proc/%d/fd" % proc.pid
            try:
                targets = [os.readlink(os.path.join(fds, fd)) for fd in os.listdir(fds)]
            except OSError:
                return False
            return any(t.startswith(runtime + "/Quelvane-") and t.count("/") > runtime.count("/") + 1
                       and not t.endswith("Quelvane.lock") for t in targets)
        while not kept():
            self.assertLess(time.monotonic(), deadline, "standard input was not kept in the private folder")
            time.sleep(0.01)
        folder = next(os.path.join(runtime, d) for d in os.listdir(runtime) if d.startswith("Quelvane-"))
        self.assertEqual(stat.S_IMODE(os.stat(folder).st_mode), 0o700)
        proc.send_signal(signal.SIGTERM)
        proc.wait(timeout=20)
        self.assertEqual(proc.returncode, -signal.SIGTERM)
        self.assertEqual(os.listdir(runtime), [])

    def test_memory_stays_below_the_input(self):
        size = 64 * MIB
        part = text_across(MIB, [], random.Random(34))
        with open(self.path("big.txt"), "wb") as f:
            for _ in range(size // MIB):
                f.write(part)
        try:  # Linux carries the spawning process's peak across exec: ours is brought down to what it holds
            with open("/proc/self/clear_refs", "w") as f:
                f.write("5")
        except OSError:
            self.skipTest("the peak memory of this process cannot be reset")

        def peak(*args):
            proc = subprocess.Popen(args, cwd=self.dir, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            _, status, usage = os.wait4(proc.pid, 0)
            proc.returncode = os.waitstatus_to_exitcode(status)
            self.assertEqual(proc.returncode, 0, args)
            return usage.ru_maxrss * 1024

        floor = peak("true")  # what this process lends every child
        for args in [("encrypt", "--output", "big.QvH", "big.txt"), ("decrypt", "--output", "back.txt", "big.QvH"),
                     ("decrypt", "big.QvH")]:
            with self.subTest(args[0]):
                self.assertLess(peak(CLI, args[0], "--password-file", self.key, *args[1:]), floor + size // 2,
                                "peak memory grows with the input")


SCAN = """
import gdb
secrets = [bytes.fromhex(x) for x in {secrets!r}]
memory = gdb.selected_inferior()
for line in gdb.execute("info proc mappings", to_string=True).splitlines():
    f = line.split()
    # Writable memory, the stack included: the dynamic linker saves the
    # vector registers there whenever it binds a function, at exit too.
    if len(f) < 5 or not f[0].startswith("0x") or "w" not in f[4]:
        continue
    try:
        data = bytes(memory.read_memory(int(f[0], 16), int(f[1], 16) - int(f[0], 16)))
    except gdb.MemoryError:
        continue
    for s in secrets:
        if s in data:
            print("FOUND", s.hex(), " ".join(f[5:]) or "anonymous")
print("SCANNED")
"""


class Memory(Case):
    """The process's writable memory as it ends, read by gdb."""

    def left_in_memory(self, secrets, *args):
        gdb = shutil.which("gdb")
        if not gdb:
            self.skipTest("gdb is not installed")
        script = self.write("scan.py", SCAN.format(secrets=[s.hex() for s in secrets]).encode())
        done = subprocess.run([gdb, "-q", "-batch", "-nx", "-ex", "set startup-with-shell off",
                               "-ex", "catch syscall exit_group", "-ex", "run", "-ex", f"source {script}",
                               "--args", CLI, *args], cwd=self.dir, capture_output=True, timeout=120)
        lines = done.stdout.decode(errors="replace").splitlines()
        if "SCANNED" not in lines:
            self.skipTest("gdb could not read the memory: " + done.stderr.decode(errors="replace")[-300:])
        return [line for line in lines if line.startswith("FOUND")]

    def test_no_password_and_no_plaintext_left_behind(self):
        # In byte text and in UTF-8; the text's last bytes are the last a copy moved.
        for password, text in [("Zq7 a unique p\u00e4ssword", "a unique plaintext line, caf\u00e9\n" * 50 +
                                "and the very last words Qx\n"),
                               ("\u5bc6 Zq7 unique \u043a\u043b\u044e\u0447", "\u4e16 unique plaintext line\n" * 50 +
                                "and the very last words Qx\n")]:
            with self.subTest(password=password):
                key = MARK + password.encode() if not password.isascii() and "\u5bc6" in password \
                    else password.encode("cp1252")
                self.write("pw.QvP", key)
                self.write("t.txt", text.encode())
                self.write("t.QvH", self.road("encrypt", self.path("pw.QvP"), "t.txt"))
                secrets = [key.removeprefix(MARK), password.encode("utf-16-le"), b"unique plaintext",
                           "unique plaintext".encode("utf-16-le"), b"very last words Qx", "last words Qx".encode("utf-16-le")]
                for args in [("decrypt", "--output", "back.txt", "--force", "t.QvH"),
                             ("encrypt", "--output", "u.QvH", "--force", "t.txt")]:
                    self.assertEqual(self.left_in_memory(secrets, *args[:1], "--password-file", "pw.QvP", *args[1:]),
                                     [], args[0])


if __name__ == "__main__":
    unittest.main()
