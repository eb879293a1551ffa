#pragma once
// The structure-aware mutator of the stream targets. It reads a fuzz input as a recorded stream, changes
// whole records (insert runs of the record pool, delete, repeat a run up to thousands of times, swap,
// move, change the type) or one field of one record through the message catalogue (interesting integers,
// lengths that disagree with their texts, texts from a word list), and writes the stream back. Random
// bytes rarely get past the file header and the record lengths; whole records reach deep nesting and
// large counts within a few steps. Now and then the container itself is changed byte-wise, or cut short.
#include <cstddef>
#include <cstdint>

namespace omf {

namespace fuzz {

std::size_t MutateStream(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned int seed);
// The start of one stream and the end of the other, or a short run of the second inserted in the first.
std::size_t CrossOverStreams(const std::uint8_t* a, std::size_t aSize, const std::uint8_t* b,
                             std::size_t bSize, std::uint8_t* out, std::size_t maxSize, unsigned int seed);

} // namespace fuzz

} // namespace omf
