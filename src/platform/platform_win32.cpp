// Windows implementation of the platform layer, on the system's own calls:
// movable global memory, the process heap, Win32 files with 64-bit offsets,
// placeholders in C:\TEMP\, WinExec, windows found by class and read by
// title, and message boxes.
#include "platform/platform.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>

#include <algorithm>

#include "platform/file.h"

namespace ovrix::platform {
namespace {
HANDLE Handle(intptr_t file) { return reinterpret_cast<HANDLE>(file); }
// One transfer moves at most this much; larger runs take several.
constexpr int64_t kMaxTransfer = int64_t{1} << 30;
}  // namespace

// A global block stays locked from allocation to release, so its address is
// fixed; GlobalHandle finds its handle again from that address.
void* GlobalAlloc(std::size_t size) {
  HGLOBAL handle = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, size);
  if (handle == nullptr) return nullptr;
  void* block = ::GlobalLock(handle);
  if (block == nullptr) ::GlobalFree(handle);
  return block;
}

void GlobalFree(void* block) {
  HGLOBAL handle = ::GlobalHandle(block);
  if (handle == nullptr) return;
  ::GlobalUnlock(handle);
  ::GlobalFree(handle);
}

void* HeapAlloc(std::size_t size) { return ::HeapAlloc(::GetProcessHeap(), HEAP_ZERO_MEMORY, size); }
void HeapFree(void* block) { ::HeapFree(::GetProcessHeap(), 0, block); }

intptr_t OsOpen(const char* name, int32_t mode) {
  const DWORD access = mode == kFileRead ? GENERIC_READ : mode == kFileUpdate ? GENERIC_READ | GENERIC_WRITE
                                                                               : GENERIC_WRITE;
  SECURITY_ATTRIBUTES noInherit = {sizeof noInherit, nullptr, FALSE};
  HANDLE h = ::CreateFileA(name, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &noInherit,
                           mode == kFileCreate ? CREATE_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  return h == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<intptr_t>(h);
}

bool OsClose(intptr_t file) { return ::CloseHandle(Handle(file)) != 0; }

// A transfer at an offset given in an OVERLAPPED structure on a handle
// opened for synchronous use: the call completes before it returns.
int64_t OsReadAt(intptr_t file, void* buf, int64_t n, int64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  DWORD got = 0;
  if (!::ReadFile(Handle(file), buf, static_cast<DWORD>(std::min(n, kMaxTransfer)), &got, &at))
    return ::GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
  return got;
}

int64_t OsWriteAt(intptr_t file, const void* buf, int64_t n, int64_t offset) {
  OVERLAPPED at = {};
  at.Offset = static_cast<DWORD>(offset);
  at.OffsetHigh = static_cast<DWORD>(static_cast<uint64_t>(offset) >> 32);
  DWORD put = 0;
  if (!::WriteFile(Handle(file), buf, static_cast<DWORD>(std::min(n, kMaxTransfer)), &put, &at)) return -1;
  return put;
}

int64_t OsSize(intptr_t file) {
  LARGE_INTEGER size;
  return ::GetFileSizeEx(Handle(file), &size) ? size.QuadPart : -1;
}

bool OsIdentity(intptr_t file, uint64_t id[2]) {
  BY_HANDLE_FILE_INFORMATION info;
  if (!::GetFileInformationByHandle(Handle(file), &info)) return false;
  id[0] = info.dwVolumeSerialNumber;
  id[1] = (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow;
  return true;
}

int OsRemove(const char* name) { return ::DeleteFileA(name) ? 0 : -1; }

int LastError() { return static_cast<int>(::GetLastError()); }
void SetLastError(int error) { ::SetLastError(static_cast<DWORD>(error)); }
bool LastErrorDeniesWriting() {
  const DWORD error = ::GetLastError();
  return error == ERROR_ACCESS_DENIED || error == ERROR_WRITE_PROTECT || error == ERROR_SHARING_VIOLATION;
}

const char* TempDirectory() { return "C:\\TEMP\\"; }

void LocalDate(int* day, int* month, int* yearSince1900) {
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  *day = now.wDay;
  *month = now.wMonth;
  *yearSince1900 = now.wYear - 1900;
}

// WinExec returns a value above 31 once the program runs, else the reason.
int StartProgram(const char* commandLine) {
  const UINT result = ::WinExec(commandLine, SW_SHOWNORMAL);
  return result > 31 ? kStartStarted : static_cast<int>(result);
}

bool ReadWindowTitle(const char* windowClass, char* title, int size) {
  HWND window = ::FindWindowA(windowClass, nullptr);
  if (window == nullptr) return false;
  title[0] = '\0';
  ::GetWindowTextA(window, title, size);
  return true;
}

// WinExec returns before the program has opened its window: each look-up
// gives it a moment, 20 look-ups in all under half a second.
void PauseBetweenWindowLookups() { ::Sleep(20); }

void ShowMessageBox(const char* title, const char* text) { ::MessageBoxA(nullptr, text, title, MB_OK); }

}  // namespace ovrix::platform
