// Runs a fuzz target without libFuzzer on each saved input of a corpus, then on 5,000 inputs
// derived from them with a fixed seed (bits flipped, words set, tails cut, runs dropped or added).
#include <random>
#include <set>

#include "fuzz_util.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
// A reader must not trust a count that the file cannot hold: an allocation beyond this fails.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=64"; }

int main(int, char** argv) {
  const std::filesystem::directory_iterator dir(argv[1]);
  std::vector<Buf> in;
  for (const auto& p : std::set<std::filesystem::path>(begin(dir), end(dir))) in.push_back(ReadFile(p.string()));
  std::mt19937 rng(20261206);
  auto pick = [&](size_t n) { return n == 0 ? 0 : rng() % n; };
  const uint32_t edge[] = {0, 1, 0x7fffffff, 0x80000000, 0xffffffff, 0x100, 0x01000000};
  for (size_t i = 0; i < in.size() + 5000; ++i) {
    Buf b = in.at(i < in.size() ? i : pick(in.size()));
    for (size_t k = i < in.size() ? 0 : 1 + pick(4); k > 0; --k) {
      const Buf& o = in[pick(in.size())];
      const size_t op = pick(5), at = pick(b.size() + 1), len = 1 + pick(16), s = pick(o.size());
      const uint32_t w = pick(2) ? edge[pick(7)] : uint32_t(rng());
      if (op == 0 && at < b.size()) b[at] ^= uint8_t(1u << pick(8));
      for (size_t j = 0; op == 1 && j < 4 && at + j < b.size(); ++j) b[at + j] = w >> 8 * j;
      if (op == 2) b.resize(at);
      if (op == 3) b.erase(b.begin() + at, b.begin() + std::min(at + len, b.size()));
      if (op == 4) b.insert(b.begin() + at, o.data() + s, o.data() + std::min(s + len, o.size()));
    }
    LLVMFuzzerTestOneInput(b.data(), b.size());
  }
}
