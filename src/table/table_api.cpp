// Exported entry points of the attribute table; each forwards to the table
// internals.
#include <cstring>

#include "ovrix32.h"
#include "table/dbtable.h"

using namespace ovrix;

extern "C" {

OVRIX32_API DbTable* OVRIX32_CALL Db_Create(void) { return DbTable_Create(); }
OVRIX32_API void OVRIX32_CALL Db_Destroy(DbTable* t) { DbTable_Destroy(t); }
OVRIX32_API int32_t OVRIX32_CALL Db_Open(DbTable* t, const char* path) { return DbTable_Open(t, path); }
OVRIX32_API int32_t OVRIX32_CALL Db_Close(DbTable* t) { return DbTable_Close(t); }

OVRIX32_API int32_t OVRIX32_CALL Db_NewBeginDef(DbTable* t, const char* path) { return DbTable_NewBeginDef(t, path); }
// Type, width and decimal count are 16-bit values: the low half of each
// argument counts.
OVRIX32_API int32_t OVRIX32_CALL Db_NewAddField(DbTable* t, const char* name, int32_t type, int32_t width, int32_t decimals) {
  return DbTable_NewAddField(t, name, static_cast<int16_t>(type), static_cast<int16_t>(width),
                             static_cast<int16_t>(decimals));
}
OVRIX32_API int32_t OVRIX32_CALL Db_NewEndDef(DbTable* t) { return DbTable_NewEndDef(t); }
OVRIX32_API int32_t OVRIX32_CALL Db_AddRecBegin(DbTable* t) { return DbTable_AddRecBegin(t); }
OVRIX32_API int32_t OVRIX32_CALL Db_RecSetField(DbTable* t, int32_t i, const char* value) { return DbTable_RecSetField(t, i, value); }
OVRIX32_API int32_t OVRIX32_CALL Db_AddRec(DbTable* t) { return DbTable_AddRec(t); }
OVRIX32_API int32_t OVRIX32_CALL Db_AddRecEnd(DbTable* t) { return DbTable_AddRecEnd(t); }
OVRIX32_API int32_t OVRIX32_CALL Shp_CreateShpFAT(const char* baseName, DbTable* t) { return DbTable_CreateShpFAT(baseName, t); }

OVRIX32_API int32_t OVRIX32_CALL Db_GetNumRecs(DbTable* t) { return t->numRecs; }
OVRIX32_API int32_t OVRIX32_CALL Db_GetNumFields(DbTable* t) { return t->numFields; }
OVRIX32_API int32_t OVRIX32_CALL Db_GetRecLen(DbTable* t) { return t->recordSize - 1; }
OVRIX32_API int32_t OVRIX32_CALL Db_GetCurRecNum(DbTable* t) { return t->curRec; }
OVRIX32_API int32_t OVRIX32_CALL Db_GotoRec(DbTable* t, int32_t n) { return DbTable_GotoRec(t, n); }
OVRIX32_API int32_t OVRIX32_CALL Db_SetRecNum(DbTable* t, int32_t n) { return DbTable_SetRecNum(t, n); }
OVRIX32_API int32_t OVRIX32_CALL Db_GetRec(DbTable* t, int32_t n) { return DbTable_GetRec(t, n); }

OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldValue(DbTable* t, int32_t i, char* out) {
  int32_t length = 0;
  return DbTable_FieldValue(t, i, &length, out) != nullptr ? length : 0;
}
OVRIX32_API const char* OVRIX32_CALL Db_GetFieldValuePtr(DbTable* t, int32_t i, int32_t* length) {
  int32_t n = 0;
  const char* value = DbTable_FieldValue(t, i, &n);
  if (length != nullptr) *length = value != nullptr ? n : 0;
  return value;
}
OVRIX32_API int32_t OVRIX32_CALL Db_ReadField(DbTable* t, int32_t i, char* out) {
  int32_t length = 0;
  return DbTable_ReadField(t, i, &length, out) != nullptr ? length : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Db_ReadRecPart(DbTable* t, int32_t from, int32_t to, char* out) {
  return DbValue_CopyOut(DbTable_ReadRecPart(t, from, to), out);
}
OVRIX32_API int32_t OVRIX32_CALL Db_SetFieldValue(DbTable* t, int32_t i, const char* value) {
  return DbTable_SetFieldValue(t, i, value);
}

OVRIX32_API int32_t OVRIX32_CALL Db_IsCurRecDeleted(DbTable* t) { return DbTable_IsCurRecDeleted(t); }
OVRIX32_API int32_t OVRIX32_CALL Db_CurRecDelete(DbTable* t) { return DbTable_SetDeletionFlag(t, kDbDeleted); }
OVRIX32_API int32_t OVRIX32_CALL Db_CurRecUnDelete(DbTable* t) { return DbTable_SetDeletionFlag(t, kDbLive); }

OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldName(DbTable* t, int32_t i, char* out) {
  return DbTable_ValidField(t, i) ? DbValue_CopyOut(t->fieldDefs[i].fieldName, out) : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldType(DbTable* t, int32_t i) { return DbTable_FieldType(t, i); }
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldWidth(DbTable* t, int32_t i) {
  return DbTable_ValidField(t, i) ? t->fieldDefs[i].fieldWidth : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldDecimals(DbTable* t, int32_t i) {
  return DbTable_ValidField(t, i) ? t->fieldDefs[i].fieldDecimals : 0;
}
OVRIX32_API int32_t OVRIX32_CALL Db_GetFieldId(DbTable* t, char* name) { return DbTable_FieldId(t, name); }
OVRIX32_API int32_t OVRIX32_CALL Db_RenameField(DbTable* t, int32_t i, const char* name) { return DbTable_RenameField(t, i, name); }

}  // extern "C"
