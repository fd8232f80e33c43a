#!/usr/bin/env python3
"""Writes the input files of the korvel-cli output corpus into a folder.

    python3 make_corpus.py OUTDIR

Every byte depends only on this script: the random choices come from a small
generator of our own with fixed seeds (not the `random` module, whose methods
may change between Python versions), and nothing is read from the machine.
check_corpus.py imports generate() and runs korvel-cli over the files.

The files come in left/right pairs (NAME_l.EXT, NAME_r.EXT) plus a few single
files for the refusals. Together they hold every file kind (comma, TAB, "|",
";", fixed-length with its definition file), every encoding and byte-order mark
the reader knows, quoted cells over several lines (for the newline modes and
the two TAB rule sets), short rows, duplicate keys, keys that differ only in
letter case, numeric keys, double-byte text, half-width katakana, Shift-JIS
trail bytes that equal the delimiter or a backslash, half- and full-width
spaces, and rows found on one side only.
"""

import os
import sys

MASK64 = (1 << 64) - 1


class Rng:
    """splitmix64: tiny, and the same sequence on every Python."""

    def __init__(self, seed):
        self.state = seed & MASK64

    def next(self):
        self.state = (self.state + 0x9E3779B97F4A7C15) & MASK64
        z = self.state
        z = ((z ^ (z >> 30)) * 0xBF58476D1CE4E5B9) & MASK64
        z = ((z ^ (z >> 27)) * 0x94D049BB133111EB) & MASK64
        return z ^ (z >> 31)

    def below(self, n):
        return self.next() % n

    def chance(self, percent):
        return self.below(100) < percent

    def choice(self, items):
        return items[self.below(len(items))]

    def shuffle(self, items):
        for i in range(len(items) - 1, 0, -1):
            j = self.below(i + 1)
            items[i], items[j] = items[j], items[i]


# --- texts -----------------------------------------------------------------

FAMILY = ["山田", "佐藤", "鈴木", "高橋", "田中", "伊藤", "渡辺", "中村", "小林", "加藤",
          "髙橋", "斉藤", "齋藤", "吉田", "能登", "十河"]
GIVEN = ["太郎", "花子", "一郎", "美咲", "健太", "由美", "翔", "愛", "申吾", "表子"]
KANA = ["ﾔﾏﾀﾞ", "ｻﾄｳ", "ｽｽﾞｷ", "ﾀｶﾊｼ", "ﾀﾅｶ", "ｲﾄｳ", "ﾜﾀﾅﾍﾞ", "ﾅｶﾑﾗ", "ｺﾊﾞﾔｼ", "ｶﾄｳ"]
# ソ, 表, 能, 申, 十, 予 end in 0x5C (backslash); ポ, 怖 end in 0x7C ("|").
DEPT = ["営業部", "総務部", "開発部", "ソフト開発", "表計算課", "ポイント管理", "予算課",
        "能力開発", "Sales", "R&D", "ｿﾌﾄ課", "①企画"]
NOTES = ["", "至急", "確認済み", "要再確認", "備考なし", "電話: 03-1234-5678",
         "コメント, カンマ入り", "引用符\"入り\"", "全角　空白", "半角 空白 入り",
         " 前後に空白 ", "～波ダッシュ～", "－マイナス－", "ﾊﾝｶｸｶﾀｶﾅ ﾒﾓ", "①②③",
         "セミコロン; 入り", "縦棒 | 入り", "タブなし", "Hello, \"World\"", "怖い話"]
MULTILINE = ["一行目\r\n二行目", "first line\r\nsecond line\r\nthird", "改行\nLFのみ",
             "引用\"符\"と\r\n改行", "末尾改行\r\n"]
# Characters that Shift-JIS cannot hold: only for the Unicode files.
NON_SJIS = ["𠮷野家", "絵文字😀", "〜WAVE DASH〜", "Ω≠ß", "ｶﾞｷﾞ"]


def sjis(text):
    # Python writes the IBM extension kanji (髙 and the like) with their NEC-selected codes
    # (ED/EE rows), while a conversion from Unicode gives the IBM codes (FA-FC rows): the
    # Shift-JIS files and the Unicode files of one record set differ by bytes in those
    # cells, as files from different tools do, and read as the same characters.
    return text.encode("cp932")


