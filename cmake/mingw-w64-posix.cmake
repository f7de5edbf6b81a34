# Cross-compiling for 64-bit Windows with Debian's MinGW-w64, posix thread flavour
# (so std::thread and std::mutex work).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(HAULIX_MINGW x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${HAULIX_MINGW}-gcc-posix)
set(CMAKE_CXX_COMPILER ${HAULIX_MINGW}-g++-posix)
set(CMAKE_RC_COMPILER ${HAULIX_MINGW}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${HAULIX_MINGW})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
