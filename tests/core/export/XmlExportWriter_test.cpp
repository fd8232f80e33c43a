#include "export/XmlExportWriter.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <initializer_list>
#include <string>

#include "ExportTestSource.h"
#include "TestUtil.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

using test::ExportBytes;
using test::MemoryExportSource;
using test::S;
using test::SampleSource;

using test::CrLfLines;

const std::string kWorkbookHeader = CrLfLines({
    R"(<?xml version="1.0"?>)",
    R"(<?mso-application progid="Excel.Sheet"?>)",
    R"(<Workbook xmlns="urn:schemas-microsoft-com:office:spreadsheet")",
    R"( xmlns:o="urn:schemas-microsoft-com:office:office")",
    R"( xmlns:x="urn:schemas-microsoft-com:office:excel")",
    R"( xmlns:ss="urn:schemas-microsoft-com:office:spreadsheet")",
    R"( xmlns:html="http://www.w3.org/TR/REC-html40">)",
    R"( <ExcelWorkbook xmlns="urn:schemas-microsoft-com:office:excel">)",
    R"(  <WindowHeight>9345</WindowHeight>)",
    R"(  <WindowWidth>16035</WindowWidth>)",
    R"(  <WindowTopX>0</WindowTopX>)",
    R"(  <WindowTopY>30</WindowTopY>)",
    R"(  <ProtectStructure>False</ProtectStructure>)",
    R"(  <ProtectWindows>False</ProtectWindows>)",
    R"( </ExcelWorkbook>)",
    R"( <Styles>)",
    R"(  <Style ss:ID="Default" ss:Name="Normal">)",
    R"(    <Alignment ss:Vertical="Center"/>)",
    R"(    <Borders/>)",
    R"(   <Font ss:FontName="ＭＳ Ｐゴシック" x:CharSet="128" x:Family="Modern" ss:Size="11"/>)",
    R"(   <Interior/>)",
    R"(   <NumberFormat/>)",
    R"(   <Protection/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s21">)",
    R"(   <Interior ss:Color="#7D7D7D" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s22">)",
    R"(   <Interior ss:Color="#F7FB6A" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s23">)",
    R"(   <Interior ss:Color="#82E6E6" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s24">)",
    R"(   <Interior ss:Color="#BBBBBB" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s25">)",
    R"(   <Interior ss:Color="#808080" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"(  <Style ss:ID="s26">)",
    R"(   <Interior ss:Color="#AAFFFF" ss:Pattern="Solid"/>)",
    R"(  </Style>)",
    R"( </Styles>)",
});

