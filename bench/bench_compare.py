#!/usr/bin/env python3
"""End-to-end comparison benchmark: korvel-cli against GNU sort+join and pandas.

For each case (1,000,000 and, with --ten-million, also 10,000,000 records; UTF-8 and
Shift-JIS; one key and six keys) it generates two CSV files of N records x 10 fields (the
right side shuffled, 1% of records changed in 1-3 non-key fields, 0.5% deleted, 0.5%
inserted) and times, on the same files:

  cat          both files to /dev/null: the cost of reading the bytes
  korvel-cli   --key 1 (or --key 1 ... --key 6) --encoding utf8|sjis
  sort+join    LC_ALL=C sort of both files on the key, join -a1 -a2, and a field
               comparison in awk (the pipeline is in SORT_JOIN below)
  pandas       merge on the key with an indicator, then a field comparison; only when an
               interpreter here can import pandas (scripts/setup --bench installs Debian's),
               and by default only up to 1,000,000 records (at 10,000,000 it needs over
               10 GiB)

The counts of equal, changed, left-only and right-only records that each contestant
finds are checked against the generator's. It prints each yardstick's time as a multiple
of korvel-cli's, korvel-cli's peak memory as a multiple of the two input files, how much
longer six keys take than one, and a summary table with the targets. The six-key layout
puts a field with 8 distinct values first, so that the key's first field says little.

Generating is done once per record count and key layout for both encodings, with little
Python work per record; with --cache DIR the files stay in DIR (one folder per set of
parameters) and later runs reuse them.

Usage: bench/bench_compare.py [--records N[,N...]] [--ten-million] [--cli PATH]
                              [--no-pandas] [--pandas-limit N] [--only utf8|sjis]
                              [--keys 1|6] [--repeat N] [--cache DIR]
"""

import argparse
import json
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
from array import array

FIELDS = 10
GENERATOR_VERSION = 2  # part of the cache folder's name: change it when the files change
SEED = 1
ENCODINGS = {"utf8": ("utf-8", "UTF-8"), "sjis": ("cp932", "Shift-JIS")}

# $1: folder, $2: left, $3: right, $4: number of key fields. Prints
# "same=N diff=N left_only=N right_only=N". With several key fields each line gets their
# join (by US, which no field holds) in front as one sort and join field.
SORT_JOIN = r'''
set -eu -o pipefail
export LC_ALL=C
dir=$1; keys=$4
prepare() {
  if [ "$keys" -eq 1 ]; then
    sort -t, -k1,1 -T "$dir" "$1" > "$2"
  else
    awk -v keys="$keys" 'BEGIN { FS = OFS = "," }
      { k = $1; for (i = 2; i <= keys; i++) k = k "\037" $i; print k, $0 }' "$1" |
      sort -t, -k1,1 -T "$dir" > "$2"
  fi
}
prepare "$2" "$dir/l.sorted" &
prepare "$3" "$dir/r.sorted"
wait $!
if [ "$keys" -eq 1 ]; then first=1; else first=2; fi
# Every field of both sides after the join field; a missing side shows as its sentinel.
last=$((first + FIELDS - 1))
spec=0
for side in 1 2; do
  for ((i = first; i <= last; i++)); do
    [ "$keys" -eq 1 ] && [ "$i" -eq 1 ] && continue
    spec="$spec,$side.$i"
  done
done
join -t, -a1 -a2 -e $'\001' -o "$spec" "$dir/l.sorted" "$dir/r.sorted" |
  awk -v n=$(( (last - first + 1) - (keys == 1 ? 1 : 0) )) 'BEGIN { FS = "," }
    {
      if ($2 == "\001") { ro++; next }
      if ($(n + 2) == "\001") { lo++; next }
      d = 0
      for (i = 2; i <= n + 1; i++) if ($i != $(i + n)) { d = 1; break }
      if (d) df++; else same++
    }
    END { printf "same=%d diff=%d left_only=%d right_only=%d\n", same, df, lo, ro }'
rm -f "$dir/l.sorted" "$dir/r.sorted"
'''

PANDAS_SCRIPT = r'''
import sys, pandas as pd
enc, keys = sys.argv[3], int(sys.argv[4])
left = pd.read_csv(sys.argv[1], dtype=str, keep_default_na=False, header=None, encoding=enc)
right = pd.read_csv(sys.argv[2], dtype=str, keep_default_na=False, header=None, encoding=enc)
cols = list(left.columns)
m = left.merge(right, on=cols[:keys], how="outer", indicator=True, suffixes=("_l", "_r"))
both = m[m["_merge"] == "both"]
diff = pd.Series(False, index=both.index)
for c in cols[keys:]:
    diff |= both[f"{c}_l"] != both[f"{c}_r"]
print(f"same={len(both) - int(diff.sum())} diff={int(diff.sum())} "
      f"left_only={int((m['_merge'] == 'left_only').sum())} "
      f"right_only={int((m['_merge'] == 'right_only').sum())}")
'''

