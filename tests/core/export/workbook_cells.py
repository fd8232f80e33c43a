#!/usr/bin/env python3
"""Reads an exported workbook with the standard library only and writes what each cell
holds, one line a cell, so that an XML Spreadsheet 2003 export and an .xlsx export of the
same result can be compared line by line.

    workbook_cells.py xml|xlsx WORKBOOK OUT

OUT (UTF-8) holds, in sheet order:

    sheet NAME
    row
    cell TYPE FILL TEXT

TYPE is "s" for text, "n" for a number and "-" for an empty cell; FILL is the cell's solid
fill as #RRGGBB, or "-"; TEXT is the value as a JSON string. Empty cells without a fill at
the end of a row are left out, since one format writes them and the other need not.
The .xlsx reading follows the file format itself, not the writer: inline, shared and
formula strings, cell references with gaps, and the format's "_xHHHH_" character escapes.
"""
import json
import re
import sys
import xml.etree.ElementTree as ET
import zipfile

SS = "urn:schemas-microsoft-com:office:spreadsheet"
MAIN = "http://schemas.openxmlformats.org/spreadsheetml/2006/main"
REL = "http://schemas.openxmlformats.org/officeDocument/2006/relationships"
PKG_REL = "http://schemas.openxmlformats.org/package/2006/relationships"


def xml_sheets(path):
    root = ET.parse(path).getroot()
    fills = {}
    for style in root.iter(f"{{{SS}}}Style"):
        interior = style.find(f"{{{SS}}}Interior")
        colour = interior.get(f"{{{SS}}}Color") if interior is not None else None
        pattern = interior.get(f"{{{SS}}}Pattern") if interior is not None else None
        if colour and pattern == "Solid":
            fills[style.get(f"{{{SS}}}ID")] = colour.upper()
    sheets = []
    for sheet in root.findall(f"{{{SS}}}Worksheet"):
        rows = []
        for row in sheet.findall(f"{{{SS}}}Table/{{{SS}}}Row"):
            cells = []
            for cell in row.findall(f"{{{SS}}}Cell"):
                index = cell.get(f"{{{SS}}}Index")
                if index:
                    while len(cells) < int(index) - 1:
                        cells.append(("-", "-", ""))
                data = cell.find(f"{{{SS}}}Data")
                text = (data.text or "") if data is not None else ""
                kind = data.get(f"{{{SS}}}Type") if data is not None else None
                fill = fills.get(cell.get(f"{{{SS}}}StyleID"), "-")
                if text == "":
                    cells.append(("-", fill, ""))
                else:
                    cells.append(("n" if kind == "Number" else "s", fill, text))
            rows.append(cells)
        sheets.append((sheet.get(f"{{{SS}}}Name"), rows))
    return sheets


ESCAPE = re.compile(r"_x([0-9A-Fa-f]{4})_")


def unescape(text):
    return ESCAPE.sub(lambda m: chr(int(m.group(1), 16)), text)


def column_index(ref):
    letters = re.match(r"[A-Z]+", ref).group(0)
    n = 0
    for ch in letters:
        n = n * 26 + ord(ch) - ord("A") + 1
    return n - 1


def rich_text(node):
    """The text of a string item: its t, or its runs' t joined (phonetic runs excluded)."""
    t = node.find(f"{{{MAIN}}}t")
    if t is not None:
        return unescape(t.text or "")
    return "".join(unescape(r.text or "") for r in node.findall(f"{{{MAIN}}}r/{{{MAIN}}}t"))


def xlsx_sheets(path):
    with zipfile.ZipFile(path) as z:
        names = set(z.namelist())
        book = ET.fromstring(z.read("xl/workbook.xml"))
        rels = ET.fromstring(z.read("xl/_rels/workbook.xml.rels"))
        targets = {r.get("Id"): r.get("Target") for r in rels.findall(f"{{{PKG_REL}}}Relationship")}
        fills = []
        xf_fills = []
        if "xl/styles.xml" in names:
            styles = ET.fromstring(z.read("xl/styles.xml"))
            for fill in styles.findall(f"{{{MAIN}}}fills/{{{MAIN}}}fill"):
                pattern = fill.find(f"{{{MAIN}}}patternFill")
                colour = "-"
                if pattern is not None and pattern.get("patternType") == "solid":
                    fg = pattern.find(f"{{{MAIN}}}fgColor")
                    if fg is not None and fg.get("rgb"):
                        colour = "#" + fg.get("rgb")[-6:].upper()
                fills.append(colour)
            for xf in styles.findall(f"{{{MAIN}}}cellXfs/{{{MAIN}}}xf"):
                xf_fills.append(fills[int(xf.get("fillId", "0"))])
        shared = []
        if "xl/sharedStrings.xml" in names:
            sst = ET.fromstring(z.read("xl/sharedStrings.xml"))
            shared = [rich_text(si) for si in sst.findall(f"{{{MAIN}}}si")]
        sheets = []
        for sheet in book.findall(f"{{{MAIN}}}sheets/{{{MAIN}}}sheet"):
            target = targets[sheet.get(f"{{{REL}}}id")]
            member = target.lstrip("/") if target.startswith("/") else "xl/" + target
            data = ET.fromstring(z.read(member))
            rows = []
            for row in data.findall(f"{{{MAIN}}}sheetData/{{{MAIN}}}row"):
                cells = []
                for cell in row.findall(f"{{{MAIN}}}c"):
                    column = column_index(cell.get("r"))
                    while len(cells) < column:
                        cells.append(("-", "-", ""))
                    fill = xf_fills[int(cell.get("s", "0"))] if xf_fills else "-"
                    kind = cell.get("t", "n")
                    value = cell.find(f"{{{MAIN}}}v")
                    if kind == "inlineStr":
                        inline = cell.find(f"{{{MAIN}}}is")
                        text, out = (rich_text(inline) if inline is not None else ""), "s"
                    elif kind == "s":
                        text, out = shared[int(value.text)], "s"
                    elif kind == "str":
                        text, out = unescape(value.text or "") if value is not None else "", "s"
                    else:
                        text, out = (value.text or "") if value is not None else "", "n"
                    cells.append(("-" if text == "" else out, fill, text))
                rows.append(cells)
            sheets.append((sheet.get("name"), rows))
    return sheets


def main():
    kind, path, out = sys.argv[1:4]
    sheets = xml_sheets(path) if kind == "xml" else xlsx_sheets(path)
    lines = []
    for name, rows in sheets:
        lines.append(f"sheet {name}")
        for cells in rows:
            while cells and cells[-1] == ("-", "-", ""):
                cells.pop()
            lines.append("row")
            for kind_, fill, text in cells:
                lines.append(f"cell {kind_} {fill} {json.dumps(text, ensure_ascii=False)}")
    with open(out, "w", encoding="utf-8", newline="") as f:
        f.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    main()
