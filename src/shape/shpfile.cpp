#include "shape/shpfile.h"

#include <cstring>

#include "platform/handle_reserve.h"
#include "platform/mem.h"
#include "records/point.h"
#include "shape/error.h"
#include "shape/io.h"

namespace ovrix {
namespace {

struct TypeEntry {
  int32_t code;
  const char* name;
};
constexpr TypeEntry kTypes[] = {
    {SHP_NULL, "None"},          {SHP_POINT, "Point"},          {SHP_POLYLINE, "Polyline"},
    {SHP_POLYGON, "Polygon"},    {SHP_MULTIPOINT, "MultiPoint"}, {SHP_POINTZ, "PointZ"},
    {SHP_POLYLINEZ, "PolylineZ"}, {SHP_POLYGONZ, "PolygonZ"},    {SHP_MULTIPOINTZ, "MultiPointZ"},
    {SHP_POINTM, "PointM"},      {SHP_POLYLINEM, "PolylineM"},  {SHP_POLYGONM, "PolygonM"},
    {SHP_MULTIPOINTM, "MultiPointM"}, {SHP_MULTIPATCH, "MultiPatch"},
};

// Cuts an over-long base name in the caller's string (as the interface
// promises) and builds base + extension into `out`.
void BuildFileName(char* base, const char* ext, char (&out)[kMaxBaseName + 8]) {
  if (std::strlen(base) > static_cast<std::size_t>(kMaxBaseName)) base[kMaxBaseName] = '\0';
  std::size_t len = std::strlen(base);
  std::memcpy(out, base, len);
  std::memcpy(out + len, ext, std::strlen(ext) + 1);
}

void CopyName(ShpFile* shp, const char* base) {
  std::size_t len = std::strlen(base);
  std::memcpy(shp->name, base, len + 1);
}

long StreamSize(std::FILE* s) {
  long here = std::ftell(s);
  if (here < 0 || std::fseek(s, 0, SEEK_END) != 0) return -1;
  long size = std::ftell(s);
  std::fseek(s, here, SEEK_SET);
  return size;
}

// Mode 2: checks that the header lengths describe the files and leaves both
// streams standing where the next record and index entry go. The explicit
// seeks also switch the read-write streams from reading to writing.
bool PrepareAppend(ShpFile* shp) {
  long shpSize = StreamSize(shp->shpStream);
  long shxSize = StreamSize(shp->shxStream);
  int32_t indexWords = 0;
  std::fseek(shp->shxStream, 24, SEEK_SET);
  if (Io_ReadInt32BE(shp->shxStream, &indexWords, 1) == 0) return false;
  int64_t shpBytes = 2 * static_cast<int64_t>(shp->shpLenWords);
  int64_t shxBytes = 2 * static_cast<int64_t>(indexWords);
  if (shpBytes < kHeaderBytes || shpBytes > shpSize) return false;
  if (shxBytes < kHeaderBytes || shxBytes > shxSize || (shxBytes - kHeaderBytes) % 8 != 0) return false;
  if ((shxBytes - kHeaderBytes) / 8 != shp->recordCount) return false;
  // New records go behind the length that the main header gives. The
  // records the index describes must lie inside it, or the first new record
  // would overwrite them (a pair whose main header was never rewritten);
  // point records are also found by their number, so a point file must hold
  // exactly recordCount records of its type's size.
  if (shp->recordCount > 0) {
    int32_t last[2];
    if (ShpIndex_ReadEntry(shp, shp->recordCount, last) == 0) return false;
    if (last[0] < kHeaderBytes || int64_t{last[0]} + 8 + last[1] > shpBytes) return false;
  }
  if (const PointVariant* points = PointVariant_ForType(shp->shapeType);
      points != nullptr && shpBytes != kHeaderBytes + int64_t{points->recordBytes} * shp->recordCount)
    return false;
  shp->shxLenWords = indexWords;
  return std::fseek(shp->shpStream, static_cast<long>(shpBytes), SEEK_SET) == 0 &&
         std::fseek(shp->shxStream, static_cast<long>(shxBytes), SEEK_SET) == 0;
}

}  // namespace

int32_t ShpType_IsValid(int32_t code) {
  for (const TypeEntry& t : kTypes)
    if (t.code == code) return code != SHP_NULL ? 1 : 0;
  return 0;
}

const char* ShpType_Name(int32_t code) {
  for (const TypeEntry& t : kTypes)
    if (t.code == code) return t.name;
  return "Bad Shape Type";
}

int32_t ShpFile_SetType(ShpFile* shp, int32_t code) {
  if (shp == nullptr || !ShpType_IsValid(code)) return 0;
  shp->shapeType = code;
  return 1;
}

ShpFile* ShpFile_Create() {
  auto* shp = static_cast<ShpFile*>(Mem_Alloc(sizeof(ShpFile), MEM_HEAP));
  if (shp == nullptr) {
    Shp_SetError(0);
    return nullptr;
  }
  shp->bbox = kEmptyBox;
  shp->mzBox = kEmptyBox;
  shp->version = 1000;
  shp->shpLenWords = kHeaderWords;
  shp->shxLenWords = kHeaderWords;
  return shp;
}

int32_t ShpFile_Destroy(ShpFile* shp) {
  if (shp == nullptr) return 0;
  ShpFile_Close(shp);
  Mem_Free(shp, MEM_HEAP);
  return 1;
}

std::FILE* ShpFile_OpenStream(const char* fileName, int32_t mode) {
  switch (mode) {
    case MODE_NEW: return HandleReserve_OpenFile(fileName, "wb");
    case MODE_APPEND: return HandleReserve_OpenFile(fileName, "rb+");
    case MODE_READ: return HandleReserve_OpenFile(fileName, "rb");
    default: return nullptr;
  }
}

void ShpFile_BufferMainStream(ShpFile* shp) {
  shp->shpBuffer = static_cast<char*>(Mem_Alloc(kMainStreamBuffer, MEM_HEAP));
  if (shp->shpBuffer != nullptr) std::setvbuf(shp->shpStream, shp->shpBuffer, _IOFBF, kMainStreamBuffer);
}

int32_t ShpFile_CheckCode(std::FILE* stream) {
  long here = std::ftell(stream);
  std::rewind(stream);
  int32_t code = 0;
  int32_t ok = Io_ReadInt32BE(stream, &code, 1);
  std::fseek(stream, here < 0 ? 0 : here, SEEK_SET);
  return ok && code == kFileCode ? 1 : 0;
}

int32_t ShpFile_IsShapeFile(const char* fileName) {
  std::FILE* s = HandleReserve_OpenFile(fileName, "r");
  if (s == nullptr) return 0;
  int32_t result = ShpFile_CheckCode(s);
  HandleReserve_CloseFile(s);
  return result;
}

int32_t ShpHeader_ReadMain(ShpFile* shp) {
  std::rewind(shp->shpStream);
  int32_t scratch[6];
  Io_ReadInt32LE(shp->shpStream, scratch, 6);
  Io_ReadInt32BE(shp->shpStream, &shp->shpLenWords, 1);
  int32_t versionAndType[2] = {shp->version, shp->shapeType};
  if (Io_ReadInt32LE(shp->shpStream, versionAndType, 2)) {
    shp->version = versionAndType[0];
    shp->shapeType = versionAndType[1];
  }
  double boxes[8] = {shp->bbox.xmin, shp->bbox.ymin, shp->bbox.xmax, shp->bbox.ymax,
                     shp->mzBox.ymin, shp->mzBox.ymax, shp->mzBox.xmin, shp->mzBox.xmax};
  Io_ReadDoubles(shp->shpStream, boxes, 8);
  shp->bbox = {boxes[0], boxes[1], boxes[2], boxes[3]};
  shp->mzBox = {boxes[6], boxes[4], boxes[7], boxes[5]};  // mmin, zmin, mmax, zmax
  return 1;
}

int32_t ShpHeader_ReadIndex(ShpFile* shp) {
  std::rewind(shp->shxStream);
  int32_t scratch[6];
  Io_ReadInt32LE(shp->shxStream, scratch, 6);
  int32_t words = kHeaderWords;
  Io_ReadInt32BE(shp->shxStream, &words, 1);
  // Signed 32-bit arithmetic as the format's consumers expect, without
  // overflowing on hostile lengths.
  int64_t count = (2 * static_cast<int64_t>(words) - kHeaderBytes) / 8;
  shp->recordCount = static_cast<int32_t>(count);
  return 1;
}

int32_t ShpFile_Open(ShpFile* shp, char* baseName, int32_t mode) {
  mode &= 0xff;
  if ((mode != MODE_READ && mode != MODE_APPEND) || shp == nullptr || baseName == nullptr) return 0;
  if (shp->openMode != MODE_CLOSED) ShpFile_Close(shp);
  char fileName[kMaxBaseName + 8];
  BuildFileName(baseName, ".shp", fileName);
  shp->shpStream = ShpFile_OpenStream(fileName, mode);
  if (shp->shpStream == nullptr) return 0;
  ShpFile_BufferMainStream(shp);
  if (!ShpFile_CheckCode(shp->shpStream)) {
    ShpFile_Close(shp);
    return 0;
  }
  CopyName(shp, baseName);
  shp->openMode = static_cast<uint8_t>(mode);
  ShpHeader_ReadMain(shp);
  BuildFileName(baseName, ".shx", fileName);
  shp->shxStream = ShpFile_OpenStream(fileName, mode);
  if (shp->shxStream == nullptr || !ShpFile_CheckCode(shp->shxStream)) {
    ShpFile_Close(shp);
    return 0;
  }
  CopyName(shp, baseName);
  shp->openMode = static_cast<uint8_t>(mode);
  ShpHeader_ReadIndex(shp);
  if (mode == MODE_APPEND && !PrepareAppend(shp)) {
    ShpFile_Close(shp);
    return 0;
  }
  if (mode == MODE_READ) shp->shpFileBytes = StreamSize(shp->shpStream);
  return 1;
}

int32_t ShpFile_Close(ShpFile* shp) {
  if (shp == nullptr) return 0;
  if (shp->headerDirty == 1) {
    ShpHeader_WriteIndex(shp);
    ShpHeader_WriteMain(shp);
    shp->headerDirty = 0;
  }
  shp->name[0] = '\0';
  if (shp->shpStream != nullptr) {
    HandleReserve_CloseFile(shp->shpStream);
    shp->shpStream = nullptr;
    Mem_Free(shp->shpBuffer, MEM_HEAP);
    shp->shpBuffer = nullptr;
  }
  if (shp->shxStream != nullptr) {
    HandleReserve_CloseFile(shp->shxStream);
    shp->shxStream = nullptr;
  }
  shp->shapeType = SHP_NULL;
  shp->openMode = MODE_CLOSED;
  shp->headerDirty = 0;
  shp->recordCount = 0;
  shp->bbox = kEmptyBox;
  shp->shpFileBytes = 0;
  return 1;
}

int32_t ShpIndex_ReadEntry(ShpFile* shp, int32_t n, int32_t* out) {
  int64_t pos = kHeaderBytes + 8 * (static_cast<int64_t>(n) - 1);
  if (pos < kHeaderBytes || pos > 0x7fffffff) return 0;
  if (std::ftell(shp->shxStream) != pos && std::fseek(shp->shxStream, static_cast<long>(pos), SEEK_SET) != 0)
    return 0;
  int32_t entry[2];
  if (!Io_ReadInt32BE(shp->shxStream, entry, 2)) return 0;
  // Offsets and lengths are stored in 16-bit words; in bytes they must stay
  // within the 32-bit range to be meaningful.
  if (entry[0] < 0 || entry[1] < 0 || entry[0] > 0x3fffffff || entry[1] > 0x3fffffff) return 0;
  out[0] = entry[0] * 2;
  out[1] = entry[1] * 2;
  return 1;
}

int32_t ShpIndex_WriteEntry(ShpFile* shp, int32_t n, int32_t* entry) {
  int64_t pos = kHeaderBytes + 8 * (static_cast<int64_t>(n) - 1);
  if (std::ftell(shp->shxStream) != pos && std::fseek(shp->shxStream, static_cast<long>(pos), SEEK_SET) != 0)
    return 0;
  entry[0] /= 2;
  entry[1] /= 2;
  Io_WriteInt32BE(shp->shxStream, entry, 2);
  return 1;
}

bool ShpRead_Ready(const ShpFile* shp) {
  return shp->shpStream != nullptr && shp->shxStream != nullptr && shp->openMode == MODE_READ;
}

}  // namespace ovrix
