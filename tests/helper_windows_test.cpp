// The Windows helper program, started by the library with WinExec: a rename never replaces a file,
// and a translation's answer is read from the helper's real window. The two message boxes that a
// translation shows are answered by the test.
#define WIN32_LEAN_AND_MEAN  // without winsock, whose NO_DATA is another value
#include <windows.h>

#include <atomic>
#include <thread>

#include "ovrix32.h"
#include "test_util.h"

namespace ovrix {
namespace {

TEST(HelperWindows, RenamesAndTranslatesThroughTheRealHelper) {
  test::SetEnv("PATH", (std::string(VELQLFN_DIR) + ";" + std::getenv("PATH")).c_str());
  const std::string dir = test::MakeTempDir(std::filesystem::temp_directory_path().string() + "ovx");
  const std::string a = dir + "\\a.txt", b = dir + "\\b.txt", c = dir + "\\c.txt";
  test::WriteFile(a, {'a'}), test::WriteFile(b, {'b'});
  auto waitFor = [](auto done) {
    for (int i = 0; i < 500 && !done(); ++i) Sleep(10);
    return done();
  };
  EXPECT_EQ(Velq_RenameFile(a.c_str(), b.c_str()), 33);
  Sleep(500);  // the helper has refused by now: b stays, a too
  EXPECT_TRUE(test::ReadFile(b) == test::Buf{'b'} && test::FileExists(a));
  EXPECT_EQ(Velq_RenameFile(a.c_str(), c.c_str()), 33);
  EXPECT_TRUE(waitFor([&] { return !test::FileExists(a) && test::FileExists(c); }));
  std::atomic<bool> done{false};
  std::atomic<int> boxes{0};
  std::thread answer([&] {  // closes each message box ("short", then "long") once it shows
    while (!done)
      if (HWND box = FindWindowA("#32770", nullptr); box && PostMessageA(box, WM_COMMAND, IDOK, 0))
        ++boxes, Sleep(100);
      else
        Sleep(10);
  });
  char shortOut[600] = "", longOut[600] = "";
  EXPECT_EQ(Velq_TranslateFilename(c.c_str(), shortOut, longOut), 1);
  done = true, answer.join();
  const std::string l = longOut;
  EXPECT_TRUE(_stricmp(shortOut, "c.txt") == 0 && l.size() > 6 && _stricmp(&l[l.size() - 6], "\\c.txt") == 0)
      << shortOut << " | " << l;
  EXPECT_GE(boxes.load(), 2);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace ovrix
