// Byte-order stream I/O.
#include <cstdio>
#include <cstring>

#include "shape/io.h"
#include "test_util.h"

namespace ovrix {
namespace {

std::FILE* MemStream(const std::vector<uint8_t>& bytes) {
  std::FILE* f = std::tmpfile();
  if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);  // data() may be null when empty
  std::rewind(f);
  return f;
}

TEST(Io, BigEndianWriteConvertsOnStreamAndRestoresBuffer) {
  std::FILE* f = std::tmpfile();
  int32_t v[2] = {9994, -2};
  ASSERT_EQ(Io_WriteInt32BE(f, v, 2), 1);
  EXPECT_EQ(v[0], 9994);
  EXPECT_EQ(v[1], -2);
  std::rewind(f);
  unsigned char raw[8];
  ASSERT_EQ(std::fread(raw, 1, 8, f), 8u);
  const unsigned char want[8] = {0x00, 0x00, 0x27, 0x0A, 0xFF, 0xFF, 0xFF, 0xFE};
  EXPECT_EQ(0, std::memcmp(raw, want, 8));
  std::fclose(f);
}

TEST(Io, ReadsBothOrders) {
  std::FILE* f = MemStream({0x00, 0x00, 0x27, 0x0A, 0x00, 0x00, 0x27, 0x0A});
  int32_t be = 0, le = 0;
  EXPECT_EQ(Io_ReadInt32BE(f, &be, 1), 1);
  EXPECT_EQ(Io_ReadInt32LE(f, &le, 1), 1);
  EXPECT_EQ(be, 9994);
  EXPECT_EQ(le, Io_SwapBytes32(9994));
  std::fclose(f);
}

TEST(Io, ShortBigEndianReadFailsAndLeavesBytesUnconverted) {
  std::FILE* f = MemStream({1, 2, 3, 4, 5, 6});
  int32_t v[2] = {0, 0};
  EXPECT_EQ(Io_ReadInt32BE(f, v, 2), 0);
  int32_t firstRaw;
  const unsigned char raw[4] = {1, 2, 3, 4};
  std::memcpy(&firstRaw, raw, 4);
  EXPECT_EQ(v[0], firstRaw);
  std::fclose(f);
}

TEST(Io, ZeroCountsTransferNothing) {
  std::FILE* f = MemStream({});
  int32_t i = 7;
  double d = 1.5;
  EXPECT_EQ(Io_ReadInt32BE(f, &i, 0), 1);
  EXPECT_EQ(Io_ReadInt32LE(f, &i, 0), 1);
  EXPECT_EQ(Io_ReadDoubles(f, &d, 0), 1);
  EXPECT_EQ(Io_WriteInt32BE(f, &i, 0), 1);
  EXPECT_EQ(Io_WriteDoubles(f, &d, 0), 1);
  EXPECT_EQ(i, 7);
  EXPECT_EQ(std::ftell(f), 0);
  std::fclose(f);
}

TEST(Io, FailedBigEndianWriteStillRestoresBuffer) {
  std::FILE* f = std::fopen("/dev/null", "rb");  // not open for writing
  ASSERT_NE(f, nullptr);
  int32_t v[3] = {1, 9994, -7};
  EXPECT_EQ(Io_WriteInt32BE(f, v, 3), 0);
  EXPECT_EQ(v[0], 1);
  EXPECT_EQ(v[1], 9994);
  EXPECT_EQ(v[2], -7);
  std::fclose(f);
}

TEST(Io, DoublesAreLittleEndianRuns) {
  std::FILE* f = std::tmpfile();
  const double in[3] = {1.0, -2.5, 9.9e300};
  ASSERT_EQ(Io_WriteDoubles(f, in, 3), 1);
  std::rewind(f);
  std::vector<uint8_t> bytes(24);
  ASSERT_EQ(std::fread(bytes.data(), 1, 24, f), 24u);
  EXPECT_EQ(test::LEDouble(bytes, 8), -2.5);
  std::rewind(f);
  double out[3];
  ASSERT_EQ(Io_ReadDoubles(f, out, 3), 1);
  EXPECT_EQ(0, std::memcmp(in, out, sizeof in));
  EXPECT_EQ(Io_ReadDoubles(f, out, 1), 0);
  std::fclose(f);
}

}  // namespace
}  // namespace ovrix
