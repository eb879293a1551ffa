#include <omf/platform/strings/PlatformStrings.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>

#include <unicode/coll.h>
#include <unicode/locid.h>
#include <unicode/uchar.h>
#include <unicode/ucnv.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf8.h>

namespace omf {

namespace {

icu::UnicodeString FromUtf8(std::string_view s) {
  return icu::UnicodeString::fromUTF8(icu::StringPiece(s.data(), static_cast<int32_t>(s.size())));
}

std::string AsUtf8(const icu::UnicodeString& u) {
  std::string out;
  u.toUTF8String(out);
  return out;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s)
    if (c >= 0x80) return false;
  return true;
}

char AsciiUpper(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

int AsciiCaseCompare(std::string_view a, std::string_view b) {
  const std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = static_cast<unsigned char>(AsciiUpper(a[i]));
    const unsigned char y = static_cast<unsigned char>(AsciiUpper(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool IsUtf8(std::string_view codePage) {
  return codePage.empty() || codePage == "UTF-8" || codePage == "utf-8" || codePage == "UTF8" ||
         codePage == "utf8";
}

} // namespace

int VEXAMBstricmp_A(std::string_view a, std::string_view b) {
  if (IsAscii(a) && IsAscii(b)) return AsciiCaseCompare(a, b);
  const int r = FromUtf8(a).caseCompare(FromUtf8(b), U_FOLD_CASE_DEFAULT);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

int VEXAMBstrnicmp_A(std::string_view a, std::string_view b, std::size_t n) {
  if (IsAscii(a) && IsAscii(b))
    return AsciiCaseCompare(a.substr(0, std::min(n, a.size())), b.substr(0, std::min(n, b.size())));
  icu::UnicodeString ua = FromUtf8(a), ub = FromUtf8(b);
  const auto cut = [n](icu::UnicodeString& u) {
    const int32_t limit =
        n > static_cast<std::size_t>(u.countChar32()) ? u.countChar32() : static_cast<int32_t>(n);
    u.truncate(u.moveIndex32(0, limit));
  };
  cut(ua);
  cut(ub);
  const int r = ua.caseCompare(ub, U_FOLD_CASE_DEFAULT);
  return r < 0 ? -1 : (r > 0 ? 1 : 0);
}

std::size_t VEXAMBstrrchr_A(std::string_view s, char c) {
  // In UTF-8 an ASCII byte never occurs inside a multibyte sequence, so a byte search is exact.
  return s.rfind(c);
}

std::string VEXAMBstrupr_A(std::string_view s) {
  if (IsAscii(s)) {
    std::string out(s);
    for (char& c : out)
      c = AsciiUpper(c);
    return out;
  }
  icu::UnicodeString u = FromUtf8(s);
  u.toUpper(icu::Locale::getRoot());
  return AsUtf8(u);
}

std::string VEXAMBU8ToGeneric(std::string_view utf8, std::string_view codePage) {
  if (IsUtf8(codePage) || IsAscii(utf8)) return std::string(utf8);
  UErrorCode status = U_ZERO_ERROR;
  const std::string cp(codePage);
  UConverter* conv = ucnv_open(cp.c_str(), &status);
  if (U_FAILURE(status)) return std::string(utf8);
  const icu::UnicodeString u = FromUtf8(utf8);
  std::string out(static_cast<std::size_t>(u.length()) * 4 + 4, '\0');
  status = U_ZERO_ERROR;
  const int32_t n = u.extract(out.data(), static_cast<int32_t>(out.size()), conv, status);
  ucnv_close(conv);
  if (U_FAILURE(status)) return std::string(utf8);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

namespace platform {

std::string ToUtf8(std::string_view text, std::string_view codePage) {
  if (IsAscii(text)) return std::string(text);
  if (IsUtf8(codePage)) return AsUtf8(FromUtf8(text)); // replaces invalid sequences
  UErrorCode status = U_ZERO_ERROR;
  const std::string cp(codePage);
  UConverter* conv = ucnv_open(cp.c_str(), &status);
  if (U_FAILURE(status)) return AsUtf8(FromUtf8(text));
  const icu::UnicodeString u(text.data(), static_cast<int32_t>(text.size()), conv, status);
  ucnv_close(conv);
  if (U_FAILURE(status)) return AsUtf8(FromUtf8(text));
  return AsUtf8(u);
}

std::size_t Utf8Length(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s)
    if ((c & 0xC0) != 0x80) ++n;
  return n;
}

std::size_t DisplayWidth(std::string_view s) {
  std::size_t width = 0;
  const auto* p = reinterpret_cast<const std::uint8_t*>(s.data());
  const auto n = static_cast<std::int32_t>(s.size());
  for (std::int32_t i = 0; i < n;) {
    UChar32 c;
    U8_NEXT(p, i, n, c);
    if (c < 0) {
      ++width; // a broken byte shows as one replacement character
      continue;
    }
    const auto category = static_cast<UCharCategory>(u_charType(c));
    if (category == U_NON_SPACING_MARK || category == U_ENCLOSING_MARK || c == 0x200B) continue;
    const auto eaw = static_cast<UEastAsianWidth>(u_getIntPropertyValue(c, UCHAR_EAST_ASIAN_WIDTH));
    width += (eaw == U_EA_WIDE || eaw == U_EA_FULLWIDTH) ? 2 : 1;
  }
  return width;
}

int Collate(std::string_view locale, std::string_view a, std::string_view b) {
  static std::mutex lock;
  static std::map<std::string, std::unique_ptr<icu::Collator>, std::less<>> collators;
  icu::Collator* coll = nullptr;
  {
    std::lock_guard guard(lock);
    auto it = collators.find(locale);
    if (it == collators.end()) {
      UErrorCode status = U_ZERO_ERROR;
      const std::string name(locale);
      std::unique_ptr<icu::Collator> made(icu::Collator::createInstance(
          name.empty() ? icu::Locale::getRoot() : icu::Locale(name.c_str()), status));
      if (U_FAILURE(status)) made.reset();
      it = collators.emplace(std::string(locale), std::move(made)).first;
    }
    coll = it->second.get();
  }
  if (coll == nullptr) return a < b ? -1 : (b < a ? 1 : 0);
  UErrorCode status = U_ZERO_ERROR;
  const UCollationResult r =
      coll->compareUTF8(icu::StringPiece(a.data(), static_cast<int32_t>(a.size())),
                        icu::StringPiece(b.data(), static_cast<int32_t>(b.size())), status);
  if (U_FAILURE(status)) return a < b ? -1 : (b < a ? 1 : 0);
  return r == UCOL_LESS ? -1 : (r == UCOL_GREATER ? 1 : 0);
}

} // namespace platform

} // namespace omf
