#!/usr/bin/env python3
"""Reads korvel-cli's difference reports back with Python's json and csv modules and holds
them against what the same run says elsewhere: the summary line, the --pairs rows, and the
cells of the XML export of the same result (per-sheet layout, which holds every field of
each side). Runs over the samples in every encoding (the UTF-16 and UTF-8 copies are made
here) and under extractions; exits 1 with the first disagreement.

usage: check_report.py KORVEL_CLI SAMPLES_DIR WORK_DIR
"""

import csv
import io
import json
import os
import re
import subprocess
import sys
import xml.etree.ElementTree as ET

SS = "{urn:schemas-microsoft-com:office:spreadsheet}"


def fail(message):
    print("check_report: " + message)
    sys.exit(1)


def run(cli, args, env):
    p = subprocess.run([cli] + args, capture_output=True, env=env)
    if p.returncode not in (0, 1):
        fail("%s: exit %d\n%s" % (args, p.returncode, p.stderr.decode("utf-8", "replace")))
    return p


def xml_rows(path, sheet):
    root = ET.parse(path).getroot()
    for ws in root.iter(SS + "Worksheet"):
        if ws.get(SS + "Name") == sheet:
            rows = []
            for row in ws.iter(SS + "Row"):
                rows.append([(d.text or "") for d in row.iter(SS + "Data")])
            return rows
    fail("no sheet " + sheet)


def status_of(xml_status):
    s = xml_status.strip()
    if s == "右のみ":
        return "right-only"
    if s == "左のみ":
        return "left-only"
    return "differs" if int(s) > 0 else "equal"


def check(cli, work, files, options, env):
    left, right = files
    report = os.path.join(work, "r.jsonl")
    report_all = os.path.join(work, "all.jsonl")
    report_csv = os.path.join(work, "r.csv")
    export = os.path.join(work, "x.xml")
    base = options + [left, right]
    summary_line = run(cli, ["--pairs"] + base, env).stdout.decode("utf-8").split("\n")
    pairs = [tuple(int(v) for v in line.split("\t")) for line in summary_line[1:] if line]
    run(cli, ["--force", "--report", report] + base, env)
    run(cli, ["--force", "--report", report_all, "--report-all-fields",
              "--export", export, "--layout", "sheet"] + base, env)
    run(cli, ["--force", "--report", report_csv, "--report-format", "csv"] + base, env)
    # To standard output: the same bytes, and the summary line on standard error.
    to_stdout = run(cli, ["--report", "-"] + base, env)
    with open(report, "rb") as f:
        if to_stdout.stdout != f.read():
            fail("--report - differs from the file")
    if to_stdout.stderr.decode("utf-8").split("\n")[0] != summary_line[0]:
        fail("--report - did not put the summary on standard error")

    with open(report_all, encoding="utf-8") as f:
        lines = [json.loads(line) for line in f]
    with open(report, encoding="utf-8") as f:
        diff_lines = [json.loads(line) for line in f]
    summary = lines[0]["summary"]
    counts = [int(n) for n in re.findall(r"(\d+)件", summary_line[0])]
    if counts != [summary[k] for k in ("left_total", "right_total", "differing", "left_only",
                                       "right_only")]:
        fail("summary %s against %s" % (summary, summary_line[0]))
    if diff_lines[0] != lines[0]:
        fail("the summaries of the two reports differ")

    left_rows = xml_rows(export, "Left")
    right_rows = xml_rows(export, "Right")
    field_names = [f["name"] for f in summary["fields"]]
    keys = len(lines[1]["key"]) if len(lines) > 1 else 0
    header = left_rows[0]
    if header[2:] != field_names[:keys] + field_names:
        fail("field names %s against the export's %s" % (field_names, header))
    records = lines[1:]
    if len(records) != len(pairs) or len(records) != len(left_rows) - 1:
        fail("%d records, %d pairs, %d export rows" % (len(records), len(pairs), len(left_rows) - 1))
    csv_expected = []
    for i, rec in enumerate(records):
        lrow, rrow = left_rows[i + 1], right_rows[i + 1]
        status, lr, rr = pairs[i]
        if (rec["left_row"], rec["right_row"]) != (None if lr < 0 else lr, None if rr < 0 else rr):
            fail("record %d rows %s against --pairs %s" % (i, rec, pairs[i]))
        if rec["status"] != status_of(lrow[1]):
            fail("record %d status %s against %s" % (i, rec["status"], lrow[1]))
        if [k["text"] for k in rec["key"]] != lrow[2:2 + keys]:
            fail("record %d keys %s against %s" % (i, rec["key"], lrow[2:2 + keys]))
        if [k["name"] for k in rec["key"]] != field_names[:keys]:
            fail("record %d key names" % i)
        fields = rec["fields"]
        if [f["name"] for f in fields] != field_names[keys:]:
            fail("record %d field names %s" % (i, [f["name"] for f in fields]))
        for j, f in enumerate(fields):
            col = 2 + keys + keys + j
            if f["left"] != lrow[col] or f["right"] != rrow[col]:
                fail("record %d field %d: %r/%r against the export's %r/%r" %
                     (i, j, f["left"], f["right"], lrow[col], rrow[col]))
        differing = [f for f in fields if f["differs"]]
        if diff_lines[i + 1] != dict(rec, fields=differing):
            fail("record %d: the report without --report-all-fields disagrees" % i)
        if rec["status"] == "differs" and len(differing) != status:
            fail("record %d: %d fields differ, status %d" % (i, len(differing), status))
        if rec["status"] == "equal" and differing:
            fail("record %d equal with differing fields" % i)
        key_texts = [k["text"] for k in rec["key"]]
        row_texts = ["" if rec["left_row"] is None else str(rec["left_row"]),
                     "" if rec["right_row"] is None else str(rec["right_row"])]
        if rec["status"] in ("left-only", "right-only"):
            csv_expected.append([rec["status"]] + row_texts + key_texts + ["", "", "", ""])
        else:
            for f in differing:
                csv_expected.append([rec["status"]] + row_texts + key_texts +
                                    [str(f["field"]), f["name"], f["left"], f["right"]])
    with open(report_csv, "rb") as f:
        raw = f.read()
    if not raw.startswith(b"\xef\xbb\xbf"):
        fail("CSV without byte-order mark")
    table = list(csv.reader(io.StringIO(raw.decode("utf-8-sig"), newline="")))
    if table[0] != ["status", "left_row", "right_row"] + field_names[:keys] + \
            ["field", "name", "left", "right"]:
        fail("CSV header %s" % table[0])
    if table[1:] != csv_expected:
        fail("CSV rows %s against %s" % (table[1:], csv_expected))
    # The per-field counts of the whole result.
    if not options or "--extract" not in options:
        for j, f in enumerate(summary["fields"]):
            n = sum(1 for rec in records if rec["status"] in ("differs", "equal")
                    for g in rec["fields"] if g["name"] == f["name"] and g["field"] == f["field"]
                    and g["differs"])
            if j >= keys and n != f["differing"]:
                fail("field %s counted %d, report says %d" % (f["name"], n, f["differing"]))
    return len(records)


