// velqlfn for Windows: renames files and translates file names for the
// ovrix32 library, which starts it with WinExec and one argument.
//   velqlfn ren<old>*<new>   renames <old> to <new>; an existing <new> is never replaced
//   velqlfn trn<name>        answers "<short>*<long>" for the existing file <name> with a
//                            window of class "velq_ovrix16_lfn_helper" whose title is the
//                            answer, withdrawn again half a second later
// Exit codes as on POSIX systems: 0 done; 1 bad argument; 2 no such file; 3 <new> exists;
// 4 the answer does not fit a title; 5 other failure.
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <string>
#include <string_view>

#include "platform/bridge.h"

namespace {

enum Exit { kDone = 0, kUsage = 1, kNoSuchFile = 2, kTargetExists = 3, kNotAnswerable = 4, kFailed = 5 };

// How long the answer window stays for the library to find.
constexpr UINT kAnswerLifeMs = 500;

int ForError(DWORD error) {
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kNoSuchFile;
  if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return kTargetExists;
  return kFailed;
}

int Rename(std::string_view spec) {
  const std::size_t star = spec.find('*');
  if (star == std::string_view::npos || star == 0 || star + 1 == spec.size()) return kUsage;
  const std::string from(spec.substr(0, star)), to(spec.substr(star + 1));
  // Without MOVEFILE_REPLACE_EXISTING an existing target is never replaced.
  return ::MoveFileExA(from.c_str(), to.c_str(), 0) ? kDone : ForError(::GetLastError());
}

// The system's long and short forms of an existing file's path.
bool Forms(const std::string& name, std::string* shortName, std::string* longName) {
  char full[MAX_PATH], longPath[MAX_PATH], shortPath[MAX_PATH];
  const DWORD n = ::GetFullPathNameA(name.c_str(), MAX_PATH, full, nullptr);
  if (n == 0 || n >= MAX_PATH) return false;
  const DWORD l = ::GetLongPathNameA(full, longPath, MAX_PATH);
  const DWORD s = ::GetShortPathNameA(full, shortPath, MAX_PATH);
  if (l == 0 || l >= MAX_PATH || s == 0 || s >= MAX_PATH) return false;
  *longName = longPath;
  const std::string shortFull = shortPath;
  const std::size_t slash = shortFull.find_last_of("\\/");
  *shortName = slash == std::string::npos ? shortFull : shortFull.substr(slash + 1);
  return true;
}

LRESULT CALLBACK AnswerWindow(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_TIMER) {
    ::DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(window, message, w, l);
}

int Translate(std::string_view nameArg) {
  if (nameArg.empty()) return kUsage;
  std::string shortName, longName;
  if (!Forms(std::string(nameArg), &shortName, &longName)) return ForError(::GetLastError());
  const std::string answer = shortName + "*" + longName;
  if (answer.size() > static_cast<std::size_t>(ovrix::kBridgeAnswerMax)) return kNotAnswerable;
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = AnswerWindow;
  windowClass.hInstance = ::GetModuleHandleA(nullptr);
  windowClass.lpszClassName = ovrix::kHelperWindowClass;
  if (!::RegisterClassA(&windowClass)) return kFailed;
  HWND window = ::CreateWindowA(ovrix::kHelperWindowClass, answer.c_str(), WS_OVERLAPPED, 0, 0, 0, 0,
                                nullptr, nullptr, windowClass.hInstance, nullptr);
  if (window == nullptr || !::SetTimer(window, 1, kAnswerLifeMs, nullptr)) return kFailed;
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) ::DispatchMessageA(&message);
  return kDone;
}

}  // namespace

int main() {
  // The argument is the rest of the command line after the first blank, unchanged (the C
  // runtime's argv would split it at blanks inside the names).
  const std::string_view line = ::GetCommandLineA();
  const std::size_t blank = line.find(' ');
  const std::string_view arg = blank == std::string_view::npos ? "" : line.substr(blank + 1);
  if (arg.substr(0, 3) == "ren") return Rename(arg.substr(3));
  if (arg.substr(0, 3) == "trn") return Translate(arg.substr(3));
  return kUsage;
}
