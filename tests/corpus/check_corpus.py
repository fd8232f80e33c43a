#!/usr/bin/env python3
"""Runs korvel-cli over the generated corpus and checks every output byte for byte.

    python3 check_corpus.py CLI_PATH [--update] [--only TEXT] [--keep]

The corpus (make_corpus.py) is written into a fresh temporary folder; each case
below runs CLI_PATH in a folder of its own, with KORVEL_HOME pointing inside
it (so no settings file of the machine is read) and a fixed locale. For each
case the exit status, standard output, standard error and every file left in
the case folder (exports, and anything the program may write there) are
recorded; the temporary folder's path is replaced by {TMP}. The record is
compared with expected.txt next to this script: a SHA-256 per stream and, for
short streams, the content itself, escaped, so a difference can be read in the
file and in the report.

--update  rewrites expected.txt from this run instead of comparing.
--only    runs the cases whose name contains TEXT (no check for missing cases).
--keep    keeps the temporary folder and prints its path.

Exit status: 0 when every case matches, 1 when one does not, 2 on bad usage.
"""

import difflib
import hashlib
import os
import shlex
import shutil
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
sys.dont_write_bytecode = True  # leave no __pycache__ in the source tree
import make_corpus  # noqa: E402

EXPECTED = os.path.join(HERE, "expected.txt")
INLINE_LIMIT = 8192  # streams up to this many bytes are also written out in full
DIFF_LINES = 30
TIMEOUT_SECONDS = 60


class Case:
    def __init__(self, name, args, pre=None):
        self.name = name
        # A string is split like a shell line; a list is taken as it stands.
        self.args = shlex.split(args) if isinstance(args, str) else list(args)
        # Files (bytes) or folders (None) to create in the case folder before the run.
        self.pre = pre or {}


def staff(extra, enc="sjis"):
    return "--header --key 1 %s {C}/staff_%s_l.csv {C}/staff_%s_r.csv" % (extra, enc, enc)


SMALL = "{C}/small.csv {C}/small_r.csv"
TAB = "--kind tab --header --key 1:num %s {C}/tab_sjis_l.txt {C}/tab_sjis_r.txt"
FIXED = "--kind fixed --fixed-def {C}/fixed.dat %s {C}/fixed_l.txt {C}/fixed_r.txt"
MULTI = "--header %s {C}/multi_l.csv {C}/multi_r.csv"
SPACES = "--header --key 1 --pairs %s {C}/spaces_l.csv {C}/spaces_r.csv"
BIG = "--header %s {C}/big_l.csv {C}/big_r.csv"
OLD = b"an older file\r\n"

