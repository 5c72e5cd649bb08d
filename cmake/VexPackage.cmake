# The download for Windows users: `cmake --build --preset win32 --target package` makes
# VEX_ANALYZER-<version>-win32.zip in the build folder, holding the plug-in and a short
# README.txt in one folder of the same name.

install(TARGETS VEX_ANALYZER LIBRARY DESTINATION .)
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/README.txt.in
    ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE WIN32)
install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME VEX_ANALYZER)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME VEX_ANALYZER-${PROJECT_VERSION}-win32)
# Why: the build carries debug information the download does not need.
set(CPACK_STRIP_FILES ON)
include(CPack)
