#pragma once
// StringList: an indexed list of byte strings (items) kept in pooled blocks.
//
// Item space is carved from blocks of at least `BlockSize` bytes, so lists of many short
// items need few allocations; an item set again to a value that fits its slot (up to 7
// bytes longer than when the slot was taken) is rewritten in place. Every item is followed
// by a NUL in storage, so a text item can be handed out as a NUL-terminated text.
//
// The list shows nothing: a failure for memory returns 0 and keeps its message for the
// caller (TakeError).
//
// Lifetimes: a pointer returned by Get/GetText stays valid until that item is set again or
// the list is cleared or destroyed. An Entry returned by GetEntry is valid until the next
// call that adds or inserts items.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Status.h"

namespace korvel {

class StringList {
 public:
  struct Entry {
    char* bytes = nullptr;  // null for an item never set
    int length = 0;
    int block = 0;
    int slotSize = 0;  // 0 for an item never set
  };

  explicit StringList(int blockSize = 2048);
  virtual ~StringList();
  StringList(const StringList&) = delete;
  StringList& operator=(const StringList&) = delete;

  // Frees every block and item, then creates the first block; Count becomes 0.
  void Clear();
  int Count() const { return static_cast<int>(items_.size()); }

  // Stores `length` bytes (copied when `bytes` is not null) at `index`, appending empty
  // items first when `index` is not below Count. 1 on success, 0 when memory runs out (the
  // earlier items stay as they were; see TakeError).
  [[nodiscard]] int Set(int index, const void* bytes, int length);
  [[nodiscard]] int Add(const void* bytes, int length) { return Set(Count(), bytes, length); }
  // Set with the text up to, not including, its first byte below 0x20 other than TAB.
  [[nodiscard]] int SetText(int index, const char* text);

  // Opens an empty item before `index` when it is below Count; otherwise appends empty
  // items until Count exceeds `index`. 1 on success, 0 when memory runs out.
  int Insert(int index);

  // What the last failed Set, Add, SetText or Insert has to tell, for its caller to pass on
  // before its own message: the warning "メモリが足りません。" when the item array could not
  // grow; nothing when a block could not be had (the caller's own message covers it). A
  // status with code -1, or an ok one; taking it clears it.
  Status TakeError() { return std::exchange(error_, Status()); }

  // The item's bytes; null when the index is out of range or the item was never set.
  const char* Get(int index) const;
  // The item as text; the empty text when out of range or never set.
  const char* GetText(int index) const;
  std::string_view GetView(int index) const;
  // The item's record; null when the index is not in [0, Count).
  const Entry* GetEntry(int index) const;

  // Replaces the contents with the lines of a file (only CR ends a line; LF is dropped; a
  // line is cut every 1024 bytes), read as Shift-JIS pieces (io/TextFile.h: codes that CP932
  // holds twice take their own form; a last byte 0x1A ends the file). Items stored; -1 the file
  // cannot be opened; -2 no memory (TakeError); -3 a read failed (the list is then empty).
  int LoadFromFile(const std::string& path);
  // Writes every item followed by CR LF, replacing the file. Count; -1 the file cannot be
  // created; -3 a write or the closing of the file failed (the file is then incomplete).
  int SaveToFile(const std::string& path) const;

  // Length of a text up to its first byte below 0x20 other than TAB (the store rule).
  static int StoreLength(const char* text, int maxLength);

 private:
  struct Block {
    std::unique_ptr<char[]> memory;
    int used = 0;
    int capacity = 0;
    int itemCount = 0;
  };

  bool AddBlock(int minSize);
  // A failure without a message of its own: clears what TakeError would hand out; 0.
  int Failed();
  bool AppendEmptyItems(int countAfter);

  int blockSize_;
  std::vector<Block> blocks_;
  std::vector<Entry> items_;
  Status error_;
};

}  // namespace korvel
