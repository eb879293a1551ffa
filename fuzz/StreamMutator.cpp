#include "fuzz/StreamMutator.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <random>

#include "fuzz/Records.h"
#include <omf/protocol/MessageCatalogue.h>
#include <omf/stream/MessageEncoder.h>

namespace omf {

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace fuzz {
namespace {

using Rng = std::minstd_rand;
using omf::stream::FieldValue;

std::size_t Below(Rng& rng, std::size_t n) {
  return n == 0 ? 0 : static_cast<std::size_t>(rng() % n);
}
bool OneIn(Rng& rng, unsigned n) {
  return rng() % n == 0;
}

// Texts that the factory treats specially, or that stress quoting, translation and composites.
const char* const kWords[] = {
    "Output Missing",
    "^1",
    "^1^1",
    "^2 ^1 ^3",
    "[:^1=^2,:]1",
    "^1\\%",
    "Imputation_",
    "$bootstrap_split",
    "Pooled",
    "Notes",
    "Statistics",
    "Frequencies",
    "Crosstabs",
    "OLANG",
    "German",
    "Japanese",
    "ja",
    "zh-cn",
    "Both",
    "Labels",
    "Values",
    "Names",
    "TVARS",
    "OVARS",
    "TNUMBERS",
    "ONUMBERS",
    "\x01REQUEST 1",
    "level=95\nsamples=10\n",
    "level=90\nsamples=1000\nmethod=1\n",
    "",
    "caf\xe9",
    "\xff\xfe",
    "caf\xc3\xa9",
    "\n",
    "\f",
    "<b>&amp;\"'</b>",
    "\\\"quote\\",
    "Std. Deviation",
    "Mean",
    "Valid",
    "Total",
    "NaN",
    "procedure=Frequencies\nlanguage=German\ncodepage=windows-1252\nbootstrap=1\n",
    "procedure=Regression\nprocedure.translated=R\u00e9gression\nlanguage=Japanese\n",
};

std::int64_t InterestingInteger(Rng& rng) {
  static const std::int64_t values[] = {0,     1,       2,       3,          4,      5,         6,
                                        7,     8,       -1,      -2,         127,    128,       255,
                                        256,   1023,    1024,    4095,       32767,  32768,     65535,
                                        65536, 1 << 20, 1 << 28, 0x7fffffff, -32768, INT32_MIN, 0xffffffffLL,
                                        10000, 100000};
  if (OneIn(rng, 8)) return static_cast<std::int32_t>(rng());
  return values[Below(rng, std::size(values))];
}

double InterestingReal(Rng& rng) {
  static const double values[] = {0.0,
                                  -0.0,
                                  1.0,
                                  -1.5,
                                  0.5,
                                  1e308,
                                  -std::numeric_limits<double>::max(),
                                  std::numeric_limits<double>::quiet_NaN(),
                                  std::numeric_limits<double>::infinity(),
                                  -std::numeric_limits<double>::infinity(),
                                  std::numeric_limits<double>::denorm_min(),
                                  1e-300,
                                  123456789.125,
                                  9.2233720368547758e18};
  return values[Below(rng, std::size(values))];
}

// Writes `v` at `at` in `size` bytes of this machine's order, when it fits.
void Poke(std::vector<std::uint8_t>& p, std::size_t at, std::size_t size, std::int64_t v) {
  if (at + size > p.size()) return;
  std::memcpy(p.data() + at, &v, size); // little-endian machines: the low bytes first
}

std::string MutatedText(Rng& rng, std::string text) {
  switch (Below(rng, 5)) {
  case 0:
    return kWords[Below(rng, std::size(kWords))];
  case 1:
    return text + text;
  case 2:
    return std::string(Below(rng, 2) ? 1024 : 40000, static_cast<char>('a' + Below(rng, 26)));
  default: {
    const std::size_t old = text.size();
    text.resize(old * 2 + 16);
    text.resize(LLVMFuzzerMutate(reinterpret_cast<std::uint8_t*>(text.data()), old, text.size()));
    return text;
  }
  }
}

// Changes one field of a record through its catalogue row; false when the record has no row or a payload
// the row cannot read.
bool MutateField(Rng& rng, Record& r) {
  const MessageSpec* spec = FindMessageSpec(r.type);
  if (spec == nullptr || spec->fieldCount == 0) return false;
  std::vector<std::uint8_t> copy = r.payload;
  std::vector<FieldValue> values;
  try {
    values = omf::stream::FieldValuesOf(DecodeMessage(*spec, copy.data(), copy.size(), false));
  } catch (...) {
    return false;
  }
  const std::size_t k = Below(rng, spec->fieldCount);
  const FieldSpec& f = spec->fields[k];
  // Length fields follow their texts unless a mismatch is asked for.
  for (std::size_t j = 0; j < spec->fieldCount; ++j)
    if (omf::stream::IsLengthField(*spec, j)) values[j] = FieldValue{};
  switch (f.kind) {
  case FieldKind::U8:
  case FieldKind::Skip:
    values[k] = FieldValue::Int(OneIn(rng, 2) ? static_cast<std::int64_t>(Below(rng, 8))
                                              : static_cast<std::int64_t>(rng() & 0xff));
    break;
  case FieldKind::I16:
    values[k] = FieldValue::Int(static_cast<std::int16_t>(InterestingInteger(rng)));
    break;
  case FieldKind::I32:
    values[k] = FieldValue::Int(static_cast<std::int32_t>(InterestingInteger(rng)));
    break;
  case FieldKind::U32:
    values[k] = FieldValue::Int(static_cast<std::uint32_t>(InterestingInteger(rng)));
    break;
  case FieldKind::I64:
    values[k] =
        FieldValue::Int(OneIn(rng, 4) ? std::numeric_limits<std::int64_t>::min() : InterestingInteger(rng));
    break;
  case FieldKind::F64:
    values[k] = FieldValue::Real(InterestingReal(rng));
    break;
  case FieldKind::NumOrText:
    if (OneIn(rng, 2)) {
      values[k] = FieldValue::Real(InterestingReal(rng));
      break;
    }
    [[fallthrough]];
  case FieldKind::Text:
  case FieldKind::CText:
  case FieldKind::Rest:
    if ((r.type == TypeNumber(MessageType::ProcedureEnd) || r.type == TypeNumber(MessageType::Model)) &&
        OneIn(rng, 2)) {
      // A multipart fragment: total size and offset, 4 bytes each, ahead of the data.
      Poke(r.payload, OneIn(rng, 2) ? 0 : 4, 4, InterestingInteger(rng));
      return true;
    }
    values[k] = FieldValue::Bytes(MutatedText(rng, values[k].bytes));
    if (f.lengthOf >= 0 && OneIn(rng, 4))
      values[static_cast<std::size_t>(f.lengthOf)] = FieldValue::Int(
          OneIn(rng, 2) ? static_cast<std::int64_t>(values[k].bytes.size() + 1 + Below(rng, 64))
                        : static_cast<std::int32_t>(InterestingInteger(rng)));
    break;
  }
  try {
    r.payload = omf::stream::EncodeMessage(*spec, values, omf::stream::kNativeOrder);
  } catch (...) {
    return false;
  }
  return true;
}

// Writes an interesting integer over a fixed-size field of the row, or at any 4-byte place, as raw bytes.
void PokeField(Rng& rng, Record& r) {
  if (r.payload.empty()) return;
  const MessageSpec* spec = FindMessageSpec(r.type);
  if (spec != nullptr && spec->fieldCount > 0) {
    const FieldSpec& f = spec->fields[Below(rng, spec->fieldCount)];
    const std::size_t size = FieldSize(f.kind);
    if (size > 0 && f.offset >= 0) {
      Poke(r.payload, static_cast<std::size_t>(f.offset), size, InterestingInteger(rng));
      return;
    }
  }
  Poke(r.payload, Below(rng, r.payload.size()), std::min<std::size_t>(4, r.payload.size()),
       InterestingInteger(rng));
}

short AnyType(Rng& rng) {
  std::size_t count = 0;
  const MessageSpec* rows = MessageSpecs(count);
  if (OneIn(rng, 16)) return static_cast<short>(Below(rng, 400));
  return rows[Below(rng, count)].type;
}

// A run of records from the pool: a whole table or procedure comes along with its slots.
std::vector<Record> PoolRun(Rng& rng) {
  const std::vector<Record>& pool = RecordPool();
  const std::size_t at = Below(rng, pool.size());
  const std::size_t n = OneIn(rng, 8) ? 1 + Below(rng, 200) : 1 + Below(rng, 12);
  return {pool.begin() + static_cast<std::ptrdiff_t>(at),
          pool.begin() + static_cast<std::ptrdiff_t>(std::min(pool.size(), at + n))};
}

void MutateOnce(Rng& rng, std::vector<Record>& records, std::size_t maxSize) {
  const std::size_t size = StreamSize(records);
  const std::size_t room = maxSize > size ? maxSize - size : 0;
  const std::size_t n = records.size();
  const auto it = [&](std::size_t k) { return records.begin() + static_cast<std::ptrdiff_t>(k); };
  // Growing and shrinking are about as likely, so that inputs do not all end at the size limit.
  switch (n == 0 ? 0 : Below(rng, 14)) {
  case 0:
  case 1: { // insert records of the pool
    const std::vector<Record> run = PoolRun(rng);
    records.insert(it(Below(rng, n + 1)), run.begin(), run.end());
    break;
  }
  case 2:
  case 3:
  case 4: { // delete a run
    const std::size_t at = Below(rng, n);
    const std::size_t most = std::min<std::size_t>(n - at, OneIn(rng, 4) ? n / 4 + 1 : 8);
    records.erase(it(at), it(at + 1 + Below(rng, most)));
    break;
  }
  case 5:
  case 6: { // repeat a run: nesting, many categories, many footnotes, long composites
    const std::size_t at = Below(rng, n), len = 1 + Below(rng, std::min<std::size_t>(n - at, 16));
    std::size_t runBytes = 0;
    for (std::size_t k = at; k < at + len; ++k)
      runBytes += RecordBytes(records[k]);
    const std::size_t most = runBytes == 0 ? 0 : room / runBytes;
    if (most == 0) break;
    // Mostly a few repeats; now and then as many as the input has room for.
    static const std::size_t counts[] = {1, 1, 2, 2, 3, 7, 16, 64, 300, 1000, 5000, 40000};
    std::size_t times = OneIn(rng, 16) ? most : counts[Below(rng, std::size(counts))];
    times = std::min(times, most);
    const std::vector<Record> run(it(at), it(at + len));
    std::vector<Record> repeated;
    repeated.reserve(run.size() * times);
    for (std::size_t t = 0; t < times; ++t)
      repeated.insert(repeated.end(), run.begin(), run.end());
    records.insert(it(at + len), repeated.begin(), repeated.end());
    break;
  }
  case 7: // swap two records
    std::swap(records[Below(rng, n)], records[Below(rng, n)]);
    break;
  case 8: { // move a record
    const std::size_t from = Below(rng, n);
    Record r = std::move(records[from]);
    records.erase(it(from));
    records.insert(it(Below(rng, n)), std::move(r));
    break;
  }
  case 9: { // a payload's bytes
    Record& r = records[Below(rng, n)];
    const std::size_t old = r.payload.size();
    r.payload.resize(old * 2 + 16);
    r.payload.resize(LLVMFuzzerMutate(r.payload.data(), old, r.payload.size()));
    break;
  }
  case 10: // the type, among the protocol's
    records[Below(rng, n)].type = AnyType(rng);
    break;
  case 11:
  case 12: { // one field through the catalogue
    Record& r = records[Below(rng, n)];
    if (!MutateField(rng, r)) PokeField(rng, r);
    break;
  }
  default: // a fixed field as raw bytes (also where the row's decoder would refuse the payload)
    PokeField(rng, records[Below(rng, n)]);
    break;
  }
}

} // namespace

std::size_t MutateStream(std::uint8_t* data, std::size_t size, std::size_t maxSize, unsigned int seed) {
  Rng rng(seed);
  std::vector<Record> records;
  const bool parsed = ParseRecords(data, size, records);
  // Now and then the container itself: its header, the record lengths, a record cut short.
  if (OneIn(rng, 32) || (!parsed && OneIn(rng, 2))) return LLVMFuzzerMutate(data, size, maxSize);
  for (std::size_t k = 1 + Below(rng, 3); k > 0; --k)
    MutateOnce(rng, records, maxSize);
  std::size_t out = WriteRecords(records, data, maxSize);
  if (OneIn(rng, 64) && out > kFileHeaderBytes) out = kFileHeaderBytes + Below(rng, out - kFileHeaderBytes);
  return out;
}

std::size_t CrossOverStreams(const std::uint8_t* a, std::size_t aSize, const std::uint8_t* b,
                             std::size_t bSize, std::uint8_t* out, std::size_t maxSize, unsigned int seed) {
  Rng rng(seed);
  std::vector<Record> first, second;
  ParseRecords(a, aSize, first);
  ParseRecords(b, bSize, second);
  if (second.empty()) return WriteRecords(first, out, maxSize);
  const auto at = [](std::vector<Record>& v, std::size_t k) {
    return v.begin() + static_cast<std::ptrdiff_t>(k);
  };
  if (OneIn(rng, 2)) {
    // The start of the first stream and the end of the second.
    first.erase(at(first, Below(rng, first.size() + 1)), first.end());
    first.insert(first.end(), at(second, Below(rng, second.size())), second.end());
  } else {
    // A short run of the second stream anywhere in the first.
    const std::size_t from = Below(rng, second.size());
    const std::size_t to = from + 1 + Below(rng, std::min<std::size_t>(second.size() - from, 32));
    first.insert(at(first, Below(rng, first.size() + 1)), at(second, from), at(second, to));
  }
  return WriteRecords(first, out, maxSize);
}

} // namespace fuzz

} // namespace omf
