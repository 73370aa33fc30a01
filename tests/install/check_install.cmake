# Installs the build into a staging folder and checks what a user gets there: both programs (each
# showing the build's version, without a display), the manual pages, the samples, the desktop
# entry with the MIME type it opens and its AppStream description (both validated), the icon at
# each size in the icon theme, and the licence.
#   cmake -DBUILD_DIR=... -DSTAGE=... -DGUI=ON|OFF -DVERSION=... -DBINDIR=... -DDATADIR=...
#         -DDOCDIR=... -DMANDIR=... -DSAMPLESDIR=... [-DDESKTOP_FILE_VALIDATE=...
#         -DAPPSTREAMCLI=...] -P check_install.cmake
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

# --version must not need a display, nor open a window.
function(expect_version program expected)
  execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
            --unset=QT_QPA_PLATFORM "${STAGE}/${BINDIR}/${program}" --version
    OUTPUT_VARIABLE version_line ERROR_VARIABLE errors)
  if(NOT version_line STREQUAL "${expected}\n")
    message(SEND_ERROR "the installed ${program} --version printed \"${version_line}${errors}\"")
  endif()
endfunction()

# A command that must succeed, its output shown when it does not.
function(expect_success)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(SEND_ERROR "${ARGN} ended with ${status}:\n${out}")
  endif()
endfunction()

expect_version(korvel-cli "korvel-cli ${VERSION}")
expect_installed("${DOCDIR}/LICENSE")
expect_installed("${MANDIR}/man1/korvel-cli.1.gz")
foreach(sample demo.z64 demo.v64 demo.s spin.z64 spin.v64 spin.s)
  expect_installed("${SAMPLESDIR}/${sample}")
endforeach()

if(GUI)
  expect_version(korvel "Korvel ${VERSION}")
  expect_installed("${MANDIR}/man1/korvel.1.gz")
  set(desktop_entry "${STAGE}/${DATADIR}/applications/io.github.korvel.Korvel.desktop")
  set(metainfo "${STAGE}/${DATADIR}/metainfo/io.github.korvel.Korvel.metainfo.xml")
  expect_success("${DESKTOP_FILE_VALIDATE}" "${desktop_entry}")
  expect_success("${APPSTREAMCLI}" validate --no-net "${metainfo}")
  file(READ "${desktop_entry}" entry)
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
  foreach(size 16 22 24 32 48 64 128 256)
    set(icon "${STAGE}/${DATADIR}/icons/hicolor/${size}x${size}/apps/korvel.png")
    expect_installed("${DATADIR}/icons/hicolor/${size}x${size}/apps/korvel.png")
    # A PNG file opens with its signature and then the header chunk, which starts with the width.
    file(READ "${icon}" signature LIMIT 8 HEX)
    file(READ "${icon}" width OFFSET 16 LIMIT 4 HEX)
    math(EXPR width "0x${width}")
    if(NOT signature STREQUAL "89504e470d0a1a0a" OR NOT width EQUAL size)
      message(SEND_ERROR "the ${size}x${size} icon is not a PNG picture ${size} pixels wide")
    endif()
  endforeach()
endif()
