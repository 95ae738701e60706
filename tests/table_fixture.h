// Helpers for the attribute-table tests: .dbf files built byte by byte, a
// fixture that owns one table handle, and read-only files.
#pragma once

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "ovrix32.h"
#include "platform/mem.h"
#include "table/dbtable.h"
#include "test_util.h"

namespace ovrix::test {

struct FieldSpec {
  std::string name;  // up to 11 bytes are stored
  char type;
  int width;
  int decimals = 0;
};

// A .dbf as another writer might make it: header, descriptors, 0x0D, the
// records as given (each with its deletion flag) and, if asked, 0x1A.
inline std::vector<uint8_t> DbfBytes(const std::vector<FieldSpec>& fields, const std::vector<std::string>& records,
                                     bool eofByte = true, uint8_t version = 0x03) {
  int recordSize = 1;
  for (const FieldSpec& f : fields) recordSize += f.width;
  const int headerSize = 32 * static_cast<int>(fields.size()) + 33;
  std::vector<uint8_t> b(static_cast<size_t>(headerSize), 0);
  b[0] = version;
  b[1] = 124;
  b[2] = 6;
  b[3] = 15;
  PutLE32(b, 4, static_cast<int32_t>(records.size()));
  b[8] = static_cast<uint8_t>(headerSize);
  b[9] = static_cast<uint8_t>(headerSize >> 8);
  b[10] = static_cast<uint8_t>(recordSize);
  b[11] = static_cast<uint8_t>(recordSize >> 8);
  for (size_t i = 0; i < fields.size(); ++i) {
    const size_t at = 32 + 32 * i;
    std::memcpy(&b[at], fields[i].name.data(), std::min<size_t>(fields[i].name.size(), 11));
    b[at + 11] = static_cast<uint8_t>(fields[i].type);
    b[at + 16] = static_cast<uint8_t>(fields[i].width);
    b[at + 17] = static_cast<uint8_t>(fields[i].decimals);
  }
  b[static_cast<size_t>(headerSize) - 1] = 0x0D;
  for (const std::string& r : records) b.insert(b.end(), r.begin(), r.end());
  if (eofByte) b.push_back(0x1A);
  return b;
}

inline void PutLE16(std::vector<uint8_t>& b, size_t at, int v) {
  b.at(at) = static_cast<uint8_t>(v);
  b.at(at + 1) = static_cast<uint8_t>(v >> 8);
}

inline std::string Bytes(const std::vector<uint8_t>& b, size_t at, size_t n) {
  return std::string(b.begin() + static_cast<long>(at), b.begin() + static_cast<long>(at + n));
}

// A fixture with one live table handle and a check that no block leaks.
class TableTest : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    liveBefore_ = Mem_LiveBlocks();
    t = Db_Create();
    ASSERT_NE(t, nullptr);
  }
  void TearDown() override {
    Db_Destroy(t);
    EXPECT_EQ(Mem_LiveBlocks(), liveBefore_) << "blocks leaked";
    for (const std::string& p : immutable_) SetImmutable(p, false);
    TempDirTest::TearDown();
  }

  std::string Put(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::string p = Path(name);
    WriteFile(p, bytes);
    return p;
  }

  struct Def {
    const char* name;
    int32_t type, width, decimals;
  };
  // Defines a new table of these fields in the test directory and leaves it
  // open; returns its path.
  std::string Define(const std::string& name, std::initializer_list<Def> fields) {
    const std::string p = Path(name);
    EXPECT_EQ(Db_NewBeginDef(t, p.c_str()), 1);
    for (const Def& f : fields) EXPECT_EQ(Db_NewAddField(t, f.name, f.type, f.width, f.decimals), 1) << f.name;
    EXPECT_EQ(Db_NewEndDef(t), 1);
    return p;
  }

  // A table of three records: NAME C 8, POP N 6, OK L 1.
  std::string ThreeRecords() {
    return Put("three.dbf", DbfBytes({{"NAME", 'C', 8}, {"POP", 'N', 6}, {"OK", 'L', 1}},
                                     {" Lisbon     550T", "*Oslo       700F", " Tallinn    450?"}));
  }

  // Makes the file impossible to open for writing, even for root (through
  // the immutable flag). False when the file system does not allow that.
  bool MakeReadOnly(const std::string& p) {
    chmod(p.c_str(), 0444);
    if (!Writable(p)) return true;
    if (!SetImmutable(p, true)) return false;
    immutable_.push_back(p);
    return !Writable(p);
  }

  static std::string Text(const char* s) { return s == nullptr ? std::string("<null>") : std::string(s); }

  DbTable* t = nullptr;

 private:
  static bool Writable(const std::string& p) {
    int fd = open(p.c_str(), O_RDWR);
    if (fd < 0) return false;
    close(fd);
    return true;
  }
  static bool SetImmutable(const std::string& p, bool on) {
    int fd = open(p.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    ok = ok && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return ok;
  }
  int64_t liveBefore_ = 0;
  std::vector<std::string> immutable_;
};

}  // namespace ovrix::test
