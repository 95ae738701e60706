#include "fuzz_util.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OVRIX_FUZZ_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OVRIX_FUZZ_ASAN 1
#endif
#ifdef OVRIX_FUZZ_ASAN
// The sanitizer runtime's allocator statistics (GCC ships the runtime but
// not its header).
extern "C" size_t __sanitizer_get_current_allocated_bytes(void);
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*onMalloc)(const volatile void*, size_t),
                                                         void (*onFree)(const volatile void*));
#endif

namespace ovrix::fuzz {

void Check(bool cond, const char* what, const char* file, int line) {
  if (cond) return;
  std::fprintf(stderr, "%s:%d: check failed: %s\n", file, line, what);
  std::abort();
}

namespace {
std::string* g_dir = nullptr;

void RemoveScratch() {
  if (g_dir == nullptr) return;
  std::error_code ec;
  std::filesystem::remove_all(*g_dir, ec);
}
}  // namespace

const std::string& ScratchDir() {
  if (g_dir == nullptr) {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base != nullptr && base[0] != '\0' ? base : "/tmp") + "/ovrix32-fuzz-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (mkdtemp(buf.data()) == nullptr) {
      std::perror("mkdtemp");
      std::abort();
    }
    g_dir = new std::string(buf.data());
    setenv("TMPDIR", g_dir->c_str(), 1);
    std::atexit(RemoveScratch);
  }
  return *g_dir;
}

std::string ScratchPath(const std::string& name) { return ScratchDir() + "/" + name; }

void WriteBytes(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  Check(f != nullptr, "scratch file can be written", __FILE__, __LINE__);
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint8_t Reader::U8() { return pos_ < size_ ? data_[pos_++] : 0; }
uint16_t Reader::U16() { return static_cast<uint16_t>(U8() | U8() << 8); }
uint32_t Reader::U32() {
  uint32_t v = 0;
  for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(U8()) << (8 * i);
  return v;
}
double Reader::Double() {
  uint64_t bits = 0;
  for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(U8()) << (8 * i);
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}
std::vector<uint8_t> Reader::Bytes(size_t n) {
  n = n < Remaining() ? n : Remaining();
  std::vector<uint8_t> out(data_ + pos_, data_ + pos_ + n);
  pos_ += n;
  return out;
}

// --- heap watch --------------------------------------------------------------
namespace {
bool g_watching = false;
size_t g_base = 0;
size_t g_peak = 0;

#ifdef OVRIX_FUZZ_ASAN
void OnMalloc(const volatile void*, size_t) {
  if (!g_watching) return;
  size_t now = __sanitizer_get_current_allocated_bytes();
  if (now > g_peak) g_peak = now;
}
void OnFree(const volatile void*) {}

bool InstallHooks() {
  __sanitizer_install_malloc_and_free_hooks(OnMalloc, OnFree);
  return true;
}
#endif
}  // namespace

bool HeapWatch::Available() {
#ifdef OVRIX_FUZZ_ASAN
  static bool installed = InstallHooks();
  return installed;
#else
  return false;
#endif
}

HeapWatch::HeapWatch() {
#ifdef OVRIX_FUZZ_ASAN
  if (Available()) {
    g_base = __sanitizer_get_current_allocated_bytes();
    g_peak = g_base;
    g_watching = true;
  }
#endif
}

HeapWatch::~HeapWatch() { g_watching = false; }

size_t HeapWatch::PeakGrowth() const { return g_peak > g_base ? g_peak - g_base : 0; }

}  // namespace ovrix::fuzz
