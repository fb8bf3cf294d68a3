#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Wall-clock time of quelvane-cli against `openssl enc -bf-cbc -a` on the
same 16 MiB text file, measured in the same run, runs interleaved, medians
compared. Both read a file and write a file in the same temporary folder;
OpenSSL gets its key and IV in hex, so no key derivation is counted.

    python3 bench/cli_bench.py --cli build/quelvane-cli [--runs 15] [--mib 16]
        [--road build/tests/cli/road_helper]

Targets: encrypt within 1.2 times OpenSSL's time, decrypt within its time.
With --road it also times the window's own road run as a plain program
(the text-file load, TextCipher::Encrypt, the hex written out), for scale.
"""
import argparse
import os
import random
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

OPENSSL = ["openssl", "enc", "-bf-cbc", "-a", "-provider", "legacy", "-provider", "default",
           "-K", "00112233445566778899AABBCCDDEEFF", "-iv", "0000000000000000"]


def make_text(size):
    """UTF-8 prose with LF line breaks and a few letters beyond ASCII."""
    rnd = random.Random(20240607)
    words = ["the", "quick", "brown", "fox", "jumps", "over", "lazy", "dog", "naïve", "café",
             "encrypt", "password", "Quelvane", "text", "line", "hex", "1234", "end,", "file."]
    out = bytearray()
    while len(out) < size:
        line = " ".join(rnd.choice(words) for _ in range(rnd.randrange(4, 16)))
        out += line.encode("utf-8") + b"\n"
    del out[size:]
    while out and out[-1] & 0xC0 == 0x80:  # never end inside a character
        del out[-1]
    return bytes(out)


def cpu_pressure():
    """Share of the last 10 s in which some task waited for a core (Linux), or None."""
    try:
        with open("/proc/pressure/cpu") as f:
            return float(f.readline().split()[1].split("=")[1])
    except (OSError, IndexError, ValueError):
        return None


def timed(cmd):
    out = subprocess.DEVNULL
    if ">" in cmd:  # standard output into a file, as a shell redirection does
        cmd, out = cmd[:cmd.index(">")], open(cmd[cmd.index(">") + 1], "wb")
    start = time.perf_counter()
    done = subprocess.run(cmd, stdout=out, stderr=subprocess.PIPE)
    elapsed = time.perf_counter() - start
    if done.returncode != 0:
        sys.exit(f"failed ({done.returncode}): {' '.join(cmd)}\n{done.stderr.decode(errors='replace')}")
    return elapsed


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="the quelvane-cli program")
    parser.add_argument("--runs", type=int, default=15)
    parser.add_argument("--mib", type=float, default=16)
    parser.add_argument("--dir", help="where the files go (default: a new temporary folder)")
    parser.add_argument("--road", help="road_helper from the tests, to time the window's road as well")
    parser.add_argument("--check", action="store_true", help="only check that every step runs (exit 0)")
    opts = parser.parse_args()
    if not shutil.which("openssl"):
        print("SKIP: openssl not found")
        sys.exit(77)
    cli = os.path.abspath(opts.cli)

    with tempfile.TemporaryDirectory(prefix="quelvane-bench-", dir=opts.dir) as work:
        def path(name):
            return os.path.join(work, name)

        text = make_text(int(opts.mib * 1024 * 1024))
        with open(path("plain.txt"), "wb") as f:
            f.write(text)
        with open(path("key.QvP"), "wb") as f:
            f.write(b"correct horse battery staple")

        steps = {
            "openssl encrypt": OPENSSL + ["-in", path("plain.txt"), "-out", path("plain.b64")],
            "cli encrypt": [cli, "encrypt", "--password-file", path("key.QvP"), path("plain.txt"),
                            ">", path("plain.QvH")],
            "openssl decrypt": OPENSSL + ["-d", "-in", path("plain.b64"), "-out", path("back.ossl")],
            "cli decrypt": [cli, "decrypt", "--password-file", path("key.QvP"), path("plain.QvH"),
                            ">", path("back.TxT")],
        }
        if opts.road:
            steps["road encrypt"] = [os.path.abspath(opts.road), "encrypt", path("key.QvP"), path("plain.txt"),
                                     ">", path("road.QvH")]
        # Outputs first, so every decryption has its input.
        for name in steps:
            timed(steps[name])
        with open(path("back.TxT"), "rb") as f:
            back = f.read()
        if back != text:
            sys.exit("the CLI's decryption differs from the text")
        if opts.check:
            print("every step ran; the round trip is exact")
            return

        times = {name: [] for name in steps}
        pressure = [cpu_pressure()]
        order = list(steps)
        for _ in range(opts.runs):
            random.shuffle(order)
            for name in order:
                times[name].append(timed(steps[name]))
        pressure.append(cpu_pressure())

    median = {name: statistics.median(t) for name, t in times.items()}
    if None not in pressure:
        # Both share the cores with whatever else runs; the CLI leans on the second one.
        print(f"some task waited for a core {pressure[0]:.0f}% of the time before the runs, "
              f"{pressure[1]:.0f}% after (/proc/pressure/cpu, 10 s averages)")
    print(f"{opts.mib:g} MiB text, {opts.runs} interleaved runs, median wall-clock time:")
    for name, t in median.items():
        print(f"  {name:16} {t * 1000:7.1f} ms  (min {min(times[name]) * 1000:.1f})")
    enc = median["cli encrypt"] / median["openssl encrypt"]
    dec = median["cli decrypt"] / median["openssl decrypt"]
    print(f"encrypt: cli / openssl = {enc:.2f}  (required <= 1.20: {'met' if enc <= 1.2 else 'NOT MET'})")
    print(f"decrypt: cli / openssl = {dec:.2f}  (required <= 1.00: {'met' if dec <= 1.0 else 'NOT MET'})")
    if "road encrypt" in median:
        print(f"for scale: the window's road / openssl = {median['road encrypt'] / median['openssl encrypt']:.2f}")


if __name__ == "__main__":
    main()
