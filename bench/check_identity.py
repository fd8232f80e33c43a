#!/usr/bin/env python3
"""Checks that two korvel-cli binaries give byte-identical results on generated inputs.

    bench/check_identity.py BEFORE AFTER [--only TEXT] [--jobs N] [--keep] [--list]

A change meant only to make the program faster must leave every output as it was. This
script writes pairs of input files (from a fixed seed, so every run sees the same bytes)
into a temporary folder and runs both binaries on each case with the same arguments, in
the same folder and environment (KORVEL_HOME in that folder, a fixed locale), one after
the other. It compares, byte for byte: the exit status, standard output (the summary and
the --pairs rows), standard error (every message), and every file the run leaves behind:
the exports in each format and layout, the field reports, and whatever the program
writes into its settings folder. An .xlsx export is compared member by member, with the
creation time in docProps/core.xml set aside (it is the clock, not the result).

Each case runs a set of invocations: in the "full" set the summary alone, --pairs, the
report to standard output, and the nine format x layout exports, each with one of the
extractions (everything, diff, diff-all, equal, left-only, right-only, field-diff:N,
field-equal:N) and --pairs, together with a report file (JSON Lines or CSV, with and
without --report-all-fields); the "lean" set (large files) the summary, --pairs, and three
exports of smaller extractions; the "fail" set the run alone and with --pairs and an
export, so that refusals and their messages are compared too.

Prints one line per case, "same" or "DIFFERENT" with the first differing output of the
first differing invocation, and exits 1 when any case differs, 0 when none does, 2 on bad
usage. It needs two binaries, so it is not a ctest test; run it with Release builds:

    bench/check_identity.py /tmp/korvel-cli-before build-rel/korvel-cli
"""

import argparse
import concurrent.futures
import io
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import time
import zipfile

TIMEOUT_SECONDS = 300
SEED = 20261207

# --- texts -----------------------------------------------------------------

FAMILY = ["山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村", "小林", "加藤",
          "髙橋", "斉藤", "齋藤", "吉田", "能登", "十河"]
# Double-byte characters whose Shift-JIS trail byte is an ASCII capital letter (ア 83 41,
# ゼ 83 5B, マ 83 7D ...), a backslash (ソ 83 5C, 表 95 5C) or "|" (ポ 83 7C): the sort
# folds letter case of single bytes only, never of a trail byte.
TRAIL = ["ア", "イ", "ウ", "エ", "オ", "カ", "キ", "ク", "ケ", "コ", "サ", "シ", "ソ", "表", "能",
         "ポ", "怖", "Ａ", "Ｂ", "ａ", "ｂ", "Ｚ"]
HALF_KANA = ["ｱ", "ｲ", "ｶﾞ", "ﾀﾞ", "ﾊﾟ", "ｿ", "ﾎﾟ", "ｰ"]
WORDS = ["東京都", "大阪府", "株式会社", "ｶﾌﾞｼｷ", "営業部", "開発部", "ABC", "xyz", "①企画",
         "～波～", "－", "全角　空白", "半角 空白", "カンマ,入り", "引用符\"入り\"", ""]
MULTILINE = ["一行目\r\n二行目", "first\r\nsecond\r\nthird", "改行\nLFのみ", "CR\rのみ",
             "引用\"符\"と\r\n改行", "末尾改行\r\n", "\r\n"]
NUMBERS = ["0", "1", "-1", "+1", "007", "7", "+7", "-007", " 7", "\t8", "3.5", "3.50", "",
           "abc", "12abc", "１２", "4294967297", "4294967296", "2147483648", "-2147483649",
           "99999999999999999999", "-0", "+-3", "0x10", "1e3", " ", "00000000000000000001"]
DECIMALS = ["1", "1.0", "1.00", "0.999", "1.001", "-1", "-0", "0", "+0.5", ".5", "0.5",
            "1e3", "1000", "１", "abc", "", " 1 ", "1,000", "12345678901234567890.5",
            "-12345678901234567890.4", "3.14159265358979323846", "1.5", "2.5"]


class Gen:
    """Random choices from one seed per case, so that a case's files never depend on
    which other cases run."""

    def __init__(self, name):
        self.rng = random.Random(f"{SEED}:{name}")

        self.random = self.rng.random

    def below(self, n):
        return int(self.random() * n)

    def chance(self, percent):
        return self.random() * 100 < percent

    def choice(self, items):
        return items[int(self.random() * len(items))]

    def shuffle(self, items):
        self.rng.shuffle(items)


def key_text(g, i):
    """A text key of record i: ASCII, double-byte with trail bytes in A-Z, half-width
    kana, long shared prefixes, keys that are prefixes of others, empty keys."""
    kind = i % 11
    if kind == 0:
        return "K%06d" % i
    if kind == 1:
        return "k%06d" % i  # lower-case twin space of kind 0
    if kind == 2:
        return g.choice(TRAIL) + g.choice(TRAIL) + str(i % 97)
    if kind == 3:
        return "株式会社東京本社営業部第一課" + str(i)  # 28 shared bytes before the digits
    if kind == 4:
        return "ABCDEFGHIJKLMNOPQRSTUVWXYZ"[: 1 + i % 26]  # prefixes of one another
    if kind == 5:
        return g.choice(HALF_KANA) + g.choice(HALF_KANA) + "%d" % (i % 50)
    if kind == 6:
        return ""
    if kind == 7:
        return "Key " + str(i % 500) + (" " if i % 3 else "")  # trailing blank or not
    if kind == 8:
        return "%d" % (i * 7919 % 100000)
    if kind == 9:
        return "ｱｲｳ" + "x" * (i % 20)
    return "Mixed" + g.choice(["a", "A", "ä", "Ａ", "ア", "_", "~", "\x7f"]) + str(i % 300)


