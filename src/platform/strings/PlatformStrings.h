#pragma once
// Multibyte-aware string helpers of the platform: case-insensitive comparison, search from the end,
// upper-casing, code page conversion and collation. Texts are UTF-8 unless a code page is named.
// Invalid UTF-8 never fails: bad bytes compare and convert as U+FFFD.
#include <cstddef>
#include <string>
#include <string_view>

namespace omf {

// Compares two texts ignoring case (full Unicode case folding); <0, 0 or >0 like strcmp.
int VEXAMBstricmp_A(std::string_view a, std::string_view b);

// Compares the first n characters (code points) of two texts ignoring case.
int VEXAMBstrnicmp_A(std::string_view a, std::string_view b, std::size_t n);

// The byte offset of the last occurrence of the ASCII character c in s, or npos.
std::size_t VEXAMBstrrchr_A(std::string_view s, char c);

// The text upper-cased (full Unicode mapping, so the byte length may change).
std::string VEXAMBstrupr_A(std::string_view s);

// Converts UTF-8 text into the given code page ("UTF-8" leaves it as it is). Characters that the code
// page lacks become its substitution character.
std::string VEXAMBU8ToGeneric(std::string_view utf8, std::string_view codePage);

namespace platform {

// Converts text in the given code page into UTF-8 (empty or "UTF-8" code page: checked copy).
std::string ToUtf8(std::string_view text, std::string_view codePage);

// The number of characters (code points) of a UTF-8 text.
std::size_t Utf8Length(std::string_view s);

// The number of terminal columns a UTF-8 text takes: wide and full-width characters (Chinese, Japanese,
// Korean) take two, combining marks none, everything else one.
std::size_t DisplayWidth(std::string_view s);

// Compares two UTF-8 texts by the collation rules of a locale such as "en_US" or "de" (empty: root).
// Collators are made once per locale and kept.
int Collate(std::string_view locale, std::string_view a, std::string_view b);

} // namespace platform

} // namespace omf
