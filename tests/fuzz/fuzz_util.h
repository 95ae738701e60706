// Helpers of the fuzz targets: hard checks, scratch files, readers of fuzz input and file bytes.
#pragma once
#include <filesystem>

#include "../bytes.h"
#include "families.h"
#include "platform/mem.h"
#include "platform/platform.h"

using namespace ovrix::hardening;
using ovrix::test::Buf, ovrix::test::ReadFile, ovrix::test::WriteFile;

// A wrong result aborts like a crash, so that libFuzzer keeps the input.
#define CHECK(c) ((c) ? (void)0 : (fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #c), abort()))

// `name` in a scratch directory (in memory where possible; the library's temporary one too).
inline std::string Scratch(const std::string& name) {
  namespace fs = std::filesystem;
  static const std::string dir = ovrix::test::MakeTempDir(
      (fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path()).string() + "/ovrix");
  static const bool made = !dir.empty() && (ovrix::test::SetEnv("TMPDIR", dir.c_str()), true) &&
                           (fs::create_directories(ovrix::platform::TempDirectory()), true) &&
                           !atexit([] { std::filesystem::remove_all(dir); });
  return CHECK(made), dir + "/" + name; }
// Fields read from untrusted bytes: 0 past the end.
template <class T = int32_t> T Le(const Buf& b, size_t at, T v = {}) {
  return at + sizeof v <= b.size() ? (memcpy(&v, &b[at], sizeof v), v) : v; }
inline size_t Be(const Buf& b, size_t at) { return __builtin_bswap32(Le<uint32_t>(b, at)); }

struct Reader {  // takes the input front to back, little-endian; past its end every byte is 0
  const uint8_t* p; size_t n;
  Buf Part(size_t k) { k = std::min(k, n), p += k, n -= k; return {p - k, p}; }
  template <class T = uint64_t>
  T Take(size_t k) { Buf b = Part(k); b.resize(8); return Le<T>(b, 0); }
};

// One input (returns 0), `handles` file handles in reserve or none: memory freed, reserve back.
template <class F> int Guarded(bool reserve, int32_t handles, F&& body) {
  const int64_t live = ovrix::Mem_LiveBlocks();
  CHECK(!reserve || Shp_ReserveFileHandles(handles) == handles);
  body();
  CHECK((!reserve || Shp_FreeFileHandles() >= handles) && !Shp_GetNumReservedFileHandles());
  return CHECK(ovrix::Mem_LiveBlocks() == live), 0; }
