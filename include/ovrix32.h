/*
 * ovrix32 — read and write shapefiles (.shp/.shx) and their dBASE (.dbf)
 * attribute tables through a flat C interface.
 *
 * Conventions that hold for every function below:
 *  - Integers are int32_t. Results are 1 for success and 0 for failure or
 *    refusal unless the comment says otherwise; Create functions return the
 *    new object or NULL.
 *  - Numbers at the interface count from 1 (records, fields, parts, points);
 *    part start offsets are 0-based point indexes.
 *  - Handles and objects passed in must be live; unless a comment says that a
 *    NULL argument is refused, pointers are not tested.
 *  - A record object knows the family and variant that created it: handed
 *    to a function of another (a ShpLine to Shp_LineZRead, a point to a
 *    polygon append), or NULL, it is refused with 0 and left as it was;
 *    functions without a result then do nothing. The three point variants
 *    share one layout: every point function takes a point object of any
 *    of them.
 *  - The library keeps four library-wide values (the error value, the
 *    file-handle reserve, the helper bridge's text buffer and the list of
 *    open files), so it must be used from one thread at a time.
 *  - Files: each open file has its own buffer of up to 128 KiB in the
 *    library; sequential work makes one system call per buffer, and offsets
 *    are 64-bit on every host. Once a write to a file fails (or the system
 *    refuses a positioning), the handle writes nothing more to that file:
 *    what reached the file stays, nothing is added behind it. Reopen the
 *    file to write again.
 *
 * The header is valid C99 and C++.
 */
#ifndef OVRIX32_H
#define OVRIX32_H

#include <stdint.h>

/* OVRIX32_CALL is the calling convention of every function: on Windows
 * __stdcall, the Windows API's own (the called function removes its
 * arguments; 32-bit hosts must declare the functions so), empty elsewhere.
 * OVRIX32_API marks the exported functions: ovrix32.dll exports each under
 * its plain name. Programs that link the library statically define
 * OVRIX32_STATIC. */
#if defined(_WIN32)
#define OVRIX32_CALL __stdcall
#if defined(OVRIX32_BUILDING)
#define OVRIX32_API __declspec(dllexport)
#elif defined(OVRIX32_STATIC)
#define OVRIX32_API
#else
#define OVRIX32_API __declspec(dllimport)
#endif
#else
#define OVRIX32_CALL
#if defined(OVRIX32_BUILDING) && defined(__GNUC__)
#define OVRIX32_API __attribute__((visibility("default")))
#else
#define OVRIX32_API
#endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ------------------------------------------------------------------------
 * Constants
 * ------------------------------------------------------------------------ */

/* Shape type codes: the header's type field and every record's type field. */
#define SHP_NULL          0
#define SHP_POINT         1
#define SHP_POLYLINE      3
#define SHP_POLYGON       5
#define SHP_MULTIPOINT    8
#define SHP_POINTZ       11
#define SHP_POLYLINEZ    13
#define SHP_POLYGONZ     15
#define SHP_MULTIPOINTZ  18
#define SHP_POINTM       21
#define SHP_POLYLINEM    23
#define SHP_POLYGONM     25
#define SHP_MULTIPOINTM  28
#define SHP_MULTIPATCH   31

/* The modes of Shp_Open: append records to an existing pair, or read it. */
#define SHP_OPEN_APPEND 2
#define SHP_OPEN_READ   3

/* First four bytes of every .shp and .shx file (big-endian). */
#define FILE_CODE 9994

/* Returned by the part-offset getters for a part number that is out of range:
 * the most negative 32-bit integer. */
#define PART_INVALID ((int32_t)(-2147483647 - 1))

/* Reported as the measure of a point, and as both ends of the measure range,
 * when a record holds no measures. (Windows hosts: winsock.h, which
 * windows.h includes unless WIN32_LEAN_AND_MEAN is defined, has a NO_DATA of
 * its own.) */
#define NO_DATA (-1e39)

/* MultiPatch part types. Types 2 to 5 are rings, which the library closes
 * when they are finished; any other value is stored and written as given. */
#define SHP_PART_TRIANGLE_STRIP 0
#define SHP_PART_TRIANGLE_FAN   1
#define SHP_PART_OUTER_RING     2 /* may be followed by inner rings */
#define SHP_PART_INNER_RING     3 /* only behind an outer ring with points or an inner ring */
#define SHP_PART_FIRST_RING     4 /* may be followed by rings */
#define SHP_PART_RING           5 /* only behind a first ring with points or a ring */

/* Field type codes of the Db_ functions; the file stores a letter per field
 * (C, N, L, D, F, M). Memo fields can be read about but not defined or
 * laid out. */
#define DB_CHARACTER 1000
#define DB_NUMERIC   1001
#define DB_LOGICAL   1002
#define DB_DATE      1003
#define DB_FLOAT     1004
#define DB_MEMO      1005

/* How a table's file was opened: read-write, or read only because the file
 * could not be opened for writing (0 while no file was opened). */
#define DB_READWRITE 8
#define DB_READONLY  5

/* Table states: what the table's record buffer holds. */
#define DB_CLOSED     0 /* no file open */
#define DB_LOADED     1 /* the whole current record */
#define DB_POSITIONED 2 /* nothing; the next record read reads where the file stands */
#define DB_PARTIAL    3 /* a piece of the current record; the next record read positions first */
#define DB_DEFINING   5 /* a new table's fields are being defined */
#define DB_APPENDING  7 /* records are being appended */

