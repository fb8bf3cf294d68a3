#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Wall-clock time and peak memory of quelvane-cli against
`openssl enc -bf-cbc -a` on the same text file, file to file, measured in the
same run with the runs interleaved (the order of each pair alternating), and
the medians compared. OpenSSL gets its key and IV in hex, so no key
derivation is counted.

    python3 bench/cli_bench.py --cli build/quelvane-cli [--mib 100 1024] [--runs 5]
        [--dir FOLDER] [--road build/tests/cli/road_helper]

Aims: encrypt in at most the time OpenSSL takes, decrypt in at most half of
it, and at most 64 MiB of peak memory (ru_maxrss from os.wait4) at every size.

Files go to FOLDER, by default the temporary folder when it has room for the
largest size (about 6.5 times it: the text, both ciphertexts and one output
at a time), else /dev/shm. Outputs are removed as soon as they are timed.
Each command is started and timed by a bare interpreter of a few MiB (see
STARTER), whose size is the least peak any command can show; the benchmark
prints it. With --road it also times the window's road as a plain program
(the text-file load, TextCipher::Encrypt, the hex written out) at sizes up
to 128 MiB, for scale.
"""
import argparse
import filecmp
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
MIB = 1024 * 1024
ROAD_LIMIT = 128 * MIB  # the window's road holds the text several times over


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
    return bytes(out)


def write_text(path, size):
    """size bytes of such prose, written a block at a time; never ends inside a character."""
    block = make_text(min(size, 4 * MIB))
    with open(path, "wb") as f:
        left = size
        while left > 0:
            part = block[:left]
            if len(part) == left:
                while part and part[-1] & 0xC0 == 0x80:
                    part = part[:-1] + b"."
            f.write(part)
            left -= len(part)


def cpu_pressure():
    """Share of the last 10 s in which some task waited for a core (Linux), or None."""
    try:
        with open("/proc/pressure/cpu") as f:
            return float(f.readline().split()[1].split("=")[1])
    except (OSError, IndexError, ValueError):
        return None


# Starts one command and reports its time and its peak memory (ru_maxrss from
# os.wait4). Linux carries a process's peak across exec, so every child
# reports at least the resident size of the process that started it: this
# starter is a bare interpreter (no site, os and time only) of a few MiB,
# where the benchmark itself holds more.
STARTER = """
import os, sys, time
argv, out = sys.argv[1:], os.devnull
if ">" in argv:
    argv, out = argv[:argv.index(">")], argv[argv.index(">") + 1]
start = time.perf_counter()
pid = os.fork()
if pid == 0:
    try:
        os.dup2(os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o600), 1)
        os.execvp(argv[0], argv)
    finally:
        os._exit(127)
