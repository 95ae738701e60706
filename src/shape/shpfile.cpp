#include "shape/shpfile.h"

#include <cstring>

#include "platform/error.h"
#include "platform/handle_reserve.h"
#include "platform/mem.h"
#include "shape/io.h"
#include "shape/shape_types.h"

namespace ovrix {
namespace {

using namespace platform;

// Cuts a base name beyond the limit in the caller's string (as the interface
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

// Mode 2: checks that the header lengths describe the files and leaves both
// streams standing where the next record and index entry go.
bool PrepareAppend(ShpFile* shp) {
  const int64_t shpSize = File_Size(shp->shpStream);
  const int64_t shxSize = File_Size(shp->shxStream);
  int32_t indexWords = 0;
  if (!File_Seek(shp->shxStream, 24) || Io_ReadInt32BE(shp->shxStream, &indexWords, 1) == 0) return false;
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
  const ShapeType* type = ShapeType_Find(shp->shapeType);
  if (type != nullptr && type->recordBytes != 0 &&
      shpBytes != kHeaderBytes + int64_t{type->recordBytes} * shp->recordCount)
    return false;
  shp->shxLenWords = indexWords;
  return File_Seek(shp->shpStream, shpBytes) && File_Seek(shp->shxStream, shxBytes);
}

}  // namespace

int32_t ShpType_IsValid(int32_t code) { return code != SHP_NULL && ShapeType_Find(code) != nullptr ? 1 : 0; }

const char* ShpType_Name(int32_t code) {
  const ShapeType* type = ShapeType_Find(code);
  return type != nullptr ? type->name : "Bad Shape Type";
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

File* ShpFile_OpenStream(const char* fileName, int32_t mode) {
  switch (mode) {
    case MODE_NEW: return HandleReserve_OpenFile(fileName, kFileCreate);
    case MODE_APPEND: return HandleReserve_OpenFile(fileName, kFileUpdate);
    case MODE_READ: return HandleReserve_OpenFile(fileName, kFileRead);
    default: return nullptr;
  }
}

int32_t ShpFile_CheckCode(File* stream) {
  const int64_t here = File_Tell(stream);
  int32_t code = 0;
  const int32_t ok = File_Seek(stream, 0) && Io_ReadInt32BE(stream, &code, 1);
  File_Seek(stream, here < 0 ? 0 : here);
  return ok && code == kFileCode ? 1 : 0;
}

int32_t ShpFile_IsShapeFile(const char* fileName) {
  File* s = HandleReserve_OpenFile(fileName, kFileRead);
  if (s == nullptr) return 0;
  int32_t result = ShpFile_CheckCode(s);
  HandleReserve_CloseFile(s);
  return result;
}

int32_t ShpHeader_ReadMain(ShpFile* shp) {
  File_Seek(shp->shpStream, 0);
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
  File_Seek(shp->shxStream, 0);
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
  if (mode == MODE_READ) shp->shpFileBytes = File_Size(shp->shpStream);
  return 1;
}

int32_t ShpFile_Close(ShpFile* shp) {
  if (shp == nullptr) return 0;
  // The headers claim the new records only once their bytes and index
  // entries are in the files: after a failed write the pair keeps the
  // headers it had, which describe only records that are whole.
  if (shp->headerDirty == 1 && File_Flush(shp->shpStream) && File_Flush(shp->shxStream)) {
    ShpHeader_WriteIndex(shp);
    ShpHeader_WriteMain(shp);
  }
  shp->headerDirty = 0;
  shp->name[0] = '\0';
  if (shp->shpStream != nullptr) {
    HandleReserve_CloseFile(shp->shpStream);
    shp->shpStream = nullptr;
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
  if (pos < kHeaderBytes || pos > 0x7fffffff || !File_Seek(shp->shxStream, pos)) return 0;
  char local[8];
  const char* at = File_ReadView(shp->shxStream, 8, local);
  if (at == nullptr) return 0;
  const int32_t entry[2] = {Io_GetBE32(at), Io_GetBE32(at + 4)};
  // Offsets and lengths are stored in 16-bit words; in bytes they must stay
  // within the 32-bit range to be meaningful.
  if (entry[0] < 0 || entry[1] < 0 || entry[0] > 0x3fffffff || entry[1] > 0x3fffffff) return 0;
  out[0] = entry[0] * 2;
  out[1] = entry[1] * 2;
  return 1;
}

int32_t ShpIndex_WriteEntry(ShpFile* shp, int32_t n, const int32_t* entry) {
  const int64_t pos = kHeaderBytes + 8 * (static_cast<int64_t>(n) - 1);
  if (!File_Seek(shp->shxStream, pos)) return 0;
  char local[8];
  char* out = File_WriteRoom(shp->shxStream, 8, local);
  Io_PutBE32(out, entry[0] / 2);
  Io_PutBE32(out + 4, entry[1] / 2);
  return File_WriteRoomDone(shp->shxStream, out, local, 8) ? 1 : 0;
}

}  // namespace ovrix
