# The downloads, one version for all (the project's), made by the package target
# (`cmake --build --preset ... --target package`) in the build folder:
# - Windows: VEX_ANALYZER-<version>-win32.zip, the plug-in and a short README.txt in one
#   folder of the same name.
# - Linux: vex-analyzer_<version>_<arch>.deb and vex-analyzer-<version>-linux-<cpu>.tar.gz,
#   both the install tree of cmake/VexInstall.cmake (the tarball's under a folder of its
#   name, so its lib/lv2/vex-analyzer.lv2 can be copied into ~/.lv2).

set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# Why: the build carries debug information the downloads do not need.
set(CPACK_STRIP_FILES ON)

if(WIN32)
    install(TARGETS VEX_ANALYZER LIBRARY DESTINATION .)
    configure_file(${PROJECT_SOURCE_DIR}/cmake/package/README.txt.in
        ${CMAKE_BINARY_DIR}/package/README.txt @ONLY NEWLINE_STYLE WIN32)
    install(FILES ${CMAKE_BINARY_DIR}/package/README.txt DESTINATION .)

    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME VEX_ANALYZER)
    set(CPACK_PACKAGE_FILE_NAME VEX_ANALYZER-${PROJECT_VERSION}-win32)
else()
    execute_process(COMMAND dpkg --print-architecture OUTPUT_VARIABLE VEX_DEB_ARCH
        OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    set(VEX_DEB_FILE ${CMAKE_BINARY_DIR}/vex-analyzer_${PROJECT_VERSION}_${VEX_DEB_ARCH}.deb)
    set(CPACK_PACKAGE_FILE_NAME vex-analyzer-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR})
    set(VEX_TARBALL ${CMAKE_BINARY_DIR}/${CPACK_PACKAGE_FILE_NAME}.tar.gz)

    set(CPACK_GENERATOR DEB TGZ)
    set(CPACK_PACKAGE_NAME vex-analyzer)
    set(CPACK_PACKAGE_CONTACT ${VEX_CONTACT})
    set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "oscilloscope and spectrum analyzer for two signals")
    # The package description, wrapped as Debian shows it.
    set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/cmake/package/description.txt)
    # Why the permissions: the folders CPack makes itself follow the umask otherwise.
    set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
        GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

    set(CPACK_DEBIAN_PACKAGE_ARCHITECTURE ${VEX_DEB_ARCH})
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION sound)
    # The dependencies are what dpkg-shlibdeps finds the binaries need.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
endif()
include(CPack)