ENCODINGS = {
    "sjis": sjis,
    "utf8": lambda text: text.encode("utf-8"),
    "utf8bom": lambda text: b"\xef\xbb\xbf" + text.encode("utf-8"),
    "u16le": lambda text: b"\xff\xfe" + text.encode("utf-16-le"),
    "u16be": lambda text: b"\xfe\xff" + text.encode("utf-16-be"),
}


# --- delimited writing -----------------------------------------------------

def quote_cell(cell, delim, rng, always=False):
    """Quotes a cell as a careful writer would, and now and then without need."""
    needs = any(c in cell for c in (delim, '"', "\r", "\n"))
    if needs or always or rng.chance(8):
        return '"' + cell.replace('"', '""') + '"'
    return cell


def join_line(cells, delim, rng):
    return delim.join(quote_cell(c, delim, rng) for c in cells)


def write_text(folder, name, text, encoding):
    data = ENCODINGS[encoding](text)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    return name


def write_bytes(folder, name, data):
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
    return name


# --- record sets -----------------------------------------------------------

HEADER = ["コード", "氏名", "ﾌﾘｶﾞﾅ", "部署", "金額", "備考"]


def staff_records(rng, count, multiline=True):
    """Records of six fields; the key (field 1) has duplicates and case twins."""
    rows = []
    for i in range(count):
        key = "K%04d" % (i * 3 + rng.below(3))
        if i % 17 == 5:
            key = key.lower()  # k0015 next to K0015 below
        name = rng.choice(FAMILY) + rng.choice(["", "　", " "]) + rng.choice(GIVEN)
        kana = rng.choice(KANA) + " " + rng.choice(["ﾀﾛｳ", "ﾊﾅｺ", "ｲﾁﾛｳ", "ﾐｻｷ"])
        dept = rng.choice(DEPT)
        amount = str(rng.below(2000000) - 100000)
        note = rng.choice(MULTILINE) if multiline and rng.chance(10) else rng.choice(NOTES)
        rows.append([key, name, kana, dept, amount, note])
        if i % 17 == 5:
            rows.append([key.upper()] + rows[-1][1:])
        if i % 23 == 7:
            rows.append(list(rows[-1]))  # an exact duplicate key
        if i % 29 == 11:
            rows.append([key, name])  # a short row: cells 3..6 missing
    return rows


def mutate(rng, rows, extra_texts=()):
    """The right side: changed cells, rows dropped and added, order stirred."""
    out = []
    for row in rows:
        roll = rng.below(100)
        if roll < 7:
            continue  # left only
        row = list(row)
        if roll < 22 and len(row) > 1:
            field = 1 + rng.below(len(row) - 1)
            row[field] = rng.choice(NOTES + MULTILINE + list(extra_texts))
        elif roll < 27 and len(row) > 1:
            # Only the spaces differ: equal under --ignore-spaces.
            row[1] = row[1].replace("　", " ") if "　" in row[1] else row[1] + "　"
        elif roll < 30 and len(row) > 3:
            row = row[: 2 + rng.below(2)]  # cut short on this side only
        elif roll < 32:
            row = row + ["余分"]  # one cell more than the others
        out.append(row)
        if rng.chance(5):
            out.append(["N%04d" % rng.below(10000), rng.choice(FAMILY), "", rng.choice(DEPT),
                        "0", "右のみ"])
    # Stir the order in small blocks so the key sort has work to do.
    for start in range(0, len(out), 9):
        block = out[start:start + 9]
        rng.shuffle(block)
        out[start:start + 9] = block
    return out


def delimited_text(rows, delim, rng, header=None, newline="\r\n", final_newline=True):
    lines = []
    if header is not None:
        lines.append(join_line(header, delim, rng))
    for row in rows:
        lines.append(join_line(row, delim, rng))
    text = newline.join(lines)
    return text + newline if final_newline else text


# --- the pairs -------------------------------------------------------------

