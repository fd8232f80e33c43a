#pragma once
// Fields found by their names: the pairing of two files' fields by header name, and the
// lookup of one name in a list of names (korvel-cli's options that take a field name).
//
// Names are compared as whole CP932 byte strings, exactly: the full header text, before
// the field-control grid cuts it to 30 bytes for showing. An empty name is no name: it
// pairs with nothing and cannot be looked up.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The fields of two files paired by name, as the rows of the shown list: row i (from 0)
// shows field Left[i] of the left file and field Right[i] of the right file (field numbers
// from 1; kNoFieldNo, -1, for a side that lacks the field).
struct FieldPairing {
  std::vector<std::int32_t> Left;
  std::vector<std::int32_t> Right;
};

// Pairs each left field with the right field of the same name, whatever their positions.
// A name that occurs more than once pairs in order of occurrence: the n-th left field of
// that name with the n-th right one. The rows are the left fields in their order, then the
// right fields left unpaired, in theirs. Empty names never pair.
FieldPairing PairFieldsByName(const std::vector<std::string>& left,
                              const std::vector<std::string>& right);

inline constexpr int kFieldNameMissing = 0;    // no such name
inline constexpr int kFieldNameRepeated = -1;  // the name occurs more than once

// The number (from 1) of the one entry of `names` equal to `name`; kFieldNameMissing when
// none is (or `name` is empty), kFieldNameRepeated when several are.
int FindFieldByName(const std::vector<std::string>& names, std::string_view name);

}  // namespace korvel
