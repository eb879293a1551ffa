// The built-in example session played through OmFactory with the k-th allocation failing, for every k
// from 1 until a run completes without a failure. The rules for running out of memory:
//
// - inside a procedure the factory absorbs the failure: OmFactory::Message returns normally and the
//   procedure reaches the tree closed, holding one text block "Output Missing" with the line "Out of
//   memory collecting output." (both in the procedure's output language);
// - outside a procedure std::bad_alloc reaches the caller;
// - either way no other error follows (but the rest of a procedure that was closed may be refused as
//   malformed: its slots went with it), every other procedure arrives whole, the factory accepts a new
//   procedure afterwards, the tree renders, and nothing the factory allocated outlives the tree and the
//   factory. The allocation functions count the blocks still live after each run, so that a leak names
//   its k; under the asan preset LeakSanitizer reports their stacks when the program ends.
//
// This executable replaces the global allocation functions, which is why it is not part of another test
// executable. A failure message lists the k values by the rule they break.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <new>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "examples/BuiltinSession.h"
#include <omf/factory/Factory.h>
#include <omf/factory/FactorySink.h>
#include <omf/model/OutputTree.h>
#include <omf/platform/error/ThrowError.h>
#include <omf/platform/path/PathFinder.h>
#include <omf/platform/stringtable/FacSTDictionary.h>
#include <omf/presentation/Language.h>
#include <omf/protocol/ProtocolError.h>
#include <omf/render/HtmlRenderer.h>
#include <omf/render/JsonRenderer.h>
#include <omf/render/TextRenderer.h>
#include <omf/selection/OMSObjectSelector.h>
#include <omf/stream/MessageSink.h>
#include <omf/stream/MessageWriter.h>

#if defined(__SANITIZE_ADDRESS__)
#define OMF_TEST_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMF_TEST_SANITIZED 1
#endif
#endif
#ifdef OMF_TEST_SANITIZED
#include <sanitizer/common_interface_defs.h>
#endif

using namespace omf;

// ---- the counting allocation functions ---------------------------------------------------------------
namespace {

// While armed, allocation number `gFailAt` (counted from 1) throws std::bad_alloc, once.
bool gArmed = false;
long gCount = 0;
long gFailAt = 0;
bool gFired = false;
// Blocks allocated while tracking is on are marked; `gTrackedLive` counts those not yet freed, so that a
// run that leaves any behind names its k (LeakSanitizer, at exit, gives their stacks).
bool gTracking = false;
long gTrackedLive = 0;
// The run under way, for a crash report.
long gRunning = 0;

// Each block starts with a header that remembers where the underlying allocation starts and whether
// the block is tracked; it sits right before the caller's bytes.
struct Header {
  void* start;
  std::size_t tracked;
};
constexpr std::size_t kHeaderBytes = alignof(std::max_align_t);
static_assert(sizeof(Header) <= kHeaderBytes);

void* Allocate(std::size_t size, std::size_t alignment = alignof(std::max_align_t)) {
  if (gArmed && ++gCount == gFailAt) {
    gArmed = false;
    gFired = true;
    throw std::bad_alloc();
  }
  const std::size_t head = std::max(kHeaderBytes, alignment);
  void* start = alignment > alignof(std::max_align_t)
                    ? std::aligned_alloc(alignment, (size + head + alignment - 1) / alignment * alignment)
                    : std::malloc(size + head);
  if (start == nullptr) throw std::bad_alloc();
  void* user = static_cast<char*>(start) + head;
  *reinterpret_cast<Header*>(static_cast<char*>(user) - kHeaderBytes) = {start, gTracking ? 1u : 0u};
  if (gTracking) ++gTrackedLive;
  return user;
}

void Free(void* user) noexcept {
  if (user == nullptr) return;
  const Header h = *reinterpret_cast<Header*>(static_cast<char*>(user) - kHeaderBytes);
  if (h.tracked != 0) --gTrackedLive;
  std::free(h.start);
}

// Tracks the blocks allocated while the factory works (not those of the test itself).
class Tracked {
public:
  Tracked() { gTracking = true; }
  ~Tracked() { gTracking = false; }
  Tracked(const Tracked&) = delete;
  Tracked& operator=(const Tracked&) = delete;
};

} // namespace

