#include "grid/StatusTexts.h"

#include <charconv>
#include <cstdio>

#include "grid/DetailLine.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

std::string LongName(int code) {
  switch (code) {
    case kEncodingSjis:
      return "SHIFT-JIS";
    case kEncodingUtf16:
      return "UTF16";
    case kEncodingUtf16Be:
      return "UTF16BE";
    case kEncodingUtf8:
      return "UTF8";
    case kEncodingEucJp:
      return "EUC-JP";
    default:
      return {};
  }
}

std::string ShortName(int code) {
  switch (code) {
    case kEncodingSjis:
      return "SJS";
    case kEncodingUtf16:
      return "U16";
    case kEncodingUtf16Be:
      return "U16B";
    case kEncodingUtf8:
      return "U8";
    case kEncodingEucJp:
      return "EUC";
    default:
      return {};
  }
}

// snprintf with a CP932 format made once from its UTF-8 source.
template <typename... Args>
std::string Format(const std::string& format, Args... args) {
  char buffer[512];
  int n = std::snprintf(buffer, sizeof buffer, format.c_str(), args...);
  if (n < 0) return {};
  std::size_t length = static_cast<std::size_t>(n);
  return std::string(buffer, length < sizeof buffer ? length : sizeof buffer - 1);
}

// A '%s' argument: the text up to its first NUL, as the printf family reads it.
std::string Arg(std::string_view text) { return std::string(text.substr(0, text.find('\0'))); }

}  // namespace

std::string EncodingsText(int encodingL, int encodingR) {
  if (encodingL == encodingR) return LongName(encodingL);
  return ShortName(encodingL) + "/" + ShortName(encodingR);
}

std::string DetailStatusText(std::string_view name, int curRow, int diffCount) {
  static const std::string format = Sjis("詳細(列:%s, 行:%d, 相違:%d)");
  return Format(format, Arg(name).c_str(), curRow + 1, diffCount);
}

std::string DetailStatusTextNoField(int curCol, int curRow) {
  static const std::string format = Sjis("詳細(列:%d, 行:%d, 相違:--)");
  return Format(format, curCol + 1, curRow + 1);
}

std::string NumericDifferenceText(std::string_view left, std::string_view right) {
  if (!IsNumericText(left) || !IsNumericText(right)) return {};
  double difference = NumericValue(right) - NumericValue(left);
  // Shortest form of up to 15 significant digits, independent of the process locale.
  char buffer[64];
  auto result =
      std::to_chars(buffer, buffer + sizeof buffer, difference, std::chars_format::general, 15);
  std::string text(buffer, result.ptr);
  static const std::string format = Sjis("差分（右-左)：%s");
  return Format(format, text.c_str());
}

std::string DetailDifferenceText(const ResultField& field, std::string_view left,
                                 std::string_view right) {
  DecimalNumber difference;
  if (!field.NumberDifference(left, right, &difference)) return NumericDifferenceText(left, right);
  // Appended rather than formatted: the digits of a difference may outgrow Format's buffer.
  static const std::string label = Sjis("差分（右-左)：");
  std::string text = label;
  text += DecimalText(difference);
  return text;
}

std::string PopupDiffCaption(int hitColumn, std::string_view name) {
  if (hitColumn == -1) return Sjis("相違分（『右のみ』『左のみ』含む）を抽出");
  if (hitColumn < 0) return Sjis("相違分を抽出");
  static const std::string format = Sjis("『%s』の相違分を抽出");
  return Format(format, Arg(name).c_str());
}

std::string PopupSameCaption(int hitColumn, std::string_view name) {
  if (hitColumn < 0) return Sjis("相違なし分を抽出");
  static const std::string format = Sjis("『%s』の相違なし分を抽出");
  return Format(format, Arg(name).c_str());
}

}  // namespace korvel
