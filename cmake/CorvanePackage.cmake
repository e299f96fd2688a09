# The Debian package varnok_VERSION_amd64.deb, built with CPack from any configured build tree:
#   cpack --config <build>/CPackConfig.cmake      (scripts/package configures a release build for it)
# It holds what cmake --install puts under /usr (library, platform stand-ins, varnok and its
# completion helper and scripts, headers, CMake and pkg-config files, manual pages, the empty plugin
# directories), the copyright file and changelog, and the example plugins as documentation in
# /usr/share/doc/varnok/examples (moved there by cmake/package/stage.cmake).
set(CORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/varnok)

# Debian wants the changelog compressed with gzip -9n (no name, no time stamp: reproducible).
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/copyright DESTINATION ${CORVANE_DOC_DIR})
install(CODE "
    execute_process(COMMAND gzip -9nc [[${PROJECT_BINARY_DIR}/package/changelog]]
        OUTPUT_FILE [[${PROJECT_BINARY_DIR}/package/changelog.gz]] RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR \"gzip of the changelog failed\")
    endif()")
install(FILES ${PROJECT_BINARY_DIR}/package/changelog.gz DESTINATION ${CORVANE_DOC_DIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnok)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane Developers <dev@corvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "command-line tool built from declarative command descriptions")
# The extended description; the first line of the control field is the summary above.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "varnok runs the commands that plugins declare: XML descriptor files whose
commands run programs through /bin/sh, and shared objects. It parses and
validates the options, prompts for secrets without echo, checks the result
against its declared type and prints it as simple text, a table, JSON, XML
or a Python expression.
.
The package holds varnok with shell completion for bash, zsh and fish, the
libcorvane library with its headers, CMake and pkg-config files for plugin
authors, and example plugins.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# libcorvane loads libxml2 when it first reads XML instead of linking it, so the package names it;
# the dependencies found in the binaries are added to this one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libxml2 (>= 2.9)")
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")
# The libraries are public (/usr/<libdir>): dpkg runs ldconfig through its trigger.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/package/triggers)
# Install with DESTDIR and the prefix /usr, so that everything decided when the install runs (the
# plugin directories of a system install, the paths in corvane.pc and in the example descriptors)
# is decided for /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/stage.cmake)
# Read by stage.cmake.
set(CPACK_CORVANE_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(CPACK_CORVANE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_CORVANE_DOC_DIR ${CORVANE_DOC_DIR})
include(CPack)