WORDS = ["東京都", "大阪府", "株式会社", "ｶﾌﾞｼｷ", "営業部", "開発部", "ABC", "xyz"]

# --- generating ------------------------------------------------------------------

TAILS = 4096  # the non-key fields come from this many prepared texts
DELETED, CHANGED = 1, 2


def make_tails(rng, keys):
    """Texts of the fields after the key, each with its leading comma and the line end."""
    tails = []
    for _ in range(TAILS):
        fields = []
        for f in range(keys, FIELDS):
            if f % 3 == 0:
                fields.append(str(rng.randrange(1000000)))
            else:
                fields.append(rng.choice(WORDS) + str(rng.randrange(1000)))
        tails.append("," + ",".join(fields) + "\r\n")
    return tails


def key_maker(keys):
    """A function from a record's identifier to the text of its key fields."""
    if keys == 1:
        return str
    # Few values first; the id's digits spread over the rest keep the whole key unique.
    return lambda ident: (f"{WORDS[ident % 8]},{ident // 100000},{ident // 1000 % 100},"
                          f"{ident // 10 % 100},{ident % 10},K{ident % 7}")


def changed_line(line, ident, keys):
    """The line with 1-3 of its non-key fields changed (each gets an X appended)."""
    rng = random.Random(ident)
    fields = line[:-2].split(",")
    for f in rng.sample(range(keys, FIELDS), rng.randint(1, 3)):
        fields[f] += "X"
    return ",".join(fields) + "\r\n"


