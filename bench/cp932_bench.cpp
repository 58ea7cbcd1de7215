// Code page 932 codec speed.
//   cp932_bench roundtrip IN OUT   decodes the whole of IN, encodes it again into
//                                  OUT and prints the two times on stderr (also
//                                  when started through a link named cp932_roundtrip)
//   cp932_bench [benchmark flags]  micro-benchmarks on generated receipt text
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>

#include "core/cp932.h"
#include "receipt_gen.h"

#if __has_include(<benchmark/benchmark.h>)
#include <benchmark/benchmark.h>
#define TAVO_HAVE_BENCHMARK 1
#endif

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

// Streams the file through the codec in blocks of about 4 MB. A block ends
// after a byte below 40 (LF first): no such byte can be part of a double-byte
// code, so every block decodes on its own.
int RoundTrip(const char* inPath, const char* outPath) {
  const auto t0 = Clock::now();
  std::FILE* in = std::fopen(inPath, "rb");
  if (!in) {
    std::fprintf(stderr, "cannot open %s\n", inPath);
    return 1;
  }
  std::FILE* out = std::fopen(outPath, "wb");
  if (!out) {
    std::fprintf(stderr, "cannot create %s\n", outPath);
    std::fclose(in);
    return 1;
  }
  constexpr std::size_t kBlock = 256 << 10;
  std::string buf;
  std::size_t have = 0;  // bytes carried over from the last block
  tavo::Text text;
  std::string again;
  double decode = 0, encode = 0;
  std::uint64_t total = 0;
  bool same = true;
  bool eof = false;
  while (!eof || have > 0) {
    buf.resize(have + kBlock);
    const std::size_t got = std::fread(buf.data() + have, 1, kBlock, in);
    eof = got < kBlock;
    const std::size_t size = have + got;
    std::size_t cut = size;
    if (!eof) {
      cut = buf.rfind('\n', size - 1) + 1;  // npos + 1 == 0
      for (std::size_t i = size; cut == 0 && i-- > 0;)
        if (static_cast<unsigned char>(buf[i]) < 0x40) cut = i + 1;
      if (cut == 0) cut = size;  // no safe place in 4 MB: the bytes still come out the same
    }
    const std::string_view block(buf.data(), cut);
    auto t = Clock::now();
    text.clear();
    tavo::Cp932DecodeAppend(block, text);
    decode += Seconds(t);
    t = Clock::now();
    again.clear();
    tavo::Cp932EncodeAppend(text, again);
    encode += Seconds(t);
    same = same && again == block;
    total += cut;
    if (std::fwrite(again.data(), 1, again.size(), out) != again.size()) {
      std::fprintf(stderr, "cannot write %s\n", outPath);
      std::fclose(in);
      std::fclose(out);
      return 1;
    }
    have = size - cut;
    std::memmove(buf.data(), buf.data() + cut, have);
    if (eof && have == 0) break;
  }
  std::fclose(in);
  if (std::fclose(out) != 0) {
    std::fprintf(stderr, "cannot write %s\n", outPath);
    return 1;
  }
  std::fprintf(stderr,
               "%.1f MB: decode %.3f s (%.0f MB/s), encode %.3f s (%.0f MB/s), total %.3f s%s\n",
               total / 1e6, decode, total / 1e6 / decode, encode, total / 1e6 / encode, Seconds(t0),
               same ? "" : " (output differs from input)");
  return 0;
}

#ifdef TAVO_HAVE_BENCHMARK
const std::string& Sample() {
  static const std::string sample = [] {
    std::string s;
    tavo::bench::ReceiptGenerator gen(5);
    gen.Generate(4'000'000, [&](std::string_view b) { s.append(b); });
    return s;
  }();
  return sample;
}

void BM_Decode(benchmark::State& state) {
  const std::string& bytes = Sample();
  for (auto _ : state) benchmark::DoNotOptimize(tavo::Cp932Decode(bytes));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_Decode);

void BM_Encode(benchmark::State& state) {
  const tavo::Text text = tavo::Cp932Decode(Sample());
  for (auto _ : state) benchmark::DoNotOptimize(tavo::Cp932Encode(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Sample().size()));
}
BENCHMARK(BM_Encode);

void BM_CanEncode(benchmark::State& state) {
  const tavo::Text text = tavo::Cp932Decode(Sample());
  for (auto _ : state) benchmark::DoNotOptimize(tavo::Cp932CanEncode(text));
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * Sample().size()));
}
BENCHMARK(BM_CanEncode);

// Record by record, as the line reader and WrtSet use the codec.
void BM_RoundTripPerLine(benchmark::State& state) {
  const std::string& bytes = Sample();
  for (auto _ : state) {
    std::string out;
    out.reserve(bytes.size());
    tavo::Text line;
    std::size_t pos = 0;
    while (pos < bytes.size()) {
      std::size_t lf = bytes.find('\n', pos);
      if (lf == std::string::npos) lf = bytes.size();
      line.clear();
      tavo::Cp932DecodeAppend(std::string_view(bytes).substr(pos, lf - pos), line);
      tavo::Cp932EncodeAppend(line, out);
      out += '\n';
      pos = lf + 1;
    }
    benchmark::DoNotOptimize(out);
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes.size()));
}
BENCHMARK(BM_RoundTripPerLine);
#endif

}  // namespace

int main(int argc, char** argv) {
  const std::string self = std::filesystem::path(argv[0]).stem().string();
  if (self == "cp932_roundtrip" && argc == 3) return RoundTrip(argv[1], argv[2]);
  if (argc >= 2 && std::strcmp(argv[1], "roundtrip") == 0) {
    if (argc != 4) {
      std::fprintf(stderr, "usage: cp932_bench roundtrip IN OUT\n");
      return 2;
    }
    return RoundTrip(argv[2], argv[3]);
  }
#ifdef TAVO_HAVE_BENCHMARK
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
#else
  std::fprintf(stderr, "usage: cp932_bench roundtrip IN OUT (built without Google Benchmark)\n");
  return 2;
#endif
}