CASES = [
    # Options: usage, and the refusals of step 1 (exit 2, the reason on standard error).
    Case("help", "--help"),
    Case("usage-no-args", ""),
    Case("usage-one-path", "{C}/small.csv"),
    Case("usage-three-paths", SMALL + " {C}/small.csv"),
    Case("usage-unknown-option", "--bogus " + SMALL),
    Case("usage-missing-value", SMALL + " --key"),
    Case("usage-bad-kind", "--kind xls " + SMALL),
    Case("usage-bad-newline", "--newline 3 " + SMALL),
    Case("usage-key-zero", "--key 0 " + SMALL),
    Case("usage-key-bad-suffix", "--key 1:number " + SMALL),
    Case("usage-key-twice", "--key 1 --key 1:num " + SMALL),
    Case("usage-ignore-spaces-on-key", "--key 1 --ignore-spaces 1 " + SMALL),
    Case("usage-not-compared-on-key", "--key 2 --not-compared 3,2 " + SMALL),
    Case("usage-bad-field-list", "--not-loaded 1,,2 " + SMALL),
    Case("usage-bad-extract", "--extract same " + SMALL),
    Case("usage-bad-extract-field", "--extract field-diff:x " + SMALL),
    Case("usage-bad-format", "--format xls " + SMALL),
    Case("usage-bad-layout", "--layout column " + SMALL),
    Case("usage-delimiter-without-other", "--delimiter ; " + SMALL),
    Case("usage-delimiter-quote", ["--kind", "other", "--delimiter", '"', "{C}/small.csv",
                                   "{C}/small_r.csv"]),
    Case("usage-delimiter-two-bytes", "--kind other --delimiter ab " + SMALL),
    Case("usage-fixed-without-def", "--kind fixed " + SMALL),
    Case("usage-def-without-fixed", "--fixed-def {C}/fixed.dat " + SMALL),
    Case("equals-form-and-double-dash", "--key=1 --extract=diff-all --pairs -- " + SMALL),

    # The file selection checks, in their order.
    Case("file-left-missing", "{C}/nothere.csv {C}/small.csv"),
    Case("file-right-missing", "{C}/small.csv {C}/nothere.csv"),
    Case("file-both-missing", "{C}/nothere.csv {C}/nothere2.csv"),
    Case("file-left-empty", "{C}/empty.csv {C}/small.csv"),
    Case("file-right-empty", "{C}/small.csv {C}/empty.csv"),
    Case("file-missing-then-empty", "{C}/nothere.csv {C}/empty.csv"),
    Case("file-bom-only", "--pairs {C}/bomonly.csv {C}/small.csv"),
    Case("file-bom-only-header", "--header {C}/bomonly.csv {C}/small.csv"),
    Case("file-one-byte", "--pairs {C}/onebyte.csv {C}/small.csv"),
    Case("file-line-breaks-only", "--pairs {C}/linesonly.csv {C}/small.csv"),
    Case("bom-refused", "--no-bom {C}/small.csv {C}/small_utf8bom.csv"),
    Case("bom-adopted", "--key 1 --pairs {C}/small.csv {C}/small_utf8bom.csv"),
    Case("sjis-read-as-utf16", "--encoding utf16 --pairs " + SMALL),
    Case("u16be-mark-refused", "--no-bom --encoding utf16 {C}/staff_u16le_l.csv "
                               "{C}/staff_u16be_r.csv"),

    # Limits: cell size, field counts, grid rows, keys and not-loaded marks.
    Case("cell-500-loads", "--pairs {C}/cell500.csv {C}/cell500.csv"),
    Case("cell-501-refused", SMALL.split()[0] + " {C}/cell501.csv"),
    Case("cell-over-japanese-file-name", "--header {C}/長いセル.csv {C}/small.csv"),
    Case("tab-cell-over-10000", "--kind tab {C}/tabcell.txt {C}/small.csv"),
    Case("tab-old-cell-over-500", "--kind tab --tab-old {C}/tabcell.txt {C}/small.csv"),
    Case("fields-1001", "{C}/fields1001.csv {C}/small.csv"),
    Case("fields-1001-header", "--header {C}/fields1001.csv {C}/small.csv"),
    Case("wide-255-warning", "--header --key 1 --pairs {C}/wide_l.csv {C}/wide_r.csv"),
    Case("wide-no-header", "--key 1 --pairs {C}/wide_l.csv {C}/wide_r.csv"),
    Case("wide-field-beyond-grid", "--header --key 1 --extract field-diff:281 "
                                   "{C}/wide_l.csv {C}/wide_r.csv"),
    Case("wide-field-diff-101", "--header --key 1 --pairs --extract field-diff:101 "
                                "{C}/wide_l.csv {C}/wide_r.csv"),
    Case("grid-key-beyond", "--key 4 " + SMALL),
    Case("grid-ignore-spaces-beyond", "--ignore-spaces 2,9 " + SMALL),
    Case("grid-not-loaded-beyond", "--not-loaded 5 " + SMALL),
    Case("grid-extract-beyond", "--extract field-equal:4 " + SMALL),
    Case("grid-seven-keys", MULTI % "--key 1 --key 2 --key 3 --key 4 --key 5 --key 6 --key 7"),
    Case("grid-six-keys", MULTI % "--key 6 --key 5 --key 4 --key 3 --key 2 --key 1 --pairs"),
    Case("grid-five-not-loaded", MULTI % "--key 1 --not-loaded 2,4,5,6,7"),
    Case("grid-four-not-loaded", MULTI % "--key 1 --not-loaded 8,4,5,6 --pairs"),
    Case("grid-key-not-loaded", MULTI % "--key 2 --not-loaded 2"),

    # The staff records in Shift-JIS: every extraction, and the per-field choices.
    Case("staff-pairs", staff("--pairs")),
    Case("staff-extract-diff", staff("--pairs --extract diff")),
    Case("staff-extract-diff-all", staff("--pairs --extract diff-all")),
    Case("staff-extract-equal", staff("--pairs --extract equal")),
    Case("staff-extract-left-only", staff("--pairs --extract left-only")),
    Case("staff-extract-right-only", staff("--pairs --extract right-only")),
    Case("staff-extract-field-diff-4", staff("--pairs --extract field-diff:4")),
    Case("staff-extract-field-equal-6", staff("--pairs --extract field-equal:6")),
    Case("staff-extract-field-diff-key", staff("--pairs --extract field-diff:1")),
    Case("staff-extract-not-compared-field", staff("--pairs --not-compared 6 "
                                                   "--extract field-diff:6")),
    Case("staff-extract-not-loaded-field", staff("--pairs --not-loaded 5 "
                                                 "--extract field-equal:5")),
    Case("staff-ignore-spaces", staff("--pairs --extract diff --ignore-spaces 2,6")),
    Case("staff-not-compared", staff("--pairs --extract diff-all --not-compared 2,3")),
    Case("staff-not-loaded-export", staff("--not-loaded 3,5 --extract diff "
                                          "--export {W}/out.csv --format csv")),
    Case("staff-no-header", "--key 1 --pairs {C}/staff_sjis_l.csv {C}/staff_sjis_r.csv"),
    Case("staff-no-key", "--header --pairs {C}/staff_sjis_l.csv {C}/staff_sjis_r.csv"),
    Case("staff-text-key-as-number", "--header --key 1:num --pairs --extract diff-all "
                                     "{C}/staff_sjis_l.csv {C}/staff_sjis_r.csv"),
    Case("staff-same-file", "--header --key 1 {C}/staff_sjis_l.csv {C}/staff_sjis_l.csv"),
    # The same records; only the cells with IBM extension kanji differ (see make_corpus.sjis).
    Case("staff-same-records-other-encoding", "--header --key 1 --pairs --extract diff-all "
                                              "{C}/staff_sjis_l.csv {C}/staff_u16be_l.csv"),
    Case("staff-duplicate-keys", "--header --key 4 --pairs {C}/staff_sjis_l.csv "
                                 "{C}/staff_sjis_r.csv"),
    Case("staff-keys-reversed-export", "--header --key 4 --key 1 --extract diff-all "
                                       "--export {W}/out.csv --format csv "
                                       "{C}/staff_sjis_l.csv {C}/staff_sjis_r.csv"),

    # Encodings and byte-order marks.
    Case("enc-utf8", staff("--pairs --encoding utf8", "utf8")),
    Case("enc-utf8-read-as-sjis", staff("--pairs", "utf8")),
    Case("enc-utf8bom", staff("--pairs", "utf8bom")),
    Case("enc-utf8bom-asked-utf16", staff("--pairs --encoding utf16", "utf8bom")),
    Case("enc-u16le", staff("--pairs", "u16le")),
    Case("enc-u16le-asked-utf16", staff("--pairs --encoding utf16 --no-bom", "u16le")),
    Case("enc-u16be", staff("--pairs", "u16be")),
    Case("enc-mixed", "--header --key 1 --pairs {C}/staff_sjis_l.csv {C}/staff_u16be_r.csv"),
    Case("enc-unicode-u16le-export", "--header --key 1 --pairs --export {W}/out.xml "
                                     "{C}/uni_u16le_l.csv {C}/uni_u16le_r.csv"),
    Case("enc-unicode-u16be", "--header --key 1 --pairs --extract diff "
                              "{C}/uni_u16be_l.csv {C}/uni_u16be_r.csv"),
    Case("enc-unicode-utf8bom-export", "--header --key 1 --extract diff-all "
                                       "--export {W}/out.csv --format csv --layout row "
                                       "{C}/uni_utf8bom_l.csv {C}/uni_utf8bom_r.csv"),

    # Line breaks in quoted cells, and the two TAB rule sets.
    Case("newline-0", staff("--pairs --extract field-diff:6 --newline 0")),
    Case("newline-1", staff("--pairs --extract field-diff:6 --newline 1")),
    Case("newline-2-export", staff("--extract field-diff:6 --newline 2 "
                                   "--export {W}/out.csv --format csv --layout sheet")),
    Case("tab-pairs", TAB % "--pairs"),
    Case("tab-old-pairs", TAB % "--pairs --tab-old"),
    Case("tab-newline-1", TAB % "--pairs --extract diff --newline 1"),
    Case("tab-newline-2-export", TAB % "--newline 2 --extract diff-all "
                                       "--export {W}/out.csv --format csv"),
    Case("tab-old-newline-2-export", TAB % "--tab-old --newline 2 --extract diff-all "
                                           "--export {W}/out.xml --layout row"),
    Case("tab-old-newline-1-export", TAB % "--tab-old --newline 1 --extract field-diff:4 "
                                           "--export {W}/out.csv --format csv"),
    Case("tab-u16le", "--kind tab --header --key 1:num --pairs "
                      "{C}/tab_u16le_l.txt {C}/tab_u16le_r.txt"),
    Case("tab-u16le-old-newline-1", "--kind tab --header --key 1:num --pairs --tab-old "
                                    "--newline 1 {C}/tab_u16le_l.txt {C}/tab_u16le_r.txt"),
    Case("tab-no-header-no-key", "--kind tab --pairs {C}/tab_sjis_l.txt {C}/tab_sjis_r.txt"),
    Case("tab-line-ends", "--kind tab --pairs --export {W}/out.csv --format csv "
                          "{C}/tabend_l.txt {C}/tabend_r.txt"),
    Case("tab-line-ends-old", "--kind tab --tab-old --pairs --export {W}/out.csv --format csv "
                              "{C}/tabend_l.txt {C}/tabend_r.txt"),
    Case("tab-line-ends-newline-2", "--kind tab --newline 2 --export {W}/out.csv --format csv "
                                    "{C}/tabend_l.txt {C}/tabend_r.txt"),
    Case("tab-file-read-as-csv", "--header --key 1 --pairs {C}/tab_sjis_l.txt "
                                 "{C}/tab_sjis_r.txt"),

    # Other delimiters.
    Case("pipe-default-delimiter", "--kind other --header --key 1 --pairs "
                                   "{C}/pipe_l.txt {C}/pipe_r.txt"),
    Case("pipe-export", "--kind other --delimiter | --header --key 1 --extract diff-all "
                        "--export {W}/out.xml --layout sheet {C}/pipe_l.txt {C}/pipe_r.txt"),
    Case("pipe-read-as-csv", "--header --key 1 --pairs {C}/pipe_l.txt {C}/pipe_r.txt"),
    Case("semicolon", "--kind other --delimiter ; --header --key 1 --pairs "
                      "{C}/semi_l.txt {C}/semi_r.txt"),
    Case("semicolon-tab-old-newline-2", "--kind other --delimiter ; --header --key 1 "
                                        "--tab-old --newline 2 --extract field-diff:6 "
                                        "--export {W}/out.csv --format csv "
                                        "{C}/semi_l.txt {C}/semi_r.txt"),

    # Fixed-length files and their definition files.
    Case("fixed-pairs", FIXED % "--key 1 --pairs"),
    Case("fixed-header", "--kind fixed --fixed-def {C}/fixed.dat --header --key 1 --pairs "
                         "{C}/fixedh_l.txt {C}/fixedh_r.txt"),
    Case("fixed-header-skips-a-record", FIXED % "--header --key 1 --pairs"),
    Case("fixed-u16le", "--kind fixed --fixed-def {C}/fixed.dat --encoding utf16 --key 1 "
                        "--pairs {C}/fixed_u16le_l.txt {C}/fixed_u16le_r.txt"),
    Case("fixed-u16le-mark-adopted", "--kind fixed --fixed-def {C}/fixed.dat --key 1 "
                                     "--pairs {C}/fixed_l.txt {C}/fixed_u16le_r.txt"),
    Case("fixed-no-key", FIXED % "--pairs"),
    Case("fixed-export-csv", FIXED % "--key 1 --extract diff-all --export {W}/out.csv "
                                     "--format csv --layout field"),
    Case("fixed-export-xml", FIXED % "--key 1 --extract diff-all --export {W}/out.xml "
                                     "--layout sheet"),
    Case("fixed-spaces-not-compared", FIXED % "--key 1 --pairs --extract diff-all "
                                              "--ignore-spaces 2 --not-compared 6"),
    Case("fixed-straddle", "--kind fixed --fixed-def {C}/fixed_straddle.dat "
                           "{C}/fixed_straddle.txt {C}/fixed_l.txt"),
    Case("fixed-def-size-501", "--kind fixed --fixed-def {C}/fixed_big.dat "
                               "{C}/fixed_l.txt {C}/fixed_r.txt"),
    Case("fixed-def-long-name", "--kind fixed --fixed-def {C}/fixed_longname.dat "
                                "{C}/fixed_l.txt {C}/fixed_r.txt"),
    Case("fixed-def-empty", "--kind fixed --fixed-def {C}/fixed_empty.dat "
                            "{C}/fixed_l.txt {C}/fixed_r.txt"),
    Case("fixed-def-no-rows", "--kind fixed --fixed-def {C}/fixed_none.dat "
                              "{C}/fixed_l.txt {C}/fixed_r.txt"),
    Case("fixed-def-missing", "--kind fixed --fixed-def {C}/nothere.dat "
                              "{C}/fixed_l.txt {C}/fixed_r.txt"),

    # Numeric keys.
    Case("num-key", "--key 1:num --pairs {C}/num_l.csv {C}/num_r.csv"),
    Case("num-key-as-text", "--key 1 --pairs {C}/num_l.csv {C}/num_r.csv"),
    Case("num-key-export", "--key 1:num --extract diff-all --export {W}/out.csv --format csv "
                           "--layout row {C}/num_l.csv {C}/num_r.csv"),

    # Several keys, letter case in keys, no key.
    Case("multi-three-keys", MULTI % "--key 1 --key 2 --key 3 --pairs"),
    Case("multi-keys-any-order", MULTI % "--key 3 --key 1 --key 2 --pairs"),
    Case("multi-numeric-key", MULTI % "--key 2 --key 3:num --key 1:num --pairs"),
    Case("multi-key-letter-case", MULTI % "--key 2 --pairs"),
    Case("multi-export-row", MULTI % "--key 3 --key 1 --extract diff-all "
                                     "--export {W}/out.xml --layout row"),
    Case("nokey-pairs", "--pairs {C}/nokey_l.csv {C}/nokey_r.csv"),
    Case("nokey-export", "--extract right-only --pairs --export {W}/out.xml --layout sheet "
                         "{C}/nokey_l.csv {C}/nokey_r.csv"),

    # Half- and full-width spaces.
    Case("spaces-compared", SPACES % ""),
    Case("spaces-ignored", SPACES % "--ignore-spaces 2,3,4"),
    Case("spaces-ignored-export", SPACES % "--ignore-spaces 2 --export {W}/out.xml"),
    Case("spaces-not-compared-export", SPACES % "--not-compared 4 --extract diff "
                                                "--export {W}/out.xml --layout sheet"),

    # Larger files: pieces of the reader, sorting of many keys.
    Case("big-summary", BIG % "--key 1"),
    Case("big-pairs", BIG % "--key 1 --pairs --extract diff-all"),
    Case("big-no-key", BIG % "--pairs"),
    Case("big-newline-2", BIG % "--key 1 --newline 2 --pairs --extract field-diff:6"),
    Case("big-export-csv", BIG % "--key 1 --newline 1 --extract diff "
                                 "--export {W}/out.csv --format csv"),
    # More than 500 rows: the desktop program would ask first; here nothing is asked.
    Case("big-export-xml", BIG % "--key 1 --extract diff --export {W}/out.xml --layout sheet"),
    Case("bigtab-pairs", "--kind tab --header --key 1:num --pairs "
                         "{C}/bigtab_l.txt {C}/bigtab_r.txt"),
    # By the CSV rules a quote left open runs on over the following lines past 500 bytes.
    Case("bigtab-old-runaway-quote", "--kind tab --tab-old --header --key 1:num "
                                     "{C}/bigtab_l.txt {C}/bigtab_r.txt"),

    # Export: both formats, all layouts, and the refusals.
    Case("export-xml-sheet", staff("--extract diff-all --export {W}/out.xml --layout sheet")),
    Case("export-xml-field", staff("--extract diff-all --export {W}/out.xml --layout field")),
    Case("export-xml-row", staff("--extract diff-all --export {W}/out.xml --layout row")),
    Case("export-csv-sheet", staff("--extract diff-all --export {W}/out.csv --format csv "
                                   "--layout sheet")),
    Case("export-csv-field", staff("--extract diff-all --export {W}/out.csv --format csv "
                                   "--layout field")),
    Case("export-csv-row", staff("--extract diff-all --export {W}/out.csv --format csv "
                                 "--layout row")),
    Case("export-defaults-everything", "--key 1 --export {W}/out.xml " + SMALL),
    Case("export-no-rows", "--key 1 --extract diff --export {W}/out.xml {C}/small.csv "
                           "{C}/small.csv"),
    Case("export-no-rows-csv", "--key 1 --extract left-only --export {W}/out.csv --format csv "
                               + SMALL),
    Case("export-exists-refused", "--key 1 --pairs --export {W}/out.xml " + SMALL,
         pre={"out.xml": OLD}),
    Case("export-exists-forced", "--key 1 --force --export {W}/out.csv --format csv " + SMALL,
         pre={"out.csv": OLD}),
    Case("export-to-folder", "--key 1 --export {W}/out.xml " + SMALL, pre={"out.xml": None}),
    Case("export-missing-folder", "--key 1 --export {W}/nodir/out.xml " + SMALL),
    Case("export-same-files", "--key 1 --export {W}/out.csv --format csv {C}/small.csv "
                              "{C}/small.csv"),
    # Columns paired by name and fields given by name.
    Case("names-match-moved-columns", "--header --match-names --key コード --pairs --extract diff "
                                      "--export {W}/out.csv --format csv "
                                      "{C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-match-export-xml", "--header --match-names --key 2 --extract diff-all "
                                   "--export {W}/out.xml {C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-match-report", "--header --match-names --key 1 --report - --report-format csv "
                               "{C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-match-key-one-sided", "--header --match-names --key ﾌﾘｶﾞﾅ "
                                      "{C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-positional-moved-columns", "--header --key 1 "
                                           "{C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-options", staff("--pairs --ignore-spaces 氏名,備考 --extract field-diff:部署")),
    Case("names-unknown", staff("--ignore-spaces 所属")),
    Case("names-without-header", "--key コード {C}/staff_sjis_l.csv {C}/renamed_r.csv"),
    Case("names-match-without-header", "--match-names --key 1 " + SMALL),

    # The amounts compared as numbers, within a tolerance; the refusals.
    Case("numeric-staff-amount", staff("--pairs --numeric 5 --extract field-diff:5")),
    Case("numeric-staff-tolerance", staff("--numeric 5 --tolerance 1e+6 --extract diff "
                                          "--export {W}/out.csv --format csv")),
    Case("usage-numeric-on-key", "--key 1 --numeric 2,1 " + SMALL),
    Case("usage-numeric-not-compared", "--numeric 2 --not-compared 2 " + SMALL),
    Case("usage-tolerance-negative", "--tolerance -0.5 " + SMALL),
    Case("usage-tolerance-too-large", "--tolerance 1e+16 " + SMALL),
    Case("grid-numeric-beyond", "--numeric 9 " + SMALL),
]


