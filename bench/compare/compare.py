#!/usr/bin/env python3
"""Times quirtle-convert --html and md4c on the same 20 MB document in one paired
hyperfine run, and measures the peak memory of quirtle-convert on documents of 20 MB
and 60 MB. usage: compare.py QUIRTLE_CONVERT MD4C_CLI GEN_CORPUS CORPUS_DIR"""
import json
import os
import subprocess
import sys
import tempfile

RATIO_TARGET = 0.25  # quirtle-convert's time over md4c's
MEMORY_TARGET_MB = 24


def corpus(gen, directory):
    prefix = os.path.join(directory, "corpus20m")
    if not (os.path.exists(prefix + ".txt") and os.path.exists(prefix + ".md")):
        subprocess.run([sys.executable, gen, "20000", prefix], check=True)
    return prefix


def peak_memory_mb(command):
    """Peak resident memory of one run of `command` (output discarded), in MB. GNU time
    starts the command straight from its own small process, so the figure is the
    command's (a Python child would report the interpreter's memory from before exec)."""
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE, text=True, check=True).stderr
    return int(out.strip().splitlines()[-1]) / 1024.0


def main():
    convert, md4c, gen, directory = sys.argv[1:5]
    prefix = corpus(gen, directory)
    quirtle_cmd = f"{convert} --html {prefix}.txt"
    md4c_cmd = f"{md4c} {prefix}.md"
    with tempfile.TemporaryDirectory() as tmp:
        result = os.path.join(tmp, "hyperfine.json")
        subprocess.run(["hyperfine", "-N", "--style", "basic", "-w", "3", "-r", "20",
                        "--export-json", result, quirtle_cmd, md4c_cmd], check=True,
                       stdout=subprocess.DEVNULL)
        with open(result) as f:
            runs = json.load(f)["results"]
    q, m = runs[0], runs[1]
    ratio = q["median"] / m["median"]
    size_mb = os.path.getsize(prefix + ".txt") / 1e6
    print(f"quirtle-convert --html, {size_mb:.1f} MB manuscript: median {q['median']*1000:.1f} ms "
          f"(mean {q['mean']*1000:.1f} ± {q['stddev']*1000:.1f}); "
          f"md4c on the same document: median {m['median']*1000:.1f} ms "
          f"(mean {m['mean']*1000:.1f} ± {m['stddev']*1000:.1f})")
    print(f"quirtle-convert / md4c time: {ratio:.3f} "
          f"(target <= {RATIO_TARGET}: {'met' if ratio <= RATIO_TARGET else 'NOT MET'})")

    with tempfile.TemporaryDirectory(dir=directory) as tmp:
        triple = os.path.join(tmp, "corpus60m.txt")
        with open(prefix + ".txt", "rb") as src:
            data = src.read()
        with open(triple, "wb") as out:
            for _ in range(3):
                out.write(data)
        for label, path in (("20 MB", prefix + ".txt"), ("60 MB", triple)):
            for mode in ("--html", "--xml"):
                peak = peak_memory_mb([convert, mode, path])
                print(f"quirtle-convert {mode} peak memory, {label} manuscript: {peak:.1f} MB "
                      f"(target <= {MEMORY_TARGET_MB} MB: "
                      f"{'met' if peak <= MEMORY_TARGET_MB else 'NOT MET'})")
    print(f"load average: {os.getloadavg()[0]:.2f} {os.getloadavg()[1]:.2f} "
          f"{os.getloadavg()[2]:.2f}")


if __name__ == "__main__":
    main()
