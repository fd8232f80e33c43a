#pragma once
// ExportBuffer: the output side of an export. Collects bytes in one 64 KiB block and hands
// full blocks to an open TextFile, so that writers can produce a file of any size cell by
// cell in constant memory.
//
// A failed write is remembered: from then on everything appended is dropped, and Flush
// and Failed report it, so a writer needs to look only now and then (say once a row).

#include <cstddef>
#include <memory>
#include <string_view>

namespace korvel {

class TextFile;

class ExportBuffer {
 public:
  static constexpr std::size_t kCapacity = 64 * 1024;

  // `file` is open for writing, not owned, and must outlive the buffer.
  explicit ExportBuffer(TextFile& file);
  // Does not flush: what was not flushed is dropped.
  ~ExportBuffer();
  ExportBuffer(const ExportBuffer&) = delete;
  ExportBuffer& operator=(const ExportBuffer&) = delete;

  void Append(std::string_view bytes);
  void Append(char c) {
    if (pos_ == kCapacity) Drain();
    data_[pos_++] = c;
  }
  void AppendNewline() { Append(std::string_view("\r\n", 2)); }

  // Room for `count` bytes (at most kCapacity) at the returned place; write there, then
  // Commit the end of what was written. Nothing else may be appended in between.
  char* Reserve(std::size_t count) {
    if (kCapacity - pos_ < count) Drain();
    return data_.get() + pos_;
  }
  void Commit(const char* end) { pos_ = static_cast<std::size_t>(end - data_.get()); }

  // Writes what is held. True when every byte appended so far has reached the file.
  [[nodiscard]] bool Flush();
  bool Failed() const { return failed_; }

 private:
  // Writes what is held (or drops it after a failure) and empties the block.
  void Drain();

  TextFile& file_;
  std::unique_ptr<char[]> data_;
  std::size_t pos_ = 0;
  bool failed_ = false;
};

}  // namespace korvel
