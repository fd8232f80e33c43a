#pragma once
// The main window's caption: the product name, an optional status text and the names of the
// two compared files, shortened so that the differing part of two similar paths stays visible.

#include <string>
#include <string_view>

namespace korvel {

// Builds the caption as CP932 text.
//  - `status` (CP932) follows "KORVEL" when it is not empty.
//  - `pathL`, `pathR` are file-system paths (UTF-8, '/'-separated); nothing about the files
//    is added while `pathL` is empty.
//  - Different file names (letter case ignored): 【左】left name  - 【右】right name, each name
//    cut to 80 bytes.
//  - Equal file names: the folders are compared from the innermost outwards and the equal
//    trailing folders are left out ("/・・・/" marks that some were); identical paths give
//    【左右同じファイル】 and the name cut to 150 bytes.
// Every cut keeps double-byte characters whole and ends at a control byte (PathText::Clip).
std::string BuildCaption(std::string_view status, std::string_view pathL, std::string_view pathR);

// True when two CP932 texts are equal once single-byte A-Z are taken as a-z; the bytes of a
// double-byte character are compared as they are.
bool EqualIgnoringCase(std::string_view a, std::string_view b);

}  // namespace korvel