def unique_key(g, i):
    """A key of record i that no other record has (before duplicates are made on
    purpose), in the same kinds of text as key_text."""
    kind = i % 7
    if kind == 0:
        return "K%07d" % i
    if kind == 1:
        return "k%07d" % i
    if kind == 2:
        return g.choice(TRAIL) + g.choice(TRAIL) + str(i)
    if kind == 3:
        return "株式会社東京本社営業部第一課" + str(i)
    if kind == 4:
        return g.choice(HALF_KANA) + str(i) + g.choice(["", " ", "Ab"])
    if kind == 5:
        return str(i * 7919 % 10000019)
    return "Mixed" + g.choice(["a", "A", "ア", "_", "~"]) + str(i)


def cell_text(g, f):
    r = g.below(100)
    if r < 30:
        return str(g.below(1000000) - 1000)
    if r < 60:
        return g.choice(FAMILY) + g.choice(WORDS)
    if r < 70:
        return g.choice(TRAIL) * (1 + g.below(5))
    if r < 75:
        return g.choice(HALF_KANA) + g.choice(["", " ", "　"])
    if r < 80:
        return ""
    return g.choice(WORDS) + str(f)


def change(g, row, first, count):
    """Changes one cell from `first` on, now and then only in letter case or spaces."""
    if len(row) <= first:
        return row
    row = list(row)
    f = first + g.below(len(row) - first)
    r = g.below(10)
    if r == 0:
        row[f] = row[f].swapcase()
    elif r == 1:
        row[f] = row[f] + "　" if "　" not in row[f] else row[f].replace("　", " ")
    elif r == 2 and count:
        row[f] = ""
    else:
        row[f] = cell_text(g, f) + "変"
    return row


def right_side(g, left, keys, drop=3, changed=10, added=3, short=1, stir=True):
    """The right side of `left`: rows dropped, changed, cut short and added, the order
    stirred in blocks."""
    out = []
    for row in left:
        r = g.below(100)
        if r < drop:
            continue
        if r < drop + changed:
            row = change(g, row, keys, True)
        elif r < drop + changed + short and len(row) > keys + 1:
            row = row[: keys + g.below(len(row) - keys)]
        out.append(row)
        if g.below(100) < added:
            new = list(row)
            new[0] = new[0] + "+" if new else "+"
            out.append(new)
    if stir:
        for start in range(0, len(out), 13):
            block = out[start:start + 13]
            g.shuffle(block)
            out[start:start + 13] = block
    return out


# --- writing ---------------------------------------------------------------

def quote(cell, delim, always):
    if (always or delim in cell or '"' in cell or "\n" in cell or "\r" in cell or
            cell[:1] == " "):
        return '"' + cell.replace('"', '""') + '"'
    return cell


def delimited(rows, delim=",", newline="\r\n", quote_all=False, final=True):
    memo = {}

    def quoted(cell):
        q = memo.get(cell)
        if q is None:
            q = memo[cell] = quote(cell, delim, quote_all)
        return q

    text = newline.join(delim.join(map(quoted, row)) for row in rows)
    return text + newline if final and rows else text


def encode(text, encoding):
    if encoding == "sjis":
        return text.encode("cp932", errors="replace")
    if encoding == "utf8":
        return text.encode("utf-8")
    if encoding == "utf8bom":
        return b"\xef\xbb\xbf" + text.encode("utf-8")
    if encoding == "u16le":
        return b"\xff\xfe" + text.encode("utf-16-le")
    if encoding == "u16be":
        return b"\xfe\xff" + text.encode("utf-16-be")
    if encoding == "u16le-nobom":
        return text.encode("utf-16-le")
    if encoding == "eucjp":
        return text.encode("euc_jp", errors="replace")
    raise ValueError(encoding)


class Case:
    """One comparison: files (name -> bytes), the options, the set of invocations."""

    def __init__(self, name, files, args, runs="full", field=2, stdin=None):
        self.name = name
        self.files = files
        self.args = args  # {D} stands for the data folder
        self.runs = runs
        self.field = field  # the field of field-diff:N and field-equal:N
        self.stdin = stdin  # a file name fed to standard input


def pair(name, left, right, args, runs="full", field=2, ext="csv", stdin=None):
    files = {f"{name}_l.{ext}": left, f"{name}_r.{ext}": right}
    paths = [f"{{D}}/{name}_l.{ext}", f"{{D}}/{name}_r.{ext}"]
    if stdin == "left":
        paths[0] = "-"
        stdin = f"{name}_l.{ext}"
    return Case(name, files, args + paths, runs, field, stdin)


# --- the cases ---------------------------------------------------------------

def base_rows(g, count, fields=6, key_of=None):
    """`count` records of `fields` cells; the first cells from key_of (one text key when
    none is given). Large tables draw their other cells from a pool, which is quicker."""
    rows = []
    pool = [cell_text(g, f) for f in range(4096)] if count > 10000 else None
    for i in range(count):
        key = key_of(g, i) if key_of else [key_text(g, i)]
        if pool:
            rest = [pool[int(g.random() * 4096)] for _ in range(len(key), fields)]
        else:
            rest = [cell_text(g, f) for f in range(len(key), fields)]
        rows.append(key + rest)
    return rows