def make_staff(folder, files):
    """One record set in every encoding, comma separated, with a header line."""
    rng = Rng(1)
    left = staff_records(rng, 120)
    right = mutate(rng, left)
    lt = delimited_text(left, ",", Rng(11), HEADER)
    rt = delimited_text(right, ",", Rng(12), HEADER)
    for enc in ("sjis", "utf8", "utf8bom", "u16le", "u16be"):
        files.append(write_text(folder, "staff_%s_l.csv" % enc, lt, enc))
        files.append(write_text(folder, "staff_%s_r.csv" % enc, rt, enc))


def make_unicode(folder, files):
    """Characters without a Shift-JIS form, surrogate pairs included."""
    rng = Rng(2)
    left = staff_records(rng, 30)
    right = mutate(rng, left, NON_SJIS)
    for i, text in enumerate(NON_SJIS):
        left.append(["U%03d" % i, text, "ﾕﾆｺｰﾄﾞ", "国際", "1", text])
        right.append(["U%03d" % i, text + ("" if i % 2 else "!"), "ﾕﾆｺｰﾄﾞ", "国際", "1", text])
    for enc in ("utf8bom", "u16le", "u16be"):
        files.append(write_text(folder, "uni_%s_l.csv" % enc,
                                delimited_text(left, ",", Rng(21), HEADER), enc))
        files.append(write_text(folder, "uni_%s_r.csv" % enc,
                                delimited_text(right, ",", Rng(22), HEADER), enc))


def tab_lines(seed, count, change_seed=None):
    """TAB text whose quoting means different things under the two rule sets.

    The same seed gives the same records; a change seed makes the right side of them.
    """
    rng = Rng(seed)
    changes = Rng(change_seed) if change_seed is not None else None
    lines = ["番号\t名前\t部署\tメモ"]
    odd_cells = [
        '"引用符で囲んだ"',  # kept with its quotes by the TAB rules
        '"二重の""引用符"""',
        'ab"cd"ef',  # a quote inside: literal for TAB, quoting for CSV
        '"複数行の\r\nセル"',  # taken apart by the TAB rules
        '"三行\r\n""引用""\r\n終わり"',
        '"閉じ忘れ\r\n次の行',  # falls back: the next line is read again
        '"途中で"閉じる\r\nあと',  # broken: quote then text after a line break
        '"セル内\tタブ"',  # a TAB in a one-line quoted cell ends it
        '',
        '　全角　',
        'ソ表能',
    ]
    for i in range(count):
        memo = rng.choice(odd_cells) if rng.chance(30) else rng.choice(NOTES).replace("\t", " ")
        name = rng.choice(FAMILY) + rng.choice(GIVEN)
        short = rng.chance(6)
        if changes:
            if changes.chance(5):
                continue
            if changes.chance(12):
                memo = changes.choice(odd_cells)
            if changes.chance(8):
                name = name + "様"
        cells = ["%d" % (i + 1), name, DEPT[i % len(DEPT)], memo]
        if short:
            cells = cells[:2]
        lines.append("\t".join(cells))
        if changes and changes.chance(4):
            lines.append("%d\t追加\t%s\t右のみ" % (1000 + i, changes.choice(DEPT)))
    return lines


def make_tab(folder, files):
    for side, change_seed in (("l", None), ("r", 32)):
        lines = tab_lines(31, 90, change_seed)
        text = "\r\n".join(lines) + "\r\n"
        files.append(write_text(folder, "tab_sjis_%s.txt" % side, text, "sjis"))
        files.append(write_text(folder, "tab_u16le_%s.txt" % side, text, "u16le"))
    # Line ends of every sort, a last line without one, and a quote as the last byte.
    left = 'a\tb\tc\r\n1\t"x\r\ny"\tz\n2\tlf\tonly\r3\tcr\tonly\r\n4\t"末尾"'
    right = 'a\tb\tc\r\n1\t"x\r\ny"\tZ\n2\tlf\tonly\r3\tcr\tONLY\r\n4\t"末尾'
    files.append(write_text(folder, "tabend_l.txt", left, "sjis"))
    files.append(write_text(folder, "tabend_r.txt", right, "sjis"))


