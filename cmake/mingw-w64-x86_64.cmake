# Cross-building for 64-bit Windows with Debian's MinGW-w64 (the posix
# thread model, for std::thread and friends). `make windows` uses it:
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUARVEL_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUARVEL_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUARVEL_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${QUARVEL_MINGW}-windres)

# Headers and libraries come from the cross tree only; programs (the
# build's own tools) from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${QUARVEL_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything static, the C and C++ runtimes included, so the programs
# need only Windows' own DLLs. No link time in the header, so the same
# source gives the same bytes; release programs without their symbols
# (about 1.1 MB instead of 2.7).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp")
set(CMAKE_EXE_LINKER_FLAGS_RELEASE_INIT "-s")
