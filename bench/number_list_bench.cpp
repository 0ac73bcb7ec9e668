// The status command's number-list writer (AppendSeriesValue, a series' text
// in blocks) on a series of growing counters, beside std::to_chars writing the
// same list into a buffer sized in advance (the least the job takes).
#include <benchmark/benchmark.h>

#include <charconv>
#include <cstdint>
#include <vector>

#include "helper/frontend/memory_budget.h"
#include "helper/status/stats_series.h"

namespace {

// Byte counters of a busy port, one sample a second.
std::vector<uint64_t> Counters(size_t count) {
  std::vector<uint64_t> values(count);
  for (size_t i = 0; i < count; ++i) values[i] = 1700000000000 + i * 650013;
  return values;
}

void BM_SeriesText(benchmark::State& state) {
  const std::vector<uint64_t> values = Counters(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    // Each round is one request's answer: the blocks it grows are charged
    // against the request's budget, which would otherwise fill up over the
    // rounds.
    SetAnswerBudget(kMaxAnswerBudget);
    SeriesText text;
    for (uint64_t value : values) AppendSeriesValue(text, value);
    benchmark::DoNotOptimize(text.blocks.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SeriesTextBaselineToChars(benchmark::State& state) {
  const std::vector<uint64_t> values = Counters(static_cast<size_t>(state.range(0)));
  std::vector<char> buffer(values.size() * 21);
  for (auto _ : state) {
    char* end = buffer.data();
    for (uint64_t value : values) {
      end = std::to_chars(end, buffer.data() + buffer.size(), value).ptr;
      *end++ = ',';
    }
    benchmark::DoNotOptimize(end);
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_SeriesText)->Arg(1000)->Arg(100000);
BENCHMARK(BM_SeriesTextBaselineToChars)->Arg(1000)->Arg(100000);

}  // namespace
