// Multipart messages grow with the bytes that arrive, not with the size their first fragment announces.
// This executable replaces the global allocation functions to see the largest single request.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "support/FactoryHarness.h"
#include <omf/platform/message/MessageHandler.h>
#include <omf/protocol/ProtocolError.h>

using namespace omf;

namespace {

bool gWatching = false;
std::size_t gLargest = 0;

void* Allocate(std::size_t n) {
  if (gWatching && n > gLargest) gLargest = n;
  if (void* p = std::malloc(n == 0 ? 1 : n)) return p;
  throw std::bad_alloc();
}

// The largest single allocation that `run` makes.
template <class F> std::size_t LargestAllocation(F run) {
  gLargest = 0;
  gWatching = true;
  run();
  gWatching = false;
  return gLargest;
}

} // namespace

void* operator new(std::size_t n) {
  return Allocate(n);
}
void* operator new[](std::size_t n) {
  return Allocate(n);
}
void* operator new(std::size_t n, const std::nothrow_t&) noexcept {
  try {
    return Allocate(n);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
void* operator new[](std::size_t n, const std::nothrow_t& tag) noexcept {
  return operator new(n, tag);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}

namespace {

using Bytes = std::vector<unsigned char>;

// A fragment: the total size, the offset of its bytes, the bytes.
Bytes Fragment(std::uint32_t total, std::uint32_t offset, std::size_t bytes) {
  Bytes out;
  for (std::uint32_t v : {total, offset})
    for (int i = 0; i < 4; ++i)
      out.push_back(static_cast<unsigned char>(v >> (8 * i)));
  out.resize(out.size() + bytes, 'x');
  return out;
}

TEST(Multipart, TheAnnouncedSizeCostsNothingUntilItsBytesArrive) {
  for (const short type : {291, 311}) {
    SCOPED_TRACE(type);
    omf::fixtures::Harness h;
    h.Open("Model");
    const std::uint32_t total = MessageHandler::kMaxBody;
    const std::size_t largest = LargestAllocation([&] {
      for (std::uint32_t offset = 0; offset < 64 * 1024; offset += 1024) {
        Bytes f = Fragment(total, offset, 1024);
        h.factory.Message(type, static_cast<unsigned>(f.size()), f.data());
      }
    });
    EXPECT_LT(largest, std::size_t{1} << 20); // 64 KiB arrived; far below the 256 MiB announced
    // One more than the largest body is refused before anything is kept.
    Bytes tooLarge = Fragment(total + 1, 0, 1);
    omf::fixtures::Harness fresh;
    fresh.Begin("Model");
    try {
      fresh.factory.Message(type, static_cast<unsigned>(tooLarge.size()), tooLarge.data());
      ADD_FAILURE() << "no error";
    } catch (const ProtocolError& e) {
      EXPECT_EQ(e.Type(), type);
      EXPECT_EQ(e.Problem(),
                "announced size 268435457 is larger than the 268435456 bytes a message may have");
    }
  }
}

} // namespace