def make_other(folder, files):
    """"|" in Shift-JIS (trail bytes 0x7C inside ポ and 怖) and ";" in UTF-8 with a mark."""
    rng = Rng(4)
    left = staff_records(rng, 60)
    right = mutate(rng, left)
    for row in left[::7]:
        if len(row) > 3:
            row[3] = "ポイント|怖"
    files.append(write_text(folder, "pipe_l.txt",
                            delimited_text(left, "|", Rng(41), HEADER), "sjis"))
    files.append(write_text(folder, "pipe_r.txt",
                            delimited_text(right, "|", Rng(42), HEADER), "sjis"))
    files.append(write_text(folder, "semi_l.txt",
                            delimited_text(left, ";", Rng(43), HEADER, "\n"), "utf8bom"))
    files.append(write_text(folder, "semi_r.txt",
                            delimited_text(right, ";", Rng(44), HEADER, "\n", False), "utf8bom"))


FIXED_DEF = [("コード", 5), ("氏名", 10), ("ｶﾅ", 8), ("部署", 12), ("金額", 8), ("備考", 12)]


def fixed_cell(text, width):
    """The text cut to whole characters within `width` Shift-JIS bytes, padded with blanks."""
    data = b""
    for ch in text:
        b = sjis(ch)
        if len(data) + len(b) > width:
            break
        data += b
    return data + b" " * (width - len(data))


def fixed_line(row):
    data = b""
    for (_, width), cell in zip(FIXED_DEF, row):
        data += fixed_cell(cell.replace("\r", "").replace("\n", ""), width)
    return data


def make_fixed(folder, files):
    rng = Rng(5)
    left = staff_records(rng, 50, multiline=False)
    right = mutate(rng, left)
    defs = b"".join(sjis(name) + b"\t" + str(size).encode() + b"\r\n" for name, size in FIXED_DEF)
    files.append(write_bytes(folder, "fixed.dat", defs))
    head = fixed_line([name for name, _ in FIXED_DEF])
    for side, rows in (("l", left), ("r", right)):
        lines = [fixed_line(r) for r in rows]
        lines[3] = lines[3][:23]  # a short line: the later fields are missing
        lines[5] = lines[5] + "はみ出した余り".encode("cp932")  # ignored past the last field
        if side == "r":
            blank = lines[8].index(b" ")  # 0x20 is never a trail byte
            lines[8] = lines[8][:blank] + b"\n" + lines[8][blank + 1:]  # a lone LF is data
        body = b"\r\n".join(lines) + b"\r\n"
        files.append(write_bytes(folder, "fixed_%s.txt" % side, body))
        files.append(write_bytes(folder, "fixedh_%s.txt" % side, head + b"\r\n" + body))
        files.append(write_bytes(folder, "fixed_u16le_%s.txt" % side,
                                 ENCODINGS["u16le"](body.decode("cp932"))))
    # A field end inside a double-byte character.
    files.append(write_bytes(folder, "fixed_straddle.txt",
                             b"K0001" + sjis("山田太郎") + b"\r\n"))
    files.append(write_bytes(folder, "fixed_straddle.dat", sjis("コード\t6\r\n氏名\t10\r\n")))
    files.append(write_bytes(folder, "fixed_big.dat", sjis("コード\t5\r\n氏名\t501\r\n")))
    files.append(write_bytes(folder, "fixed_longname.dat",
                             sjis("あいうえおかきくけこさしすせそた\t5\r\n")))
    files.append(write_bytes(folder, "fixed_empty.dat", b"\r\n"))
    files.append(write_bytes(folder, "fixed_none.dat", b""))


