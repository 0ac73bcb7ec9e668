# 32-bit big-endian PowerPC Linux with Debian's cross compiler
# (g++-powerpc-linux-gnu). It has what bites on the appliance: 32-bit long,
# size_t, time_t and pointers, big-endian byte order, unsigned char and no
# native 64-bit atomics. Programs run under qemu-user (package qemu-user).
#
#   cmake -S . -B build/powerpc \
#     -DCMAKE_TOOLCHAIN_FILE=cmake/toolchains/powerpc-linux-gnu.cmake
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR powerpc)

set(CMAKE_C_COMPILER powerpc-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER powerpc-linux-gnu-g++)

# The target's libraries and headers; tools come from the build machine.
set(VELORANTIS_TARGET_ROOT /usr/powerpc-linux-gnu)
set(CMAKE_FIND_ROOT_PATH ${VELORANTIS_TARGET_ROOT})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# There is no binfmt handler here: CTest, test discovery and the tests'
# program runs all start target programs through this prefix.
set(CMAKE_CROSSCOMPILING_EMULATOR qemu-ppc -L ${VELORANTIS_TARGET_ROOT})