# --- rendering -------------------------------------------------------------

def escape_text(text):
    out = []
    for ch in text:
        code = ord(ch)
        if ch == "\\":
            out.append("\\\\")
        elif ch == "\n":
            out.append("\\n\n")  # shown, and a line break of the rendering
        elif ch == "\r":
            out.append("\\r")
        elif ch == "\t":
            out.append("\\t")
        elif code < 0x20 or code == 0x7F:
            out.append("\\x%02x" % code)
        elif 0x80 <= code <= 0x9F or code in (0x2028, 0x2029, 0xFEFF):
            out.append("\\u%04x" % code)  # invisible, or a line break to some readers
        else:
            out.append(ch)
    return "".join(out)


def render_content(data):
    """The bytes as readable lines, and the decoding that made them readable."""
    for codec in ("utf-8", "cp932"):
        try:
            return codec, escape_text(data.decode(codec))
        except UnicodeDecodeError:
            continue
    parts = []
    for b in data:
        if b == 0x0A:
            parts.append("\\n\n")
        elif 0x20 <= b < 0x7F and b != 0x5C:
            parts.append(chr(b))
        else:
            parts.append("\\x%02x" % b)
    return "bytes", "".join(parts)


def render_stream(title, data):
    digest = hashlib.sha256(data).hexdigest()
    if not data:
        return ["%s: 0 bytes" % title]
    lines = []
    if len(data) <= INLINE_LIMIT:
        label, escaped = render_content(data)
        lines.append("%s: %d bytes, sha256 %s, %s:" % (title, len(data), digest, label))
        for line in escaped.split("\n"):
            if line:
                lines.append("  |" + line)
    else:
        lines.append("%s: %d bytes, sha256 %s" % (title, len(data), digest))
    return lines