std::string WorksheetStart(std::string_view name, std::string_view rows, std::string_view columns) {
  return CrLfLines({
      std::string(R"( <Worksheet ss:Name=")") + std::string(name) + R"(">)",
      std::string(R"(  <Table ss:ExpandedColumnCount=")") + std::string(columns) + R"(")",
      std::string(R"(         ss:ExpandedRowCount=")") + std::string(rows) + R"(")",
      R"(          x:FullColumns="1")",
      R"(          x:FullRows="1")",
      R"(         ss:DefaultColumnWidth="54")",
      R"(         ss:DefaultRowHeight="13.5"> )",
  });
}

const std::string kWorksheetEnd = CrLfLines({
    R"(  </Table>)",
    R"(  <WorksheetOptions xmlns="urn:schemas-microsoft-com:office:excel">)",
    R"(   <PageSetup>)",
    R"(    <Header x:Margin="0.51200000000000001"/>)",
    R"(    <Footer x:Margin="0.51200000000000001"/>)",
    R"(    <PageMargins x:Bottom="0.98399999999999999")",
    R"(                 x:Left="0.78700000000000003")",
    R"(                 x:Right="0.78700000000000003")",
    R"(                 x:Top="0.98399999999999999"/>)",
    R"(   </PageSetup>)",
    R"(   <Selected/>)",
    R"(   <ProtectObjects>False</ProtectObjects>)",
    R"(   <ProtectScenarios>False</ProtectScenarios>)",
    R"(  </WorksheetOptions>)",
    R"( </Worksheet>)",
});

const std::string kWorkbookEnd = "</Workbook>\r\n";

// The escaped forms of the sample's two differing names.
constexpr std::string_view kLeftName = "A&amp;B &lt;x&gt;";
constexpr std::string_view kRightName = "A&amp;B &quot;y&quot;&#13;&#10;z";

TEST(XmlExportWriterTest, PerSheetLayoutWritesOneWorksheetPerSide) {
  const std::string left =
      WorksheetStart("Left", "5", "7") +
      CrLfLines({
          "   <Row>",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">名前</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">メモ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">金額</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   0</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   2</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">A&amp;B &lt;x&gt;</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">memo</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">5</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">3</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">右のみ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">4</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">左のみ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">only left</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
      }) +
      kWorksheetEnd;
  const std::string right =
      WorksheetStart("Right", "5", "7") +
      CrLfLines({
          "   <Row>",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">名前</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">メモ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">金額</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   0</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   2</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">A&amp;B &quot;y&quot;&#13;&#10;z</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">other</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">6</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">3</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">右のみ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">右</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">7</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">4</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">左のみ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
      }) +
      kWorksheetEnd;
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kXml, ExportLayout::kPerSheet),
            kWorkbookHeader + left + right + kWorkbookEnd);
}

TEST(XmlExportWriterTest, AlternateFieldsLayoutMarksEachNonKeyField) {
  const std::string sheet =
      WorksheetStart("Sheet1", "5", "12") +
      CrLfLines({
          "   <Row>",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">名前</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">L側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">R側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">メモ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">L側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">R側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">金額</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">L側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">R側</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   0</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">○</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">○</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">未</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">×</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">A&amp;B &lt;x&gt;</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">A&amp;B &quot;y&quot;&#13;&#10;z</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">×</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">memo</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">other</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">未</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">5</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">6</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">3</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">右のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">×</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">右</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">○</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">未</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">7</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">4</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">左のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">×</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">only left</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">○</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">未</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
      }) +
      kWorksheetEnd;
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kXml, ExportLayout::kAlternateFields),
            kWorkbookHeader + sheet + kWorkbookEnd);
}

TEST(XmlExportWriterTest, AlternateRowsLayoutWritesLeftThenRightRowPerPair) {
  const std::string sheet =
      WorksheetStart("Sheet1", "9", "8") +
      CrLfLines({
          "   <Row>",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ファイル</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ID</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">名前</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">メモ</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">金額</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   0</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">L</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   0</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">R</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">001</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">山田</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">a</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">100</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">L</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">A&amp;B &lt;x&gt;</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">memo</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">5</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">R</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">002</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">A&amp;B &quot;y&quot;&#13;&#10;z</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">other</Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">6</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">3</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">右のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">L</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">3</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">右のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">R</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">003</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">右</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String">7</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">4</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">左のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">L</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s22"><Data ss:Type="String">only left</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">4</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">左のみ</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">R</Data></Cell>)",
          R"(    <Cell ss:StyleID="s26"><Data ss:Type="String">004</Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s25"><Data ss:Type="String"></Data></Cell>)",
          R"(    <Cell ss:StyleID="s24"><Data ss:Type="String"></Data></Cell>)",
          "   </Row>",
      }) +
      kWorksheetEnd;
  EXPECT_EQ(ExportBytes(SampleSource(), ExportFormat::kXml, ExportLayout::kAlternateRows),
            kWorkbookHeader + sheet + kWorkbookEnd);
}

TEST(XmlExportWriterTest, EmptyResultWritesHeaderRowsOnly) {
  MemoryExportSource empty;
  const std::string headerRow = CrLfLines({
      "   <Row>",
      R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
      R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
      "   </Row>",
  });
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kXml, ExportLayout::kPerSheet),
            kWorkbookHeader + WorksheetStart("Left", "1", "2") + headerRow + kWorksheetEnd +
                WorksheetStart("Right", "1", "2") + headerRow + kWorksheetEnd + kWorkbookEnd);
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kXml, ExportLayout::kAlternateFields),
            kWorkbookHeader + WorksheetStart("Sheet1", "1", "2") + headerRow + kWorksheetEnd +
                kWorkbookEnd);
  const std::string rowsHeader = CrLfLines({
      "   <Row>",
      R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
      R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
      R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">ファイル</Data></Cell>)",
      "   </Row>",
  });
  EXPECT_EQ(ExportBytes(empty, ExportFormat::kXml, ExportLayout::kAlternateRows),
            kWorkbookHeader + WorksheetStart("Sheet1", "1", "3") + rowsHeader + kWorksheetEnd +
                kWorkbookEnd);
}

