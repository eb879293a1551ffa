#pragma once
// The text form of a bootstrap specification: UTF-8, one key=value a line (LF or CRLF), keys
// case-sensitive, blanks around keys and values ignored, unknown keys ignored for later additions.
//   level=95              confidence level in percent (default 95)
//   samples=1000          number of bootstrap samples (default 1000)
//   method=0              0 simple, 1 stratified, 2 residual, 3 wild (default 0)
//   jackknife=1:0 2.5:1   blank-separated weight:group pairs, one per jackknife sample (default none)
//   segments=1 2          blank-separated increasing segment ends (default one segment of all cases)
// A key may appear once. An empty text gives the defaults.
#include <omf/platform/bootspec/SvrBootstrapSpecs.h>

#include <string>
#include <string_view>

namespace omf {

class SvrBootstrapSpecsSerializer {
public:
  // Throws SvrBootstrapSpecsError naming the line, the key and the problem for text that is malformed
  // or describes an inconsistent specification.
  static SvrBootstrapSpecs deserializeSpecs(std::string_view text);

  // The text form, every key written; reads back to an equal specification.
  static std::string serializeSpecs(const SvrBootstrapSpecs& specs);
};

} // namespace omf
