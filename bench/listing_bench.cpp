// Listing speed: 64 KiB programs listed into memory.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "extractor/basic/listing.h"

namespace {

constexpr size_t kProgramSize = 65535;

std::string Le16(size_t value) {
  return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF)};
}

std::string Record(int number, const std::string& text) {
  return Le16(4 + text.size()) + Le16(static_cast<size_t>(number)) + text;
}

// The listing goes into one buffer, overwritten on every run.
struct MemorySink {
  char text[4 << 20];
  size_t used;
};

void AppendToMemory(void* context, const char* text, size_t size) {
  MemorySink* sink = static_cast<MemorySink*>(context);
  if (size > sizeof sink->text - sink->used) size = sizeof sink->text - sink->used;
  std::memcpy(sink->text + sink->used, text, size);
  sink->used += size;
}

MemorySink gSink;

void RunListing(benchmark::State& state, const std::string& program) {
  for (auto _ : state) {
    gSink.used = 0;
    ListBasicProgram(reinterpret_cast<const uint8_t*>(program.data()),
                     static_cast<uint32_t>(program.size()), AppendToMemory, &gSink);
    benchmark::DoNotOptimize(gSink.used);
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * program.size()));
  state.counters["listing_bytes"] = static_cast<double>(gSink.used);
}

// One line of 65535 bytes (MZ-700 BASIC): PRINT 1 + 3.1415926: PRINT 1 + ...
std::string SingleLineProgram() {
  const std::string unit = "\x8F\x20\x0B\x01\x00\xF7\x15\x82\x49\x0F\xDA\x9E\x3A";
  std::string text;
  while (4 + text.size() + unit.size() + 1 <= kProgramSize) text += unit;
  text += std::string(kProgramSize - 4 - 1 - text.size(), 'A');
  text.push_back('\0');
  return Le16(kProgramSize) + Le16(10) + text;
}

// Short lines of MZ-700 BASIC with tokens, constants and strings, up to 65535 bytes.
std::string ShortLinesProgram() {
  const std::string texts[] = {
      std::string("\x41\xF4\x42\xF7\x0B\x01\x00\x00", 8),               // A =B + 1
      std::string("\x8F\x22\x48\x92\xB8\xB8\xB7\x22\x3B\x41\x00", 11),  // PRINT"Hello";A
      std::string("\x93\x41\xF5\x0B\x0A\x00\xE2\x0B\xE8\x03\x00", 11),  // IF A > 10 THEN 1000
      std::string("\x41\xF4\x15\x82\x49\x0F\xDA\x9E\xFC\xFF\x82\x28\x42\x29\x00", 15),
      std::string("\x94\x20\x31\x2C\x32\x2C\x33\x3A\x8D\x49\xF4\x0B\x01\x00\xE0\x0B\x09\x00\x00",
                  19),
  };
  std::string program;
  int number = 10;
  for (size_t i = 0;; ++i) {
    std::string record = Record(number, texts[i % 5]);
    if (program.size() + record.size() + 2 > kProgramSize) break;
    program += record;
    number += 10;
  }
  program += Le16(0);
  program += std::string(kProgramSize - program.size(), '\0');
  return program;
}

// Short lines full of constants in the exponent form, the formatter's slow path.
std::string ExponentConstantsProgram() {
  const std::string constant = "\x15\x01\x00\x00\x00\x2C\x15\xFF\xFF\xFF\xFF\x2C";
  std::string program;
  for (int number = 1;; ++number) {
    std::string record = Record(number, constant + constant + constant + std::string(1, '\0'));
    if (program.size() + record.size() + 2 > kProgramSize) break;
    program += record;
  }
  program += Le16(0);
  program += std::string(kProgramSize - program.size(), '\0');
  return program;
}

void BM_SingleLine(benchmark::State& state) { RunListing(state, SingleLineProgram()); }
void BM_ShortLines(benchmark::State& state) { RunListing(state, ShortLinesProgram()); }
void BM_ExponentConstants(benchmark::State& state) {
  RunListing(state, ExponentConstantsProgram());
}

BENCHMARK(BM_SingleLine)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ShortLines)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ExponentConstants)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
