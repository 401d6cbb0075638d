# Cross-build the Windows program: 64-bit x86, for running the Windows tests where the machine has no 32-bit support, MinGW-w64.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# zlib is linked into the program, which then needs no zlib1.dll beside it.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/x86_64-w64-mingw32/lib/libz.a CACHE FILEPATH "zlib, the static library" FORCE)
set(ZLIB_LIBRARY_RELEASE /usr/x86_64-w64-mingw32/lib/libz.a CACHE FILEPATH "zlib, the static library" FORCE)
# Writes the delay-load import libraries of the program.
set(PW_DLLTOOL x86_64-w64-mingw32-dlltool)
