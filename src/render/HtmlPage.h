#pragma once
// The style sheet and the script that every HTML page carries inline, so that a page needs nothing but
// itself: no network, no files beside it.

namespace omf {

namespace render {

extern const char* const kHtmlStyle;
extern const char* const kHtmlScript;

} // namespace render

} // namespace omf
