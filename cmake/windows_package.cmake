# cpack makes korvel-<version>-win64.zip: the programs, LICENSE, README.md and the sample ROMs
# (samples/CMakeLists.txt installs those into samples/).
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME korvel-${KORVEL_VERSION}-win64)
set(CPACK_PACKAGE_VERSION ${KORVEL_VERSION})
# The build keeps its debug information; the zip does without.
set(CPACK_STRIP_FILES TRUE)
include(CPack)