def make_numeric(folder, files):
    """Keys read as integers: signs, blanks, leading zeros, text, overflow."""
    rng = Rng(6)
    odd = ["10", "9", "-3", "abc", "010", " 7", "+4", "3.5", "3.50", "", "１２",
           "4294967297", "1", "99999999999", "-0", "0x10", "12abc"]
    left, right = [], []
    for i, key in enumerate(odd):
        left.append([key, "値%d" % i, "x"])
        right.append([key if i % 5 else key.strip() or "0", "値%d" % i, "x" if i % 3 else "y"])
    for i in range(60):
        n = str(rng.below(400) - 50)
        left.append([n, "数%d" % i, rng.choice(NOTES)])
        if not rng.chance(10):
            right.append([n, "数%d" % i, rng.choice(NOTES) if rng.chance(20) else left[-1][2]])
    for i in range(8):
        right.append([str(500 + rng.below(100)), "右", "のみ"])
    rng.shuffle(left)
    rng.shuffle(right)
    files.append(write_text(folder, "num_l.csv", delimited_text(left, ",", Rng(61)), "sjis"))
    files.append(write_text(folder, "num_r.csv", delimited_text(right, ",", Rng(62)), "sjis"))


def make_multikey(folder, files):
    """Eight fields; records identified by department, number and year together."""
    rng = Rng(7)
    header = ["年度", "部署", "番号", "名前", "点数", "評価", "備考", "予備"]
    left = []
    for i in range(80):
        year = str(2020 + rng.below(4))
        dept = rng.choice(["sales", "Sales", "SALES", "開発", "総務"])
        left.append([year, dept, "%03d" % rng.below(40), rng.choice(FAMILY), str(rng.below(101)),
                     rng.choice(["A", "B", "C", "Ａ"]), rng.choice(NOTES), ""])
    right = mutate(rng, left)
    files.append(write_text(folder, "multi_l.csv",
                            delimited_text(left, ",", Rng(71), header), "utf8bom"))
    files.append(write_text(folder, "multi_r.csv",
                            delimited_text(right, ",", Rng(72), header), "utf8bom"))


def make_nokey(folder, files):
    """Paired by position: the right side has rows inserted in the middle."""
    rng = Rng(8)
    left = [[str(i), rng.choice(FAMILY), rng.choice(DEPT)] for i in range(30)]
    right = [list(r) for r in left]
    right.insert(10, ["挿入", "行", "です"])
    right[20][2] = "変更"
    right.extend([["追加", "a", "b"], ["追加", "c", "d"]])
    files.append(write_text(folder, "nokey_l.csv", delimited_text(left, ",", Rng(81)), "sjis"))
    files.append(write_text(folder, "nokey_r.csv", delimited_text(right, ",", Rng(82)), "sjis"))


def make_spaces(folder, files):
    """Values that differ only in half- and full-width spaces, and some that really differ."""
    pairs = [("山田 太郎", "山田　太郎"), ("a b c", "abc"), ("　前", "前"), ("後 ", "後"),
             ("ﾔﾏﾀﾞ ﾀﾛｳ", "ﾔﾏﾀﾞﾀﾛｳ"), ("同じ", "同じ"), ("違う", "違わない"),
             ("tab\tin", "tabin"), ("  ", ""), ("A B", "a b")]
    left, right = [], []
    for i, (a, b) in enumerate(pairs):
        left.append(["S%02d" % i, a, b, "固定"])
        right.append(["S%02d" % i, b, a, "固定" if i % 4 else "固 定"])
    header = ["キー", "名前", "別名", "区分"]
    files.append(write_text(folder, "spaces_l.csv",
                            delimited_text(left, ",", Rng(91), header), "sjis"))
    files.append(write_text(folder, "spaces_r.csv",
                            delimited_text(right, ",", Rng(92), header), "sjis"))


def make_wide(folder, files):
    """300 fields: beyond the 255 compared."""
    rng = Rng(9)
    header = ["列%03d" % i for i in range(1, 301)]
    left, right = [], []
    for r in range(6):
        row = ["R%d" % r] + ["%d" % rng.below(10) for _ in range(299)]
        left.append(row)
        row = list(row)
        row[100] = "変"  # inside the compared fields
        if r % 2:
            row[280] = "外"  # beyond field 255: not compared
        right.append(row)
    files.append(write_text(folder, "wide_l.csv",
                            delimited_text(left, ",", Rng(93), header), "sjis"))
    files.append(write_text(folder, "wide_r.csv",
                            delimited_text(right, ",", Rng(94), header), "sjis"))


