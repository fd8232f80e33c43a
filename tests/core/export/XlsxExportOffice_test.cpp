// The .xlsx export opened by the programs people read it with: LibreOffice converts every
// layout's workbook to CSV (`libreoffice --headless --convert-to csv`) and must read every
// cell as it reads the same cell of the XML Spreadsheet export, which is the shown value;
// and openpyxl (Debian's python3-openpyxl) must find each cell's fill, type and text where
// the XML export has them.
//
// Both programs are looked for first; when one is missing, the test installs its Debian
// package with apt-get (only as root, bounded in time; KORVEL_NO_INSTALL=1 forbids it) and
// skips with the reason when that is not possible. Every outside command runs under
// `timeout`, so the test cannot hang.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "ExportTestSource.h"
#include "OfficeTools.h"
#include "TestUtil.h"
#include "export/ExportDriver.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::Cat;
using test::MemoryExportSource;
using test::ReadFileBytes;
using test::Shell;
using test::ShellQuoted;
using test::Table;
using test::TempDir;
using test::Trimmed;

struct Layout {
  ExportLayout layout;
  const char* name;
  std::vector<std::string> sheets;
};
const Layout kLayouts[] = {{ExportLayout::kPerSheet, "sheet", {"Left", "Right"}},
                           {ExportLayout::kAlternateFields, "field", {"Sheet1"}},
                           {ExportLayout::kAlternateRows, "row", {"Sheet1"}}};

class XlsxExportOfficeTest : public ::testing::Test {
 protected:
  // Writes the export of `source` in `layout` as <stem>-<layout>-<xml|xlsx>.<xml|xlsx> (the
  // office program names its CSV files after the file name without its extension) and
  // returns its path.
  std::string Export(const ExportSource& source, ExportFormat format, const Layout& layout,
                     const std::string& stem) {
    const char* kind = format == ExportFormat::kXml ? "xml" : "xlsx";
    const std::string path = dir_.File(Cat(stem, "-", layout.name, "-", kind, ".", kind));
    EXPECT_EQ(WriteExport(source, format, layout.layout, path, Progress::None(), true),
              kExportDone);
    return path;
  }

  // LibreOffice's CSV of every sheet of `files`, in `out`; false after a failed test.
  bool Convert(const std::string& office, const std::vector<std::string>& files,
               const std::string& out) {
    std::string command = "timeout -k 10 180 ";
    command += ShellQuoted(office);
    command += " -env:UserInstallation=file://";
    command += dir_.File("profile");
    command += " --headless --norestore --convert-to ";
    command += ShellQuoted(test::kCsvFilter);
    command += " --outdir ";
    command += ShellQuoted(out);
    for (const std::string& file : files) {
      command += ' ';
      command += ShellQuoted(file);
    }
    command += " >";
    command += ShellQuoted(dir_.File("office.log"));
    command += " 2>&1";
    const int rc = Shell(command);
    EXPECT_EQ(rc, 0) << "LibreOffice failed or timed out (exit " << rc << "):\n"
                     << ReadFileBytes(dir_.File("office.log"));
    return rc == 0;
  }

  Table ReadBack(const std::string& path) {
    EXPECT_TRUE(fs::exists(path)) << path << " was not written:\n"
                                  << ReadFileBytes(dir_.File("office.log"));
    return Trimmed(test::ParseCsv(ReadFileBytes(path)));
  }

  TempDir dir_;
};

