#!/usr/bin/env python3
"""End-to-end comparison benchmark: korvel-cli against a pandas yardstick.

Generates two CSV files of N records x 10 fields (key in field 1, the right side
shuffled, 1% of records changed in 1-3 fields, 0.5% deleted, 0.5% inserted), times
`korvel-cli --key 1` on them and reports wall time and peak memory, then times the same
comparison written with pandas (merge on the key with an indicator, then a field
comparison). Debian's python3-pandas is installed here when missing, not by scripts/setup.

Usage: bench/bench_compare.py [--records N] [--cli PATH] [--no-pandas] [--keep DIR]
"""

import argparse
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

PANDAS_SCRIPT = r'''
import sys, pandas as pd
left = pd.read_csv(sys.argv[1], dtype=str, keep_default_na=False, header=None,
                   encoding="cp932")
right = pd.read_csv(sys.argv[2], dtype=str, keep_default_na=False, header=None,
                   encoding="cp932")
cols = list(left.columns)
m = left.merge(right, on=cols[0], how="outer", indicator=True, suffixes=("_l", "_r"))
both = m[m["_merge"] == "both"]
diff = pd.Series(False, index=both.index)
for c in cols[1:]:
    diff |= both[f"{c}_l"] != both[f"{c}_r"]
print(f"left={len(left)} right={len(right)} diff={int(diff.sum())} "
      f"left_only={int((m['_merge'] == 'left_only').sum())} "
      f"right_only={int((m['_merge'] == 'right_only').sum())}")
'''


def generate(folder, records, seed=1):
    rng = random.Random(seed)
    words = ["東京都", "大阪府", "株式会社", "ｶﾌﾞｼｷ", "営業部", "開発部", "ABC", "xyz"]

    def row(key):
        fields = [str(key)]
        for f in range(1, 10):
            if f % 3 == 0:
                fields.append(str(rng.randrange(1000000)))
            else:
                fields.append(rng.choice(words) + str(rng.randrange(1000)))
        return fields

    left = [row(100000000 + i) for i in range(records)]
    right = []
    for fields in left:
        r = rng.random()
        if r < 0.005:
            continue  # deleted on the right
        fields = list(fields)
        if r < 0.015:
            for f in rng.sample(range(1, 10), rng.randint(1, 3)):
                fields[f] = fields[f] + "X"
        right.append(fields)
    for i in range(records // 200):
        right.append(row(900000000 + i))  # inserted on the right
    rng.shuffle(right)
    paths = []
    for name, rows in (("left.csv", left), ("right.csv", right)):
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write("".join(",".join(r) + "\r\n" for r in rows).encode("cp932"))
        paths.append(path)
    return paths


def run_with_rss(argv):
    """Runs argv and returns (exit code, stdout, stderr, wall seconds, peak RSS MiB)."""
    start = time.monotonic()
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        pid = os.fork()
        if pid == 0:
            os.dup2(out.fileno(), 1)
            os.dup2(err.fileno(), 2)
            os.execvp(argv[0], argv)
        _, status, usage = os.wait4(pid, 0)
        wall = time.monotonic() - start
        out.seek(0)
        err.seek(0)
        return (os.waitstatus_to_exitcode(status), out.read().decode(errors="replace"),
                err.read().decode(errors="replace"), wall, usage.ru_maxrss / 1024.0)


def ensure_pandas():
    check = subprocess.run(["/usr/bin/python3", "-c", "import pandas"], capture_output=True)
    if check.returncode == 0:
        return True
    print("installing python3-pandas for the yardstick ...", flush=True)
    env = dict(os.environ, DEBIAN_FRONTEND="noninteractive")
    subprocess.run(["apt-get", "update", "-qq"], env=env)
    subprocess.run(["apt-get", "install", "-y", "-qq", "python3-pandas"], env=env)
    check = subprocess.run(["/usr/bin/python3", "-c", "import pandas"], capture_output=True)
    return check.returncode == 0


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=1000000)
    parser.add_argument("--cli", default=os.path.join(here, "..", "build-rel", "korvel-cli"))
    parser.add_argument("--no-pandas", action="store_true")
    parser.add_argument("--keep", help="generate into this folder and keep the files")
    args = parser.parse_args()

    folder = args.keep or tempfile.mkdtemp(prefix="korvel-bench-")
    os.makedirs(folder, exist_ok=True)
    try:
        t0 = time.monotonic()
        left, right = generate(folder, args.records)
        size = os.path.getsize(left) + os.path.getsize(right)
        print(f"generated {args.records} records per side, {size / 1e6:.1f} MB in all, "
              f"in {time.monotonic() - t0:.1f} s")

        code, out, err, wall, rss = run_with_rss([args.cli, "--key", "1", left, right])
        print(f"korvel-cli: exit {code}, {wall:.2f} s, peak {rss:.0f} MiB "
              f"({rss * 1048576 / size:.2f}x the files)")
        print("  " + out.strip().splitlines()[0] if out.strip() else "  (no output) " + err)
        if args.no_pandas or not ensure_pandas():
            return 0
        code, out, err, pwall, prss = run_with_rss(
            ["/usr/bin/python3", "-c", PANDAS_SCRIPT, left, right])
        print(f"pandas:     exit {code}, {pwall:.2f} s, peak {prss:.0f} MiB")
        print("  " + (out.strip() or err.strip()[-500:]))
        print(f"korvel-cli is {pwall / wall:.1f}x faster than pandas")
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)
    return 0


if __name__ == "__main__":
    sys.exit(main())