def render_args(args):
    def quote(arg):
        plain = arg and not any(c in arg for c in " \t\r\n'\"\\$`*?![]()<>&#~")
        return arg if plain else shlex.quote(arg)

    return " ".join(quote(a) for a in args) if args else "(none)"


# --- running ---------------------------------------------------------------

def run_case(cli, case, corpus, workdir, tmp_root):
    os.makedirs(workdir)
    home = os.path.join(workdir, "home")
    os.makedirs(home)
    for name, content in case.pre.items():
        path = os.path.join(workdir, name)
        if content is None:
            os.makedirs(path)
        else:
            with open(path, "wb") as f:
                f.write(content)
    args = [a.replace("{C}", corpus).replace("{W}", workdir) for a in case.args]
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": home,
        "KORVEL_HOME": home,
        "LANG": "C.UTF-8",
        "LC_ALL": "C.UTF-8",
        "TZ": "UTC",
    }
    try:
        proc = subprocess.run([cli] + args, cwd=workdir, env=env, stdin=subprocess.DEVNULL,
                              stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                              timeout=TIMEOUT_SECONDS)
        status, out, err = str(proc.returncode), proc.stdout, proc.stderr
    except subprocess.TimeoutExpired as e:
        status, out, err = "timeout", e.stdout or b"", e.stderr or b""
    root = tmp_root.encode()

    def clean(data):
        return data.replace(root, b"{TMP}")

    lines = ["=== " + case.name, "args: " + render_args(case.args), "exit: " + status]
    lines += render_stream("stdout", clean(out))
    lines += render_stream("stderr", clean(err))
    for dirpath, dirnames, filenames in os.walk(workdir):
        dirnames.sort()
        for filename in sorted(filenames):
            path = os.path.join(dirpath, filename)
            rel = os.path.relpath(path, workdir)
            with open(path, "rb") as f:
                lines += render_stream("file " + rel, clean(f.read()))
    return lines


