# Cross build of the core for 64-bit Windows with Debian's MinGW-w64 (posix threads), its
# checks run under Wine. Used by tools/cross-check-windows.sh with -DTARN_CORE_ONLY=ON.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)
set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# One self-contained .exe: no libstdc++, libgcc or winpthread DLLs to find at run time.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# GCC 12 reports a false -Wrestrict inside std::string at -O2 (GCC bug 105329).
set(CMAKE_CXX_FLAGS_INIT "-Wno-restrict")
find_program(TARN_WINE NAMES wine wine64)
if(TARN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TARN_WINE})
endif()
