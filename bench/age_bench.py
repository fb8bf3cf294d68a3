#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Wall-clock time and peak memory of the age format here against real age
(Debian's age 1.1), file to file on a random file, in the same run, the runs
interleaved (the order of each pair alternating) and the medians compared.
Both sides use scrypt work factor 18, age's own.

    python3 bench/age_bench.py --ours build/bench/age_driver [--mib 1024] [--runs 3] [--dir FOLDER]
    python3 bench/age_bench.py --cli build/quelvane-cli ...

--ours is the small driver of the age library (bench/age_driver.cpp); --cli
is quelvane-cli once it takes --format age. Pairs:
    encrypt            quelvane --format age     vs  age -p -a
    encrypt binary     quelvane ... --no-armor   vs  age -p
    decrypt            (armored)                 vs  age -d
    decrypt binary                               vs  age -d
and, alone, a header asking work factor 23, which must be refused.

Aims: at most 0.4 times age's time at every step, at most 288 MiB of peak
memory (ru_maxrss from os.wait4), and the work factor 23 header refused in
well under a second in under 64 MiB.

age reads a passphrase only from a terminal: every command, ours too, runs on
a pseudo-terminal made by os.forkpty in a bare starter interpreter (see
STARTER) that answers the prompts, times the child and reads its peak with
os.wait4. Linux carries a process's peak across exec, so each child shows at
least the starter's own few MiB; the benchmark prints that floor.
"""
import argparse
import filecmp
import os
import shutil
import statistics
import subprocess
import sys
import tempfile

MIB = 1024 * 1024
PASSPHRASE = "correct horse battery staple"

# argv: passphrase, number of prompts to answer, command...
STARTER = r"""
import os, sys, time
passphrase, answers, argv = sys.argv[1].encode() + b"\n", int(sys.argv[2]), sys.argv[3:]
start = time.perf_counter()
pid, fd = os.forkpty()
if pid == 0:
    try:
        os.execvp(argv[0], argv)
    finally:
        os._exit(127)
seen, answered = b"", 0
while True:
    try:
        data = os.read(fd, 4096)
    except OSError:
        break
    if not data:
        break
    seen += data
    prompts = seen.count(b"passphrase")
    while answered < min(prompts, answers) and seen.rstrip().endswith(b":"):
        os.write(fd, passphrase)
        answered += 1
_, status, usage = os.wait4(pid, 0)
elapsed = time.perf_counter() - start
os.close(fd)
sys.stderr.write(seen.decode(errors="replace"))
print(elapsed, usage.ru_maxrss * 1024, os.waitstatus_to_exitcode(status), usage.ru_utime + usage.ru_stime)
"""


def timed(cmd, answers=0, must_fail=False, cpu=None):
    """Seconds and peak memory (bytes) of one run on a pseudo-terminal; its CPU seconds appended to cpu."""
    done = subprocess.run([sys.executable, "-S", "-c", STARTER, PASSPHRASE, str(answers), *cmd],
                          capture_output=True)
    try:
        elapsed, peak, status, seconds = done.stdout.split()
    except ValueError:
        sys.exit(f"cannot run {' '.join(cmd)}: {done.stderr.decode(errors='replace')}")
    if (int(status) != 0) != must_fail:
        sys.exit(f"exit status {int(status)}: {' '.join(cmd)}\n{done.stderr.decode(errors='replace')}")
    if cpu is not None:
        cpu.append(float(seconds))
    return float(elapsed), int(peak), done.stderr.decode(errors="replace")


def remove(*paths):
    for p in paths:
        if os.path.exists(p):
            os.remove(p)


def write_random(path, size):
    block = os.urandom(4 * MIB)
    with open(path, "wb") as f:
        left = size
        while left > 0:
            f.write(block[:left])
            block = bytes(reversed(block)) if left % 3 else block[1:] + block[:1]
            left -= min(left, len(block))


def cpu_pressure():
    try:
        with open("/proc/pressure/cpu") as f:
            return float(f.readline().split()[1].split("=")[1])
    except (OSError, IndexError, ValueError):
        return None


class Ours:
    """Our side: the driver, or quelvane-cli once it knows the format."""

    def __init__(self, opts, work):
        self.driver = os.path.abspath(opts.ours) if opts.ours else None
        self.cli = os.path.abspath(opts.cli) if opts.cli else None
        self.passfile = os.path.join(work, "pass")
        with open(self.passfile, "w") as f:
            f.write(PASSPHRASE)  # no line break: quelvane-cli keeps one as part of the password

    def encrypt(self, src, dst, armor):
        if self.driver:
            return [self.driver, "encrypt"] + ([] if armor else ["--no-armor"]) + [self.passfile, src, dst]
        return [self.cli, "encrypt", "--format", "age"] + ([] if armor else ["--no-armor"]) + [
            "--password-file", self.passfile, "--output", dst, src]

    def decrypt(self, src, dst):
        if self.driver:
            return [self.driver, "decrypt", self.passfile, src, dst]
        return [self.cli, "decrypt", "--password-file", self.passfile, "--output", dst, src]


def bench_size(opts, work, mib):
    size = int(mib * MIB)
    ours = Ours(opts, work)

    def path(name):
        return os.path.join(work, name)

    write_random(path("plain"), size)
    # Ciphertexts for the decryptions, made first and kept: each side reads
    # age's own files, so both decrypt the same bytes.
    timed(["age", "-p", "-a", "-o", path("in.armor"), path("plain")], 2)
    timed(["age", "-p", "-o", path("in.bin"), path("plain")], 2)
    steps = {
        "age encrypt": (["age", "-p", "-a", "-o", path("out.age"), path("plain")], 2, "out.age"),
        "ours encrypt": (ours.encrypt(path("plain"), path("out.ours"), True), 0, "out.ours"),
        "age encrypt binary": (["age", "-p", "-o", path("out.age"), path("plain")], 2, "out.age"),
        "ours encrypt binary": (ours.encrypt(path("plain"), path("out.ours"), False), 0, "out.ours"),
        "age decrypt": (["age", "-d", "-o", path("out.age"), path("in.armor")], 1, "out.age"),
        "ours decrypt": (ours.decrypt(path("in.armor"), path("out.ours")), 0, "out.ours"),
        "age decrypt binary": (["age", "-d", "-o", path("out.age"), path("in.bin")], 1, "out.age"),
        "ours decrypt binary": (ours.decrypt(path("in.bin"), path("out.ours")), 0, "out.ours"),
    }
    # Correctness first: ours opens age's files exactly, and age opens ours.
    for src in ("in.armor", "in.bin"):
        timed(ours.decrypt(path(src), path("out.ours")))
        if not filecmp.cmp(path("out.ours"), path("plain"), shallow=False):
            sys.exit(f"our decryption of age's {src} differs")
        remove(path("out.ours"))
    for armor in (True, False):
        timed(ours.encrypt(path("plain"), path("out.ours"), armor))
        timed(["age", "-d", "-o", path("out.age"), path("out.ours")], 1)
        if not filecmp.cmp(path("out.age"), path("plain"), shallow=False):
            sys.exit("age's decryption of our file differs")
        remove(path("out.ours"), path("out.age"))
    floor = timed(["true"])[1]

    times = {name: [] for name in steps}
    cpus = {name: [] for name in steps}
    peaks = {name: 0 for name in steps}
    pressure = [cpu_pressure()]
    load = [os.getloadavg()]
    pairs = [["age encrypt", "ours encrypt"], ["age encrypt binary", "ours encrypt binary"],
             ["age decrypt", "ours decrypt"], ["age decrypt binary", "ours decrypt binary"]]
    for run in range(opts.runs):
        for pair in pairs:
            for name in (pair if run % 2 == 0 else pair[::-1]):
                cmd, answers, output = steps[name]
                elapsed, peak, _ = timed(cmd, answers, cpu=cpus[name])
                remove(path(output))
                times[name].append(elapsed)
                peaks[name] = max(peaks[name], peak)
    pressure.append(cpu_pressure())
    load.append(os.getloadavg())

    # A header asking 2^23: our file with its work factor raised.
    timed(ours.encrypt(path("pass"), path("small.age"), False))
    with open(path("small.age"), "rb") as f:
        small = f.read()
    high = small.replace(b" 18\n", b" 23\n", 1)
    with open(path("high.age"), "wb") as f:
        f.write(high)
    high_time, high_peak, said = timed(ours.decrypt(path("high.age"), path("out.ours")), 0, must_fail=True)
    remove(path("plain"), path("in.armor"), path("in.bin"), path("small.age"), path("high.age"), path("out.ours"))

    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"\n{mib:g} MiB random file, {opts.runs} interleaved runs, file to file in {work}")
    print("  load average (1, 5, 15 min) before: {:.2f} {:.2f} {:.2f}, after: {:.2f} {:.2f} {:.2f}".format(
        *load[0], *load[1]))
    if None not in pressure:
        print(f"  some task waited for a core {pressure[0]:.0f}% of the time before the runs, "
              f"{pressure[1]:.0f}% after (/proc/pressure/cpu, 10 s averages)")
    cpu = {name: statistics.median(t) for name, t in cpus.items()}
    print(f"  {'step':22} {'median':>10} {'min':>10} {'CPU (median)':>13} {'peak memory':>12}")
    for name in steps:
        print(f"  {name:22} {median[name] * 1000:8.0f} ms {min(times[name]) * 1000:7.0f} ms "
              f"{cpu[name] * 1000:10.0f} ms {peaks[name] / MIB:8.1f} MiB")
    print(f"  (every child reports at least {floor / MIB:.1f} MiB: the starter's own resident size)")
    met = {True: "met", False: "NOT MET"}
    ok = True
    for step in ("encrypt", "encrypt binary", "decrypt", "decrypt binary"):
        ratio = median[f"ours {step}"] / median[f"age {step}"]
        ok = ok and ratio <= 0.4
        print(f"  {step:16} ours / age = {ratio:.2f}  (aim <= 0.40: {met[ratio <= 0.4]}); "
              f"CPU time {cpu[f'ours {step}'] / cpu[f'age {step}']:.2f}")
    memory = max(peaks[f"ours {s}"] for s in ("encrypt", "encrypt binary", "decrypt", "decrypt binary")) / MIB
    print(f"  our peak memory = {memory:.1f} MiB  (aim <= 288 MiB: {met[memory <= 288]})")
    refused = "23" in said and high_time < 0.5 and high_peak < 64 * MIB
    print(f"  work factor 23: refused in {high_time * 1000:.0f} ms with {high_peak / MIB:.1f} MiB "
          f"(aim well under a second, under 64 MiB: {met[refused]})")
    return ok and memory <= 288 and refused


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    side = parser.add_mutually_exclusive_group(required=True)
    side.add_argument("--ours", help="bench/age_driver")
    side.add_argument("--cli", help="quelvane-cli, once it takes --format age")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--mib", type=float, nargs="+", default=[1024], help="file sizes, in MiB")
    parser.add_argument("--dir", help="where the files go (default: the temporary folder)")
    opts = parser.parse_args()
    if not shutil.which("age"):
        print("SKIP: age not found (Debian: age)")
        sys.exit(77)
    with tempfile.TemporaryDirectory(prefix="quelvane-age-bench-", dir=opts.dir) as work:
        met = [bench_size(opts, work, mib) for mib in opts.mib]
    print("\nevery aim met" if all(met) else "\nsome aim NOT MET")
    sys.exit(0 if all(met) else 1)


if __name__ == "__main__":
    main()