// Without keys every field gets its three columns; pairs are numbered by their place in
// the list handed over (an extraction's rows start again at 1), not by their rows.
TEST(XmlExportWriterTest, NoKeysAndExtractedPairs) {
  MemoryExportSource s;
  s.fields = {{1, false, false, "F"}};
  s.left = {{"x"}, {"y"}, {"z"}};
  s.right = {{"x"}, {"y"}, {"Z"}};
  s.pairs = {{1, 2, 2}, {12, 0, 0}};
  const std::string sheet =
      WorksheetStart("Sheet1", "3", "5") +
      CrLfLines({
          "   <Row>",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">No</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">相違</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">F</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">L側</Data></Cell>)",
          R"(    <Cell ss:StyleID="s21"><Data ss:Type="String">R側</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">1</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">   1</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">×</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">z</Data></Cell>)",
          R"(    <Cell ss:StyleID="s23"><Data ss:Type="String">Z</Data></Cell>)",
          "   </Row>",
          "   <Row>",
          R"(    <Cell><Data ss:Type="Number">2</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">  12</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">○</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">x</Data></Cell>)",
          R"(    <Cell><Data ss:Type="String">x</Data></Cell>)",
          "   </Row>",
      }) +
      kWorksheetEnd;
  EXPECT_EQ(ExportBytes(s, ExportFormat::kXml, ExportLayout::kAlternateFields),
            kWorkbookHeader + sheet + kWorkbookEnd);
}

// The data line of a one-field, one-pair alternating-rows export whose left cell is `text`.
std::string LeftCellLine(std::string_view text) {
  MemoryExportSource s;
  s.fields = {{1, false, true, "F"}};
  s.left = {{std::string(text)}};
  s.pairs = {{-2, 0, -1}};
  std::string xml = ExportBytes(s, ExportFormat::kXml, ExportLayout::kAlternateRows);
  std::string_view marker = R"(<Cell ss:StyleID="s24"><Data ss:Type="String">)";
  std::size_t start = xml.find(marker);
  if (start == std::string::npos) return "<no cell>";
  start += marker.size();
  return xml.substr(start, xml.find("</Data>", start) - start);
}

TEST(XmlExportWriterTest, CellTextsBecomeEscapedUtf8) {
  // Double-byte characters, among them ones whose second byte is a backslash (ソ, 表) or
  // in the range of the escaped ASCII characters' neighbours, and half-width katakana.
  EXPECT_EQ(LeftCellLine(S("ソ表ｱｲ漢字")), "ソ表ｱｲ漢字");
  EXPECT_EQ(LeftCellLine("'a\tb\\c'"), "'a\tb\\c'");
  EXPECT_EQ(LeftCellLine(S("<×>&\"\r\n")), "&lt;×&gt;&amp;&quot;&#13;&#10;");
  // A lead byte that ends the text is one broken character, never an unfinished sequence.
  EXPECT_EQ(LeftCellLine(std::string("a\x82", 2)), "a\xEF\xBF\xBD");
  // Control characters that XML cannot hold in any form are replaced; TAB, CR and LF stay.
  const std::string controls = "a\x01" + std::string("b") + '\0' + "c\x1F\t";
  EXPECT_EQ(LeftCellLine(controls), "a?b?c?\t");
  // The single bytes without a character of their own take the Windows code page's forms;
  // 0x80 is a control character too. A lead byte before a byte that cannot follow it
  // stands alone, and the byte after it is written as itself.
  EXPECT_EQ(LeftCellLine("\x80\xA0\xFD\xFE\xFF"), "?\uF8F0\uF8F1\uF8F2\uF8F3");
  EXPECT_EQ(LeftCellLine("\x81"
                         "0\x9F<"),
            "\xEF\xBF\xBD"
            "0\xEF\xBF\xBD&lt;");
}

