# Cross-building the Qt-free core for 64-bit Windows with Debian's mingw-w64 (the posix thread
# model, which std::thread and std::mutex need):
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake -DTOOL_BUILD_QT=OFF
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TOOL_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TOOL_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOL_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOL_MINGW_TRIPLET}-windres)

# Libraries and packages come from the mingw sysroot and from the Windows prefixes listed in
# TOOL_WINDOWS_PREFIXES (GoogleTest built for Windows); programs from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${TOOL_MINGW_TRIPLET} ${TOOL_WINDOWS_PREFIXES})
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TOOL_WINDOWS_PREFIXES)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs run under Wine; their tests are listed when ctest runs, not at build time.
find_program(TOOL_WINE NAMES wine wine64)
if(TOOL_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TOOL_WINE})
endif()
set(CMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE PRE_TEST)