void* operator new(std::size_t size) {
  return Allocate(size);
}
void* operator new[](std::size_t size) {
  return Allocate(size);
}
void* operator new(std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new[](std::size_t size, std::align_val_t a) {
  return Allocate(size, static_cast<std::size_t>(a));
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  try {
    return Allocate(size);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void operator delete(void* p) noexcept {
  Free(p);
}
void operator delete[](void* p) noexcept {
  Free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  Free(p);
}
void operator delete(void* p, std::align_val_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::align_val_t) noexcept {
  Free(p);
}
void operator delete(void* p, std::size_t, std::align_val_t) noexcept {
  Free(p);
}
void operator delete[](void* p, std::size_t, std::align_val_t) noexcept {
  Free(p);
}

namespace {

using omf::stream::StreamRecord;

struct Keep : OmFactory::Observer {
  bool KeepProcedure() override { return true; }
};

std::vector<StreamRecord> Session() {
  omf::stream::RecordingSink sink;
  omf::stream::MessageWriter w(sink);
  omf::examples::WriteBuiltinSession(w);
  return sink.Take();
}

// A node and its subtree as "level:type:title" lines, with the lines of text blocks.
std::string Subtree(const OmOutputTree& tree, std::size_t node) {
  std::ostringstream out;
  for (std::size_t n = node; n < tree.SubtreeEnd(node); ++n) {
    const OmOutputPart* part = tree.Part(n);
    out << tree.Level(n) << ':' << typeid(*part).name() << ':' << part->Title().AsString() << '\n';
    if (const auto* block = dynamic_cast<const OmTextBlock*>(part))
      for (const std::string& line : block->Lines())
        out << "  " << line << '\n';
  }
  return out.str();
}

std::vector<std::size_t> ProcedureNodes(const OmOutputTree& tree) {
  std::vector<std::size_t> out;
  for (std::size_t n = 1; n < tree.Count(); ++n)
    if (dynamic_cast<const OmProcedure*>(tree.Part(n)) != nullptr) out.push_back(n);
  return out;
}

// The title and the line of the recovery's text block in a procedure's output language.
std::pair<std::string, std::string> MissingTexts(const std::string& language) {
  FacSTDictionary dictionary;
  if (const auto found = FindOutputLanguage(language)) {
    auto finder = PathFactory::getPathInstance(3);
    finder->SetRelativePath(found->directory);
    dictionary.SetGlobalStringTable(finder->Path());
  }
  return {dictionary.LookUp("Output Missing"), dictionary.LookUp("Out of memory collecting output.")};
}

bool ShowsOutputMissing(const OmOutputTree& tree, std::size_t node) {
  const auto* procedure = dynamic_cast<const OmProcedure*>(tree.Part(node));
  if (procedure == nullptr || tree.SubtreeEnd(node) != node + 2) return false;
  const auto* block = dynamic_cast<const OmTextBlock*>(tree.Part(node + 1));
  const auto [title, line] = MissingTexts(procedure->Language());
  return block != nullptr && block->Title().AsString() == title && !block->Lines().empty() &&
         block->Lines().back() == line;
}

// What one run did, and the rules it broke.
struct Run {
  bool fired = false;
  std::size_t failedMessage = 0; // the message during which the allocation failed
  std::vector<std::string> problems;
};

class AllocationSweep {
public:
  explicit AllocationSweep(bool seedTree) : _seedTree(seedTree), _records(Session()) {
    // Which messages belong to a procedure (from its begin to its end), and to which one.
    int open = -1, count = 0;
    for (const StreamRecord& r : _records) {
      if (r.type == 276) open = count++;
      _procedure.push_back(open);
      if (r.type == 291) open = -1;
    }
    Play(0); // fills what the process keeps once read (string tables), which later runs then find
    const Run baseline = Play(0, &_expected);
    for (const std::string& p : baseline.problems)
      ADD_FAILURE() << "without a failing allocation: " << p;
  }

  // Plays the session with allocation k failing (0: none); the final tree's procedures go to `procedures`.
  Run Play(long k, std::vector<std::string>* procedures = nullptr) {
    Run run;
    gTrackedLive = 0;
    {
      OmOutputTree tree;
      if (_seedTree) tree.Append(0, std::make_unique<OmHeading>(OmStringCell("Output", nullptr, true)));
      const std::vector<OMSObjectSelector> requests;
      OmFactory factory(&tree, "", "UTF-8", requests);
      Keep keep;
      factory.Register(&keep);
      gCount = 0;
      gFailAt = k;
      gFired = false;
      for (std::size_t i = 0; i < _records.size(); ++i) {
        std::vector<unsigned char> payload = _records[i].payload;
        const bool before = gFired;
        std::string escaped;
        bool malformed = false;
        gArmed = k > 0 && !gFired;
        try {
          const Tracked tracked;
          factory.Message(_records[i].type, static_cast<unsigned>(payload.size()), payload.data());
        } catch (const std::bad_alloc&) {
          escaped = "std::bad_alloc";
        } catch (const ProtocolError& e) {
          malformed = true;
          escaped = std::string("ProtocolError \"") + e.what() + "\"";
        } catch (const std::exception& e) {
          escaped = std::string(typeid(e).name()) + " \"" + e.what() + "\"";
        }
        gArmed = false;
        const bool firedHere = gFired && !before;
        if (firedHere) {
          run.fired = true;
          run.failedMessage = i;
        }
        Judge(run, i, firedHere, escaped, malformed);
      }
      CheckTree(run, tree, procedures);
      // The factory goes on: a new procedure after the session reaches the tree.
      const std::size_t before = ProcedureNodes(tree).size();
      try {
        const Tracked tracked;
        omf::stream::FactorySink sink(factory);
        omf::stream::MessageWriter w(sink);
        omf::stream::ProcedureSettings s;
        s.procedure = "Afterwards";
        w.ProcedureBegin(99, s);
        w.String(1, "Afterwards");
        w.TextBlock(1);
        w.Text("still working");
        w.Chart(0, 0, "Afterwards chart"); // a procedure with nothing but its title block is dropped
        w.ProcedureEnd();
      } catch (const std::exception& e) {
        run.problems.push_back(std::string("the factory refuses a procedure afterwards: ") + e.what());
      }
      if (ProcedureNodes(tree).size() != before + 1)
        run.problems.push_back("a procedure played afterwards does not reach the tree");
      std::ostringstream sink;
      omf::render::TextRenderer().Render(tree, sink);
      omf::render::JsonRenderer().Render(tree, sink);
      omf::render::HtmlRenderer().Render(tree, sink);
    }
    if (gTrackedLive != 0)
      run.problems.push_back((run.fired ? "with the failure in a message of type " +
                                              std::to_string(_records[run.failedMessage].type) + ", "
                                        : std::string()) +
                             "blocks that the factory allocated were never freed");
    return run;
  }

  const std::vector<std::string>& Expected() const { return _expected; }

private:
  std::string Where(std::size_t i) const {
    return "message " + std::to_string(i + 1) + " (type " + std::to_string(_records[i].type) + ")";
  }

  void Judge(Run& run, std::size_t i, bool firedHere, const std::string& escaped, bool malformed) {
    const bool inside = _procedure[i] >= 0 && _records[i].type != 276;
    if (!firedHere) {
      // The rest of the procedure that was closed (or never opened) refers to slots that were emptied
      // with it; the factory may call those messages malformed.
      const bool sameProcedure =
          run.fired && _procedure[i] >= 0 && _procedure[i] == _procedure[run.failedMessage];
      if (!escaped.empty() && !(malformed && sameProcedure))
        run.problems.push_back(Where(i) + (run.fired ? ", after the failure," : "") + " threw " + escaped);
      return;
    }
    if (inside && !escaped.empty())
      run.problems.push_back(Where(i) + " inside a procedure: " + escaped + " escaped OmFactory::Message");
    if (!inside && _records[i].type != 276 && escaped != "std::bad_alloc")
      run.problems.push_back(
          Where(i) + " outside a procedure: " +
          (escaped.empty() ? "the failure did not reach the caller" : escaped + " escaped"));
  }

  void CheckTree(Run& run, const OmOutputTree& tree, std::vector<std::string>* procedures) {
    const std::vector<std::size_t> nodes = ProcedureNodes(tree);
    if (procedures != nullptr) {
      for (std::size_t n : nodes)
        procedures->push_back(Subtree(tree, n));
      return;
    }
    if (!run.fired) {
      std::vector<std::string> got;
      for (std::size_t n : nodes)
        got.push_back(Subtree(tree, n));
      if (got != _expected) run.problems.push_back("without a failure the tree differs from the baseline");
      return;
    }
    const int hit = _procedure[run.failedMessage];
    const std::string failure = "with the failure in " + Where(run.failedMessage) + ", ";
    const bool atBegin = _records[run.failedMessage].type == 276;
    const bool atEnd = _records[run.failedMessage].type == 291;
    // Match the procedures of the tree with the baseline's, in order. The one that was hit may be whole
    // only when the failure came after it was delivered, and missing only when it came as it began.
    // After a settings message was lost (outside a procedure, reported to the caller) later procedures
    // may rightly differ.
    const bool settingLost =
        hit < 0 && (_records[run.failedMessage].type == 27 || _records[run.failedMessage].type == 34 ||
                    _records[run.failedMessage].type == 56 || _records[run.failedMessage].type == 59);
    std::size_t at = 0;
    for (int p = 0; p < static_cast<int>(_expected.size()); ++p) {
      const std::string name = "procedure " + std::to_string(p + 1);
      const auto is = [&](std::size_t node, int expected) {
        return node < nodes.size() && expected < static_cast<int>(_expected.size()) &&
               Subtree(tree, nodes[node]) == _expected[static_cast<std::size_t>(expected)];
      };
      if (is(at, p)) {
        if (p == hit && !atBegin && !atEnd)
          run.problems.push_back(failure + name + " arrived whole although an allocation failed inside it");
        ++at;
        continue;
      }
      if (p != hit) {
        if (at >= nodes.size())
          run.problems.push_back(failure + name + " is lost");
        else if (!settingLost)
          run.problems.push_back(failure + name +
                                 " differs from the baseline although the failure was elsewhere");
        ++at;
        continue;
      }
      if (at < nodes.size() && ShowsOutputMissing(tree, nodes[at])) {
        ++at;
        continue;
      }
      if (at < nodes.size() && !is(at, p + 1)) {
        run.problems.push_back(failure + name + " is neither whole nor closed with \"Output Missing\"");
        ++at;
        continue;
      }
      if (!atBegin) run.problems.push_back(failure + name + " is lost");
    }
    if (at < nodes.size()) run.problems.push_back(failure + "the tree holds more procedures than were sent");
  }

  bool _seedTree;
  std::vector<StreamRecord> _records;
  std::vector<int> _procedure; // per message: the procedure it belongs to, or -1
  std::vector<std::string> _expected;
};

// "3-7, 12" from a sorted list.
std::string Ranges(const std::vector<long>& ks) {
  std::string out;
  for (std::size_t i = 0; i < ks.size();) {
    std::size_t j = i;
    while (j + 1 < ks.size() && ks[j + 1] == ks[j] + 1)
      ++j;
    if (!out.empty()) out += ", ";
    out += std::to_string(ks[i]);
    if (j > i) {
      out += '-';
      out += std::to_string(ks[j]);
    }
    i = j + 1;
  }
  return out;
}

// The sweep replays the whole session once per allocation, so its cost grows with the square of the
// session. Under the sanitizers, where a replay is some twenty times slower, OMF_ALLOC_SWEEP_STRIDE=n
// fails only every n-th allocation, each test starting at its own offset so that together they still
// reach most of them; without it every allocation fails in turn.
long Stride() {
  const char* text = std::getenv("OMF_ALLOC_SWEEP_STRIDE");
  const long stride = text == nullptr ? 1 : std::atol(text);
  return stride < 1 ? 1 : stride;
}

void Sweep(bool seedTree, long offset) {
  AllocationSweep sweep(seedTree);
  ASSERT_FALSE(sweep.Expected().empty());
  std::map<std::string, std::vector<long>> broken; // rule broken -> the k values that break it
  const long stride = Stride();
  long k = 1 + offset % stride;
  for (;; k += stride) {
    gRunning = k;
    const Run run = sweep.Play(k);
    for (const std::string& p : run.problems)
      broken[p].push_back(k);
    if (!run.fired) break;
  }
  gRunning = 0;
  std::ostringstream report;
  for (const auto& [problem, ks] : broken)
    report << "\n  k = " << Ranges(ks) << ": " << problem;
  EXPECT_TRUE(broken.empty()) << "of " << k - 1 << " allocations (every " << stride
                              << "), failing these breaks a rule:" << report.str();
  EXPECT_GT(k, 100) << "the session should make many allocations; is the counting allocator in use?";
}

void ReportRun() {
  if (gRunning != 0)
    std::fprintf(stderr, "allocation sweep: crashed with allocation %ld failing\n", gRunning);
}

class AllocSweep : public ::testing::Test {
protected:
  static void SetUpTestSuite() {
    std::set_terminate([] {
      ReportRun();
      std::abort();
    });
#ifdef OMF_TEST_SANITIZED
    __sanitizer_set_death_callback(&ReportRun);
#endif
  }
};

TEST_F(AllocSweep, BuiltinSessionUnderACallersTopHeading) {
  Sweep(/*seedTree=*/true, /*offset=*/0);
}

TEST_F(AllocSweep, BuiltinSessionIntoATreeHoldingOnlyItsRoot) {
  Sweep(/*seedTree=*/false, /*offset=*/1);
}

} // namespace
