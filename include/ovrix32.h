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
 *  - The library keeps three library-wide values (the error value, the
 *    file-handle reserve and the helper bridge's text buffer), so it must be
 *    used from one thread at a time.
 *
 * The header is valid C99 and C++.
 */
#ifndef OVRIX32_H
#define OVRIX32_H

#include <stdint.h>

#if defined(OVRIX32_BUILDING) && defined(__GNUC__)
#define OVRIX32_API __attribute__((visibility("default")))
#else
#define OVRIX32_API
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

/* First four bytes of every .shp and .shx file (big-endian). */
#define FILE_CODE 9994

/* Returned by the part-offset getters for a part number that is out of range:
 * the most negative 32-bit integer. */
#define PART_INVALID ((int32_t)(-2147483647 - 1))

/* Reported as the measure of a point, and as both ends of the measure range,
 * when a record holds no measures. */
#define NO_DATA (-1e39)

/* MULTIPATCH_PART_TYPES */

/* TABLE_CONSTANTS */

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
OVRIX32_API ShpFile* Shp_Create(void);
/* Closes the handle as Shp_Close does and releases it; 0 for NULL. */
OVRIX32_API int32_t Shp_Destroy(ShpFile* shp);
/* Opens baseName.shp and baseName.shx: mode 3 to read records, mode 2 to
 * append records (only the low 8 bits of mode count). A base name longer
 * than 251 characters is cut to 251 in the caller's string. 0 for another
 * mode, a NULL argument, a missing file or a file without the file code;
 * the handle is then closed. A handle that is still open is closed first, as
 * Shp_Close does (so nothing appended to it is lost).
 * Mode 2 opens both files read-write and refuses (0, handle closed) a pair
 * whose header lengths are impossible: a main file length below 100 bytes or
 * past the end of the file, or an index length that is not 100 + 8 per
 * record or lies past the end of the index file. New records go right behind
 * the data that the main header's length covers; the handle's box and
 * ranges continue from the values stored in the header. */
OVRIX32_API int32_t Shp_Open(ShpFile* shp, char* baseName, int32_t mode);
/* Rewrites both headers when records were appended, closes both files and
 * resets the handle; 1, or 0 for NULL. Closing a closed handle writes
 * nothing and returns 1. */
OVRIX32_API int32_t Shp_Close(ShpFile* shp);
/* The file's shape type code (0 when closed). */
OVRIX32_API int32_t Shp_GetType(ShpFile* shp);
/* Copies the type's name ("None", "Point", ..., "Bad Shape Type") into buf
 * (at least 15 bytes) and returns its length; 0 and buf untouched for NULL. */
OVRIX32_API int32_t Shp_GetTypeAsString(ShpFile* shp, char* buf);
/* The header's version number (1000 for new files). */
OVRIX32_API int32_t Shp_GetVersion(ShpFile* shp);
/* Copies the base name of the open pair (empty when closed) into buf (at
 * least 252 bytes); 0 for NULL. */
OVRIX32_API int32_t Shp_GetFileName(ShpFile* shp, char* buf);
/* Copies the file's bounding box; 1. */
OVRIX32_API int32_t Shp_GetBoundingBox(ShpFile* shp, Bbox* box);
/* Stores the file's measure range; 0 when any pointer is NULL. */
OVRIX32_API int32_t Shp_GetMeasureRange(ShpFile* shp, double* min, double* max);
/* Stores the file's Z range; 0 when any pointer is NULL. */
OVRIX32_API int32_t Shp_GetZCoordRange(ShpFile* shp, double* min, double* max);
/* Number of records, taken from the index file's length. */
OVRIX32_API int32_t Shp_GetNumShapes(ShpFile* shp);
/* 1 when the named file (extension included) can be opened and starts with
 * the file code 9994 — a .shx passes as well as a .shp; 0 for NULL. */
OVRIX32_API int32_t Shp_IsShapeFile(const char* fileName);
/* The library-wide error value: 0 after a failed Shp_Create, the system's
 * error number after an open that failed while file handles were held in
 * reserve. Never cleared. */
OVRIX32_API int32_t Shp_GetError(void);
/* Version of this interface: 100. */
OVRIX32_API int32_t Shp_ApiGetVersion(void);

/* Type predicates: 1 when the file's shape type is the one named, else 0. */
OVRIX32_API int32_t Shp_IsPointType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsLineType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsPolyType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsMultiPointType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsPointZType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsLineZType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsPolyZType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsMultiPointZType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsPointMType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsLineMType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsPolyMType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsMultiPointMType(ShpFile* shp);
OVRIX32_API int32_t Shp_IsMultiPatchType(ShpFile* shp);

/* Creates baseName.shp and baseName.shx (emptying existing files) for
 * records of one shape type and writes both headers; 0 for an invalid type
 * (no file is created), a NULL argument or a file that cannot be created.
 * Base names are cut to 251 characters as in Shp_Open, and a handle that is
 * still open is closed first. */
OVRIX32_API int32_t Shp_New(ShpFile* shp, char* baseName, int32_t shapeType);

/* ------------------------------------------------------------------------
 * Coordinate structures
 * ------------------------------------------------------------------------ */

/* Fill and read the coordinate structures; values are copied bit for bit.
 * Note the argument order of the Z pair: z before m. */
OVRIX32_API void Shp_SetCoord(ShpCoord* c, double x, double y);
OVRIX32_API void Shp_GetCoord(ShpCoord* c, double* x, double* y);
OVRIX32_API void Shp_SetCoordM(ShpCoordM* c, double x, double y, double m);
OVRIX32_API void Shp_GetCoordM(ShpCoordM* c, double* x, double* y, double* m);
OVRIX32_API void Shp_SetCoordZ(ShpCoordZ* c, double x, double y, double z, double m);
OVRIX32_API void Shp_GetCoordZ(ShpCoordZ* c, double* x, double* y, double* z, double* m);

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
OVRIX32_API ShpPoint* Shp_PointCreate(void);
OVRIX32_API int32_t Shp_PointDestroy(ShpPoint* point);
OVRIX32_API int32_t Shp_PointRead(ShpFile* shp, int32_t recordNumber, ShpPoint* point);
OVRIX32_API int32_t Shp_PointAppend(ShpFile* shp, ShpPoint* point);
OVRIX32_API int32_t Shp_PointGetId(ShpPoint* point);
OVRIX32_API void Shp_PointSetId(ShpPoint* point, int32_t id);
OVRIX32_API int32_t Shp_PointAppendCoord(ShpPoint* point, ShpCoord* coord);
OVRIX32_API int32_t Shp_PointGetCoord(ShpPoint* point, ShpCoord* coord);

OVRIX32_API ShpPointM* Shp_PointMCreate(void);
OVRIX32_API int32_t Shp_PointMDestroy(ShpPointM* point);
OVRIX32_API int32_t Shp_PointMRead(ShpFile* shp, int32_t recordNumber, ShpPointM* point);
OVRIX32_API int32_t Shp_PointMAppend(ShpFile* shp, ShpPointM* point);
OVRIX32_API int32_t Shp_PointMGetId(ShpPointM* point);
OVRIX32_API void Shp_PointMSetId(ShpPointM* point, int32_t id);
OVRIX32_API int32_t Shp_PointMAppendCoord(ShpPointM* point, ShpCoordM* coord);
OVRIX32_API int32_t Shp_PointMGetCoord(ShpPointM* point, ShpCoordM* coord);

OVRIX32_API ShpPointZ* Shp_PointZCreate(void);
OVRIX32_API int32_t Shp_PointZDestroy(ShpPointZ* point);
OVRIX32_API int32_t Shp_PointZRead(ShpFile* shp, int32_t recordNumber, ShpPointZ* point);
OVRIX32_API int32_t Shp_PointZAppend(ShpFile* shp, ShpPointZ* point);
OVRIX32_API int32_t Shp_PointZGetId(ShpPointZ* point);
OVRIX32_API void Shp_PointZSetId(ShpPointZ* point, int32_t id);
OVRIX32_API int32_t Shp_PointZAppendCoord(ShpPointZ* point, ShpCoordZ* coord);
OVRIX32_API int32_t Shp_PointZGetCoord(ShpPointZ* point, ShpCoordZ* coord);

/* ------------------------------------------------------------------------
 * MultiPoint records
 * ------------------------------------------------------------------------ */

/* MULTIPOINT_FAMILY */

/* ------------------------------------------------------------------------
 * Polyline records
 * ------------------------------------------------------------------------ */

/* POLYLINE_FAMILY */

/* ------------------------------------------------------------------------
 * Polygon records
 * ------------------------------------------------------------------------ */

/* POLYGON_FAMILY */

/* ------------------------------------------------------------------------
 * MultiPatch records
 * ------------------------------------------------------------------------ */

/* MULTIPATCH_FAMILY */

/* ------------------------------------------------------------------------
 * Attribute tables (.dbf)
 * ------------------------------------------------------------------------ */

/* TABLE_FUNCTIONS */

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
OVRIX32_API int32_t Shp_ReserveFileHandles(int32_t count);
/* How many more files could be opened now (found by opening placeholders
 * until that fails, then removing them again). Activates the reserve. */
OVRIX32_API int32_t Shp_GetNumFreeFileHandles(void);
/* Closes and deletes every placeholder and deactivates the reserve; returns
 * how many were deleted. */
OVRIX32_API int32_t Shp_FreeFileHandles(void);
/* Number of placeholders held. */
OVRIX32_API int32_t Shp_GetNumReservedFileHandles(void);

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
OVRIX32_API int32_t Velq_RenameFile(const char* first, const char* second);
/* Starts velqlfn to translate name and looks for its answer for under half a
 * second: "<short>*<long>", the name's 8.3 form and its absolute canonical
 * path. An answer still shown from an earlier call (velqlfn withdraws each
 * after half a second) is taken as well. Returns 1 with the two parts copied to shortOut and longOut
 * (each at most 509 characters and a NUL) and written to standard error as
 * "short: ..." and "long: ...". Returns 0 with both outputs empty when no
 * answer appeared, when it has no '*', or when the command line is too long. */
OVRIX32_API int32_t Velq_TranslateFilename(const char* name, char* shortOut, char* longOut);

#ifdef __cplusplus
}
#endif

#endif /* OVRIX32_H */