TEST_F(XlsxExportOfficeTest, LibreOfficeReadsEveryCellAsShown) {
  std::string office = test::FindOffice();
  if (office.empty()) {
    const std::string why = test::InstallOffice(dir_);
    office = test::FindOffice();
    if (office.empty()) {
      GTEST_SKIP() << "LibreOffice (libreoffice or soffice) is not on PATH and was not "
                      "installed: "
                   << (why.empty() ? "it was still not found after installing" : why);
    }
  }
  const MemoryExportSource sample = test::SampleSource();
  const MemoryExportSource tricky = test::TrickySource();
  std::vector<std::string> files;
  for (const Layout& layout : kLayouts) {
    for (ExportFormat format : {ExportFormat::kXml, ExportFormat::kXlsx}) {
      files.push_back(Export(sample, format, layout, "sample"));
      files.push_back(Export(tricky, format, layout, "tricky"));
    }
  }
  const std::string out = dir_.File("out");
  fs::create_directory(out);
  ASSERT_TRUE(Convert(office, files, out));

  // Every cell of every sheet as the XML export's (whose cells LibreOffice reads as the grid
  // shows them: XmlExportLibreOffice). One difference is LibreOffice's own: reading a
  // workbook of this format it joins CR LF within a cell into one line break, however the
  // file spells it (a CR alone it keeps), so the XML export's CR LF is compared as LF.
  const auto joinedLineBreaks = [](Table table) {
    for (auto& row : table) {
      for (std::string& cell : row) {
        for (std::size_t at; (at = cell.find("\r\n")) != std::string::npos;) cell.erase(at, 1);
      }
    }
    return table;
  };
  for (const char* stem : {"sample", "tricky"}) {
    for (const Layout& layout : kLayouts) {
      for (const std::string& sheet : layout.sheets) {
        const std::string base = Cat(out, "/", stem, "-", layout.name);
        const Table xlsx = ReadBack(Cat(base, "-xlsx-", sheet, ".csv"));
        EXPECT_FALSE(xlsx.empty());
        EXPECT_EQ(xlsx, joinedLineBreaks(ReadBack(Cat(base, "-xml-", sheet, ".csv"))))
            << stem << " " << layout.name << " " << sheet;
      }
    }
  }

  // Spelled out: texts that look like numbers or formulas stay texts, the format's escapes
  // and line breaks read back as written, the pair number is a number.
  const Table rows = ReadBack(Cat(out, "/tricky-row-xlsx-Sheet1.csv"));
  ASSERT_GE(rows.size(), 37u);
  EXPECT_EQ(rows[0], (std::vector<std::string>{"No", "相違", "ファイル", "コード", "コード", "値",
                                               "memo", "備考"}));
  EXPECT_EQ(rows[1],
            (std::vector<std::string>{"1", "   0", "L", "K100", "K100", "0012", "same", "x"}));
  const std::vector<std::pair<std::size_t, std::string>> shown = {
      {0, "0012"},        {1, "-1"},          {2, "1,000"},      {3, "1e5"},
      {4, "1.50"},        {5, "=SUM(A1)"},    {6, "'quoted"},    {7, "_x0041_"},
      {8, "a_x00e9_b"},   {9, "ctl???end"},   {10, "?ア\uF8F0"}, {11, "cr\nlf\nend"},
      {12, "  spaced  "}, {13, "全角　空白"}, {17, "lone\rcr"}};
  for (const auto& [i, text] : shown) {
    EXPECT_EQ(rows[2 * i + 1][5], text) << i;
    EXPECT_EQ(rows[2 * i + 2][5], i % 2 == 0 ? text : text + "!") << i;
  }
}

// Prints, as tests/core/export/workbook_cells.py does, what openpyxl finds in each cell:
// its type, its solid fill and its text. openpyxl (3.0) hands texts over without undoing
// the file format's "_xHHHH_" character escapes, which Excel and LibreOffice undo; the
// script undoes them as they do, so that the texts compare as those programs show them.
const char kOpenpyxlCells[] = R"(import json, re, sys
import openpyxl
escape = re.compile(r'_x([0-9A-Fa-f]{4})_')
book = openpyxl.load_workbook(sys.argv[1])
lines = []
for ws in book.worksheets:
    lines.append('sheet ' + ws.title)
    for row in ws.iter_rows():
        cells = []
        for c in row:
            fill = '-'
            if c.fill is not None and c.fill.fill_type == 'solid':
                fill = '#' + str(c.fill.fgColor.rgb)[-6:].upper()
            v = c.value
            if v is None or v == '':
                cells.append(('-', fill, ''))
            elif isinstance(v, str):
                cells.append(('s', fill, escape.sub(lambda m: chr(int(m.group(1), 16)), v)))
            else:
                cells.append(('n', fill, str(v)))
        while cells and cells[-1] == ('-', '-', ''):
            cells.pop()
        lines.append('row')
        for kind, fill, text in cells:
            lines.append('cell %s %s %s' % (kind, fill, json.dumps(text, ensure_ascii=False)))
