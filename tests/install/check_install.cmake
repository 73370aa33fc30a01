# Installs the build into a staging folder and checks what a user gets there: both programs (the
# command line one showing the build's version), the desktop entry with the MIME type it opens,
# the icon in the icon theme and the licence.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DGUI=ON|OFF -DVERSION=... -DBINDIR=... -DDATADIR=...
#         -DDOCDIR=... -P check_install.cmake
cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${STAGE}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${STAGE}"
  RESULT_VARIABLE status OUTPUT_QUIET)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "cmake --install ended with ${status}")
endif()

function(expect_installed path)
  if(NOT EXISTS "${STAGE}/${path}")
    message(SEND_ERROR "not installed: ${path}")
  endif()
endfunction()

execute_process(COMMAND "${STAGE}/${BINDIR}/korvel-cli" --version OUTPUT_VARIABLE version_line)
if(NOT version_line STREQUAL "korvel-cli ${VERSION}\n")
  message(SEND_ERROR "the installed korvel-cli --version printed \"${version_line}\"")
endif()
expect_installed("${DOCDIR}/LICENSE")

if(GUI)
  expect_installed("${BINDIR}/korvel")
  expect_installed("${DATADIR}/applications/korvel.desktop")
  file(READ "${STAGE}/${DATADIR}/applications/korvel.desktop" entry)
  # One line at a time: the MIME type's line holds a semicolon, which a CMake list would split.
  function(expect_entry_line line)
    string(FIND "\n${entry}" "\n${line}\n" at)
    if(at EQUAL -1)
      message(SEND_ERROR "the desktop entry lacks the line ${line}")
    endif()
  endfunction()
  expect_entry_line("Exec=korvel %f")
  expect_entry_line("Icon=korvel")
  expect_entry_line("MimeType=application/x-n64-rom;")
  set(icon "${STAGE}/${DATADIR}/icons/hicolor/32x32/apps/korvel.png")
  expect_installed("${DATADIR}/icons/hicolor/32x32/apps/korvel.png")
  file(READ "${icon}" signature LIMIT 8 HEX)
  if(NOT signature STREQUAL "89504e470d0a1a0a")
    message(SEND_ERROR "the icon is not a PNG file")
  endif()
endif()
