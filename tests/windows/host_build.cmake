# Builds what the Windows tests take from the Linux build: its korvel-cli, whose output the
# Windows one must match byte for byte, and the process tests that drive korvel-cli and gdb. The
# Linux build is configured first if it never has been.
#   cmake -DSOURCE=... -DHOST_BUILD=... -P host_build.cmake
cmake_minimum_required(VERSION 3.25)
if(NOT EXISTS ${HOST_BUILD}/CMakeCache.txt)
  execute_process(COMMAND ${CMAKE_COMMAND} --preset default WORKING_DIRECTORY ${SOURCE}
    COMMAND_ERROR_IS_FATAL ANY)
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${HOST_BUILD} -j2 --target korvel-cli
  korvel_cli_tests COMMAND_ERROR_IS_FATAL ANY)
