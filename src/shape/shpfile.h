// The shape-file handle and the routines that every record family shares:
// opening, the two headers, index entries, the append protocol and boxes.
#pragma once

#include <cstdint>

#include "ovrix32.h"
#include "platform/file.h"

// The handle behind the opaque ShpFile of the interface.
struct ShpFile {
  char name[256];          // base name of the open pair, empty when closed
  ovrix::platform::File* shpStream;  // main file (.shp), or null
  ovrix::platform::File* shxStream;  // index file (.shx), or null
  int32_t shapeType;
  uint8_t openMode;        // 0 closed, 1 new, 2 append to existing, 3 read
  uint8_t headerDirty;     // records appended since the headers were written
  int32_t recordCount;
  Bbox bbox;
  Bbox mzBox;              // x axis = measure, y axis = height
  int32_t version;
  int32_t shpLenWords;     // file lengths in 16-bit words
  int32_t shxLenWords;
  // Size of the main file in bytes, taken once when the pair is opened for
  // reading (-1 when it could not be found, 0 when not open for reading).
  // Record readers check every record against it instead of seeking.
  int64_t shpFileBytes;
};

namespace ovrix {

enum OpenMode : uint8_t {
  MODE_CLOSED = 0,
  MODE_NEW = 1,
  MODE_APPEND = SHP_OPEN_APPEND,
  MODE_READ = SHP_OPEN_READ,
};

constexpr int32_t kFileCode = 9994;
constexpr int32_t kHeaderBytes = 100;
constexpr int32_t kHeaderWords = 50;
constexpr int32_t kRecordHeaderBytes = 8;  // record number and content length
constexpr int kMaxBaseName = 251;
constexpr double kEmptyMin = 9.9e300;
constexpr double kEmptyMax = -9.9e300;
constexpr Bbox kEmptyBox = {kEmptyMin, kEmptyMin, kEmptyMax, kEmptyMax};

// --- shape types ---------------------------------------------------------
int32_t ShpType_IsValid(int32_t code);
const char* ShpType_Name(int32_t code);
int32_t ShpFile_SetType(ShpFile* shp, int32_t code);

// --- handle ----------------------------------------------------------------
ShpFile* ShpFile_Create();
int32_t ShpFile_Destroy(ShpFile* shp);
int32_t ShpFile_Open(ShpFile* shp, char* baseName, int32_t mode);
int32_t ShpFile_Close(ShpFile* shp);
platform::File* ShpFile_OpenStream(const char* fileName, int32_t mode);
int32_t ShpFile_CheckCode(platform::File* stream);
int32_t ShpFile_IsShapeFile(const char* fileName);

// --- headers and index -------------------------------------------------------
int32_t ShpHeader_ReadMain(ShpFile* shp);
int32_t ShpHeader_ReadIndex(ShpFile* shp);
int32_t ShpHeader_WriteMain(ShpFile* shp);
int32_t ShpHeader_WriteIndex(ShpFile* shp);
// Index entry n (from 1): out[0] = offset, out[1] = content length, in bytes.
int32_t ShpIndex_ReadEntry(ShpFile* shp, int32_t n, int32_t* out);
// Writes index entry n from an entry given in bytes.
int32_t ShpIndex_WriteEntry(ShpFile* shp, int32_t n, const int32_t* entry);

// --- writing -------------------------------------------------------------------
int32_t ShpFile_New(ShpFile* shp, char* baseName, int32_t shapeType);

// The append protocol shared by every record family.
// Begin: the file's type must be accepted by the family (`typeAccepted`),
// both streams open and the handle open for writing (mode 1 or 2); before
// the first record the main stream is positioned behind the header. 0 and
// nothing changed on refusal.
int32_t ShpAppend_Begin(ShpFile* shp, bool typeAccepted);
// Takes the next record number, writes its index entry (offset and content
// length in bytes) and its record header, and books the record into the
// handle's lengths. Returns the record number; the caller writes the
// content, which starts with the file's shape type, next.
int32_t ShpAppend_StartRecord(ShpFile* shp, int32_t byteOffset, int32_t contentBytes);
// The same without the record header, which the caller then writes itself.
int32_t ShpAppend_BookRecord(ShpFile* shp, int32_t byteOffset, int32_t contentBytes);
// Folds a record's box into a file box: record 1 sets it, later records widen
// it by the record box's two corners.
void ShpAppend_FoldBox(Bbox* fileBox, int32_t recordNumber, const Bbox& recordBox);

// The read-side check shared by every record family: the handle is open for
// reading with both streams.
inline bool ShpRead_Ready(const ShpFile* shp) {
  return shp->shpStream != nullptr && shp->shxStream != nullptr && shp->openMode == MODE_READ;
}

// --- boxes ---------------------------------------------------------------------
struct BboxPoint {
  double first;
  double second;
};
int32_t Bbox_Set(Bbox* box, double xmin, double ymin, double xmax, double ymax);
// Inline: record objects widen their box by every point they take.
inline int32_t Bbox_Extend(Bbox* box, const BboxPoint* point) {
  // A maximum is tested only when the minimum of the same axis did not move,
  // so a box must hold a real point before it is extended.
  // Written as selections, not branches: hosts call this for every point.
  const bool xLow = point->first < box->xmin;
  const bool yLow = point->second < box->ymin;
  box->xmax = !xLow && point->first > box->xmax ? point->first : box->xmax;
  box->xmin = xLow ? point->first : box->xmin;
  box->ymax = !yLow && point->second > box->ymax ? point->second : box->ymax;
  box->ymin = yLow ? point->second : box->ymin;
  return 1;
}

}  // namespace ovrix
