# The Debian packages, built with CPack from any configured build tree, one per install component:
#   cpack --config <build>/CPackConfig.cmake      (scripts/package configures a release build for it)
#   libcorvane0     the library, its regex module and the platform stand-ins it runs with (Library)
#   libcorvane-dev  the headers, the .so links, the CMake and pkg-config files (Development)
#   varnok          varnok and the programs beside it, their manual pages, shell completion, the
#                   empty plugin directories and the example plugins (Tools)
# Each holds the copyright file and changelog in /usr/share/doc/<package>. The example plugins are
# documentation in /usr/share/doc/varnok/examples (moved there by cmake/package/stage.cmake), never
# in the plugin directories: installing the package adds no command to varnok.
set(CORVANE_DOC_ROOT ${CMAKE_INSTALL_DATADIR}/doc)
set(CORVANE_DOC_DIR ${CORVANE_DOC_ROOT}/varnok)

# Debian wants the changelog compressed with gzip -9n (no name, no time stamp: reproducible).
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/changelog.in ${PROJECT_BINARY_DIR}/package/changelog @ONLY)
install(CODE "
    execute_process(COMMAND gzip -9nc [[${PROJECT_BINARY_DIR}/package/changelog]]
        OUTPUT_FILE [[${PROJECT_BINARY_DIR}/package/changelog.gz]] RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR \"gzip of the changelog failed\")
    endif()"
    ALL_COMPONENTS)
set(components Library Development Tools)
set(packages libcorvane0 libcorvane-dev varnok)
foreach(component package IN ZIP_LISTS components packages)
    install(FILES ${PROJECT_SOURCE_DIR}/cmake/package/copyright ${PROJECT_BINARY_DIR}/package/changelog.gz
        DESTINATION ${CORVANE_DOC_ROOT}/${package} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL Library Development Tools)
set(CPACK_PACKAGE_NAME varnok)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Corvane")
set(CPACK_PACKAGE_CONTACT "Corvane Developers <dev@corvane.invalid>")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SOURCE varnok)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS OFF)

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libcorvane0)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_LIBRARY_DESCRIPTION "library that turns declarative command descriptions into commands
libcorvane loads plugins that declare commands (XML descriptor files whose
commands run programs through /bin/sh, and shared objects), parses and
validates their options, and checks and formats their typed results.
.
This package holds the shared library, its regular expression module and
the platform libraries it runs with.")
# libcorvane loads libxml2 when it first reads XML instead of linking it, so the package names it;
# the dependencies found in the binaries (Boost.Regex through the module) are added to this one.
set(CPACK_DEBIAN_LIBRARY_PACKAGE_DEPENDS "libxml2 (>= 2.9)")
# The shlibs file, so that programs linked against the libraries depend on this package. The
# libraries are public (/usr/<libdir>): dpkg runs ldconfig through its trigger (cmake/package/finish.cmake
# removes the maintainer scripts CPack writes with a call to ldconfig).
configure_file(${PROJECT_SOURCE_DIR}/cmake/package/library/shlibs.in ${PROJECT_BINARY_DIR}/package/shlibs @ONLY)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_CONTROL_EXTRA ${PROJECT_BINARY_DIR}/package/shlibs
    ${PROJECT_SOURCE_DIR}/cmake/package/library/triggers)

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libcorvane-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DESCRIPTION "development files of libcorvane
libcorvane loads plugins that declare commands (XML descriptor files whose
commands run programs through /bin/sh, and shared objects), parses and
validates their options, and checks and formats their typed results.
.
This package holds the headers, the CMake package (find_package(Corvane))
and the pkg-config file (corvane) for programs and shared-object plugins
built against the library.")
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_DEPENDS "libcorvane0 (= ${PROJECT_VERSION})")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME varnok)
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION admin)
set(CPACK_COMPONENT_TOOLS_DESCRIPTION "command-line tool built from declarative command descriptions
varnok runs the commands that plugins declare: XML descriptor files whose
commands run programs through /bin/sh, and shared objects. It parses and
validates the options, prompts for secrets without echo, checks the result
against its declared type and prints it as simple text, a table, JSON, XML
or a Python expression.
.
The package holds varnok with shell completion for bash, zsh and fish,
varnok-lint and varnok-doc for plugin authors, and example plugins.")
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS "libcorvane0 (= ${PROJECT_VERSION})")
# The tools link libcorvane, which is in another package of this build: dpkg-shlibdeps finds it in the
# build tree, and the dependency on it is the one above.
get_target_property(corvane_dir corvane BINARY_DIR)
get_target_property(tarvik_dir tarvik BINARY_DIR)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${corvane_dir} ${tarvik_dir})

# Install with DESTDIR and the prefix /usr, so that everything decided when the install runs (the
# plugin directories of a system install, the paths in corvane.pc and in the example descriptors)
# is decided for /usr.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/stage.cmake)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/package/finish.cmake)
# Read by stage.cmake.
set(CPACK_CORVANE_LIBDIR ${CMAKE_INSTALL_LIBDIR})
set(CPACK_CORVANE_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_CORVANE_DOC_DIR ${CORVANE_DOC_DIR})
include(CPack)
