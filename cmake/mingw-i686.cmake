# The product: 32-bit Windows, GUI subsystem.
# The -posix compilers are named on purpose: the plain ones use the win32
# thread model, which lacks std::mutex and cannot build GoogleTest.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(GX_TRIPLE i686-w64-mingw32)
set(CMAKE_C_COMPILER   ${GX_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${GX_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER  ${GX_TRIPLE}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${GX_TRIPLE})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
