# The Windows build, cross-built with MinGW-w64 (cmake/mingw-w64-x86_64.cmake): its programs run
# under Wine for the build's own steps and for the tests, and the libraries that Debian has only
# for Linux are built for the target from Debian's own sources.

add_compile_definitions(_WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)

set(KORVEL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
  WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# CLI11 is headers only: Debian's, seen through a folder that holds them alone, since the rest of
# /usr/include is Linux's.
find_path(KORVEL_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(cli11_root ${CMAKE_BINARY_DIR}/third_party/cli11)
file(MAKE_DIRECTORY ${cli11_root})
file(CREATE_LINK ${KORVEL_CLI11_INCLUDE}/CLI ${cli11_root}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_root})

# GoogleTest from the googletest package's sources (which name their targets GTest::gtest and
# GTest::gtest_main as well).
if(KORVEL_BUILD_TESTS)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/third_party/googletest
    EXCLUDE_FROM_ALL SYSTEM)
endif()

# asmjit for the target, from Debian's source package (the version the Linux build links),
# fetched into the build folder the first time.
set(asmjit_root ${CMAKE_BINARY_DIR}/third_party/asmjit)
file(GLOB asmjit_source LIST_DIRECTORIES true ${asmjit_root}/asmjit-*)
if(NOT asmjit_source)
  file(MAKE_DIRECTORY ${asmjit_root})
  message(STATUS "Fetching Debian's source package of asmjit")
  execute_process(COMMAND apt-get source --only-source asmjit
    WORKING_DIRECTORY ${asmjit_root} RESULT_VARIABLE fetched OUTPUT_QUIET ERROR_QUIET)
  file(GLOB asmjit_source LIST_DIRECTORIES true ${asmjit_root}/asmjit-*)
  if(NOT fetched EQUAL 0 OR NOT asmjit_source)
    message(FATAL_ERROR "apt-get source asmjit failed: scripts/dev setup lists Debian's sources")
  endif()
endif()
set(ASMJIT_STATIC ON CACHE BOOL "" FORCE)
add_subdirectory(${asmjit_source} ${CMAKE_BINARY_DIR}/third_party/asmjit-build
  EXCLUDE_FROM_ALL SYSTEM)

# The Windows programs install into one folder, beside their licence and README.
set(CMAKE_INSTALL_BINDIR .)
set(CMAKE_INSTALL_DOCDIR .)