TEST(XmlExportWriterTest, LongCellsAreWrittenWhole) {
  // Far beyond the output block, with a double-byte character at every third byte so that
  // some straddle each internal cut.
  std::string text;
  std::string expected;
  for (int i = 0; i < 50000; ++i) {
    text += S(i % 7 == 0 ? "&あ" : "xあ");
    expected += i % 7 == 0 ? "&amp;あ" : "xあ";
  }
  EXPECT_EQ(LeftCellLine(text), expected);
}

// Parses a written workbook with Python's XML parser and returns every cell's text as the
// parser sees it: cells joined by US, rows by RS, worksheets by GS (UTF-8).
std::string ParsedCells(const std::string& xmlPath, const std::string& outPath) {
  std::string script =
      "import sys, xml.etree.ElementTree as E\n"
      "ns = {'s': 'urn:schemas-microsoft-com:office:spreadsheet'}\n"
      "root = E.parse(sys.argv[1]).getroot()\n"
      "sheets = []\n"
      "for ws in root.findall('s:Worksheet', ns):\n"
      "    rows = []\n"
      "    for row in ws.findall('s:Table/s:Row', ns):\n"
      "        rows.append('\\x1f'.join((d.text or '') for d in row.findall('s:Cell/s:Data', "
      "ns)))\n"
      "    sheets.append('\\x1e'.join(rows))\n"
      "open(sys.argv[2], 'w', encoding='utf-8', newline='').write('\\x1d'.join(sheets))\n";
  test::TempDir dir;
  std::string scriptPath = dir.Write("parse.py", script);
  std::string command = "python3 " + scriptPath + " " + xmlPath + " " + outPath;
  if (std::system(command.c_str()) != 0) return "<parse failed>";
  return test::ReadFileBytes(outPath);
}

TEST(XmlExportWriterTest, XmlParserReadsBackEveryCellText) {
  if (std::system("python3 -c 'import xml.etree.ElementTree' >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "python3 with xml.etree is not available";
  }
  MemoryExportSource s = SampleSource();
  test::TempDir dir;
  std::string xmlPath = dir.File("out.xml");
  ASSERT_EQ(WriteExport(s, ExportFormat::kXml, ExportLayout::kAlternateFields, xmlPath),
            kExportDone);
  std::string parsed = ParsedCells(xmlPath, dir.File("cells.txt"));
  const std::string expected =
      "No\x1f相違\x1fID\x1f名前\x1fL側\x1fR側\x1fメモ\x1fL側\x1fR側\x1f金額\x1fL側\x1fR側\x1e"
      "1\x1f   0\x1f"
      "001\x1f○\x1f山田\x1f山田\x1f○\x1f"
      "a\x1f"
      "a\x1f未\x1f"
      "100\x1f"
      "100\x1e"
      "2\x1f   2\x1f"
      "002\x1f×\x1f"
      "A&B <x>\x1f"
      "A&B \"y\"\r\nz\x1f×\x1fmemo\x1fother\x1f未\x1f"
      "5\x1f"
      "6\x1e"
      "3\x1f右のみ\x1f"
      "003\x1f×\x1f\x1f右\x1f○\x1f\x1f\x1f未\x1f\x1f"
      "7\x1e"
      "4\x1f左のみ\x1f"
      "004\x1f×\x1fonly left\x1f\x1f○\x1f\x1f\x1f未\x1f\x1f";
  EXPECT_EQ(parsed, expected);

  // The other layouts are well-formed too, with the expected number of worksheets and rows.
  ASSERT_EQ(
      WriteExport(s, ExportFormat::kXml, ExportLayout::kPerSheet, xmlPath, Progress::None(), true),
      kExportDone);
  parsed = ParsedCells(xmlPath, dir.File("cells.txt"));
  EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\x1d'), 1);
  EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\x1e'), 8);
  ASSERT_EQ(WriteExport(s, ExportFormat::kXml, ExportLayout::kAlternateRows, xmlPath,
                        Progress::None(), true),
            kExportDone);
  parsed = ParsedCells(xmlPath, dir.File("cells.txt"));
  EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\x1d'), 0);
  EXPECT_EQ(std::count(parsed.begin(), parsed.end(), '\x1e'), 8);
}

}  // namespace
}  // namespace korvel