open(sys.argv[2], 'w', encoding='utf-8', newline='').write('\n'.join(lines) + '\n')
)";

// Debian's python3-openpyxl belongs to Debian's own interpreter, which another python3
// earlier on PATH (a virtual environment, pyenv) would not see.
std::string DebianPython() {
  return ::access("/usr/bin/python3", X_OK) == 0 ? "/usr/bin/python3" : "python3";
}

TEST_F(XlsxExportOfficeTest, OpenpyxlFindsTheFillsWhereTheXmlExportHasThem) {
  const std::string python = DebianPython();
  const std::string probe =
      Cat("timeout -k 5 60 ", python, " -c 'import openpyxl' >/dev/null 2>&1");
  if (Shell(probe) != 0) {
    const std::string why = test::InstallPackage(dir_, "python3-openpyxl");
    if (Shell(probe) != 0) {
      GTEST_SKIP() << "python3 cannot import openpyxl, and python3-openpyxl was not installed: "
                   << (why.empty() ? "it still could not be imported after installing" : why);
    }
  }
  const std::string script = dir_.Write("openpyxl_cells.py", kOpenpyxlCells);
  const std::string reader = Cat(KORVEL_SOURCE_DIR, "/tests/core/export/workbook_cells.py");
  const MemoryExportSource sample = test::SampleSource();
  const MemoryExportSource tricky = test::TrickySource();
  for (const MemoryExportSource* source : {&sample, &tricky}) {
    for (const Layout& layout : kLayouts) {
      SCOPED_TRACE(Cat(layout.name, ", ", std::to_string(source->PairCount()), " pairs"));
      const std::string xml = Export(*source, ExportFormat::kXml, layout, "cells");
      const std::string xlsx = Export(*source, ExportFormat::kXlsx, layout, "cells");
      const std::string fromXml = dir_.File("xml.txt");
      const std::string fromXlsx = dir_.File("xlsx.txt");
      ASSERT_EQ(Shell(Cat("timeout -k 5 60 python3 ", ShellQuoted(reader), " xml ",
                          ShellQuoted(xml), " ", ShellQuoted(fromXml))),
                0);
      ASSERT_EQ(
          Shell(Cat("timeout -k 5 60 ", python, " ", ShellQuoted(script), " ", ShellQuoted(xlsx),
                    " ", ShellQuoted(fromXlsx), " 2>", ShellQuoted(dir_.File("err.txt")))),
          0)
          << ReadFileBytes(dir_.File("err.txt"));
      EXPECT_EQ(ReadFileBytes(fromXlsx), ReadFileBytes(fromXml));
    }
  }

  // The fills spelled out for the sample's alternating-rows layout: yellow left and cyan
  // right differences, grey for the side without a record and for not compared fields.
  const std::string xlsx = Export(sample, ExportFormat::kXlsx, kLayouts[2], "fills");
  const std::string cells = dir_.File("fills.txt");
  ASSERT_EQ(
      Shell(Cat(python, " ", ShellQuoted(script), " ", ShellQuoted(xlsx), " ", ShellQuoted(cells))),
      0);
  const std::string text = ReadFileBytes(cells);
  for (const char* line : {"cell s #F7FB6A \"A&B <x>\"", "cell s #82E6E6 \"other\"",
                           "cell - #808080 \"\"", "cell s #BBBBBB \"7\"", "cell s #AAFFFF \"003\"",
                           "cell s #7D7D7D \"No\"", "cell n - \"4\""}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "\n" << text;
  }
}

}  // namespace
}  // namespace korvel
