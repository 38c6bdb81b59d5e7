# 32-bit x86 Linux executables (Debian: g++-i686-linux-gnu), run with
# qemu-i386 -L /usr/i686-linux-gnu. The same 32-bit x86 arithmetic as the
# 32-bit Windows build, runnable where a 32-bit Wine is not. The processor
# name makes cmake/exact_float.cmake add -msse2 -mfpmath=sse.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(CMAKE_CXX_COMPILER i686-linux-gnu-g++)
set(CMAKE_FIND_ROOT_PATH /usr/i686-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-i386 -L /usr/i686-linux-gnu)