def corpus_block(corpus, files):
    lines = ["=== (corpus)"]
    for name in sorted(files):
        with open(os.path.join(corpus, name), "rb") as f:
            data = f.read()
        lines.append("input %s: %d bytes, sha256 %s" % (name, len(data),
                                                         hashlib.sha256(data).hexdigest()))
    return lines


# --- comparing -------------------------------------------------------------

def parse_blocks(text):
    blocks = {}
    order = []
    current = None
    for line in text.split("\n"):
        if line.startswith("=== "):
            current = line[4:]
            blocks[current] = [line]
            order.append(current)
        elif current is not None and line:
            blocks[current].append(line)
    return blocks, order


def sections(block):
    """The block's lines grouped by stream: 'exit', 'stdout', 'file out.xml', ..."""
    result = {}
    key = None
    for line in block[1:]:
        if not line.startswith("  |"):
            key = line.split(":", 1)[0]
            result[key] = []
        result[key].append(line)
    return result


def report_difference(name, expected, actual):
    exp, act = sections(expected), sections(actual)
    keys = list(exp) + [k for k in act if k not in exp]
    for key in keys:
        if exp.get(key) == act.get(key):
            continue
        if key not in act:
            print("FAIL %s: %s expected but missing" % (name, key))
        elif key not in exp:
            print("FAIL %s: %s not expected" % (name, key))
        else:
            print("FAIL %s: %s differs" % (name, key))
        diff = list(difflib.unified_diff(exp.get(key, []), act.get(key, []),
                                         "expected", "actual", lineterm="", n=2))
        for line in diff[:DIFF_LINES]:
            print("    " + line)
        if len(diff) > DIFF_LINES:
            print("    ... %d more diff lines" % (len(diff) - DIFF_LINES))


