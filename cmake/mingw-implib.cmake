# Rebuilds the import library of a 32-bit ovrix32.dll. The DLL exports plain names (linked with
# --kill-at), while 32-bit callers of __stdcall functions refer to them as Name@n (n: bytes of
# arguments); the import library must map each Name@n to the plain export. The names and their
# n come from the library's own objects (CORE, the static library).
# cmake -DNM=... -DDLLTOOL=... -DCORE=... -DDEF=... -DIMPLIB=... -DDLL=ovrix32.dll -P mingw-implib.cmake
execute_process(COMMAND ${NM} --defined-only -g ${CORE} OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
string(REGEX MATCHALL " T _(Shp|Db|Velq)_[A-Za-z0-9_]+@[0-9]+" found "${symbols}")
list(REMOVE_DUPLICATES found)
set(def "LIBRARY ${DLL}\nEXPORTS\n")
foreach(entry ${found})
  string(REGEX REPLACE "^ T _" "" name "${entry}")
  string(APPEND def "  ${name}\n")
endforeach()
file(WRITE ${DEF} "${def}")
execute_process(COMMAND ${DLLTOOL} --kill-at --def ${DEF} --dllname ${DLL} --output-lib ${IMPLIB}
                COMMAND_ERROR_IS_FATAL ANY)