def main():
    cli, samples, work = sys.argv[1:4]
    env = dict(os.environ, KORVEL_HOME=work)
    old = os.path.join(samples, "staff_old_sjis.csv")
    new = os.path.join(samples, "staff_new_utf8bom.csv")
    with open(old, "rb") as f:
        old_text = f.read().decode("cp932")
    with open(new, "rb") as f:
        new_text = f.read().decode("utf-8-sig")
    copies = {}
    for name, text, enc, bom in (("old16.csv", old_text, "utf-16-le", b"\xff\xfe"),
                                 ("new16.csv", new_text, "utf-16-le", b"\xff\xfe"),
                                 ("old8.csv", old_text, "utf-8", b""),
                                 ("new8.csv", new_text, "utf-8", b"")):
        path = os.path.join(work, name)
        with open(path, "wb") as f:
            f.write(bom + text.encode(enc))
        copies[name] = path
    runs = [
        ((old, new), ["--header", "--key", "1"]),
        ((new, old), ["--header", "--key", "1"]),
        ((old, new), ["--header", "--key", "1", "--ignore-spaces", "2", "--extract", "diff-all"]),
        ((old, new), ["--header", "--key", "1", "--extract", "right-only"]),
        ((old, new), ["--header", "--key", "1", "--not-compared", "3"]),
        ((old, new), ["--header"]),
        ((copies["old16.csv"], copies["new16.csv"]), ["--header", "--key", "1", "--encoding", "utf16"]),
        ((copies["old8.csv"], copies["new8.csv"]), ["--header", "--key", "1", "--encoding", "utf8"]),
        ((old, copies["new16.csv"]), ["--key", "1"]),
    ]
    total = 0
    for files, options in runs:
        total += check(cli, work, files, options, env)
    print("check_report: %d runs, %d records agree" % (len(runs), total))


if __name__ == "__main__":
    main()