def make_big(folder, files):
    """Enough rows that quoted cells, CR LF pairs and kanji straddle the reader's pieces."""
    rng = Rng(10)
    left = staff_records(rng, 2200)
    right = mutate(rng, left)
    files.append(write_text(folder, "big_l.csv",
                            delimited_text(left, ",", Rng(101), HEADER), "sjis"))
    files.append(write_text(folder, "big_r.csv",
                            delimited_text(right, ",", Rng(102), HEADER), "sjis"))
    tl = tab_lines(103, 1500)
    tr = tab_lines(103, 1500, 104)
    files.append(write_text(folder, "bigtab_l.txt", "\r\n".join(tl) + "\r\n", "u16le"))
    files.append(write_text(folder, "bigtab_r.txt", "\r\n".join(tr) + "\r\n", "u16le"))


def make_refusals(folder, files):
    """Single files for the reader's and the run's refusals."""
    files.append(write_bytes(folder, "empty.csv", b""))
    files.append(write_bytes(folder, "bomonly.csv", b"\xff\xfe"))
    files.append(write_bytes(folder, "onebyte.csv", b"x"))
    files.append(write_bytes(folder, "small.csv", sjis("1,あ,x\r\n2,い,y\r\n3,う,z\r\n")))
    files.append(write_bytes(folder, "small_r.csv", sjis("1,あ,x\r\n2,い,Y\r\n4,え,w\r\n")))
    files.append(write_bytes(folder, "small_utf8bom.csv",
                             ENCODINGS["utf8bom"]("1,あ,x\r\n2,い,y\r\n3,う,z\r\n")))
    cell500 = "x" * 500
    files.append(write_bytes(folder, "cell500.csv",
                             sjis("1,a\r\n2,%s\r\n3,c\r\n" % cell500)))
    files.append(write_bytes(folder, "cell501.csv",
                             sjis("1,a\r\n2,b\r\n3,\"%s\"\r\n" % ("y" * 501))))
    # A Japanese file name in the size message; the name is UTF-8 on this file system.
    files.append(write_bytes(folder, "長いセル.csv",
                             sjis("h1,h2\r\n1,%s\r\n" % ("漢" * 251))))
    # The first record is fine (the field list is read from it); the second is not.
    files.append(write_bytes(folder, "tabcell.txt",
                             sjis('0\t短い\r\n1\t"%s"\r\n' % ("長" * 5010))))
    files.append(write_bytes(folder, "fields1001.csv", b",".join([b"a"] * 1001) + b"\r\n"))
    files.append(write_bytes(folder, "linesonly.csv", b"\r\n\r\n\r\n"))


def make_renamed(folder, files):
    """The staff file's right side from a new system: its columns swapped, one dropped
    (ﾌﾘｶﾞﾅ) and one inserted (入社年), to be paired with the left side by name."""
    rng = Rng(1)
    right = mutate(rng, staff_records(rng, 120))
    order = ["氏名", "コード", "入社年", "金額", "部署", "備考"]
    rows = []
    for i, row in enumerate(right):
        cells = dict(zip(HEADER, row))
        cells["入社年"] = str(1990 + i % 30)
        rows.append([cells.get(name, "") for name in order])
    text = delimited_text(rows, ",", Rng(13), order)
    files.append(write_text(folder, "renamed_r.csv", text, "sjis"))


GENERATORS = [make_staff, make_unicode, make_tab, make_other, make_fixed, make_numeric,
              make_multikey, make_nokey, make_spaces, make_wide, make_big, make_refusals,
              make_renamed]


def generate(folder):
    """Writes every file into `folder` (created if needed); returns the file names."""
    os.makedirs(folder, exist_ok=True)
    files = []
    for make in GENERATORS:
        make(folder, files)
    return files


def main(argv):
    if len(argv) != 2:
        sys.stderr.write("usage: make_corpus.py OUTDIR\n")
        return 2
    files = generate(argv[1])
    total = sum(os.path.getsize(os.path.join(argv[1], f)) for f in files)
    print("%d files, %d bytes" % (len(files), total))
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