/* ------------------------------------------------------------------------
 * Types
 * ------------------------------------------------------------------------ */

/* A box: smallest and largest x and y. The empty box is
 * (9.9e300, 9.9e300, -9.9e300, -9.9e300). */
typedef struct Bbox {
  double xmin;
  double ymin;
  double xmax;
  double ymax;
} Bbox;

/* Coordinate structures copied by the AppendCoord and GetCoord functions.
 * In ShpCoordZ the measure comes before the height in memory. */
typedef struct ShpCoord {
  double x;
  double y;
} ShpCoord;

typedef struct ShpCoordM {
  double x;
  double y;
  double m;
} ShpCoordM;

typedef struct ShpCoordZ {
  double x;
  double y;
  double m;
  double z;
} ShpCoordZ;

/* Opaque handles. The three point variants share one object layout, as do
 * all multi-coordinate record objects; the names tell which functions each
 * object is meant for. */
typedef struct ShpFile ShpFile;
typedef struct ShpPointRecord ShpPoint;
typedef struct ShpPointRecord ShpPointM;
typedef struct ShpPointRecord ShpPointZ;
typedef struct ShpMultiRecord ShpMultiPoint;
typedef struct ShpMultiRecord ShpMultiPointM;
typedef struct ShpMultiRecord ShpMultiPointZ;
typedef struct ShpMultiRecord ShpLine;
typedef struct ShpMultiRecord ShpLineM;
typedef struct ShpMultiRecord ShpLineZ;
typedef struct ShpMultiRecord ShpPolygon;
typedef struct ShpMultiRecord ShpPolygonM;
typedef struct ShpMultiRecord ShpPolygonZ;
typedef struct ShpMultiRecord ShpMultiPatch;
typedef struct DbTable DbTable;

/* ------------------------------------------------------------------------
 * Shape-file handle
 * ------------------------------------------------------------------------ */

/* New closed handle (type "None", version 1000, empty box), or NULL when
 * memory runs out; then the error value becomes 0. */
OVRIX32_API ShpFile* OVRIX32_CALL Shp_Create(void);
/* Closes the handle as Shp_Close does and releases it; 0 for NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_Destroy(ShpFile* shp);
/* Opens baseName.shp and baseName.shx: mode 3 (SHP_OPEN_READ) to read
 * records, mode 2 (SHP_OPEN_APPEND) to append records (only the low 8 bits
 * of mode count). A base name longer than 251 characters is cut to 251 in
 * the caller's string. 0 for another
 * mode, a NULL argument, a missing file or a file without the file code;
 * the handle is then closed. A handle that is still open is closed first, as
 * Shp_Close does (so nothing appended to it is lost).
 * Mode 2 opens both files read-write and refuses (0, handle closed) a pair
 * whose header lengths are impossible: a main file length below 100 bytes or
 * past the end of the file, or an index length that is not 100 + 8 per
 * record or lies past the end of the index file, an index whose last record
 * lies outside the main header's length, or a point file whose main length
 * is not its record count times its record size. New records go right behind
 * the data that the main header's length covers; the handle's box and
 * ranges continue from the values stored in the header. Appends are refused
 * once a new record or index entry would start past 2 GiB into its file. */
OVRIX32_API int32_t OVRIX32_CALL Shp_Open(ShpFile* shp, char* baseName, int32_t mode);
/* Rewrites both headers when records were appended, closes both files and
 * resets the handle; 1, or 0 for NULL. Closing a closed handle writes
 * nothing and returns 1. The headers are rewritten only after every byte of
 * the new records and index entries reached the files; when a write failed,
 * the pair keeps the headers it had, which count only whole records (for a
 * new pair: none). */
OVRIX32_API int32_t OVRIX32_CALL Shp_Close(ShpFile* shp);
/* The file's shape type code (0 when closed). */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetType(ShpFile* shp);
/* Copies the type's name ("None", "Point", ..., "Bad Shape Type") into buf
 * (at least 15 bytes) and returns its length; 0 and buf untouched for NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetTypeAsString(ShpFile* shp, char* buf);
/* The header's version number (1000 for new files). */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetVersion(ShpFile* shp);
/* Copies the base name of the open pair (empty when closed) into buf (at
 * least 252 bytes); 0 for NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetFileName(ShpFile* shp, char* buf);
/* Copies the file's bounding box; 1. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetBoundingBox(ShpFile* shp, Bbox* box);
/* Stores the file's measure range; 0 when any pointer is NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetMeasureRange(ShpFile* shp, double* min, double* max);
/* Stores the file's Z range; 0 when any pointer is NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetZCoordRange(ShpFile* shp, double* min, double* max);
/* Number of records, taken from the index file's length. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumShapes(ShpFile* shp);
/* 1 when the named file (extension included) can be opened and starts with
 * the file code 9994 — a .shx passes as well as a .shp; 0 for NULL. */
OVRIX32_API int32_t OVRIX32_CALL Shp_IsShapeFile(const char* fileName);
/* The library-wide error value: 0 after a failed Shp_Create, the system's
 * error number after an open that failed while file handles were held in
 * reserve. Never cleared. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetError(void);
/* Version of this interface: 100. */
OVRIX32_API int32_t OVRIX32_CALL Shp_ApiGetVersion(void);

/* Type predicates: 1 when the file's shape type is the one named, else 0. */
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointZType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineZType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyZType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointZType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPointMType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsLineMType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsPolyMType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPointMType(ShpFile* shp);
OVRIX32_API int32_t OVRIX32_CALL Shp_IsMultiPatchType(ShpFile* shp);

