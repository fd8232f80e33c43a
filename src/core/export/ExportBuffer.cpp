#include "export/ExportBuffer.h"

#include <algorithm>
#include <cstring>

#include "io/TextFile.h"

namespace korvel {

ExportBuffer::ExportBuffer(TextFile& file) : file_(file), data_(new char[kCapacity]) {}

ExportBuffer::~ExportBuffer() = default;

void ExportBuffer::Append(std::string_view bytes) {
  while (!bytes.empty()) {
    if (pos_ == kCapacity) Drain();
    std::size_t n = std::min(bytes.size(), kCapacity - pos_);
    std::memcpy(data_.get() + pos_, bytes.data(), n);
    pos_ += n;
    bytes.remove_prefix(n);
  }
}

void ExportBuffer::Drain() {
  // After a failure the rest of the export is worthless; dropping it keeps the memory and
  // the time spent bounded while the writer runs on to its next check.
  if (!failed_ && pos_ > 0 && file_.Write(data_.get(), static_cast<int>(pos_)) == 0) {
    failed_ = true;
  }
  pos_ = 0;
}

bool ExportBuffer::Flush() {
  Drain();
  return !failed_;
}

}  // namespace korvel
