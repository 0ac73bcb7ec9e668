// urlDecode on query-string values as a browser encodes them, beside copying
// the same text (the least any decoder does).
#include <benchmark/benchmark.h>

#include <string>

#include "helper/frontend/request_vars.h"

namespace {

// A capture directory with its '/' and blanks escaped, repeated to `bytes`.
std::string EncodedText(size_t bytes) {
  const std::string piece = "%2Fvolume1%2Fcaptures+site+A%2Fport%5F1";
  std::string text;
  while (text.size() < bytes) text += piece;
  text.resize(bytes);
  return text;
}

void BM_UrlDecode(benchmark::State& state) {
  const std::string text = EncodedText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string decoded = urlDecode(text);
    benchmark::DoNotOptimize(decoded.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_UrlDecodeBaselineCopy(benchmark::State& state) {
  const std::string text = EncodedText(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    std::string copy = text;
    benchmark::DoNotOptimize(copy.data());
  }
  state.SetBytesProcessed(state.iterations() * state.range(0));
}

BENCHMARK(BM_UrlDecode)->Arg(64)->Arg(4096);
BENCHMARK(BM_UrlDecodeBaselineCopy)->Arg(64)->Arg(4096);

}  // namespace
