# Cross build for 64-bit Windows with Debian's MinGW-w64 (the posix thread model, which std::thread
# needs). The programs are linked statically so they run without the compiler's DLLs, on Windows as
# under Wine. Tests run through wine64 when CTest starts them.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(VTC880_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${VTC880_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${VTC880_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${VTC880_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${VTC880_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")

find_program(VTC880_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(VTC880_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${VTC880_WINE})
endif()
