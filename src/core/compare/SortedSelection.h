#pragma once
// SortedSelection: a selection of a RowTable's rows, ordered by up to ten key columns, and
// a cursor over them. Select marks the rows through the status byte of each packed row
// (RowTable.h); Sort orders them by the key comparison of Collation.h.
//
// Texts are CP932 bytes. All operations report by result codes; none throws.

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "compare/RowTable.h"
#include "platform/Progress.h"

namespace korvel {

// Lets a thread that has nothing left to do take over parts of another thread's sort: the
// comparison reads its two sides' sorts on two threads, and when one side is sorted first
// (an export already in key order, say) its thread helps the other. Each part handed out
// is sorted exactly as the sorting thread would have sorted it, so the order is the same
// whoever sorts which part. Allocates nothing; all members are safe to call from any thread.
class SortSharing {
 public:
  SortSharing() = default;
  SortSharing(const SortSharing&) = delete;
  SortSharing& operator=(const SortSharing&) = delete;

  // For the helping thread: sorts the parts handed out until Close.
  void Serve() noexcept;
  // No more parts will be handed out: Serve returns once the part it sorts is done.
  void Close() noexcept;

  // For the sorting thread (SortedSelection): a part is a range of sort items and the
  // function that sorts it.
  struct Part {
    void (*sort)(const Part&, SortSharing*) = nullptr;
    void* items = nullptr;
    const void* order = nullptr;
    std::ptrdiff_t lo = 0;
    std::ptrdiff_t hi = 0;
  };
  // Hands `part` out when a thread waits for one and no other part waits; false when the
  // caller is to sort it itself.
  bool HandOut(const Part& part) noexcept;
  // Serves until every part handed out is sorted: the sorting thread's end of its share.
  void Finish() noexcept;
  // How many parts were handed out so far.
  int HandedOut() noexcept;
  // How many threads wait for a part now.
  int Waiting() noexcept;

 private:
  // Sorts waiting parts until `done` holds with none waiting; the lock is held on entry.
  template <typename Done>
  void SortWaiting(std::unique_lock<std::mutex>& lock, Done done) noexcept;

  std::mutex mutex_;
  std::condition_variable changed_;
  Part waiting_;        // at most one part waits; sort null: none
  int unfinished_ = 0;  // handed out and not yet sorted
  int idle_ = 0;        // threads waiting for a part
  int handedOut_ = 0;
  bool closed_ = false;
};

class SortedSelection {
 public:
  static constexpr int kMaxKeys = 10;
  static constexpr int kUnknownName = -6;  // SetSortKeys: a name matches no column
  static constexpr int kBadOrder = -7;     // SetSortKeys: a bad order letter
  static constexpr int kNoMemory = -1;     // Select, Sort: memory could not be had
  static constexpr int kNoRows = 202;      // Select: the table has no rows
  static constexpr int kCancelled = -8;    // Select, Sort: the progress was cancelled

  struct Key {
    int column = 0;
    bool numeric = false;
    bool descending = false;
  };

  SortedSelection() = default;
  SortedSelection(const SortedSelection&) = delete;
  SortedSelection& operator=(const SortedSelection&) = delete;

  // Sets the table (not owned; it must outlive this object's use of it). Keeps the keys
  // and the selection; call Select again.
  void Attach(RowTable* table) { table_ = table; }

  // Parses a key list: items separated by commas, each a column name (letter
  // case ignored) optionally followed by blanks and an order word: "U" ascending, "D"
  // descending, either preceded by "N" for a numeric key (e.g. "FD001,FD003 NU"); no word
  // means a text key, ascending. At most 10 keys are taken. 0; kUnknownName or kBadOrder
  // end the parsing with the keys found so far in force. With `sortNow` 1 the selection is
  // sorted afterwards (kNoMemory when that fails).
  [[nodiscard]] int SetSortKeys(std::string_view keyList, int sortNow);
  int KeyCount() const { return static_cast<int>(keys_.size()); }
  const Key& GetKey(int i) const { return keys_[static_cast<std::size_t>(i)]; }

