#pragma once
// The program's fixed-length reader as the comparison session reads it.

#include "compare/SideReader.h"
#include "io/FixedWidthReader.h"

namespace korvel {

class FixedWidthRecordReader : public FixedLengthSource {
 public:
  // `fix` is not owned (the settings object owns the one fixed-length reader).
  explicit FixedWidthRecordReader(FixedWidthReader& fix) : fix_(fix) {}

  int DefinitionCount() const override { return fix_.DefinitionCount(); }
  const char* DefinitionName(int index) const override { return fix_.DefinitionName(index); }
  int Open(const std::string& path, int skipLines, int encoding, int adoptMark) override {
    return fix_.Open(path, skipLines, encoding, adoptMark);
  }
  int GetEncoding() const override { return fix_.GetEncoding(); }
  bool HasMark() const override { return fix_.HasMark(); }
  void Close() override { fix_.Close(); }
  void SetProgress(Progress* progress, int input) override { fix_.SetProgress(progress, input); }
  int ReadRecord() override { return fix_.ReadRecord(); }
  std::string_view Field(int index) const override { return fix_.FieldView(index); }
  const Status& GetStatus() const override { return fix_.GetStatus(); }
  std::size_t LostCount() const override { return fix_.LostCount(); }
  std::uint64_t FieldLoss(int index) const override { return fix_.FieldLoss(index); }

 private:
  FixedWidthReader& fix_;
};

}  // namespace korvel
