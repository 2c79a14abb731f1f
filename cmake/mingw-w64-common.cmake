# The part of the MinGW-w64 toolchain files that does not depend on the
# target width; ZEK_MINGW_TRIPLET names the compiler set.
# The posix thread model: GoogleTest needs std::mutex, which the win32
# model of this compiler lacks.
set(CMAKE_C_COMPILER ${ZEK_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZEK_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZEK_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZEK_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# One .exe that runs without the compiler's DLLs beside it.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# ctest starts the Windows executables through Wine.
find_program(ZEK_WINE NAMES wine wine64 PATHS /usr/lib/wine)
if(ZEK_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${ZEK_WINE})
endif()