def duplicates(name, both):
    g = Gen(name)
    left = base_rows(g, 900)
    # Runs of 2-4 records with one key, some identical, some not.
    dup_left = []
    for row in left:
        dup_left.append(row)
        if both and g.chance(12):
            for _ in range(1 + g.below(3)):
                dup_left.append(change(g, row, 1, False) if g.chance(50) else list(row))
    right = right_side(g, dup_left, 1)
    dup_right = []
    for row in right:
        dup_right.append(row)
        if g.chance(12):
            for _ in range(1 + g.below(3)):
                dup_right.append(change(g, row, 1, False) if g.chance(50) else list(row))
    return dup_left, dup_right


def cases_keys():
    out = []
    left, right = duplicates("dup-one-side", False)
    out.append(pair("dup-keys-one-side", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), ["--key", "1"]))
    left, right = duplicates("dup-both-sides", True)
    out.append(pair("dup-keys-both-sides", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), ["--key", "1"], field=3))
    # Every key three ways: as it is, upper-cased, lower-cased; the sides hold different
    # spellings and some the same.
    g = Gen("case-only")
    rows = base_rows(g, 700)
    left, right = [], []
    for row in rows:
        k = row[0]
        for variant in (k, k.upper(), k.lower(), k.swapcase()):
            if g.chance(40):
                left.append([variant] + row[1:])
            if g.chance(40):
                right.append([variant] + (row[1:] if g.chance(80) else change(g, row, 1, 0)[1:]))
    g.shuffle(right)
    out.append(pair("case-only-keys", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), ["--key", "1", "--key", "3"]))
    out.append(pair("case-only-keys-utf8", encode(delimited(left), "utf8"),
                    encode(delimited(right), "utf8"), ["--encoding", "utf8", "--key", "1"],
                    runs="lean"))
    # Numeric keys: signs, leading zeros, blanks, text, overflow that wraps.
    g = Gen("numeric")
    left, right = [], []
    for i in range(1500):
        n = g.choice(NUMBERS) if g.chance(30) else str(g.below(4000) - 2000)
        if g.chance(10):
            n = "0" * (1 + g.below(3)) + n.lstrip("-+")
        row = [n, cell_text(g, 1), g.choice(NUMBERS), cell_text(g, 3)]
        left.append(row)
        if g.chance(92):
            right.append(change(g, row, 1, True) if g.chance(10) else row)
        if g.chance(5):
            right.append([g.choice(NUMBERS), "右のみ", str(i), ""])
    g.shuffle(right)
    lt, rt = encode(delimited(left), "sjis"), encode(delimited(right), "sjis")
    out.append(pair("numeric-key", lt, rt, ["--key", "1:num"]))
    out.append(pair("numeric-key-as-text", lt, rt, ["--key", "1"], runs="lean"))
    out.append(pair("numeric-two-keys", lt, rt, ["--key", "3:num", "--key", "1:num"],
                    runs="lean", field=2))
    out.append(pair("numeric-and-text-keys", lt, rt, ["--key", "1:num", "--key", "2"],
                    runs="lean", field=4))
    # Missing cells: short records on both sides, key cells missing too.
    g = Gen("missing")
    left = base_rows(g, 800, fields=7)
    for i in range(0, len(left), 7):
        left[i] = left[i][: g.below(7)]
    right = right_side(g, left, 1, short=15)
    for i in range(3, len(right), 11):
        right[i] = right[i][: 1 + g.below(3)]
    lt, rt = encode(delimited(left), "sjis"), encode(delimited(right), "sjis")
    out.append(pair("missing-cells", lt, rt, ["--key", "1"], field=5))
    out.append(pair("missing-key-cells", lt, rt, ["--key", "4", "--key", "2"], field=6))
    out.append(pair("missing-cells-no-key", lt, rt, [], field=3))
    # Six keys, the first with few values; and one of them numeric.
    g = Gen("six")

    def six_keys(g, i):
        return [g.choice(["A", "a", "B", "営業", "開発"]), str(i % 7), "%02d" % (i % 13),
                g.choice(TRAIL), str(i // 91), "x" if i % 2 else "X"]

    left = base_rows(g, 2500, fields=10, key_of=six_keys)
    right = right_side(g, left, 6)
    lt, rt = encode(delimited(left), "sjis"), encode(delimited(right), "sjis")
    keys6 = [a for k in range(1, 7) for a in ("--key", str(k))]
    out.append(pair("six-keys", lt, rt, keys6, field=8))
    out.append(pair("six-keys-reversed-numeric", lt, rt,
                    ["--key", "6", "--key", "5:num", "--key", "4", "--key", "3:num",
                     "--key", "2:num", "--key", "1"], runs="lean", field=9))
    out.append(pair("one-key-of-six", lt, rt, ["--key", "2:num"], runs="lean", field=1))
    return out


def cases_large():
    out = []
    # Large enough that both sides are read on their own threads for a while, the row
    # tables grow through many arena blocks and the sort has real work.
    g = Gen("big-utf8")
    left = base_rows(g, 200000, fields=10, key_of=lambda g, i: [unique_key(g, i)])
    for i in range(0, len(left), 997):
        left[i + 1][0] = left[i][0]  # duplicate keys
        left[i + 2][0] = left[i][0].swapcase()  # case twins
    right = right_side(g, left, 1, drop=1, changed=2, added=1)
    out.append(pair("big-200k-utf8-one-key", encode(delimited(left), "utf8"),
                    encode(delimited(right), "utf8"), ["--encoding", "utf8", "--key", "1"],
                    runs="lean", field=5))
    g = Gen("big-sjis-six")

    def six_keys(g, i):
        return [g.choice(["東京", "大阪", "ABC", "abc"]), str(i % 3), str(i // 1000),
                "%03d" % (i % 1000 // 10), g.choice(TRAIL), str(i % 10)]

    left = base_rows(g, 80000, fields=10, key_of=six_keys)
    right = right_side(g, left, 6, drop=1, changed=2, added=1)
    keys6 = [a for k in range(1, 7) for a in ("--key", str(k))]
    out.append(pair("big-80k-sjis-six-keys", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), keys6, runs="lean", field=9))
    g = Gen("big-u16")
    left = []
    for i in range(60000):
        n = g.choice(NUMBERS) if g.chance(3) else str(g.below(120000) - 30000)
        left.append([n, cell_text(g, 1), str(i % 50), cell_text(g, 3), cell_text(g, 4)])
    right = right_side(g, left, 1, drop=2, changed=3, added=2)
    out.append(pair("big-60k-utf16-numeric-key", encode(delimited(left), "u16le"),
                    encode(delimited(right), "u16be"), ["--key", "1:num", "--key", "3"],
                    runs="lean", field=4))
    # TAB, EUC-JP, no key: pairing by position over many rows.
    g = Gen("big-tab")
    left = [[str(i), cell_text(g, 1), cell_text(g, 2), cell_text(g, 3)] for i in range(50000)]
    # Paired by position: cells change and rows are cut short, none are dropped or added
    # in the middle (which would make every later pair differ), a few are added at the end.
    right = right_side(g, left, 1, drop=0, added=0, stir=False)
    right += [[str(i), "追加", "", ""] for i in range(50000, 50040)]
    for rows in (left, right):
        for row in rows:
            for k, c in enumerate(row):
                row[k] = c.replace("\t", " ").replace('"', "'")
    out.append(pair("big-50k-eucjp-tab-no-key",
                    encode(delimited(left, "\t"), "eucjp"), encode(delimited(right, "\t"), "eucjp"),
                    ["--kind", "tab", "--encoding", "eucjp"], runs="lean", field=3, ext="txt"))
    return out


def cases_encodings():
    out = []
    g = Gen("enc")
    header = ["コード", "氏名", "部署", "金額", "備考", "メモ"]
    left = [header] + base_rows(g, 1500)
    right = [header] + right_side(g, left[1:], 1)
    for i in range(5, len(left), 40):
        left[i][4] = g.choice(MULTILINE)
    lt, rt = delimited(left), delimited(right)
    for enc, opts, runs in (("utf8", ["--encoding", "utf8"], "full"),
                            ("utf8bom", [], "lean"),
                            ("sjis", [], "full"),
                            ("u16le", [], "full"),
                            ("u16be", ["--encoding", "utf16"], "lean"),
                            ("u16le-nobom", ["--encoding", "utf16"], "lean"),
                            ("eucjp", ["--encoding", "eucjp"], "full"),
                            ("eucjp", ["--encoding", "auto"], "lean")):
        name = "enc-%s%s" % (enc, "-auto" if "auto" in opts else "")
        out.append(pair(name, encode(lt, enc), encode(rt, enc),
                        opts + ["--header", "--key", "1"], runs=runs, field=5))
    # The two sides in different encodings, each with its mark.
    out.append(pair("enc-mixed-marks", encode(lt, "utf8bom"), encode(rt, "u16be"),
                    ["--header", "--key", "1"], runs="lean", field=5))
    out.append(pair("enc-utf8-read-as-sjis", encode(lt, "utf8"), encode(rt, "utf8"),
                    ["--header", "--key", "1"], runs="lean", field=5))
    # Characters Shift-JIS cannot hold, from Unicode files: the lost-character marks.
    rows = [["U%d" % i, t, "x"] for i, t in enumerate(["𠮷野家", "絵文字😀", "〜", "Ω≠ß",
                                                          "ｶﾞｷﾞ", "\u00e9t\u00e9", "髙"])]
    rows2 = [list(r) for r in rows]
    rows2[1][1] = "絵文字😁"
    rows2[3][2] = "y"
    out.append(pair("enc-unicode-lost", encode(delimited(rows), "utf8"),
                    encode(delimited(rows2), "u16le"), ["--encoding", "utf8", "--key", "1"]))
    # Standard input as the left side.
    out.append(pair("stdin-left", encode(lt, "sjis"), encode(rt, "sjis"),
                    ["--header", "--key", "1"], runs="lean", field=3, stdin="left"))
    return out


def cases_kinds():
    out = []
    g = Gen("tab")
    odd = ['"引用符で囲んだ"', '"二重の""引用符"""', 'ab"cd"ef', '"複数行の\r\nセル"',
           '"三行\r\n""引用""\r\n終わり"', '"途中で"閉じる', '', '　全角　', 'ソ表能']
    lines_l, lines_r = ["番号\t名前\t部署\tメモ"], ["番号\t名前\t部署\tメモ"]
    for i in range(1200):
        memo = g.choice(odd) if g.chance(25) else g.choice(WORDS)
        cells = [str(i % 700), g.choice(FAMILY), g.choice(WORDS), memo]
        if g.chance(5):
            cells = cells[:2]
        lines_l.append("\t".join(cells))
        if g.chance(95):
            if g.chance(10):
                cells = list(cells)
                cells[-1] = g.choice(odd)
            lines_r.append("\t".join(cells))
    lt = encode("\r\n".join(lines_l) + "\r\n", "sjis")
    rt = encode("\r\n".join(lines_r), "sjis")  # no line break after the last line
    for opts, name, runs in ((["--newline", "0"], "tab", "full"),
                             (["--tab-old"], "tab-old", "lean"),
                             (["--newline", "2"], "tab-newline-2", "lean"),
                             (["--tab-old", "--newline", "1"], "tab-old-newline-1", "lean")):
        out.append(pair(name, lt, rt, ["--kind", "tab", "--header", "--key", "1:num"] + opts,
                        runs=runs, field=4, ext="txt"))
    # Quoted cells over several lines, every line-break form.
    g = Gen("multiline")
    left = base_rows(g, 600)
    for row in left:
        if g.chance(30):
            row[2 + g.below(4)] = g.choice(MULTILINE)
    right = right_side(g, left, 1)
    for row in right:
        if g.chance(5) and len(row) > 3:
            row[3] = g.choice(MULTILINE)
    lt, rt = encode(delimited(left, newline="\n"), "sjis"), encode(delimited(right), "sjis")
    for nl in ("0", "1", "2"):
        out.append(pair("multiline-newline-" + nl, lt, rt, ["--key", "1", "--newline", nl],
                        runs="full" if nl == "2" else "lean", field=4))
    # Another delimiter, where Shift-JIS trail bytes equal it.
    g = Gen("pipe")
    left = base_rows(g, 500)
    for row in left[::5]:
        row[3] = "ポイント|怖"
    right = right_side(g, left, 1)
    out.append(pair("pipe-sjis", encode(delimited(left, "|"), "sjis"),
                    encode(delimited(right, "|"), "sjis"),
                    ["--kind", "other", "--key", "1"], runs="lean", field=4, ext="txt"))
    # Fixed-length.
    g = Gen("fixed")
    widths = [("コード", 6), ("氏名", 12), ("部署", 10), ("金額", 8)]
    definition = b"".join(n.encode("cp932") + b"\t" + str(w).encode() + b"\r\n"
                          for n, w in widths)

    def fixed_line(row):
        data = b""
        for (_, width), cell in zip(widths, row):
            b = b""
            for ch in cell:
                e = ch.encode("cp932", errors="replace")
                if len(b) + len(e) > width:
                    break
                b += e
            data += b + b" " * (width - len(b))
        return data

    left = [["F%04d" % (i % 900), g.choice(FAMILY) + g.choice(TRAIL), g.choice(WORDS),
             str(g.below(99999))] for i in range(1000)]
    right = right_side(g, left, 1)
    body_l = b"\r\n".join(fixed_line(r) for r in left) + b"\r\n"
    body_r = b"\r\n".join(fixed_line(r) for r in right)
    c = pair("fixed", body_l, body_r,
             ["--kind", "fixed", "--fixed-def", "{D}/fixed.dat", "--key", "1"], field=2,
             ext="txt")
    c.files["fixed.dat"] = definition
    out.append(c)
    return out


def cases_options():
    out = []
    # Header with columns paired by name: the right side's columns moved, one dropped and
    # one added.
    g = Gen("names")
    header = ["コード", "氏名", "ﾌﾘｶﾞﾅ", "部署", "金額", "備考"]
    left = base_rows(g, 800)
    right = right_side(g, left, 1)
    order = ["氏名", "コード", "入社年", "金額", "部署", "備考"]
    moved = []
    for i, row in enumerate(right):
        cells = dict(zip(header, row))
        cells["入社年"] = str(1990 + i % 30)
        moved.append([cells.get(n, "") for n in order])
    lt = encode(delimited([header] + left), "sjis")
    rt = encode(delimited([order] + moved), "sjis")
    out.append(pair("header-match-names", lt, rt,
                    ["--header", "--match-names", "--key", "コード"], field=5))
    out.append(pair("header-match-names-two-keys", lt, rt,
                    ["--header", "--match-names", "--key", "部署", "--key", "1",
                     "--ignore-spaces", "氏名"], runs="lean", field=6))
    out.append(pair("header-positional", lt, rt, ["--header", "--key", "1"], runs="lean"))
    # Numbers compared as numbers within a tolerance.
    g = Gen("numeric-compare")
    left, right = [], []
    for i in range(1200):
        a, b = g.choice(DECIMALS), g.choice(DECIMALS)
        left.append(["N%d" % i, a, b, g.choice(DECIMALS)])
        r = [left[-1][0], a if g.chance(50) else g.choice(DECIMALS), b, left[-1][3]]
        right.append(r)
    lt, rt = encode(delimited(left), "sjis"), encode(delimited(right), "sjis")
    for tol in ("0", "0.5", "1e+15", "0.001"):
        out.append(pair("numeric-tolerance-" + tol, lt, rt,
                        ["--key", "1", "--numeric", "2,3", "--tolerance", tol],
                        runs="full" if tol == "0.5" else "lean", field=2))
    # Spaces ignored, fields not compared, fields not loaded.
    g = Gen("spaces")
    left = base_rows(g, 800)
    right = []
    for row in left:
        row = list(row)
        if g.chance(30):
            f = 1 + g.below(5)
            row[f] = g.choice([row[f] + " ", "　" + row[f], row[f].replace(" ", "　"),
                               " ".join(row[f]), row[f] + "x"])
        right.append(row)
    g.shuffle(right)
    lt, rt = encode(delimited(left), "sjis"), encode(delimited(right), "sjis")
    out.append(pair("ignore-spaces", lt, rt, ["--key", "1", "--ignore-spaces", "2,3,5"],
                    field=3))
    out.append(pair("not-loaded", lt, rt, ["--key", "1", "--not-loaded", "2,4",
                                           "--not-compared", "6"], field=3))
    out.append(pair("not-loaded-four-no-key", lt, rt, ["--not-loaded", "6,5,3,2"],
                    runs="lean", field=4))
    return out


def cases_limits():
    out = []
    # Cells near the kept size: 499 and 500 bytes load, in single- and double-byte text,
    # and a UTF-8 cell longer than 500 bytes that is shorter in Shift-JIS.
    rows = [["1", "a" * 499], ["2", "b" * 500], ["3", "漢" * 250], ["4", "漢" * 249 + "x"],
            ["5", "ｱ" * 500], ["6", "あ" * 200], ["7", '"' * 250], ["8", "c" * 500]]
    rows2 = [list(r) for r in rows]
    rows2[1][1] = "b" * 499 + "B"
    rows2[3][1] = "漢" * 249 + "y"
    rows2[7][1] = "c" * 499
    out.append(pair("cells-500", encode(delimited(rows), "sjis"), encode(delimited(rows2), "sjis"),
                    ["--key", "1"]))
    out.append(pair("cells-500-utf8", encode(delimited(rows), "utf8"),
                    encode(delimited(rows2), "utf8"), ["--encoding", "utf8", "--key", "1"],
                    runs="lean"))
    for name, cell in (("over-501", "y" * 501), ("over-kanji-251", "漢" * 251),
                       ("over-quoted-600", "z" * 600)):
        rows3 = [list(r) for r in rows] + [["9", cell]]
        out.append(pair("cells-" + name, encode(delimited(rows), "sjis"),
                        encode(delimited(rows3, quote_all=name.startswith("over-q")), "sjis"),
                        ["--key", "1"], runs="fail"))
    # Rows at the limits: 255 fields of 500 bytes, and rows around 64 KiB.
    g = Gen("limits")
    left, right = [], []
    for i in range(12):
        row = ["W%02d" % i] + [chr(0x41 + (i + f) % 26) * 500 for f in range(254)]
        left.append(row)
        row = list(row)
        row[1 + g.below(254)] = "変" * 250
        right.append(row)
    out.append(pair("rows-255-by-500", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), ["--key", "1"], runs="lean", field=200))
    left, right = [], []
    # A key of 4 bytes and 129-131 cells of 500 bytes, then a last cell of 0-500 bytes:
    # rows from 64,504 to 66,004 bytes of text, across 64 KiB however the separators,
    # terminators and offsets of a packed row are counted.
    for full in (129, 130, 131):
        for last in range(0, 501, 17):
            i = len(left)
            row = ["R%03d" % i] + [chr(0x61 + (i + f) % 26) * 500 for f in range(full)]
            row.append("t" * last)
            left.append(row)
            r = list(row)
            if i % 2:
                r[-1] = r[-1][:-1] + "T" if last else "T"
            if i % 5 == 0:
                r[3] = ""
            right.append(r)
    out.append(pair("rows-around-64k", encode(delimited(left), "sjis"),
                    encode(delimited(right), "sjis"), ["--key", "1"], runs="lean", field=100))
    left.extend(["S%03d" % i] + ["x" * (i % 500)] * (250 - i % 5) for i in range(40))
    right.extend(["S%03d" % i] + ["x" * (i % 500)] * (250 - i % 7) for i in range(40))
    g.shuffle(right)
    out.append(pair("rows-wide-mixed-u16", encode(delimited(left), "u16le"),
                    encode(delimited(right), "u16le"), ["--key", "1", "--not-loaded", "2"],
                    runs="lean", field=131))
    # Over 255 fields (the warning), 1000 and 1001 fields.
    wide = [["H%d" % i] + [str(i * f % 10) for f in range(299)] for i in range(20)]
    wide2 = [list(r) for r in wide]
    wide2[3][100] = "変"
    wide2[4][280] = "外"
    out.append(pair("fields-300", encode(delimited(wide), "sjis"),
                    encode(delimited(wide2), "sjis"), ["--key", "1"], runs="lean", field=101))
    out.append(pair("fields-1000", encode(delimited([["a"] * 1000] * 3), "sjis"),
                    encode(delimited([["a"] * 999 + ["b"]] * 3), "sjis"), [], runs="fail"))
    out.append(pair("fields-1001", encode(delimited([["a"] * 1001] * 2), "sjis"),
                    encode(delimited([["a"]] * 2), "sjis"), [], runs="fail"))
    return out


def cases_failures():
    out = []
    ok = encode(delimited([["1", "a"], ["2", "b"], ["3", "c"]]), "sjis")
    c = pair("fail-left-missing", ok, ok, ["--key", "1"], runs="fail")
    del c.files["fail-left-missing_l.csv"]
    out.append(c)
    c = pair("fail-right-missing", ok, ok, ["--key", "1"], runs="fail")
    del c.files["fail-right-missing_r.csv"]
    out.append(c)
    out.append(pair("fail-right-empty", ok, b"", ["--key", "1"], runs="fail"))
    # Not refusals: a quote left open in the last line, an odd byte at the end of UTF-16.
    out.append(pair("unclosed-quote-at-end", ok, ok + b'4,"open', ["--key", "1"],
                    runs="lean"))
    out.append(pair("fail-unclosed-quote-runs-on", ok,
                    b'1,a\r\n2,"open\r\n' + b"3,c\r\n" * 200, ["--key", "1"], runs="fail"))
    out.append(pair("fail-unclosed-quote-header", b'"h1,h2\r\n1,a\r\n', ok, ["--header"],
                    runs="fail"))
    out.append(pair("fail-tab-unclosed-quote-old", ok.replace(b",", b"\t"),
                    b'1\t"open\r\n2\tb\r\n', ["--kind", "tab", "--tab-old"], runs="fail",
                    ext="txt"))
    # A 10 MB line: one quoted cell that never ends within the limits.
    out.append(pair("fail-10mb-line", ok, b"1,a\r\n2," + b"x" * (10 * 1024 * 1024) + b"\r\n",
                    ["--key", "1"], runs="fail"))
    out.append(pair("fail-tab-quoted-over-10000", ok.replace(b",", b"\t"),
                    b'0\tshort\r\n1\t"' + "長".encode("cp932") * 5010 + b'"\r\n',
                    ["--kind", "tab"], runs="fail", ext="txt"))
    out.append(pair("utf16-odd-byte-at-end", ok, b"\xff\xfe1\x00,\x00a\x00\r\x00\n\x002",
                    [], runs="lean"))
    # Both sides fail while read at once: the message must be the one a run reading the
    # left side first would give, wherever in the files the faults lie.
    g = Gen("fail-both")
    rows = [[str(i), cell_text(g, 1), cell_text(g, 2)] for i in range(60000)]
    body = encode(delimited(rows), "sjis")
    late = body + b'60001,"' + b"y" * 600 + b'"\r\n'
    early = b'0,"' + b"z" * 501 + b'"\r\n' + body
    unclosed = body + b'60002,"never closed\r\n'
    out.append(pair("fail-both-late-left-early-right", late, early, ["--key", "1"],
                    runs="fail"))
    out.append(pair("fail-both-early-left-late-right", early, late, ["--key", "1"],
                    runs="fail"))
    out.append(pair("fail-both-over-long-and-unclosed", unclosed, late, ["--key", "1"],
                    runs="fail"))
    out.append(pair("fail-right-only-late", body, late, ["--key", "1"], runs="fail"))
    out.append(pair("fail-key-beyond-fields", ok, ok, ["--key", "3"], runs="fail"))
    out.append(pair("fail-seven-keys", ok, ok, [a for k in range(1, 8) for a in ("--key", str(k))],
                    runs="fail"))
    return out


def all_cases():
    cases = (cases_keys() + cases_encodings() + cases_kinds() + cases_options() +
             cases_limits() + cases_failures() + cases_large())
    names = [c.name for c in cases]
    assert len(set(names)) == len(names), "case names are not unique"
    return cases


# --- invocations -------------------------------------------------------------

FORMATS = ["xml", "csv", "xlsx"]
LAYOUTS = ["sheet", "field", "row"]


def invocations(case):
    n = str(case.field)
    kinds = [None, "diff", "diff-all", "equal", "left-only", "right-only", "field-diff:" + n,
             "field-equal:" + n]
    if case.runs == "fail":
        return [[], ["--pairs", "--export", "{W}/out.xml"]]
    if case.runs == "lean":
        return [[], ["--pairs"],
                ["--pairs", "--extract", "diff-all", "--export", "{W}/out.xml",
                 "--layout", "field"],
                ["--extract", "field-diff:" + n, "--export", "{W}/out.csv", "--format", "csv",
                 "--layout", "row", "--report", "{W}/report.jsonl"],
                ["--extract", "diff", "--export", "{W}/out.xlsx", "--format", "xlsx",
                 "--layout", "sheet", "--report", "{W}/report.csv", "--report-format", "csv",
                 "--report-all-fields"]]
    runs = [[], ["--pairs"], ["--report", "-", "--report-all-fields"]]
    i = 0
    for fmt in FORMATS:
        for layout in LAYOUTS:
            kind = kinds[i % len(kinds)]
            argv = ["--pairs"] + (["--extract", kind] if kind else [])
            argv += ["--export", "{W}/out." + fmt, "--format", fmt, "--layout", layout]
            report = "jsonl" if i % 2 else "csv"
            argv += ["--report", "{W}/report." + report, "--report-format", report]
            if i % 3 == 0:
                argv.append("--report-all-fields")
            runs.append(argv)
            i += 1
    return runs


# --- running and comparing -----------------------------------------------------

CORE_TIME = re.compile(rb"<dcterms:(created|modified) xsi:type=\"dcterms:W3CDTF\">[^<]*<")


def file_content(path):
    with open(path, "rb") as f:
        data = f.read()
    if not path.endswith(".xlsx"):
        return data
    try:
        with zipfile.ZipFile(io.BytesIO(data)) as z:
            parts = []
            for info in z.infolist():
                member = z.read(info)
                if info.filename == "docProps/core.xml":
                    member = CORE_TIME.sub(rb"<dcterms:\1 (time)<", member)
                parts.append(b"== " + info.filename.encode() + b"\n" + member + b"\n")
            return b"".join(parts)
    except zipfile.BadZipFile:
        return data


def run_one(cli, argv, data, workdir, stdin_name):
    """Runs cli in a fresh `workdir`; returns {output name: bytes}."""
    shutil.rmtree(workdir, ignore_errors=True)
    home = os.path.join(workdir, "home")
    os.makedirs(home)
    args = [a.replace("{D}", data).replace("{W}", workdir) for a in argv]
    env = {"PATH": os.environ.get("PATH", "/usr/bin:/bin"), "HOME": home, "KORVEL_HOME": home,
           "LANG": "C.UTF-8", "LC_ALL": "C.UTF-8", "TZ": "UTC"}
    stdin = open(os.path.join(data, stdin_name), "rb") if stdin_name else subprocess.DEVNULL
    try:
        proc = subprocess.run([cli] + args, cwd=workdir, env=env, stdin=stdin,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=TIMEOUT_SECONDS)
        result = {"exit status": str(proc.returncode).encode(), "stdout": proc.stdout,
                  "stderr": proc.stderr}
    except subprocess.TimeoutExpired as e:
        result = {"exit status": b"timeout", "stdout": e.stdout or b"",
                  "stderr": e.stderr or b""}
    finally:
        if stdin_name:
            stdin.close()
    for dirpath, dirnames, filenames in os.walk(workdir):
        dirnames.sort()
        for name in sorted(filenames):
            path = os.path.join(dirpath, name)
            result["file " + os.path.relpath(path, workdir)] = file_content(path)
    # Last, so that a difference is shown in the output that explains it.
    result["exit status"] = result.pop("exit status")
    return result


def show(data, at):
    """The bytes around `at` as text, in whichever of UTF-8, CP932 and UTF-16 reads them
    with the fewest replacements (outputs come in all three)."""
    piece = data[max(0, at - 30):at + 50]
    texts = [piece.decode(codec, errors="replace") for codec in ("utf-8", "cp932")]
    if piece.count(b"\0") > len(piece) // 4:
        texts.append(data[max(0, at - 30) & ~1:at + 50].decode("utf-16-le", errors="replace"))
    return repr(min(texts, key=lambda t: t.count("\ufffd")))


def first_difference(before, after):
    for name in list(before) + [n for n in after if n not in before]:
        a, b = before.get(name), after.get(name)
        if a == b:
            continue
        if a is None:
            return f"{name} only after ({len(b)} bytes)"
        if b is None:
            return f"{name} only before ({len(a)} bytes)"
        at = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
        line = a[:at].count(b"\n") + 1
        return (f"{name} differs at byte {at} (line {line}; {len(a)} against {len(b)} bytes): "
                f"before {show(a, at)} after {show(b, at)}")
    return None


def run_case(case, before, after, data, workdir):
    start = time.monotonic()
    runs = invocations(case)
    exits = []
    for argv in runs:
        full = argv + case.args
        b = run_one(before, full, data, workdir, case.stdin)
        a = run_one(after, full, data, workdir, case.stdin)
        diff = first_difference(b, a)
        if diff:
            shown = " ".join(x.replace("{D}/", "").replace("{W}/", "") for x in full)
            return False, f"DIFFERENT {case.name}: `{shown}`: {diff}"
        exits.append(b["exit status"].decode())
    # The exit statuses show at a glance whether a case compared results or refusals.
    return True, (f"same      {case.name} ({len(runs)} runs, exit {' '.join(exits)}; "
                  f"{time.monotonic() - start:.1f} s)")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("before")
    parser.add_argument("after")
    parser.add_argument("--only", help="run only the cases whose name contains this text")
    parser.add_argument("--jobs", type=int, default=2, help="cases run at once (default 2)")
    parser.add_argument("--keep", action="store_true", help="keep the generated files")
    parser.add_argument("--list", action="store_true", help="list the cases and stop")
    args = parser.parse_args()
    before, after = os.path.abspath(args.before), os.path.abspath(args.after)
    if not args.list:
        for path in (before, after):
            if not os.access(path, os.X_OK):
                print(f"check_identity: not an executable: {path}")
                return 2

    start = time.monotonic()
    cases = [c for c in all_cases() if not args.only or args.only in c.name]
    if args.list:
        for c in cases:
            print(f"{c.name:<36} {c.runs:<5} {' '.join(c.args)}")
        return 0
    root = os.path.realpath(tempfile.mkdtemp(prefix="korvel-identity-"))
    data = os.path.join(root, "data")
    os.makedirs(data)
    size = 0
    for c in cases:
        for name, content in c.files.items():
            with open(os.path.join(data, name), "wb") as f:
                f.write(content)
            size += len(content)
    print(f"{len(cases)} cases, {size / 1e6:.1f} MB of input generated in "
          f"{time.monotonic() - start:.1f} s")
    different = 0
    try:
        with concurrent.futures.ThreadPoolExecutor(max(1, args.jobs)) as pool:
            slots = [os.path.join(root, f"work{i}") for i in range(max(1, args.jobs))]
            free = list(slots)

            def task(case):
                slot = free.pop()
                try:
                    return run_case(case, before, after, data, slot)
                finally:
                    free.append(slot)

            # The large cases first, so that they do not run alone at the end.
            order = sorted(cases, key=lambda c: -sum(len(v) for v in c.files.values()))
            for same, line in pool.map(task, order):
                different += not same
                print(line, flush=True)
    finally:
        if args.keep:
            print(f"check_identity: kept {root}")
        else:
            shutil.rmtree(root, ignore_errors=True)
    print(f"{len(cases) - different} same, {different} DIFFERENT "
          f"({time.monotonic() - start:.0f} s)")
    return 1 if different else 0


if __name__ == "__main__":
    sys.exit(main())
