#pragma once
// Texts of selection requests are bytes. The parts that are well-formed UTF-8 are characters; any other
// byte (a text written as "Caf\xE9" in a single-byte code page) is carried as it is, never replaced, so
// that a request keeps the exact bytes it was given through every form it is stored in.
#include <cstddef>
#include <string>
#include <string_view>

#include <omf/text/Escapes.h>

namespace omf {

namespace selection::detail {

using omf::text::Utf8SequenceAt;

bool IsUtf8(std::string_view text);

// The characters upper-cased by the full Unicode mapping; bytes that are not UTF-8 stay as they are.
// Upper-casing the result again changes nothing.
std::string UpperCase(std::string_view text);

// The text in double quotes as the request syntax writes it: quotes, backslashes and control characters
// escaped, and bytes that are not UTF-8 written as \xHH, so that the result is one line of UTF-8 that
// reads back as the very same bytes.
std::string QuoteText(std::string_view text);

} // namespace selection::detail

} // namespace omf
