# Windows i686 DLL: cmake -S . -B build/win32 --toolchain cmake/toolchains/mingw-i686.cmake
set(OVRIX32_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Tests run the Windows programs under 32-bit wine (Debian's wine32) where it is installed.
find_program(OVRIX32_WINE32 wine PATHS /usr/lib/wine NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(OVRIX32_WINE32)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${OVRIX32_WINE32})
endif()
