#include "io/PlainScan.h"

#include "platform/Codepage.h"

namespace korvel {

void BuildByteClasses(char delimiter, unsigned char (&unquoted)[256],
                      unsigned char (&quoted)[256]) {
  for (int c = 0; c < 256; ++c) {
    unsigned char cls = IsLeadByte(static_cast<unsigned char>(c)) ? kLeadByte : kPlainByte;
    unquoted[c] = cls;
    quoted[c] = cls;
  }
  // Control bytes go the slow way so that a cell is known to need the store rule's scan.
  for (int c = 0; c < 0x20; ++c) {
    unquoted[c] = kSpecialByte;
    quoted[c] = kSpecialByte;
  }
  unquoted[static_cast<unsigned char>('"')] = kSpecialByte;
  quoted[static_cast<unsigned char>('"')] = kSpecialByte;
  unquoted[static_cast<unsigned char>('\t')] = kPlainByte;
  // A delimiter is special outside quotes only; under the TAB rules a TAB also ends a
  // one-line quoted cell. A lead byte stays a lead byte whatever the delimiter.
  auto d = static_cast<unsigned char>(delimiter);
  if (!IsLeadByte(d)) unquoted[d] = kSpecialByte;
  quoted[static_cast<unsigned char>('\t')] = kSpecialByte;
}

void PlainScanner::Reset(const unsigned char* classes) {
  classes_ = classes;
  stopA_ = 0;
  stopB_ = 0;
  plainControlWord_ = ~std::uint64_t{0};
  int stops = 0;
  int plainControls = 0;
  wordTest_ = true;
  // The fast scans know the lead bytes and the control bytes by their values: the classes
  // must agree with them.
  for (int c = 0; c < 256 && wordTest_; ++c) {
    const unsigned char k = classes[c];
    if (IsLeadByte(static_cast<unsigned char>(c))) {
      wordTest_ = k == kLeadByte;
    } else if (k == kLeadByte) {
      wordTest_ = false;
    } else if (c < 0x20) {
      if (k == kPlainByte) {
        wordTest_ = ++plainControls == 1;
        plainControlWord_ = plain_scan_detail::kOnes * static_cast<std::uint64_t>(c);
      }
    } else if (k == kSpecialByte) {
      if (c >= 0x80 || ++stops > 2) {
        wordTest_ = false;
      } else {
        (stops == 1 ? stopA_ : stopB_) = plain_scan_detail::kOnes * static_cast<std::uint64_t>(c);
      }
    }
  }
  if (stops < 2) stopB_ = stopA_;
  if (stops == 0 && plainControlWord_ == 0)
    wordTest_ = false;  // the zero stop word would stop at it
  // With no stop byte at all the control test alone decides; a zero stop word would also
  // stop at NUL, which the control test stops at anyway.
}

}  // namespace korvel