def generate(folder, records, keys, encodings):
    """Writes left.<enc>.csv and right.<enc>.csv for each encoding into `folder` and
    returns the counts a comparison must find. Both sides are written in one pass per
    side, every encoding from the same text."""
    rng = random.Random(f"{SEED}:{records}:{keys}")
    tails = make_tails(rng, keys)
    key = key_maker(keys)
    base = 100000000
    bits = rng.getrandbits
    tail_of = array("H", (bits(12) for _ in range(records)))
    # 0.5% deleted on the right, 1% changed there; exact counts.
    fate = bytearray(records)
    picked = rng.sample(range(records), records * 3 // 200)
    deleted = records // 200
    for n, i in enumerate(picked):
        fate[i] = DELETED if n < deleted else CHANGED
    inserted = records // 200
    counts = {"same": records - len(picked), "diff": len(picked) - deleted,
              "left_only": deleted, "right_only": inserted}
    chunk = 200000

    def open_all(side):
        return [(open(os.path.join(folder, f"{side}.{enc}.csv.part"), "wb"), ENCODINGS[enc][0])
                for enc in encodings]

    def write(outs, text):
        for out, codec in outs:
            out.write(text.encode(codec))

    outs = open_all("left")
    for start in range(0, records, chunk):
        write(outs, "".join([key(base + i) + tails[tail_of[i]]
                             for i in range(start, min(records, start + chunk))]))
    for out, _ in outs:
        out.close()

    # The right side in blocks of about a million records, each holding every n-th
    # identifier (so that each spans the whole key range) in random order, plus its share
    # of the inserted records: as shuffled as a sort can tell, without a list of all lines.
    blocks = max(1, records // 1000000)
    extra_tails = [rng.randrange(TAILS) for _ in range(inserted)]
    outs = open_all("right")
    for b in range(blocks):
        ids = [i for i in range(b, records, blocks) if fate[i] != DELETED]
        ids += [-1 - j for j in range(b, inserted, blocks)]
        rng.shuffle(ids)
        for start in range(0, len(ids), chunk):
            lines = []
            for i in ids[start:start + chunk]:
                if i < 0:
                    lines.append(key(900000000 - 1 - i) + tails[extra_tails[-1 - i]])
                    continue
                line = key(base + i) + tails[tail_of[i]]
                lines.append(changed_line(line, i, keys) if fate[i] == CHANGED else line)
            write(outs, "".join(lines))
    for out, _ in outs:
        out.close()
    for side in ("left", "right"):
        for enc in encodings:
            path = os.path.join(folder, f"{side}.{enc}.csv")
            os.replace(path + ".part", path)
    return counts


def prepared_files(cache, records, keys, encodings):
    """The case's folder in `cache`, generating what is not there yet; and the counts."""
    folder = os.path.join(cache, f"r{records}-k{keys}-v{GENERATOR_VERSION}")
    marker = os.path.join(folder, "counts.json")
    have = []
    if os.path.exists(marker):
        with open(marker) as f:
            stored = json.load(f)
        have = [e for e in encodings if e in stored["encodings"]]
        if len(have) == len(encodings):
            return folder, stored["counts"], 0.0
    os.makedirs(folder, exist_ok=True)
    start = time.monotonic()
    counts = generate(folder, records, keys, [e for e in encodings if e not in have])
    with open(marker + ".part", "w") as f:
        json.dump({"counts": counts, "encodings": sorted(set(encodings) | set(have))}, f)
    os.replace(marker + ".part", marker)
    return folder, counts, time.monotonic() - start


# --- running ---------------------------------------------------------------------

def run_with_rss(argv):
    """Runs argv and returns (exit code, stdout, stderr, wall seconds, peak RSS MiB).

    The peak is the largest of the process and the children it waited for, not their sum.
    """
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


def best_of(repeat, argv):
    """run_with_rss `repeat` times; the fastest run's result (peak: the largest seen)."""
    runs = [run_with_rss(argv) for _ in range(repeat)]
    best = min(runs, key=lambda r: r[3])
    return best[:4] + (max(r[4] for r in runs),)


def parse_counts(text):
    counts = {}
    for item in text.split():
        name, _, value = item.partition("=")
        if value.isdigit():
            counts[name] = int(value)
    return counts


def pandas_python():
    """An interpreter that can import pandas: this one, else the system's (where Debian's
    python3-pandas goes), else None."""
    for candidate in (sys.executable, "/usr/bin/python3"):
        if os.access(candidate, os.X_OK) and subprocess.run(
                [candidate, "-c", "import pandas"], capture_output=True).returncode == 0:
            return candidate
    return None


def korvel_counts(summary):
    """The counts in korvel-cli's summary line, named as the generator names them."""
    found = re.search(r"左総数:(\d+)件 右総数:(\d+)件 相違レコード数:(\d+)件 左のみ:(\d+)件 "
                      r"右のみ:(\d+)件", summary)
    if not found:
        return {}
    left, right, diff, left_only, right_only = (int(g) for g in found.groups())
    return {"same": left - left_only - diff, "diff": diff, "left_only": left_only,
            "right_only": right_only}


def checked(got, expected):
    return "counts agree with the generator" if got == expected else \
        f"COUNTS DIFFER: {got} against {expected}"


def run_case(args, folder, records, encoding, keys, expected, python):
    codec, name = ENCODINGS[encoding]
    label = f"{records:,} x {name}, {keys} key{'s' * (keys > 1)}"
    left = os.path.join(folder, f"left.{encoding}.csv")
    right = os.path.join(folder, f"right.{encoding}.csv")
    size = os.path.getsize(left) + os.path.getsize(right)
    print(f"\n== {label}: {size / 1e6:.1f} MB in all", flush=True)
    # Both files once through the page cache, so that the first contestant pays no more;
    # then the time of reading them, for scale.
    subprocess.run(["cat", left, right], stdout=subprocess.DEVNULL, check=True)
    cat = best_of(args.repeat, ["cat", left, right])[3]
    print(f"cat         {cat:6.2f} s")

    argv = [args.cli, "--encoding", encoding]
    for k in range(1, keys + 1):
        argv += ["--key", str(k)]
    code, out, err, wall, rss = best_of(args.repeat, argv + [left, right])
    first = out.strip().splitlines()[0] if out.strip() else err.strip()[-300:]
    korvel_ok = korvel_counts(first) == expected
    print(f"korvel-cli  exit {code}  {wall:6.2f} s  peak {rss:5.0f} MiB "
          f"= {rss * 1048576 / size:.2f}x the input")
    print(f"  {first}  {checked(korvel_counts(first), expected)}", flush=True)

    work = tempfile.mkdtemp(prefix="sortjoin-", dir=folder)
    try:
        code, out, err, swall, srss = best_of(
            args.repeat, ["bash", "-c", SORT_JOIN.replace("FIELDS", str(FIELDS)), "sort-join",
                          work, left, right, str(keys)])
    finally:
        shutil.rmtree(work, ignore_errors=True)
    print(f"sort+join   exit {code}  {swall:6.2f} s  peak {srss:5.0f} MiB (largest process)  "
          f"{checked(parse_counts(out), expected)}", flush=True)
    if code != 0:
        print("  " + err.strip()[-500:])
    result = {"case": label, "records": records, "encoding": name, "keys": keys,
              "size": size, "cat": cat, "korvel": wall, "rss": rss * 1048576 / size,
              "sortjoin": swall, "pandas": None,
              "ok": korvel_ok and parse_counts(out) == expected}

    if python and records <= args.pandas_limit:
        code, out, err, pwall, prss = run_with_rss(
            [python, "-c", PANDAS_SCRIPT, left, right, codec, str(keys)])
        got = parse_counts(out)
        print(f"pandas      exit {code}  {pwall:6.2f} s  peak {prss:5.0f} MiB  "
              f"{checked(got, expected) if got else err.strip()[-300:]}", flush=True)
        result["pandas"] = pwall
        result["ok"] = result["ok"] and got == expected
    return result


# Targets: yardstick ratios by record count, peak memory by key count, six against one.
SORT_JOIN_TARGET = 2.0
PANDAS_TARGET = {1000000: 20.0}
MEMORY_TARGET = {1: 1.2, 6: 1.35}
SIX_KEYS_TARGET = 1.2


def mark(ok):
    return "" if ok else "*"


def summary(results):
    print(f"\n{'records':>10} {'encoding':<9} {'keys':>4} {'MB':>6} {'cat':>6} {'korvel':>7} "
          f"{'sort+join':>9} {'pandas':>7} {'memory':>7}  counts")
    for r in results:
        sj = r["sortjoin"] / r["korvel"]
        line = (f"{r['records']:>10,} {r['encoding']:<9} {r['keys']:>4} {r['size'] / 1e6:6.0f} "
                f"{r['cat']:5.2f}s {r['korvel']:6.2f}s {sj:8.2f}x{mark(sj >= SORT_JOIN_TARGET)}")
        if r["pandas"]:
            pd = r["pandas"] / r["korvel"]
            target = PANDAS_TARGET.get(r["records"])
            line += f" {pd:6.1f}x{mark(target is None or pd >= target)}"
        else:
            line += f" {'-':>7} "
        line += f" {r['rss']:6.2f}x{mark(r['rss'] <= MEMORY_TARGET[r['keys']])}"
        line += "  ok" if r["ok"] else "  WRONG"
        print(line)
    print("(cat and korvel in seconds; sort+join and pandas as multiples of korvel-cli's time;"
          " memory: korvel-cli's peak over the input;\n * marks a missed target: sort+join "
          f">= {SORT_JOIN_TARGET}x, pandas >= {PANDAS_TARGET[1000000]}x at 1M, memory <= "
          f"{MEMORY_TARGET[1]}x with one key and {MEMORY_TARGET[6]}x with six, six keys <= "
          f"{SIX_KEYS_TARGET}x one key)")
    by_case = {(r["records"], r["encoding"], r["keys"]): r["korvel"] for r in results}
    for (records, enc, keys), six in by_case.items():
        one = by_case.get((records, enc, 1))
        if keys == 6 and one:
            print(f"{records:,} x {enc}: six keys take {six / one:.2f}x the time of one"
                  f"{' *' if six / one > SIX_KEYS_TARGET else ''}")


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--records", default="1000000",
                        help="record counts per side, comma-separated (default 1000000)")
    parser.add_argument("--ten-million", action="store_true",
                        help="also 10,000,000 records, after the others")
    parser.add_argument("--cli", default=os.path.join(here, "..", "build-rel", "korvel-cli"))
    parser.add_argument("--no-pandas", action="store_true")
    parser.add_argument("--pandas-limit", type=int, default=1000000,
                        help="run pandas only up to this many records (default 1000000)")
    parser.add_argument("--only", choices=sorted(ENCODINGS))
    parser.add_argument("--keys", type=int, choices=[1, 6])
    parser.add_argument("--repeat", type=int, default=1,
                        help="time cat, korvel-cli and sort+join this many times, keep the best")
    parser.add_argument("--cache", "--keep", dest="cache",
                        help="keep generated files in this folder and reuse them")
    args = parser.parse_args()
    records = [int(n) for n in args.records.split(",") if n]
    if args.ten_million and 10000000 not in records:
        records.append(10000000)
    if not os.access(args.cli, os.X_OK):
        print(f"bench_compare: not an executable: {args.cli}")
        return 2

    python = None if args.no_pandas else pandas_python()
    if not args.no_pandas and not python:
        print("pandas cannot be imported (scripts/setup --bench installs it): its column is "
              "left out")
    cache = args.cache or tempfile.mkdtemp(prefix="korvel-bench-")
    os.makedirs(cache, exist_ok=True)
    encodings = [e for e in ENCODINGS if not args.only or args.only == e]
    results = []
    try:
        for count in records:
            for keys in (1, 6):
                if args.keys and args.keys != keys:
                    continue
                folder, expected, took = prepared_files(cache, count, keys, encodings)
                print(f"\n{count:,} records, {keys} key{'s' * (keys > 1)}: " +
                      (f"generated in {took:.1f} s" if took else f"reused from {folder}"))
                for encoding in encodings:
                    results.append(run_case(args, folder, count, encoding, keys, expected,
                                            python))
    finally:
        if not args.cache:
            shutil.rmtree(cache, ignore_errors=True)
    summary(results)
    return 0 if all(r["ok"] for r in results) else 1


if __name__ == "__main__":
    sys.exit(main())
