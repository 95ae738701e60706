# Windows, cross-built on Debian with mingw-w64; included by mingw-x86_64.cmake and mingw-i686.cmake
# after they set OVRIX32_MINGW_ARCH.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${OVRIX32_MINGW_ARCH})
set(triple ${OVRIX32_MINGW_ARCH}-w64-mingw32)
# The POSIX-thread variants: GoogleTest needs std::mutex (the library itself starts no thread).
set(CMAKE_C_COMPILER ${triple}-gcc-posix)
set(CMAKE_CXX_COMPILER ${triple}-g++-posix)
set(CMAKE_RC_COMPILER ${triple}-windres)
set(CMAKE_OBJDUMP ${triple}-objdump CACHE FILEPATH "objdump for the target")
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# The C and C++ runtimes are linked in: the DLL needs nothing but system DLLs.
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static-libgcc -static-libstdc++ -static")
set(OVRIX32_GTEST_FROM_SOURCE ON CACHE BOOL "Build GoogleTest from /usr/src/googletest" FORCE)
