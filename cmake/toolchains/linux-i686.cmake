# Linux on i686: 32-bit integers and pointers, the interface's own word size.
# Built on an x86_64 Debian host with gcc-multilib and g++-multilib:
#   cmake -S . -B build/i686 --toolchain cmake/toolchains/linux-i686.cmake
set(CMAKE_C_FLAGS_INIT -m32)
set(CMAKE_CXX_FLAGS_INIT -m32)
set(CMAKE_EXE_LINKER_FLAGS_INIT -m32)
set(CMAKE_SHARED_LINKER_FLAGS_INIT -m32)
set(CMAKE_MODULE_LINKER_FLAGS_INIT -m32)
set(CMAKE_LIBRARY_ARCHITECTURE i386-linux-gnu)
# No installed GoogleTest fits this word size: the tests build it from source.
set(OVRIX32_GTEST_FROM_SOURCE ON CACHE BOOL "Build GoogleTest from /usr/src/googletest" FORCE)