_, status, usage = os.wait4(pid, 0)
elapsed = time.perf_counter() - start
print(elapsed, usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status))
"""


def timed(cmd):
    """Seconds and peak memory (bytes) of one run; standard output into a file after ">"."""
    done = subprocess.run([sys.executable, "-S", "-c", STARTER, *cmd], capture_output=True)
    try:
        elapsed, peak, status = done.stdout.split()
    except ValueError:
        sys.exit(f"cannot run {' '.join(cmd)}: {done.stderr.decode(errors='replace')}")
    if int(status) != 0:
        sys.exit(f"failed ({int(status)}): {' '.join(cmd)}\n{done.stderr.decode(errors='replace')}")
    return float(elapsed), int(peak)


def remove(*paths):
    for p in paths:
        if os.path.exists(p):
            os.remove(p)


def file_system(path):
    """The type of the file system path is on (Linux), or "?"."""
    best, kind = "", "?"
    try:
        with open("/proc/mounts") as f:
            for line in f:
                fields = line.split()
                if len(fields) > 2 and os.path.realpath(path).startswith(fields[1]) and len(fields[1]) > len(best):
                    best, kind = fields[1], fields[2]
    except OSError:
        pass
    return kind


def default_dir(largest):
    """The temporary folder when it has room, else /dev/shm (memory) when that has."""
    for folder in (tempfile.gettempdir(), "/dev/shm"):
        if os.path.isdir(folder) and os.access(folder, os.W_OK) and shutil.disk_usage(folder).free > 6.5 * largest:
            return folder
    return None


def bench_size(opts, cli, work, mib):
    size = int(mib * MIB)

    def path(name):
        return os.path.join(work, name)

    write_text(path("plain.txt"), size)
    with open(path("key.QvP"), "wb") as f:
        f.write(b"correct horse battery staple")
    key = path("key.QvP")
    # Each step writes a file of its own, removed once timed; the ciphertexts
    # the decryptions read are made first and kept.
    steps = {
        "openssl encrypt": (OPENSSL + ["-in", path("plain.txt"), "-out", path("out.b64")], "out.b64"),
        "cli encrypt": ([cli, "encrypt", "--password-file", key, "--output", path("out.QvH"), path("plain.txt")],
                        "out.QvH"),
        "openssl decrypt": (OPENSSL + ["-d", "-in", path("plain.b64"), "-out", path("out.ossl")], "out.ossl"),
        "cli decrypt": ([cli, "decrypt", "--password-file", key, "--output", path("out.TxT"), path("plain.QvH")],
                        "out.TxT"),
    }
    if opts.road and size <= ROAD_LIMIT:
        steps["road encrypt"] = ([os.path.abspath(opts.road), "encrypt", key, path("plain.txt"), ">",
                                  path("out.road")], "out.road")
    timed(OPENSSL + ["-in", path("plain.txt"), "-out", path("plain.b64")])
    timed([cli, "encrypt", "--password-file", key, "--output", path("plain.QvH"), path("plain.txt")])
    timed(steps["cli decrypt"][0])
    if not filecmp.cmp(path("out.TxT"), path("plain.txt"), shallow=False):
        sys.exit("the CLI's decryption differs from the text")
    remove(path("out.TxT"))
    floor = timed(["true"])[1]
    if opts.check:
        for name, (cmd, output) in steps.items():
            timed(cmd)
            remove(path(output))
        print(f"{mib:g} MiB: every step ran; the round trip is exact")
        return True

    times = {name: [] for name in steps}
    peaks = {name: 0 for name in steps}
    pressure = [cpu_pressure()]
    load = [os.getloadavg()]
    pairs = [["openssl encrypt", "cli encrypt"], ["openssl decrypt", "cli decrypt"]]
    if "road encrypt" in steps:
        pairs.append(["road encrypt"])
    for run in range(opts.runs):
        for pair in pairs:
            for name in (pair if run % 2 == 0 else pair[::-1]):  # alternating which goes first
                cmd, output = steps[name]
                elapsed, peak = timed(cmd)
                remove(path(output))
                times[name].append(elapsed)
                peaks[name] = max(peaks[name], peak)
    pressure.append(cpu_pressure())
    load.append(os.getloadavg())
    remove(path("plain.txt"), path("plain.b64"), path("plain.QvH"))

    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"\n{mib:g} MiB text, {opts.runs} interleaved runs, file to file in {work} ({file_system(work)})")
    print("  load average (1, 5, 15 min) before: {:.2f} {:.2f} {:.2f}, after: {:.2f} {:.2f} {:.2f}".format(
        *load[0], *load[1]))
    if None not in pressure:
        print(f"  some task waited for a core {pressure[0]:.0f}% of the time before the runs, "
              f"{pressure[1]:.0f}% after (/proc/pressure/cpu, 10 s averages)")
    print(f"  {'step':16} {'median':>10} {'min':>10} {'peak memory':>12}")
    for name in steps:
        print(f"  {name:16} {median[name] * 1000:8.0f} ms {min(times[name]) * 1000:7.0f} ms "
              f"{peaks[name] / MIB:8.1f} MiB")
    print(f"  (every child reports at least {floor / MIB:.1f} MiB: the resident size of the bare interpreter "
          "that starts it)")
    enc = median["cli encrypt"] / median["openssl encrypt"]
    dec = median["cli decrypt"] / median["openssl decrypt"]
    memory = max(peaks["cli encrypt"], peaks["cli decrypt"]) / MIB
    met = {True: "met", False: "NOT MET"}
    print(f"  encrypt: cli / openssl = {enc:.2f}  (aim <= 1.00: {met[enc <= 1.0]})")
    print(f"  decrypt: cli / openssl = {dec:.2f}  (aim <= 0.50: {met[dec <= 0.5]})")
    print(f"  cli peak memory = {memory:.1f} MiB  (aim <= 64 MiB: {met[memory <= 64]})")
    if "road encrypt" in median:
        print(f"  for scale: the window's road / openssl = {median['road encrypt'] / median['openssl encrypt']:.2f}")
    return enc <= 1.0 and dec <= 0.5 and memory <= 64


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--cli", required=True, help="the quelvane-cli program")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--mib", type=float, nargs="+", default=[100, 1024], help="text sizes, in MiB")
    parser.add_argument("--dir", help="where the files go (default: the temporary folder when it has room, else "
                                      "/dev/shm)")
    parser.add_argument("--road", help="road_helper from the tests, to time the window's road as well")
    parser.add_argument("--check", action="store_true", help="only check that every step runs (exit 0)")
    opts = parser.parse_args()
    if not shutil.which("openssl"):
        print("SKIP: openssl not found")
        sys.exit(77)
    cli = os.path.abspath(opts.cli)
    where = opts.dir or default_dir(max(opts.mib) * MIB)
    with tempfile.TemporaryDirectory(prefix="quelvane-bench-", dir=where) as work:
        met = [bench_size(opts, cli, work, mib) for mib in opts.mib]
    if not opts.check:
        print("\nevery aim met" if all(met) else "\nsome aim NOT MET")


if __name__ == "__main__":
    main()
