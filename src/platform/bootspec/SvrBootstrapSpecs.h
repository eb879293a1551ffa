#pragma once
// How a procedure was bootstrapped: the confidence level, the number of bootstrap samples, the
// sampling method, and the jackknife cases (for BCa intervals) with the segments they fall into.
// The setters keep the object consistent and throw SvrBootstrapSpecsError otherwise.
#include <stdexcept>
#include <string>
#include <vector>

namespace omf {

// A bootstrap specification that cannot be used; the message names the key (and, from the text
// form, the line) and what is wrong with it.
class SvrBootstrapSpecsError : public std::runtime_error {
public:
  SvrBootstrapSpecsError(std::string key, const std::string& message)
      : std::runtime_error(message), _key(std::move(key)) {}

  // The key of the text form that the problem is about ("level", "segments", ...).
  const std::string& Key() const { return _key; }

private:
  std::string _key;
};

// One jackknife sample: the weight of the case it leaves out and the case's group.
struct SvrJackknifeCase {
  double weight = 1;
  unsigned group = 0;

  friend bool operator==(const SvrJackknifeCase&, const SvrJackknifeCase&) = default;
};

class SvrBootstrapSpecs {
public:
  // Sampling methods (GetSamplingMethod).
  enum SamplingMethod : int { kSimple = 0, kStratified = 1, kResidual = 2, kWild = 3 };

  // 95 %, 1000 samples, simple sampling, no jackknife cases.
  SvrBootstrapSpecs() = default;

  // Percent, strictly between 0 and 100.
  double GetCILevelPct() const { return _levelPct; }
  void SetCILevelPct(double percent);

  // At least 1.
  unsigned GetNSamples() const { return _samples; }
  void SetNSamples(unsigned samples);

  // 0 to 3.
  int GetSamplingMethod() const { return _method; }
  void SetSamplingMethod(int method);

  // The jackknife cases in split order; case p is the jackknife sample at jackknife position p.
  // Weights are finite and not negative; a group number is at most the number of cases. Setting them
  // makes one segment of all cases.
  const std::vector<SvrJackknifeCase>& GetJackknifeCases() const { return _cases; }
  void SetJackknifeCases(std::vector<SvrJackknifeCase> cases);

  // The ends of the jackknife segments: increasing from above 0, the last equal to the number of cases
  // (empty without cases). A segment runs from the previous end (0 for the first) to its own end.
  const std::vector<unsigned>& GetJackknifeSegmentEnds() const { return _segmentEnds; }
  void SetJackknifeSegmentEnds(std::vector<unsigned> ends);

  friend bool operator==(const SvrBootstrapSpecs&, const SvrBootstrapSpecs&) = default;

private:
  double _levelPct = 95;
  unsigned _samples = 1000;
  int _method = kSimple;
  std::vector<SvrJackknifeCase> _cases;
  std::vector<unsigned> _segmentEnds;
};

} // namespace omf