/* Creates baseName.shp and baseName.shx (emptying existing files) for
 * records of one shape type and writes both headers; 0 for an invalid type
 * (no file is created), a NULL argument or a file that cannot be created.
 * Base names are cut to 251 characters as in Shp_Open, and a handle that is
 * still open is closed first. */
OVRIX32_API int32_t OVRIX32_CALL Shp_New(ShpFile* shp, char* baseName, int32_t shapeType);

/* ------------------------------------------------------------------------
 * Coordinate structures
 * ------------------------------------------------------------------------ */

/* Fill and read the coordinate structures; values are copied bit for bit.
 * Note the argument order of the Z pair: z before m. */
OVRIX32_API void OVRIX32_CALL Shp_SetCoord(ShpCoord* c, double x, double y);
OVRIX32_API void OVRIX32_CALL Shp_GetCoord(ShpCoord* c, double* x, double* y);
OVRIX32_API void OVRIX32_CALL Shp_SetCoordM(ShpCoordM* c, double x, double y, double m);
OVRIX32_API void OVRIX32_CALL Shp_GetCoordM(ShpCoordM* c, double* x, double* y, double* m);
OVRIX32_API void OVRIX32_CALL Shp_SetCoordZ(ShpCoordZ* c, double x, double y, double z, double m);
OVRIX32_API void OVRIX32_CALL Shp_GetCoordZ(ShpCoordZ* c, double* x, double* y, double* z, double* m);

/* ------------------------------------------------------------------------
 * Point records (Point, PointM, PointZ)
 * ------------------------------------------------------------------------ */

/* A point object holds one coordinate and the host's own id.
 *  Create      new object with every field 0, or NULL when memory runs out.
 *  Destroy     1; 0 for NULL. Any of the three accepts any point object.
 *  Read        reads record n of an open-for-reading file of the variant's own
 *              type (Point 1, PointM 21, PointZ 11); 0 for another type, n < 1,
 *              a record past the end of the file or a record whose own type is
 *              not a point type. Values the record lacks keep their contents;
 *              the id is never changed by a read.
 *  Append      appends the object to a file of any point type opened with
 *              Shp_New or in mode 2; the file's type decides what is written.
 *              The object is left unchanged.
 *  AppendCoord replaces the coordinate (values the structure lacks become 0).
 *  GetCoord    copies the coordinate out. */
