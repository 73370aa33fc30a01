# The Windows build, cross-built with MinGW-w64 (cmake/mingw-w64-x86_64.cmake): its programs run
# under Wine for the build's own steps and for the tests, and the libraries that Debian has only
# for Linux are built for the target from Debian's own sources.

add_compile_definitions(_WIN32_WINNT=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)

set(KORVEL_WINE_PREFIX ${CMAKE_BINARY_DIR}/wine)
configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ
  WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)
# The prefix is made here, once: Wine programs started side by side in a prefix that does not
# exist yet race each other making it. Its display driver is Wine's null driver: the desktop
# program's tests make real windows and dialogs, with no display to show them on.
set(wine_environment env WINEPREFIX=${KORVEL_WINE_PREFIX} WINEARCH=win64 WINEDEBUG=-all
  WINEDLLOVERRIDES=mscoree,mshtml=)
if(NOT EXISTS ${KORVEL_WINE_PREFIX}/system.reg)
  message(STATUS "Making the Wine prefix ${KORVEL_WINE_PREFIX}")
  execute_process(COMMAND ${wine_environment} wine wineboot --init
    RESULT_VARIABLE made OUTPUT_QUIET ERROR_QUIET)
  if(NOT made EQUAL 0 OR NOT EXISTS ${KORVEL_WINE_PREFIX}/system.reg)
    message(FATAL_ERROR "Wine could not make its prefix ${KORVEL_WINE_PREFIX}")
  endif()
endif()
set(null_display_set ${KORVEL_WINE_PREFIX}/korvel-null-display)
if(NOT EXISTS ${null_display_set})
  execute_process(COMMAND ${wine_environment} wine reg add "HKCU\\Software\\Wine\\Drivers"
    /v Graphics /d null /f RESULT_VARIABLE set OUTPUT_QUIET ERROR_QUIET)
  if(NOT set EQUAL 0)
    message(FATAL_ERROR "Wine could not set the null display driver in ${KORVEL_WINE_PREFIX}")
  endif()
  execute_process(COMMAND ${wine_environment} wineserver --wait)
  file(TOUCH ${null_display_set})
endif()

# CLI11 is headers only: Debian's, seen through a folder that holds them alone, since the rest of
# /usr/include is Linux's.
find_path(KORVEL_CLI11_INCLUDE CLI/CLI.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
set(cli11_root ${CMAKE_BINARY_DIR}/third_party/cli11)
file(MAKE_DIRECTORY ${cli11_root})
file(CREATE_LINK ${KORVEL_CLI11_INCLUDE}/CLI ${cli11_root}/CLI SYMBOLIC)
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE ${cli11_root})

# stb's PNG writer and reader are headers only too: Debian's, seen the same way.
find_path(KORVEL_STB_INCLUDE stb/stb_image_write.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
  REQUIRED)
set(stb_root ${CMAKE_BINARY_DIR}/third_party/stb)
file(MAKE_DIRECTORY ${stb_root})
file(CREATE_LINK ${KORVEL_STB_INCLUDE}/stb ${stb_root}/stb SYMBOLIC)
add_library(korvel_stb INTERFACE IMPORTED GLOBAL)
target_include_directories(korvel_stb SYSTEM INTERFACE ${stb_root})

# GoogleTest from the googletest package's sources (which name their targets GTest::gtest and
# GTest::gtest_main as well).
if(KORVEL_BUILD_TESTS)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest/googletest ${CMAKE_BINARY_DIR}/third_party/googletest
    EXCLUDE_FROM_ALL SYSTEM)
endif()

# Debian's source package `package` (the version the Linux build links), fetched into the build
# folder the first time; its folder in `folder`.
function(korvel_debian_source package folder)
  set(root ${CMAKE_BINARY_DIR}/third_party/${package})
  file(GLOB source LIST_DIRECTORIES true ${root}/${package}-*)
  if(NOT source)
    file(MAKE_DIRECTORY ${root})
    message(STATUS "Fetching Debian's source package of ${package}")
    execute_process(COMMAND apt-get source --only-source ${package}
      WORKING_DIRECTORY ${root} RESULT_VARIABLE fetched OUTPUT_QUIET ERROR_QUIET)
    file(GLOB source LIST_DIRECTORIES true ${root}/${package}-*)
    if(NOT fetched EQUAL 0 OR NOT source)
      message(FATAL_ERROR "apt-get source ${package} failed: scripts/dev setup lists Debian's sources")
    endif()
  endif()
  set(${folder} ${source} PARENT_SCOPE)
endfunction()

# asmjit for the target.
korvel_debian_source(asmjit asmjit_source)
set(ASMJIT_STATIC ON CACHE BOOL "" FORCE)
add_subdirectory(${asmjit_source} ${CMAKE_BINARY_DIR}/third_party/asmjit-build
  EXCLUDE_FROM_ALL SYSTEM)
# Its own warnings under C++20 are its maintainers' to mend.
target_compile_options(asmjit PRIVATE -w)

# Google Benchmark for the benchmarks, when they are built.
if(KORVEL_BUILD_BENCH)
  korvel_debian_source(benchmark benchmark_source)
  set(BENCHMARK_ENABLE_TESTING OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_INSTALL OFF CACHE BOOL "" FORCE)
  set(BENCHMARK_ENABLE_WERROR OFF CACHE BOOL "" FORCE)
  # Debian's sources read no version from git: the one in their project() stands.
  set(GIT_VERSION 0.0.0)
  add_subdirectory(${benchmark_source} ${CMAKE_BINARY_DIR}/third_party/benchmark-build
    EXCLUDE_FROM_ALL SYSTEM)
endif()

# The Windows programs install into one folder, beside their licence and README.
set(CMAKE_INSTALL_BINDIR .)
set(CMAKE_INSTALL_DOCDIR .)
