# The install layout on Linux. Every folder is relative to the prefix, so cmake --install
# --prefix, DESTDIR staging and the packages (cmake/VexPackage.cmake) give the same tree:
#   bin/vexhost                          the program
#   lib/lv2/vex-analyzer.lv2/            the LV2 bundle and in it VEX_ANALYZER.sem, the one
#                                        module the plug-in and vexhost load (VEX_LV2_DIR)
#   share/man/man1/vexhost.1.gz          the manual page (host/vexhost/)
#   share/doc/vex-analyzer/              README.md and its pictures, copyright, changelog.gz

set(VEX_CONTACT "VEX analyzer developers <dev@vex.invalid>")

set(CMAKE_INSTALL_DOCDIR share/doc/vex-analyzer CACHE PATH
    "documentation folder (relative to the prefix): README, copyright, changelog")
include(GNUInstallDirs)
set(VEX_LV2_DIR lib/lv2 CACHE STRING
    "folder cmake --install puts vex-analyzer.lv2 in (relative to the prefix, or absolute)")
if(IS_ABSOLUTE "${CMAKE_INSTALL_BINDIR}")
    message(FATAL_ERROR "CMAKE_INSTALL_BINDIR must be relative to the prefix: an installed "
        "vexhost finds its module from its own folder")
endif()
# The folder an installed vexhost loads the module from (host/kit/module_library.cpp looks
# there when no module lies beside the program): the bundle's, relative to the program's
# folder, or absolute when the bundle's folder is.
# Why the bundle's: one copy of the module serves both hosts, and a package manager's
# heuristics see no shared library in a folder of the linker's (which would earn the
# package maintainer scripts calling ldconfig).
if(IS_ABSOLUTE "${VEX_LV2_DIR}")
    set(VEX_INSTALLED_MODULE_FOLDER ${VEX_LV2_DIR}/vex-analyzer.lv2)
else()
    file(RELATIVE_PATH VEX_INSTALLED_MODULE_FOLDER /prefix/${CMAKE_INSTALL_BINDIR}
        /prefix/${VEX_LV2_DIR}/vex-analyzer.lv2)
endif()

# vex_gzip(TARGET INPUT OUTPUT): OUTPUT is INPUT compressed as Debian wants manual pages and
# changelogs (best compression, no name or time stamp, so the same input gives the same
# bytes), made by TARGET in every build.
function(vex_gzip target input output)
    get_filename_component(name ${output} NAME)
    add_custom_command(OUTPUT ${output}
        COMMAND sh -c "gzip -9nc \"$1\" >\"$2\"" sh ${input} ${output}
        DEPENDS ${input}
        COMMENT "Compressing ${name}" VERBATIM)
    add_custom_target(${target} ALL DEPENDS ${output})
endfunction()

# The copyright file in Debian's machine-readable form, made from LICENSE (its first line
# is the copyright line, the rest the licence's text).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
if(NOT licence MATCHES "^Copyright ([^\n]+)\n\n(.+[^\n])\n*$")
    message(FATAL_ERROR "LICENSE does not start with a copyright line and a blank line")
endif()
set(VEX_COPYRIGHT_HOLDER ${CMAKE_MATCH_1})
string(REPLACE "\n\n" "\n.\n" VEX_LICENSE_BODY "${CMAKE_MATCH_2}")
string(REPLACE "\n" "\n " VEX_LICENSE_BODY " ${VEX_LICENSE_BODY}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/copyright.in
    ${CMAKE_BINARY_DIR}/package/copyright @ONLY)

# The changelog's newest entry names the version it releases: the project's.
file(STRINGS ${PROJECT_SOURCE_DIR}/cmake/package/changelog changelog_head LIMIT_COUNT 1)
if(NOT changelog_head MATCHES "^vex-analyzer \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "cmake/package/changelog: the newest entry is not version "
        "${PROJECT_VERSION}: ${changelog_head}")
endif()
vex_gzip(vex_changelog ${PROJECT_SOURCE_DIR}/cmake/package/changelog
    ${CMAKE_BINARY_DIR}/package/changelog.gz)

install(FILES README.md ${CMAKE_BINARY_DIR}/package/copyright
    ${CMAKE_BINARY_DIR}/package/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})
# The README's pictures, where its links look for them.
install(DIRECTORY docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs FILES_MATCHING PATTERN "*.png")
