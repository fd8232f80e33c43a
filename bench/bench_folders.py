#!/usr/bin/env python3
"""Folder comparison benchmark: korvel-cli --folders against the same pairs one by one.

Generates two folders: SMALL pairs of SMALL_RECORDS records and BIG pairs of BIG_RECORDS
records (10 fields, the right side with 1% of records changed), then times

  loop      korvel-cli --key 1 LEFT RIGHT for each pair, one after another (a shell loop)
  folders   korvel-cli --folders --jobs JOBS --key 1 LEFTDIR RIGHTDIR

and prints the ratio folders / loop (target: at most 0.6 with two jobs). A second part
times --folders over TINY pairs of three equal records each and prints the time per pair.

Usage: bench/bench_folders.py [--cli PATH] [--small N] [--small-records N] [--big N]
                              [--big-records N] [--tiny N] [--jobs N]
"""

import argparse
import os
import random
import shutil
import subprocess
import tempfile
import time


def write_pair(left, right, records, rng):
    with open(left, "w", encoding="utf-8", newline="") as lf, \
            open(right, "w", encoding="utf-8", newline="") as rf:
        for i in range(records):
            row = [str(100000 + i)] + [f"値{rng.randrange(1000)}" for _ in range(9)]
            lf.write(",".join(row) + "\r\n")
            if rng.random() < 0.01:
                row[1 + rng.randrange(9)] = "変更"
            rf.write(",".join(row) + "\r\n")


def timed(command):
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", default=os.path.join(here, "..", "build-rel", "korvel-cli"))
    parser.add_argument("--small", type=int, default=200)
    parser.add_argument("--small-records", type=int, default=5000)
    parser.add_argument("--big", type=int, default=2)
    parser.add_argument("--big-records", type=int, default=1000000)
    parser.add_argument("--tiny", type=int, default=1000)
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    rng = random.Random(1)
    work = tempfile.mkdtemp(prefix="korvel-folders-")
    env = dict(os.environ, KORVEL_HOME=os.path.join(work, "home"))
    os.makedirs(env["KORVEL_HOME"])
    try:
        left, right = os.path.join(work, "L"), os.path.join(work, "R")
        os.makedirs(left)
        os.makedirs(right)
        names = [(f"small{i:04}.csv", args.small_records) for i in range(args.small)]
        names += [(f"big{i}.csv", args.big_records) for i in range(args.big)]
        for name, records in names:
            write_pair(os.path.join(left, name), os.path.join(right, name), records, rng)
        os.environ.update(env)
        loop = sum(timed([args.cli, "--key", "1", os.path.join(left, n), os.path.join(right, n)])
                   for n, _ in names)
        folders = timed([args.cli, "--folders", "--jobs", str(args.jobs), "--key", "1", left,
                         right])
        print(f"{args.small} x {args.small_records} + {args.big} x {args.big_records} records: "
              f"loop {loop:.2f} s, --folders --jobs {args.jobs} {folders:.2f} s, "
              f"ratio {folders / loop:.2f} (target at most 0.6)")

        shutil.rmtree(left)
        shutil.rmtree(right)
        os.makedirs(left)
        os.makedirs(right)
        for i in range(args.tiny):
            for side in (left, right):
                with open(os.path.join(side, f"t{i:05}.csv"), "w") as f:
                    f.write("1,a\r\n2,b\r\n3,c\r\n")
        tiny = timed([args.cli, "--folders", "--jobs", str(args.jobs), "--key", "1", left, right])
        print(f"{args.tiny} tiny pairs: {tiny:.2f} s, {1000 * tiny / args.tiny:.2f} ms per pair "
              f"(target under 2 ms)")
    finally:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
