// Creating a new pair, the header writers and the append protocol.
#include <cstdint>
#include <cstring>

#include "shape/io.h"
#include "shape/shape_types.h"
#include "shape/shpfile.h"

namespace ovrix {
namespace {

// The first 68 bytes, shared by both headers.
void WriteHeaderStart(ShpFile* shp, platform::File* s, int32_t lengthWords) {
  platform::File_Seek(s, 0);
  const int32_t be[7] = {kFileCode, 0, 0, 0, 0, 0, lengthWords};
  Io_WriteInt32BE(s, be, 7);
  const int32_t le[2] = {shp->version, shp->shapeType};
  Io_WriteInt32LE(s, le, 2);
  const double box[4] = {shp->bbox.xmin, shp->bbox.ymin, shp->bbox.xmax, shp->bbox.ymax};
  Io_WriteDoubles(s, box, 4);
}

}  // namespace

int32_t ShpHeader_WriteMain(ShpFile* shp) {
  WriteHeaderStart(shp, shp->shpStream, shp->shpLenWords);
  // Z range, then M range; a range the type lacks (or an M range never set)
  // is written as zeros.
  double ranges[4] = {0, 0, 0, 0};
  const ShapeType* type = ShapeType_Find(shp->shapeType);
  if (type != nullptr && type->hasZ) {
    ranges[0] = shp->mzBox.ymin;
    ranges[1] = shp->mzBox.ymax;
  }
  if (type != nullptr && type->hasM && shp->mzBox.xmin != kEmptyMin && shp->mzBox.xmax != kEmptyMax) {
    ranges[2] = shp->mzBox.xmin;
    ranges[3] = shp->mzBox.xmax;
  }
  Io_WriteDoubles(shp->shpStream, ranges, 4);
  return 1;
}

int32_t ShpHeader_WriteIndex(ShpFile* shp) {
  WriteHeaderStart(shp, shp->shxStream, shp->shxLenWords);
  const double zero[4] = {0, 0, 0, 0};
  Io_WriteDoubles(shp->shxStream, zero, 4);
  return 1;
}

int32_t ShpFile_New(ShpFile* shp, char* baseName, int32_t shapeType) {
  if (!ShpType_IsValid(shapeType) || shp == nullptr || baseName == nullptr) return 0;
  if (shp->openMode != MODE_CLOSED) ShpFile_Close(shp);
  if (std::strlen(baseName) > static_cast<std::size_t>(kMaxBaseName)) baseName[kMaxBaseName] = '\0';
  char fileName[kMaxBaseName + 8];
  std::size_t len = std::strlen(baseName);
  std::memcpy(fileName, baseName, len);
  std::memcpy(fileName + len, ".shp", 5);
  shp->shpStream = ShpFile_OpenStream(fileName, MODE_NEW);
  if (shp->shpStream == nullptr) return 0;
  std::memcpy(shp->name, baseName, len + 1);
  shp->openMode = MODE_NEW;
  ShpFile_SetType(shp, shapeType);
  shp->version = 1000;
  shp->shpLenWords = kHeaderWords;
  shp->shxLenWords = kHeaderWords;
  ShpHeader_WriteMain(shp);
  shp->headerDirty = 0;
  std::memcpy(fileName + len, ".shx", 5);
  shp->shxStream = ShpFile_OpenStream(fileName, MODE_NEW);
  if (shp->shxStream == nullptr) {
    ShpFile_Close(shp);
    return 0;
  }
  ShpHeader_WriteIndex(shp);
  return 1;
}

int32_t ShpAppend_Begin(ShpFile* shp, bool typeAccepted) {
  if (!typeAccepted || shp->shpStream == nullptr || shp->shxStream == nullptr ||
      (shp->openMode != MODE_NEW && shp->openMode != MODE_APPEND))
    return 0;
  // A record number must stay a positive 32-bit value.
  if (shp->recordCount < 0 || shp->recordCount == INT32_MAX) return 0;
  // Records and index entries are located by byte offsets that are 32-bit
  // values: neither the new record nor its index entry may start past 2 GiB
  // into its file, where no reader could find it. Refused before anything is
  // written, so the pair stays as it was.
  if (shp->shpLenWords > 0x3fffffff || shp->shxLenWords > 0x3fffffff) return 0;
  if (shp->recordCount == 0 && !platform::File_Seek(shp->shpStream, kHeaderBytes)) return 0;
  return 1;
}

int32_t ShpAppend_BookRecord(ShpFile* shp, int32_t byteOffset, int32_t contentBytes) {
  const int32_t n = ++shp->recordCount;
  const int32_t entry[2] = {byteOffset, contentBytes};
  ShpIndex_WriteEntry(shp, n, entry);
  // Lengths wrap like the 32-bit fields they are written to, never trap.
  shp->shpLenWords = static_cast<int32_t>(static_cast<uint32_t>(shp->shpLenWords) + 4u +
                                          static_cast<uint32_t>(contentBytes / 2));
  shp->shxLenWords = static_cast<int32_t>(static_cast<uint32_t>(shp->shxLenWords) + 4u);
  shp->headerDirty = 1;
  return n;
}

int32_t ShpAppend_StartRecord(ShpFile* shp, int32_t byteOffset, int32_t contentBytes) {
  const int32_t n = ShpAppend_BookRecord(shp, byteOffset, contentBytes);
  const int32_t header[2] = {n, contentBytes / 2};
  Io_WriteInt32BE(shp->shpStream, header, 2);
  return n;
}

void ShpAppend_FoldBox(Bbox* fileBox, int32_t recordNumber, const Bbox& recordBox) {
  if (recordNumber == 1) {
    Bbox_Set(fileBox, recordBox.xmin, recordBox.ymin, recordBox.xmax, recordBox.ymax);
    return;
  }
  const BboxPoint low = {recordBox.xmin, recordBox.ymin};
  const BboxPoint high = {recordBox.xmax, recordBox.ymax};
  Bbox_Extend(fileBox, &low);
  Bbox_Extend(fileBox, &high);
}

int32_t Bbox_Set(Bbox* box, double xmin, double ymin, double xmax, double ymax) {
  *box = {xmin, ymin, xmax, ymax};
  return 1;
}

}  // namespace ovrix