def main(argv):
    args = argv[1:]
    update = "--update" in args
    keep = "--keep" in args
    only = None
    if "--only" in args:
        i = args.index("--only")
        if i + 1 >= len(args):
            print(__doc__)
            return 2
        only = args[i + 1]
        del args[i:i + 2]
    args = [a for a in args if a not in ("--update", "--keep")]
    if len(args) != 1 or args[0].startswith("-"):
        print(__doc__)
        return 2
    if update and only is not None:
        print("check_corpus: --update rewrites every case; it cannot be used with --only")
        return 2
    cli = os.path.abspath(args[0])
    if not os.access(cli, os.X_OK):
        print("check_corpus: not an executable: %s" % cli)
        return 2
    names = [c.name for c in CASES]
    if len(set(names)) != len(names):
        print("check_corpus: case names are not unique")
        return 2

    tmp_root = os.path.realpath(tempfile.mkdtemp(prefix="korvel-corpus-"))
    try:
        corpus = os.path.join(tmp_root, "corpus")
        files = make_corpus.generate(corpus)
        blocks = {"(corpus)": corpus_block(corpus, files)}
        order = ["(corpus)"]
        for index, case in enumerate(CASES):
            if only is not None and only not in case.name:
                continue
            workdir = os.path.join(tmp_root, "case%03d" % index)
            blocks[case.name] = run_case(cli, case, corpus, workdir, tmp_root)
            order.append(case.name)
    finally:
        if keep:
            print("check_corpus: kept %s" % tmp_root)
        else:
            shutil.rmtree(tmp_root, ignore_errors=True)

    if update:
        header = ["# korvel-cli output corpus: written by check_corpus.py --update; do not edit.",
                  "# Per case: the arguments ({C} the corpus folder, {W} the case folder), the",
                  "# exit status, and per stream its size and SHA-256, with the content when short",
                  "# (escaped; {TMP} stands for the temporary folder)."]
        text = "\n".join(header + [""] + ["\n".join(blocks[n]) + "\n" for n in order])
        with open(EXPECTED, "w", encoding="utf-8", newline="\n") as f:
            f.write(text)
        print("corpus: wrote %d cases to %s" % (len(order) - 1, EXPECTED))
        return 0

    try:
        with open(EXPECTED, encoding="utf-8") as f:
            expected, expected_order = parse_blocks(f.read())
    except OSError as e:
        print("check_corpus: cannot read %s: %s" % (EXPECTED, e))
        return 1

    passed = failed = 0
    if expected.get("(corpus)") != blocks["(corpus)"]:
        print("FAIL (corpus): the generated input files differ from those the expectations "
              "were made from")
        report_difference("(corpus)", expected.get("(corpus)", ["=== (corpus)"]),
                          blocks["(corpus)"])
        failed += 1
    for name in order[1:]:
        if name not in expected:
            print("FAIL %s: no expectation (run with --update after checking the output)" % name)
            failed += 1
        elif expected[name] == blocks[name]:
            passed += 1
        else:
            report_difference(name, expected[name], blocks[name])
            failed += 1
    if only is None:
        for name in expected_order:
            if name not in blocks:
                print("FAIL %s: expected but no longer a case" % name)
                failed += 1
    print("corpus: %d passed, %d failed" % (passed, failed))
    return 0 if failed == 0 else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv))
