#include "io/StringList.h"

#include <cstring>
#include <new>

#include "io/TextFile.h"
#include "platform/Codepage.h"

namespace korvel {
namespace {

constexpr int kSlotSlack = 10;
constexpr int kLineLimit = 1024;
const char kEmptyText[1] = {'\0'};

}  // namespace

StringList::StringList(int blockSize) : blockSize_(blockSize > 0 ? blockSize : 2048) { Clear(); }

StringList::~StringList() = default;

void StringList::Clear() {
  blocks_.clear();
  items_.clear();
  items_.shrink_to_fit();
  blocks_.reserve(10);
  (void)AddBlock(blockSize_);
}

bool StringList::AddBlock(int minSize) {
  try {
    Block block;
    block.capacity = minSize > blockSize_ ? minSize : blockSize_;
    block.memory.reset(new char[static_cast<std::size_t>(block.capacity)]());
    blocks_.push_back(std::move(block));
    return true;
  } catch (const std::bad_alloc&) {
    return false;
  }
}

int StringList::Failed() {
  error_ = Status();
  return 0;
}

bool StringList::AppendEmptyItems(int countAfter) {
  try {
    if (static_cast<std::size_t>(countAfter) > items_.capacity()) {
      items_.reserve(
          std::max<std::size_t>(static_cast<std::size_t>(countAfter), items_.capacity() * 2 + 10));
    }
    items_.resize(static_cast<std::size_t>(countAfter));
    return true;
  } catch (const std::bad_alloc&) {
    error_ = Status::Warning(-1, Sjis("メモリが足りません。"));
    return false;
  }
}

int StringList::Set(int index, const void* bytes, int length) {
  if (index < 0 || length < 0) return Failed();
  if (index >= Count() && !AppendEmptyItems(index + 1)) return 0;
  Entry& item = items_[static_cast<std::size_t>(index)];
  if (item.slotSize > 0 && length + 2 < item.slotSize) {
    item.length = length;
    if (bytes && length > 0) std::memmove(item.bytes, bytes, static_cast<std::size_t>(length));
    item.bytes[length] = '\0';
    return 1;
  }
  const int need = length + kSlotSlack;
  // The list may have no block at all: the one Clear takes may not have been had.
  Block* current = blocks_.empty() ? nullptr : &blocks_.back();
  if (current == nullptr || current->capacity - current->used < need) {
    if (!AddBlock(need)) return Failed();
    current = &blocks_.back();
  }
  const int newBlock = static_cast<int>(blocks_.size()) - 1;
  char* slot = current->memory.get() + current->used;
  current->used += need;
  current->itemCount += 1;
  if (bytes && length > 0) std::memcpy(slot, bytes, static_cast<std::size_t>(length));
  slot[length] = '\0';

  const bool hadSlot = item.slotSize > 0;
  const int oldBlock = item.block;
  item.bytes = slot;
  item.length = length;
  item.block = newBlock;
  item.slotSize = need;
  if (hadSlot && oldBlock != newBlock) {
    Block& old = blocks_[static_cast<std::size_t>(oldBlock)];
    old.itemCount -= 1;
    // A block emptied of items is released unless it is the first or the current one;
    // its record stays so that block indexes keep their meaning.
    if (old.itemCount == 0 && oldBlock != 0) {
      old.memory.reset();
      old.used = old.capacity = 0;
    }
  }
  return 1;
}

int StringList::SetText(int index, const char* text) {
  if (!text) return Set(index, nullptr, 0);
  return Set(index, text, StoreLength(text, -1));
}

int StringList::StoreLength(const char* text, int maxLength) {
  int n = 0;
  // A NUL (possible inside converted input) is a byte below 0x20 as well.
  while ((maxLength < 0 || n < maxLength) && text[n] != '\0') {
    auto c = static_cast<unsigned char>(text[n]);
    if (c < 0x20 && c != '\t') break;
    ++n;
  }
  return n;
}

int StringList::Insert(int index) {
  if (index < 0) return Failed();
  if (index >= Count()) return AppendEmptyItems(index + 1) ? 1 : 0;
  if (!AppendEmptyItems(Count() + 1)) return 0;
  std::memmove(&items_[static_cast<std::size_t>(index) + 1],
               &items_[static_cast<std::size_t>(index)],
               (items_.size() - 1 - static_cast<std::size_t>(index)) * sizeof(Entry));
  items_[static_cast<std::size_t>(index)] = Entry{};
  return 1;
}

const char* StringList::Get(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return items_[static_cast<std::size_t>(index)].bytes;
}

const char* StringList::GetText(int index) const {
  if (index < 0 || index >= Count()) return kEmptyText;
  const Entry& item = items_[static_cast<std::size_t>(index)];
  if (!item.bytes) return kEmptyText;
  item.bytes[item.length] = '\0';
  return item.bytes;
}

std::string_view StringList::GetView(int index) const {
  if (index < 0 || index >= Count()) return {};
  const Entry& item = items_[static_cast<std::size_t>(index)];
  if (!item.bytes) return {};
  return {item.bytes, static_cast<std::size_t>(item.length)};
}

const StringList::Entry* StringList::GetEntry(int index) const {
  if (index < 0 || index >= Count()) return nullptr;
  return &items_[static_cast<std::size_t>(index)];
}

int StringList::LoadFromFile(const std::string& path) {
  Clear();
  TextFile file;
  if (file.Open(path, TextFile::kModeRead, kEncodingSjis) != 0) return -1;
  char line[kLineLimit];
  int lineLength = 0;
  int added = 0;
  auto addLine = [&]() {
    if (Add(line, lineLength) == 0) return false;
    ++added;
    lineLength = 0;
    return true;
  };
  // Pieces rather than plain reads: a plain read cannot tell a failure from the end of the
  // file, and a failed read must not pass for a shorter file. With code 0 the pieces are the
  // file's bytes (but for the codes of a character CP932 holds twice, which take its own
  // form); where they are cut does not matter to the line rules.
  for (;;) {
    int n = 0;
    const char* piece = file.ReadChunk(&n);
    if (!piece) {
      Clear();
      return -3;
    }
    if (n == 0) break;
    for (int i = 0; i < n; ++i) {
      char c = piece[i];
      if (c == '\r') {
        if (!addLine()) return -2;
      } else if (c != '\n') {
        line[lineLength++] = c;
        if (lineLength == kLineLimit && !addLine()) return -2;
      }
    }
  }
  if (lineLength > 0 && !addLine()) return -2;
  return added;
}

int StringList::SaveToFile(const std::string& path) const {
  TextFile file;
  if (file.Open(path, TextFile::kModeWrite, kEncodingSjis) != 0) return -1;
  for (const Entry& item : items_) {
    if (item.length > 0 && file.Write(item.bytes, item.length) != item.length) return -3;
    if (file.WriteNewline() != 2) return -3;
  }
  if (file.Close() != 0) return -3;
  return Count();
}

}  // namespace korvel
