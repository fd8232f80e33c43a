#!/usr/bin/env python3
"""End-to-end comparison benchmark: korvel-cli against GNU sort+join and pandas.

For each case (UTF-8 and Shift-JIS, one key and six keys) it generates two CSV files of
N records x 10 fields (the right side shuffled, 1% of records changed in 1-3 non-key
fields, 0.5% deleted, 0.5% inserted) and times, on the same files:

  korvel-cli   --key 1 (or --key 1 ... --key 6) --encoding utf8|sjis
  sort+join    LC_ALL=C sort of both files on the key, join -a1 -a2, and a field
               comparison in awk (the pipeline is in SORT_JOIN below); its counts of
               equal, changed, left-only and right-only records are checked against the
               generator's
  pandas       merge on the key with an indicator, then a field comparison; only when
               pandas can be imported (it is never installed from here)

and prints each yardstick's time as a multiple of korvel-cli's, and korvel-cli's peak memory
as a multiple of the two input files. The six-key layout puts a field with 8 distinct values
first, so that the key's first field says little.

Usage: bench/bench_compare.py [--records N] [--ten-million] [--cli PATH] [--no-pandas]
                              [--only utf8|sjis] [--keys 1|6] [--keep DIR]
"""

import argparse
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time

FIELDS = 10

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


