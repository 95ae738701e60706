# Windows x86_64 DLL: cmake -S . -B build/win64 --toolchain cmake/toolchains/mingw-x86_64.cmake
set(OVRIX32_MINGW_ARCH x86_64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run the Windows programs under wine64 (Debian's wine64) where it is installed.
find_program(OVRIX32_WINE64 wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(OVRIX32_WINE64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OVRIX32_WINE64})
endif()
