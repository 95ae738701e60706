# Windows i686 DLL: cmake -S . -B build/win32 --toolchain cmake/toolchains/mingw-i686.cmake
set(OVRIX32_MINGW_ARCH i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
