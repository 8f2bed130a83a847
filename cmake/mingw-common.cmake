# Shared part of the MinGW-w64 toolchains. The -posix compilers are used because GoogleTest
# needs std::mutex, which the -win32 thread model lacks.
set(CMAKE_C_COMPILER ${MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_PREFIX}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
# Without -static the images would import libstdc++, libgcc and libwinpthread DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
# Test programs run through Wine in the build's own Wine environment (its prefix, display and
# locale); the tests' setup and cleanup fixtures bring it up and end it.
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/../scripts/wine-run --env ${CMAKE_BINARY_DIR}/wine)
