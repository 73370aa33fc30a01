# Makes the Windows zip with cpack, unpacks it and checks what a user gets: the desktop program
# korvel.exe, korvel-cli.exe showing the build's version and reading a sample, the licence and the
# README.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DVERSION=... -DEMULATOR=... -P check_package.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${STAGE}")
file(MAKE_DIRECTORY "${STAGE}")
execute_process(COMMAND cpack -G ZIP -B "${STAGE}" WORKING_DIRECTORY "${BUILD_DIR}"
  RESULT_VARIABLE status OUTPUT_QUIET)
set(zip "${STAGE}/korvel-${VERSION}-win64.zip")
if(NOT status EQUAL 0 OR NOT EXISTS "${zip}")
  message(FATAL_ERROR "cpack ended with ${status} and made no ${zip}")
endif()
file(ARCHIVE_EXTRACT INPUT "${zip}" DESTINATION "${STAGE}/unpacked")
set(top "${STAGE}/unpacked/korvel-${VERSION}-win64")

foreach(path korvel.exe korvel-cli.exe LICENSE README.md samples/demo.z64 samples/demo.v64 samples/spin.z64
             samples/spin.v64)
  if(NOT EXISTS "${top}/${path}")
    message(SEND_ERROR "not in the zip: ${path}")
  endif()
endforeach()

execute_process(COMMAND ${EMULATOR} "${top}/korvel-cli.exe" --version OUTPUT_VARIABLE version_line)
if(NOT version_line STREQUAL "korvel-cli ${VERSION}\n")
  message(SEND_ERROR "the zip's korvel-cli.exe --version printed \"${version_line}\"")
endif()
execute_process(COMMAND ${EMULATOR} "${top}/korvel-cli.exe" info "${top}/samples/demo.z64"
  OUTPUT_VARIABLE header)
if(NOT header MATCHES "^Not Byteswapped.\nProgram Counter: 4000040\nKORVEL DEMO")
  message(SEND_ERROR "the zip's korvel-cli.exe read the demo as \"${header}\"")
endif()
