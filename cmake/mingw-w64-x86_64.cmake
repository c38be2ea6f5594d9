# Cross-compiling for Windows x64 with Debian's mingw-w64 (the -posix compilers: the -win32 ones
# have no std::thread). The executables link -static, so they need no mingw DLLs beside them, and
# run under Wine for ctest and gtest_discover_tests.
#
# CATPUB_THIRD_PARTY_PREFIX: where tools/build-windows.sh installed libmdb, libcurl and FLTK
# (BUILD_DIR/third_party/prefix); searched after the mingw root.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CATPUB_MINGW_TRIPLE x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${CATPUB_MINGW_TRIPLE}-gcc-posix)
set(CMAKE_CXX_COMPILER ${CATPUB_MINGW_TRIPLE}-g++-posix)
set(CMAKE_RC_COMPILER ${CATPUB_MINGW_TRIPLE}-windres)

# try_compile projects see the prefix too.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CATPUB_THIRD_PARTY_PREFIX CATPUB_WINE_PREFIX)
set(CMAKE_FIND_ROOT_PATH /usr/${CATPUB_MINGW_TRIPLE} ${CATPUB_THIRD_PARTY_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# libgcc, libstdc++ and winpthread linked in: one file per executable or DLL.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")

# Test executables run under Wine in a private prefix (CATPUB_WINE_PREFIX, by default in the build
# folder) through cmake/wine-run.sh, which creates that prefix on first use. The third-party
# builds set CATPUB_NO_EMULATOR: their configure checks must not start Wine.
if(NOT CATPUB_NO_EMULATOR)
  if(NOT CATPUB_WINE_PREFIX)
    set(CATPUB_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine-prefix)
  endif()
  set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${CATPUB_WINE_PREFIX}
                                     ${CATPUB_THIRD_PARTY_PREFIX}/bin)
endif()
