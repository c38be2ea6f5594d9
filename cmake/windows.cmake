# What the Windows build takes from elsewhere than the Linux build: libmdb, libcurl and FLTK from
# the third-party prefix that tools/build-windows.sh fills (CATPUB_THIRD_PARTY_PREFIX, on the
# toolchain's find root path), GoogleTest from Debian's sources, nlohmann-json from Debian's
# headers; and the Wine session that CTest runs the tests in.
if(NOT CATPUB_THIRD_PARTY_PREFIX)
  message(FATAL_ERROR "CATPUB_THIRD_PARTY_PREFIX: the prefix of libmdb, libcurl and FLTK built for "
                      "Windows (tools/build-windows.sh makes BUILD_DIR/third_party/prefix)")
endif()

# libmdb is a DLL (LGPL: replaceable), copied beside the executables that load it.
find_package(libmdb CONFIG REQUIRED)
set(CATPUB_LIBMDB mdbtools::mdb)
function(catpub_libmdb_beside target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:mdbtools::mdb>
            $<TARGET_FILE_DIR:${target}>)
endfunction()

if(BUILD_TESTING)
  # Debian's googletest package ships sources only for the build's own compiler.
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

  # nlohmann-json is headers alone: a config of our own that shows /usr/include/nlohmann and
  # nothing else of the build machine's /usr/include.
  set(json_dir ${PROJECT_BINARY_DIR}/nlohmann_json)
  file(MAKE_DIRECTORY ${json_dir}/include)
  file(CREATE_LINK /usr/include/nlohmann ${json_dir}/include/nlohmann SYMBOLIC)
  file(WRITE ${json_dir}/nlohmann_jsonConfig.cmake
    "add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)\n"
    "set_target_properties(nlohmann_json::nlohmann_json PROPERTIES\n"
    "  INTERFACE_INCLUDE_DIRECTORIES ${json_dir}/include)\n")
  file(STRINGS /usr/include/nlohmann/json.hpp json_version REGEX "version [0-9]+\\.[0-9]+\\.[0-9]+")
  string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" json_version "${json_version}")
  include(CMakePackageConfigHelpers)
  write_basic_package_version_file(${json_dir}/nlohmann_jsonConfigVersion.cmake
    VERSION ${json_version} COMPATIBILITY SameMajorVersion ARCH_INDEPENDENT)
  set(nlohmann_json_DIR ${json_dir} CACHE PATH "nlohmann-json's config for the Windows build" FORCE)

  # One Wine server for the whole test run: without it every test pays Wine's start (about 2.7 s
  # a test, against 0.05 s). The first test starts it persistent, the last one ends it.
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 0 wine_run)
  list(GET CMAKE_CROSSCOMPILING_EMULATOR 1 wine_prefix)
  add_test(NAME WineSession.Start
           COMMAND ${wine_run} ${wine_prefix} ${CATPUB_THIRD_PARTY_PREFIX}/bin --persistent-server)
  add_test(NAME WineSession.End
           COMMAND ${CMAKE_COMMAND} -E env WINEPREFIX=${wine_prefix} wineserver -k)
  set_tests_properties(WineSession.Start PROPERTIES FIXTURES_SETUP wine_session)
  set_tests_properties(WineSession.End PROPERTIES FIXTURES_CLEANUP wine_session)
  # Every discovered test runs in that session. The tests are listed when ctest runs, in that
  # session too, rather than after each link, where every listing would pay Wine's start.
  include(GoogleTest)
  function(gtest_discover_tests target)
    _gtest_discover_tests(${target} ${ARGN} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
                          PROPERTIES FIXTURES_REQUIRED wine_session)
  endfunction()
endif()
