// POSIX implementation of the platform layer.
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace ovrix::platform {

void* GlobalAlloc(std::size_t size) { return std::calloc(size, 1); }
void GlobalFree(void* block) { std::free(block); }
void* HeapAlloc(std::size_t size) { return std::calloc(size, 1); }
void HeapFree(void* block) { std::free(block); }

std::FILE* OpenStream(const char* name, const char* mode) {
  // glibc's 'e' flag opens with O_CLOEXEC, so no library file leaks into a
  // program that the host (or the helper bridge) starts.
  char withCloexec[16];
  std::size_t len = std::strlen(mode);
  if (len + 2 > sizeof withCloexec) return nullptr;
  std::memcpy(withCloexec, mode, len);
  withCloexec[len] = 'e';
  withCloexec[len + 1] = '\0';
  return std::fopen(name, withCloexec);
}

int CloseStream(std::FILE* stream) { return std::fclose(stream); }

int RemoveFile(const char* name) { return std::remove(name); }

const char* TempDirectory() {
  static std::string dir;
  const char* env = std::getenv("TMPDIR");
  dir = (env != nullptr && env[0] != '\0') ? env : "/tmp";
  if (dir.back() != '/') dir.push_back('/');
  return dir.c_str();
}

}  // namespace ovrix::platform