  // Rows whose keys the sort finds equal but whose key bytes differ (letter case) are
  // ordered by their bytes when this is on, so that a merge comparing case-sensitively
  // meets them in the same order on both sides. Off by default.
  void SetExactTieOrder(bool on) { exactTies_ = on; }
  // Sort keeps the key images it sorted by (Images) when this is on. Off by default.
  void SetKeepImages(bool on) { keepImages_ = on; }
  // Hands parts of the sort to a thread serving `sharing` (not owned; null for none).
  void SetSharing(SortSharing* sharing) { sharing_ = sharing; }
  // Select and Sort poll `progress` (not owned; null for none) before each pass of the sort
  // and give up with kCancelled once it is cancelled, the selection emptied.
  void SetProgress(const Progress* progress) { progress_ = progress; }

  // Selects every row of the table in table order, marks them (RowTable::SetMarked), sorts, and
  // positions at the first row: 0; kNoRows (end flag 1, cursor -1); kNoMemory or kCancelled
  // (the selection is emptied).
  [[nodiscard]] int Select();
  // Orders the selection by the keys: ascending by the keys, rows whose keys compare equal
  // in the reverse of the order a bounded quicksort leaves them in. Without keys nothing
  // changes. 0, or kNoMemory or kCancelled (the order is left as it was).
  [[nodiscard]] int Sort();

  // Cursor 0, end flag 0; with an empty selection cursor -1, end flag 1 and -1.
  int First();
  // Sets the end flag; 2 when already past the end; else advances and returns 1 when now
  // past the end (end flag stays 1), otherwise clears the end flag and returns 0.
  int Next();
  int IsEof() const { return eof_; }
  // The table row at the cursor, -1 when the cursor is outside the selection.
  int CurrentRow() const;
  // CellView(col, CurrentRow()) of the table; null data() outside the selection.
  std::string_view FieldView(int col) const;

  const std::vector<std::int32_t>& Selection() const { return selection_; }
  // Empties the selection and frees its memory: cursor -1, end flag 1.
  void ClearSelection();

  // The beginning of one byte string that orders like the whole key list (folded text
  // bytes ended by a zero byte, numbers as biased big-endian 32-bit values, descending keys
  // inverted; without ImageStart), padded with zeros, with the table row it belongs to. Info:
  // kImageComplete when the image holds every key; then bit kImageBytes - 1 - i of kImageFolded is
  // set when byte i was a capital letter folded.
  static constexpr std::uint32_t kImageBytes = 24;
  static constexpr std::uint32_t kImageComplete = 1u << 31;
  static constexpr std::uint32_t kImageFolded = (1u << kImageBytes) - 1;
  struct KeyImage {
    std::uint64_t Bytes[3];
    std::int32_t Row;
    std::uint32_t Info;
  };
  // With SetKeepImages, after a sort: the images of the selection's rows in its order.
  // Empty otherwise, and when a text key holds a zero byte (the image then cannot stand
  // for the key list). Freed with the selection,
  // by the next sort, or by ReleaseImages.
  const std::vector<KeyImage>& Images() const { return images_; }
  // The bytes that the first key of every row begins with and that its images leave out
  // (a multiple of 8 bytes, often none). Only images that leave out the same bytes can be
  // compared.
  const std::string& ImageStart() const { return imageStart_; }
  void ReleaseImages();
  // With kept images, frees the selection, whose rows the images name in the same order
  // (Row), and leaves the cursor past the end; without images nothing changes. Rows are
  // then read from Images() alone.
  void DropSelectionForImages();
  // Gives the memory of the images before `count` back to the system while the vector
  // stays: a walk through the images in order calls it for what it has passed, so that
  // what it builds meanwhile does not add to the peak. Those images are never to be read
  // again (they read as zeros, or as they were).
  void ForgetImagesBefore(std::size_t count);
  // The key order of two images made from the same key list and the same ImageStart: -1 or 1 as the
  // keys compare case-blind and, where they agree, by the bytes of their text keys (numbers by
  // value); 0 for keys equal in both; kUndecided when only the rows can tell.
  static constexpr int kUndecided = 2;
  static int ImageOrder(const KeyImage& a, const KeyImage& b);

 private:
  int FindColumn(std::string_view name) const;

  RowTable* table_ = nullptr;
  std::vector<Key> keys_;
  std::vector<std::int32_t> selection_;
  int cursor_ = -1;
  int eof_ = 1;
  bool exactTies_ = false;
  bool keepImages_ = false;
  std::vector<KeyImage> images_;
  std::string imageStart_;
  const Progress* progress_ = nullptr;
  SortSharing* sharing_ = nullptr;
};

}  // namespace korvel
