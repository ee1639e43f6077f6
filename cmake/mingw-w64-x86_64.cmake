# Cross-compiles for 64-bit Windows with Debian's mingw-w64 compilers; the
# test programs run under wine (scripts/wine-run.sh).
#   cmake -S . -B build-windows --toolchain cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

# The -posix flavour: only its runtime has std::thread and std::mutex.
set(TALVEK_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVEK_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVEK_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVEK_MINGW_PREFIX}-windres)
set(CMAKE_AR ${TALVEK_MINGW_PREFIX}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB ${TALVEK_MINGW_PREFIX}-ranlib CACHE FILEPATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TALVEK_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# 64-bit file offsets: mingw's off_t and st_size are 32 bits without it.
set(CMAKE_C_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
set(CMAKE_CXX_FLAGS_INIT "-D_FILE_OFFSET_BITS=64")
# Static runtimes, so that a program imports only the system's DLLs; and
# binmode.o, so that the C runtime opens files and the standard streams in
# binary mode unless told otherwise, as every byte of our files must pass
# unchanged.
set(CMAKE_EXE_LINKER_FLAGS_INIT
  "-static -static-libgcc -static-libstdc++ /usr/${TALVEK_MINGW_PREFIX}/lib/binmode.o")

set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run.sh)