def key_fields(ident, keys):
    if keys == 1:
        return [str(ident)]
    # Few values first; the id's digits spread over the rest keep the whole key unique.
    return [WORDS[ident % 8], str(ident // 100000), str(ident // 1000 % 100),
            str(ident // 10 % 100), str(ident % 10), "K" + str(ident % 7)]


def generate_rows(records, keys, seed=1):
    """Returns the left and right rows and the counts a comparison must find."""
    rng = random.Random(seed)

    def row(ident):
        fields = key_fields(ident, keys)
        for f in range(len(fields), FIELDS):
            if f % 3 == 0:
                fields.append(str(rng.randrange(1000000)))
            else:
                fields.append(rng.choice(WORDS) + str(rng.randrange(1000)))
        return fields

    left = [row(100000000 + i) for i in range(records)]
    right = []
    counts = {"same": 0, "diff": 0, "left_only": 0, "right_only": 0}
    for fields in left:
        r = rng.random()
        if r < 0.005:
            counts["left_only"] += 1  # deleted on the right
            continue
        fields = list(fields)
        if r < 0.015:
            for f in rng.sample(range(keys, FIELDS), rng.randint(1, 3)):
                fields[f] = fields[f] + "X"
            counts["diff"] += 1
        else:
            counts["same"] += 1
        right.append(fields)
    for i in range(records // 200):
        right.append(row(900000000 + i))  # inserted on the right
        counts["right_only"] += 1
    rng.shuffle(right)
    return ["".join(",".join(r) + "\r\n" for r in rows) for rows in (left, right)], counts


def write_files(folder, texts, encoding):
    paths = []
    for name, text in zip(("left.csv", "right.csv"), texts):
        path = os.path.join(folder, name)
        with open(path, "wb") as out:
            out.write(text.encode(encoding))
        paths.append(path)
    return paths


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


def parse_counts(text):
    counts = {}
    for item in text.split():
        name, _, value = item.partition("=")
        if value.isdigit():
            counts[name] = int(value)
    return counts


def pandas_importable():
    return subprocess.run([sys.executable, "-c", "import pandas"],
                          capture_output=True).returncode == 0


def korvel_counts(summary):
    """The counts in korvel-cli's summary line, named as the generator names them."""
    found = re.search(r"左総数:(\d+)件 右総数:(\d+)件 相違レコード数:(\d+)件 左のみ:(\d+)件 "
                      r"右のみ:(\d+)件", summary)
    if not found:
        return {}
    left, right, diff, left_only, right_only = (int(g) for g in found.groups())
    return {"same": left - left_only - diff, "diff": diff, "left_only": left_only,
            "right_only": right_only}


def run_case(args, folder, encoding, keys, rows, use_pandas):
    label = f"{'UTF-8' if encoding == 'utf-8' else 'Shift-JIS'}, {keys} key{'s' * (keys > 1)}"
    texts, expected = rows
    left, right = write_files(folder, texts, encoding)
    size = os.path.getsize(left) + os.path.getsize(right)
    print(f"\n== {label}: {args.records} records per side, {size / 1e6:.1f} MB in all")
    # Both files once through the page cache, so that the first contestant pays no more.
    for path in (left, right):
        with open(path, "rb") as f:
            while f.read(1 << 24):
                pass

    argv = [args.cli, "--encoding", "utf8" if encoding == "utf-8" else "sjis"]
    for k in range(1, keys + 1):
        argv += ["--key", str(k)]
    code, out, err, wall, rss = run_with_rss(argv + [left, right])
    print(f"korvel-cli  exit {code}  {wall:6.2f} s  peak {rss:5.0f} MiB "
          f"= {rss * 1048576 / size:.2f}x the input")
    first = out.strip().splitlines()[0] if out.strip() else err.strip()[-300:]
    check = "counts agree with the generator" if korvel_counts(first) == expected else \
        f"COUNTS DIFFER from {expected}"
    print(f"  {first}  {check}")

    code, out, err, swall, srss = run_with_rss(
        ["bash", "-c", SORT_JOIN.replace("FIELDS", str(FIELDS)), "sort-join", folder, left, right,
         str(keys)])
    got = parse_counts(out)
    check = "counts agree with the generator" if got == expected else \
        f"COUNTS DIFFER: {got} against {expected}"
    print(f"sort+join   exit {code}  {swall:6.2f} s  peak {srss:5.0f} MiB (largest process)  "
          f"{check}")
    if code != 0:
        print("  " + err.strip()[-500:])
    result = {"case": label, "korvel": wall, "rss": rss / (size / 1048576), "sortjoin": swall,
              "pandas": None}

    if use_pandas:
        code, out, err, pwall, prss = run_with_rss(
            [sys.executable, "-c", PANDAS_SCRIPT, left, right,
             "utf-8" if encoding == "utf-8" else "cp932", str(keys)])
        got = parse_counts(out)
        check = "counts agree" if got == expected else f"COUNTS DIFFER: {got or err[-300:]}"
        print(f"pandas      exit {code}  {pwall:6.2f} s  peak {prss:5.0f} MiB  {check}")
        result["pandas"] = pwall
    return result


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser()
    parser.add_argument("--records", type=int, default=1000000)
    parser.add_argument("--ten-million", action="store_true", help="same as --records 10000000")
    parser.add_argument("--cli", default=os.path.join(here, "..", "build-rel", "korvel-cli"))
    parser.add_argument("--no-pandas", action="store_true")
    parser.add_argument("--only", choices=["utf8", "sjis"])
    parser.add_argument("--keys", type=int, choices=[1, 6])
    parser.add_argument("--keep", help="generate into this folder and keep the files")
    args = parser.parse_args()
    if args.ten_million:
        args.records = 10000000

    use_pandas = not args.no_pandas and pandas_importable()
    if not args.no_pandas and not use_pandas:
        print("pandas cannot be imported: its column is left out")
    folder = args.keep or tempfile.mkdtemp(prefix="korvel-bench-")
    os.makedirs(folder, exist_ok=True)
    results = []
    encodings = [e for e in ("utf-8", "cp932")
                 if not args.only or args.only == ("utf8" if e == "utf-8" else "sjis")]
    try:
        for keys in (1, 6):
            if args.keys and args.keys != keys:
                continue
            t0 = time.monotonic()
            rows = generate_rows(args.records, keys)
            print(f"\n{keys}-key rows generated in {time.monotonic() - t0:.1f} s")
            for encoding in encodings:
                results.append(run_case(args, folder, encoding, keys, rows, use_pandas))
    finally:
        if not args.keep:
            shutil.rmtree(folder, ignore_errors=True)

    print(f"\n{'case':<22} {'korvel-cli':>10} {'sort+join':>10} {'pandas':>8} {'memory':>8}")
    for r in results:
        pandas = f"{r['pandas'] / r['korvel']:.1f}x" if r["pandas"] else "-"
        print(f"{r['case']:<22} {r['korvel']:9.2f}s {r['sortjoin'] / r['korvel']:9.2f}x "
              f"{pandas:>8} {r['rss']:7.2f}x")
    print("(yardsticks as multiples of korvel-cli's time; memory: korvel-cli's peak over the "
          "input)")
    by_case = {r["case"]: r["korvel"] for r in results}
    for enc in ("UTF-8", "Shift-JIS"):
        one, six = by_case.get(f"{enc}, 1 key"), by_case.get(f"{enc}, 6 keys")
        if one and six:
            print(f"{enc}: six keys take {six / one:.2f}x the time of one")
    return 0


if __name__ == "__main__":
    sys.exit(main())