OVRIX32_API ShpPoint* OVRIX32_CALL Shp_PointCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointDestroy(ShpPoint* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointRead(ShpFile* shp, int32_t recordNumber, ShpPoint* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointAppend(ShpFile* shp, ShpPoint* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointGetId(ShpPoint* point);
OVRIX32_API void OVRIX32_CALL Shp_PointSetId(ShpPoint* point, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointAppendCoord(ShpPoint* point, ShpCoord* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointGetCoord(ShpPoint* point, ShpCoord* coord);

OVRIX32_API ShpPointM* OVRIX32_CALL Shp_PointMCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMDestroy(ShpPointM* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMRead(ShpFile* shp, int32_t recordNumber, ShpPointM* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMAppend(ShpFile* shp, ShpPointM* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMGetId(ShpPointM* point);
OVRIX32_API void OVRIX32_CALL Shp_PointMSetId(ShpPointM* point, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMAppendCoord(ShpPointM* point, ShpCoordM* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointMGetCoord(ShpPointM* point, ShpCoordM* coord);

OVRIX32_API ShpPointZ* OVRIX32_CALL Shp_PointZCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZDestroy(ShpPointZ* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZRead(ShpFile* shp, int32_t recordNumber, ShpPointZ* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZAppend(ShpFile* shp, ShpPointZ* point);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZGetId(ShpPointZ* point);
OVRIX32_API void OVRIX32_CALL Shp_PointZSetId(ShpPointZ* point, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZAppendCoord(ShpPointZ* point, ShpCoordZ* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PointZGetCoord(ShpPointZ* point, ShpCoordZ* coord);

/* ------------------------------------------------------------------------
 * MultiPoint records
 * ------------------------------------------------------------------------ */

/* A multipoint object holds a set of points (no parts) and is reused: Read
 * replaces its content by record n; AppendCoord adds points; a successful
 * Append writes it as the next record and empties it (no point, id 0; the
 * box and ranges keep the record's until the next first point).
 * ShpMultiPoint, ShpMultiPointM and ShpMultiPointZ pass points as ShpCoord,
 * ShpCoordM and ShpCoordZ. Objects are not tied to a file.
 *  Create          new empty object, or NULL when memory runs out. M and Z
 *                  objects start without measures: GetCoord and
 *                  GetMeasureRange report NO_DATA until a Read or an Append
 *                  sets them, although AppendCoord keeps every m given.
 *  Destroy         1; 0 for NULL.
 *  Read            reads record n (from 1) of a file of the variant's own type
 *                  (8, 28, 18) open for reading; refused as Shp_LineRead
 *                  describes (the point count stands in for the counts).
 *                  M and Z: measures are present when the record's length
 *                  exceeds the length without them; an M record without them
 *                  leaves the object's former measure values, unreported.
 *  Append          appends to a file of the variant's type created with
 *                  Shp_New or opened in mode 2. M and Z: noMeasures nonzero
 *                  leaves out the measure block, and the object's measures
 *                  follow it (already when the stream checks then refuse).
 *                  0 for another type, a file not open for writing, or a
 *                  record that would end past 2 GiB; a failed write is not
 *                  reported. An object without points goes out as a record
 *                  of 0 points with the empty box (and empty ranges), and
 *                  leaves the file's box and ranges as they were.
 *  AppendCoord     adds a point; 0 when memory runs out.
 *  GetCoord        copies point n (from 1) out; 0 and nothing copied for n
 *                  outside 1 ... GetNumCoords.
 *  GetBoundingBox, GetMeasureRange (NO_DATA twice without measures),
 *  GetZCoordRange (whatever the measures) copy the object's box / ranges;
 *                  0 for a NULL argument. */
OVRIX32_API ShpMultiPoint* OVRIX32_CALL Shp_MultiPointCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointDestroy(ShpMultiPoint* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointRead(ShpFile* shp, int32_t recordNumber, ShpMultiPoint* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointAppend(ShpFile* shp, ShpMultiPoint* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointAppendCoord(ShpMultiPoint* multiPoint, ShpCoord* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointGetCoord(ShpMultiPoint* multiPoint, ShpCoord* coord, int32_t pointNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointGetNumCoords(ShpMultiPoint* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointGetId(ShpMultiPoint* multiPoint);
OVRIX32_API void OVRIX32_CALL Shp_MultiPointSetId(ShpMultiPoint* multiPoint, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointGetBoundingBox(ShpMultiPoint* multiPoint, Bbox* box);

OVRIX32_API ShpMultiPointM* OVRIX32_CALL Shp_MultiPointMCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMDestroy(ShpMultiPointM* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMRead(ShpFile* shp, int32_t recordNumber, ShpMultiPointM* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMAppend(ShpFile* shp, ShpMultiPointM* multiPoint, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMAppendCoord(ShpMultiPointM* multiPoint, ShpCoordM* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMGetCoord(ShpMultiPointM* multiPoint, ShpCoordM* coord, int32_t pointNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMGetNumCoords(ShpMultiPointM* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMGetId(ShpMultiPointM* multiPoint);
OVRIX32_API void OVRIX32_CALL Shp_MultiPointMSetId(ShpMultiPointM* multiPoint, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMGetBoundingBox(ShpMultiPointM* multiPoint, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointMGetMeasureRange(ShpMultiPointM* multiPoint, double* min, double* max);

OVRIX32_API ShpMultiPointZ* OVRIX32_CALL Shp_MultiPointZCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZDestroy(ShpMultiPointZ* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZRead(ShpFile* shp, int32_t recordNumber, ShpMultiPointZ* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZAppend(ShpFile* shp, ShpMultiPointZ* multiPoint, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZAppendCoord(ShpMultiPointZ* multiPoint, ShpCoordZ* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetCoord(ShpMultiPointZ* multiPoint, ShpCoordZ* coord, int32_t pointNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetNumCoords(ShpMultiPointZ* multiPoint);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetId(ShpMultiPointZ* multiPoint);
OVRIX32_API void OVRIX32_CALL Shp_MultiPointZSetId(ShpMultiPointZ* multiPoint, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetBoundingBox(ShpMultiPointZ* multiPoint, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetMeasureRange(ShpMultiPointZ* multiPoint, double* min, double* max);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPointZGetZCoordRange(ShpMultiPointZ* multiPoint, double* min, double* max);

/* ------------------------------------------------------------------------
 * Polyline records
 * ------------------------------------------------------------------------ */

/* A polyline object holds any number of parts (connected vertex sequences)
 * and is reused: Read replaces its content by record n; AppendCoord and
 * NewPart fill it; a successful Append writes it as the next record and
 * empties it (no vertex, one empty part, id 0; the box keeps the record's
 * until the next first vertex). ShpLine, ShpLineM and ShpLineZ pass vertices
 * as ShpCoord, ShpCoordM and ShpCoordZ. Objects are not tied to a file.
 *  Create          new empty object (M/Z: measures on), or NULL when memory
 *                  runs out.
 *  Destroy         1; 0 for NULL.
 *  Read            reads record n (from 1) of a file of the variant's own type
 *                  (3, 23, 13) open for reading; 1 read, 0 refused. Refused
 *                  with the object unchanged: another file type, a file not
 *                  open for reading, n outside 1 ... Shp_GetNumShapes, an
 *                  index entry pointing before the first record or past the
 *                  end of the .shp, or whose length differs from the record
 *                  header's. Refused with only the id set to n: a record of
 *                  another type (a Null record, say), counts that are negative
 *                  or that the record's length cannot hold, memory that runs
 *                  out. Refused with the object emptied (id n, no vertex,
 *                  one empty part): a file that shrinks or fails while the
 *                  record is read. Boxes, ranges and part starts are taken as
 *                  stored; measures are present when the record's length
 *                  exceeds the length without them.
 *  Append          appends to a file of the variant's type created with
 *                  Shp_New or opened in mode 2; first drops an empty last part
 *                  (also when then refused). M and Z: noMeasures nonzero
 *                  leaves out the measure block (hasMeasures follows it from
 *                  the type check on). 0 for another type, a file not open
 *                  for writing, or a record that would end past 2 GiB; a
 *                  failed write is not reported.
 *  AppendCoord     adds a vertex to the current part; 0 when memory runs out.
 *  NewPart         starts a new part, unless the current one is still empty
 *                  (then 1, nothing changes); 0 when memory runs out.
 *  GetCoord        copies vertex n (from 1) out; 0 and nothing copied for n
 *                  outside 1 ... GetNumCoords. M and Z report m as NO_DATA
 *                  when the object holds no measures.
 *  GetPartOffset   0-based start of part n (from 1); PART_INVALID for n below
 *                  1 or beyond the part list's storage (a part number beyond
 *                  GetNumParts may still give a stale start).
 *  GetBoundingBox, GetMeasureRange (NO_DATA twice without measures),
 *  GetZCoordRange  copy the object's box / ranges; 0 for a NULL argument. */
OVRIX32_API ShpLine* OVRIX32_CALL Shp_LineCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineDestroy(ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineRead(ShpFile* shp, int32_t recordNumber, ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineAppend(ShpFile* shp, ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineAppendCoord(ShpLine* line, ShpCoord* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineNewPart(ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetCoord(ShpLine* line, ShpCoord* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetNumParts(ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetNumCoords(ShpLine* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetPartOffset(ShpLine* line, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetId(ShpLine* line);
OVRIX32_API void OVRIX32_CALL Shp_LineSetId(ShpLine* line, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineGetBoundingBox(ShpLine* line, Bbox* box);

OVRIX32_API ShpLineM* OVRIX32_CALL Shp_LineMCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMDestroy(ShpLineM* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMRead(ShpFile* shp, int32_t recordNumber, ShpLineM* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMAppend(ShpFile* shp, ShpLineM* line, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMAppendCoord(ShpLineM* line, ShpCoordM* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMNewPart(ShpLineM* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetCoord(ShpLineM* line, ShpCoordM* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetNumParts(ShpLineM* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetNumCoords(ShpLineM* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetPartOffset(ShpLineM* line, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetId(ShpLineM* line);
OVRIX32_API void OVRIX32_CALL Shp_LineMSetId(ShpLineM* line, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetBoundingBox(ShpLineM* line, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineMGetMeasureRange(ShpLineM* line, double* min, double* max);

OVRIX32_API ShpLineZ* OVRIX32_CALL Shp_LineZCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZDestroy(ShpLineZ* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZRead(ShpFile* shp, int32_t recordNumber, ShpLineZ* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZAppend(ShpFile* shp, ShpLineZ* line, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZAppendCoord(ShpLineZ* line, ShpCoordZ* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZNewPart(ShpLineZ* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetCoord(ShpLineZ* line, ShpCoordZ* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetNumParts(ShpLineZ* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetNumCoords(ShpLineZ* line);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetPartOffset(ShpLineZ* line, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetId(ShpLineZ* line);
OVRIX32_API void OVRIX32_CALL Shp_LineZSetId(ShpLineZ* line, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetBoundingBox(ShpLineZ* line, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetMeasureRange(ShpLineZ* line, double* min, double* max);
OVRIX32_API int32_t OVRIX32_CALL Shp_LineZGetZCoordRange(ShpLineZ* line, double* min, double* max);

/* ------------------------------------------------------------------------
 * Polygon records
 * ------------------------------------------------------------------------ */

/* Polygon objects are the polyline objects above (Shp_PolygonCreate and
 * Shp_LineCreate make the same object; each variant's Polygon and Line
 * functions accept each other's objects), read from and written to files of
 * type 5, 25 and 15. Every function behaves as its Shp_Line counterpart
 * except these two, which close rings: a finished ring whose last vertex
 * differs from its first (x, y, and for M/Z m and z as GetCoord reports them)
 * gets a copy of its first vertex appended; an empty ring is dropped.
 *  NewPart   closes the current ring, then starts a new one (on an empty
 *            current ring: 1, nothing changes); 0 when memory runs out, for
 *            the closing vertex (no part started) or the new part.
 *  Append    closes the last ring (also when the append is then refused),
 *            then appends as Shp_LineAppend does; a closing vertex for which
 *            memory runs out refuses the append (0, nothing written). After a
 *            successful PolygonM/Z append the object holds measures again. */
OVRIX32_API ShpPolygon* OVRIX32_CALL Shp_PolygonCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonDestroy(ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonRead(ShpFile* shp, int32_t recordNumber, ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonAppend(ShpFile* shp, ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonAppendCoord(ShpPolygon* polygon, ShpCoord* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonNewPart(ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetCoord(ShpPolygon* polygon, ShpCoord* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetNumParts(ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetNumCoords(ShpPolygon* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetPartOffset(ShpPolygon* polygon, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetId(ShpPolygon* polygon);
OVRIX32_API void OVRIX32_CALL Shp_PolygonSetId(ShpPolygon* polygon, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonGetBoundingBox(ShpPolygon* polygon, Bbox* box);

OVRIX32_API ShpPolygonM* OVRIX32_CALL Shp_PolygonMCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMDestroy(ShpPolygonM* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMRead(ShpFile* shp, int32_t recordNumber, ShpPolygonM* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMAppend(ShpFile* shp, ShpPolygonM* polygon, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMAppendCoord(ShpPolygonM* polygon, ShpCoordM* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMNewPart(ShpPolygonM* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetCoord(ShpPolygonM* polygon, ShpCoordM* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetNumParts(ShpPolygonM* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetNumCoords(ShpPolygonM* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetPartOffset(ShpPolygonM* polygon, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetId(ShpPolygonM* polygon);
OVRIX32_API void OVRIX32_CALL Shp_PolygonMSetId(ShpPolygonM* polygon, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetBoundingBox(ShpPolygonM* polygon, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonMGetMeasureRange(ShpPolygonM* polygon, double* min, double* max);

OVRIX32_API ShpPolygonZ* OVRIX32_CALL Shp_PolygonZCreate(void);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZDestroy(ShpPolygonZ* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZRead(ShpFile* shp, int32_t recordNumber, ShpPolygonZ* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZAppend(ShpFile* shp, ShpPolygonZ* polygon, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZAppendCoord(ShpPolygonZ* polygon, ShpCoordZ* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZNewPart(ShpPolygonZ* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetCoord(ShpPolygonZ* polygon, ShpCoordZ* coord, int32_t vertexNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetNumParts(ShpPolygonZ* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetNumCoords(ShpPolygonZ* polygon);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetPartOffset(ShpPolygonZ* polygon, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetId(ShpPolygonZ* polygon);
OVRIX32_API void OVRIX32_CALL Shp_PolygonZSetId(ShpPolygonZ* polygon, int32_t id);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetBoundingBox(ShpPolygonZ* polygon, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetMeasureRange(ShpPolygonZ* polygon, double* min, double* max);
OVRIX32_API int32_t OVRIX32_CALL Shp_PolygonZGetZCoordRange(ShpPolygonZ* polygon, double* min, double* max);

/* ------------------------------------------------------------------------
 * MultiPatch records
 * ------------------------------------------------------------------------ */

/* A multipatch object holds parts that each carry a part type
 * (SHP_PART_TRIANGLE_STRIP ... SHP_PART_RING) and points passed as
 * ShpCoordZ. It is reused like the multipoint objects: a successful Append
 * empties it down to one empty part that keeps the type of the first part
 * just written (until SetFirstPartType changes it), with measures on.
 * Ring closing: a ring part (types 2 to 5) whose last point differs from its
 * first (in x, y, m or z as GetCoord reports them; a NaN differs from
 * nothing) gets a copy of its first point appended; an empty ring is
 * dropped. Parts of other types are never changed.
 *  Create            new empty object whose first part has the given type
 *                    (not checked), measures on; NULL when memory runs out.
 *  Destroy           1; 0 for NULL.
 *  Read              reads record n (from 1) of a MultiPatch file open for
 *                    reading; refused as Shp_LineRead describes. Part starts
 *                    and part types are taken as stored, unchecked.
 *  NewPart           closes the current part when it is a ring, then starts a
 *                    part of the given type; an empty current part takes the
 *                    type instead (1, no part added). Refused (0, nothing
 *                    changed): an inner ring not behind an outer ring with
 *                    points or an inner ring, a ring not behind a first ring
 *                    with points or a ring, and an object without any part
 *                    (a record of 0 parts was read). 0 also when memory runs
 *                    out, for the closing point (no part started) or the part.
 *  SetFirstPartType  stores the type of part 1; 1.
 *  Append            closes the last part when it is a ring, then drops it
 *                    when it is empty (both also when the append is then
 *                    refused), and appends as Shp_MultiPointZAppend does,
 *                    parts included; a closing point for which memory runs
 *                    out refuses the append (0, nothing written).
 *  GetPartOffset,
 *  GetTypeInPart     0-based start / type of part n (from 1); PART_INVALID for
 *                    n below 1 or beyond the part list's storage (a part
 *                    number beyond GetNumParts may still give a stale value,
 *                    0 in a fresh object).
 *  Other functions   as for ShpMultiPointZ. */
OVRIX32_API ShpMultiPatch* OVRIX32_CALL Shp_MultiPatchCreate(int32_t firstPartType);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchDestroy(ShpMultiPatch* multiPatch);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchRead(ShpFile* shp, int32_t recordNumber, ShpMultiPatch* multiPatch);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchAppend(ShpFile* shp, ShpMultiPatch* multiPatch, int32_t noMeasures);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchNewPart(ShpMultiPatch* multiPatch, int32_t partType);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchSetFirstPartType(ShpMultiPatch* multiPatch, int32_t partType);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchAppendCoord(ShpMultiPatch* multiPatch, ShpCoordZ* coord);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetCoord(ShpMultiPatch* multiPatch, ShpCoordZ* coord, int32_t pointNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetNumParts(ShpMultiPatch* multiPatch);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetNumCoords(ShpMultiPatch* multiPatch);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetPartOffset(ShpMultiPatch* multiPatch, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetTypeInPart(ShpMultiPatch* multiPatch, int32_t partNumber);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetBoundingBox(ShpMultiPatch* multiPatch, Bbox* box);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetZCoordRange(ShpMultiPatch* multiPatch, double* min, double* max);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetMeasureRange(ShpMultiPatch* multiPatch, double* min, double* max);
OVRIX32_API int32_t OVRIX32_CALL Shp_MultiPatchGetId(ShpMultiPatch* multiPatch);
OVRIX32_API void OVRIX32_CALL Shp_MultiPatchSetId(ShpMultiPatch* multiPatch, int32_t id);

/* ------------------------------------------------------------------------
 * Attribute tables (.dbf)
 * ------------------------------------------------------------------------ */

/* A table is a dBASE file (.dbf) worked on in place: one open file, one
 * record buffer, every change written out to the system at once (appended
 * records at Db_AddRecEnd, before the new record count). Within the process,
 * every other table open on the same file reads such a change at once, from
 * its next read of a record or field; a record it has already loaded (by
 * Db_GetRec or a value read) stays as loaded until the table is positioned
 * again (Db_GotoRec, Db_SetRecNum, Db_GetRec of another record).
 * Another process sees the change once it reads that part of the file
 * again; a table it holds open with this library may answer from the up to
 * 128 KiB it read before, until it reads beyond them. Values cross the
 * interface as text: character fields left-aligned and blank-padded, numeric
 * and float fields right-aligned (a longer value keeps its first characters,
 * nothing is checked to be a number), logical fields 'T' (from t, T, 1),
 * 'F' (from f, F, 0) or '?', dates as their first 8 characters (YYYYMMDD).
 * Numbers count from 1; invalid field or record numbers are refused (0 or
 * NULL, nothing changed).
 *
 * Files that Db_Open refuses (0, the handle left as it was): a first byte
 * whose low three bits are not 3 or 4, a file that ends inside its 32-byte
 * header or its field descriptors, a header size below 33 or above 32800,
 * a record size above 32767 or smaller than 1 + the sum of the field widths
 * (a larger record size is accepted; the extra bytes are ignored), and a
 * path longer than 257 characters. A record or field that lies past the end
 * of the file reads as blanks.
 *
 * Db_Open and Db_NewBeginDef on an open table close it first, once the new
 * file is open; a refused call leaves the table as it was. */

/* New closed table, or NULL when memory runs out. */
OVRIX32_API DbTable* OVRIX32_CALL Db_Create(void);
/* Closes the table as Db_Close does and frees it; NULL is ignored. */
OVRIX32_API void OVRIX32_CALL Db_Destroy(DbTable* table);
/* Opens an existing .dbf at record 1, read-write, or read only when the
 * file or its file system may not be written; 0 for a NULL table or path, a table being defined, a file that cannot
 * be opened or is refused (above), or when memory runs out. */
OVRIX32_API int32_t OVRIX32_CALL Db_Open(DbTable* table, const char* path);
/* Closes the file without writing anything; 1, or 0 for NULL. Records
 * appended without Db_AddRecEnd stay in the file but uncounted. */
OVRIX32_API int32_t OVRIX32_CALL Db_Close(DbTable* table);

/* Defining a new table: Db_NewBeginDef creates (or empties) the file;
 * Db_NewAddField adds one field: name cut to 9 characters (case kept),
 * type DB_CHARACTER (width 1-254), DB_NUMERIC or DB_FLOAT (width 1-20; the
 * decimal count is lowered to width - 2, at least 0), DB_LOGICAL (width 1)
 * or DB_DATE (width 8); widths out of range are brought into it. It refuses
 * outside a definition, a 257th field, another type, a NULL name and the
 * field that would make a record (with its deletion flag) longer than 32767
 * bytes. Db_NewEndDef completes the file and opens it as a table without
 * records; 0 outside a definition, when the file's last bytes cannot be
 * written or when it cannot be opened again (the table is then closed). */
OVRIX32_API int32_t OVRIX32_CALL Db_NewBeginDef(DbTable* table, const char* path);
OVRIX32_API int32_t OVRIX32_CALL Db_NewAddField(DbTable* table, const char* name, int32_t type, int32_t width, int32_t decimals);
OVRIX32_API int32_t OVRIX32_CALL Db_NewEndDef(DbTable* table);

/* Appending records to an open table: Db_AddRecBegin, then per record any
 * Db_RecSetField calls and one Db_AddRec (fields not set stay blank), then
 * Db_AddRecEnd, which writes the record count and the end-of-file byte
 * (exactly one, right behind the last record; a file that lacks it gets
 * records right behind its last byte). Db_AddRecBegin refuses a table that is
 * not open, is read only or is appending already; the others refuse outside
 * the append phase, and Db_RecSetField also an invalid field, a NULL value,
 * a date shorter than 8 characters and a memo field. Moving to a record or
 * Db_SetFieldValue during the append phase first ends it as Db_AddRecEnd
 * does. */
OVRIX32_API int32_t OVRIX32_CALL Db_AddRecBegin(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_RecSetField(DbTable* table, int32_t field, const char* value);
OVRIX32_API int32_t OVRIX32_CALL Db_AddRec(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_AddRecEnd(DbTable* table);
/* Creates baseName.dbf with one numeric field "id" (width 8) and leaves it
 * open, without records, for appending one record per shape; 0 for a NULL
 * argument, an empty base name, one longer than 249 characters or a file
 * that cannot be created. */
OVRIX32_API int32_t OVRIX32_CALL Shp_CreateShpFAT(const char* baseName, DbTable* table);

/* Number of records, of fields, bytes of field data per record (without the
 * deletion flag), and the current record number. */
OVRIX32_API int32_t OVRIX32_CALL Db_GetNumRecs(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_GetNumFields(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_GetRecLen(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_GetCurRecNum(DbTable* table);
/* Makes record n current. GotoRec positions the file at it; SetRecNum only
 * declares that the file stands at it (after reading a whole record it stands
 * at the next one, so a front-to-back scan needs no positioning); GetRec
 * loads it (nothing is read when it is loaded already). 0 for an invalid
 * record number. */
OVRIX32_API int32_t OVRIX32_CALL Db_GotoRec(DbTable* table, int32_t recordNumber);
OVRIX32_API int32_t OVRIX32_CALL Db_SetRecNum(DbTable* table, int32_t recordNumber);
OVRIX32_API int32_t OVRIX32_CALL Db_GetRec(DbTable* table, int32_t recordNumber);
/* The value of a field of the current record without leading and trailing
 * blanks, copied into out (at most 255 characters and a NUL); returns its
 * length. 0 and out untouched for an invalid field, a table without records
 * or a blank value. GetFieldValue loads the whole record, ReadField reads
 * only the field's bytes. */
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldValue(DbTable* table, int32_t field, char* out);
OVRIX32_API int32_t OVRIX32_CALL Db_ReadField(DbTable* table, int32_t field, char* out);
/* As Db_GetFieldValue, but returns a pointer to the value inside the table,
 * valid until the next value call on it, or NULL; stores the length (0 for
 * NULL) when length is not NULL. */
OVRIX32_API const char* OVRIX32_CALL Db_GetFieldValuePtr(DbTable* table, int32_t field, int32_t* length);
/* The raw bytes from..to-1 of the current record (byte 1 follows the
 * deletion flag, the record's last byte may be included), untrimmed and cut
 * at a NUL, copied into out (at most 255 characters and a NUL); returns the
 * length. 0 and out untouched for a range outside the record or a table
 * without records. */
OVRIX32_API int32_t OVRIX32_CALL Db_ReadRecPart(DbTable* table, int32_t from, int32_t to, char* out);
/* Writes a value into a field of the current record in the file at once;
 * 1 written, 0 for a read-only table, an invalid field, a table without
 * records, a NULL value, a date shorter than 8 characters or a failed write.
 * A memo field is overwritten with zero bytes. */
OVRIX32_API int32_t OVRIX32_CALL Db_SetFieldValue(DbTable* table, int32_t field, const char* value);
/* 1 when the current record is marked deleted; 0 otherwise and for a table
 * without records. */
OVRIX32_API int32_t OVRIX32_CALL Db_IsCurRecDeleted(DbTable* table);
/* Mark the current record deleted or live in the file (and in the loaded
 * record); 1, or 0 for a read-only table or a table without records. */
OVRIX32_API int32_t OVRIX32_CALL Db_CurRecDelete(DbTable* table);
OVRIX32_API int32_t OVRIX32_CALL Db_CurRecUnDelete(DbTable* table);
/* Copies the field's name into out (at least 11 bytes); returns its length,
 * 0 for an invalid field. */
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldName(DbTable* table, int32_t field, char* out);
/* The field's type code (DB_CHARACTER ... DB_MEMO; another letter gives its
 * character code), width and decimal count; 0 for an invalid field. */
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldType(DbTable* table, int32_t field);
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldWidth(DbTable* table, int32_t field);
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldDecimals(DbTable* table, int32_t field);
/* Upper-cases name in place and returns the number of the field stored
 * under exactly that name, or 0 (also for a NULL table or name). A name
 * stored with lower-case letters is never found. Only characters that
 * change are written, so a name already in upper case may be a string
 * constant. */
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldId(DbTable* table, char* name);
/* Renames a field in the file and the table: the first 10 characters of
 * name, upper-cased; 0 for a table being defined or read only, an invalid
 * field or a NULL name. */
OVRIX32_API int32_t OVRIX32_CALL Db_RenameField(DbTable* table, int32_t field, const char* name);

/* ------------------------------------------------------------------------
 * File-handle reservation
 * ------------------------------------------------------------------------ */

/* The library can hold placeholder files open ("~ZOR0001.TMP", ... in $TMPDIR,
 * or /tmp when TMPDIR is unset or empty) so that it can still open its own
 * files after the host has used up the process's open-file limit. While the
 * reserve is active, every library open gives one placeholder back first and
 * every close takes one again. */

/* Adds up to count placeholders (stopping at the first that cannot be
 * created) and returns how many were added; 0 for a count below 1. */
OVRIX32_API int32_t OVRIX32_CALL Shp_ReserveFileHandles(int32_t count);
/* How many more files could be opened now (found by opening placeholders
 * until that fails, then removing them again). Activates the reserve. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumFreeFileHandles(void);
/* Closes and deletes every placeholder and deactivates the reserve; returns
 * how many were deleted. */
OVRIX32_API int32_t OVRIX32_CALL Shp_FreeFileHandles(void);
/* Number of placeholders held. */
OVRIX32_API int32_t OVRIX32_CALL Shp_GetNumReservedFileHandles(void);

/* ------------------------------------------------------------------------
 * Long file names
 * ------------------------------------------------------------------------ */

/* File names are renamed and translated by the helper program velqlfn,
 * looked up on PATH and started without waiting for it. Both functions share
 * one library-wide text buffer: a command line ("velqlfn ren<first>*<second>"
 * or "velqlfn trn<name>") longer than 511 characters is refused and nothing
 * is started. */

/* Starts velqlfn to rename first to second (it never replaces an existing
 * file). Returns above 31 (33) when the helper started; whether the rename
 * succeeded is not known. Otherwise: 0 out of resources, 2 velqlfn not found,
 * 5 velqlfn may not be executed, 11 velqlfn cannot be run, 24 command line
 * too long. */
OVRIX32_API int32_t OVRIX32_CALL Velq_RenameFile(const char* first, const char* second);
/* Starts velqlfn to translate name and looks for its answer for under half a
 * second: "<short>*<long>", the name's 8.3 form and its absolute canonical
 * path. An answer still shown from an earlier call (velqlfn withdraws each
 * after half a second) is taken as well. Returns 1 with the two parts copied to shortOut and longOut
 * (each at most 509 characters and a NUL) and written to standard error as
 * "short: ..." and "long: ...". Returns 0 with both outputs empty when no
 * answer appeared, when it has no '*', or when the command line is too long. */
OVRIX32_API int32_t OVRIX32_CALL Velq_TranslateFilename(const char* name, char* shortOut, char* longOut);

#ifdef __cplusplus
}
#endif

#endif /* OVRIX32_H */
