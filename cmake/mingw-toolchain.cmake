# What both Windows toolchains share; each sets ZRK_MINGW_TRIPLE and
# CMAKE_SYSTEM_PROCESSOR first. The -posix compilers give std::mutex and
# std::thread, which GoogleTest needs; the -win32 ones do not.
set(CMAKE_SYSTEM_NAME Windows)

set(CMAKE_C_COMPILER ${ZRK_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZRK_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${ZRK_MINGW_TRIPLE}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${ZRK_MINGW_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
