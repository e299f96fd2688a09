# Installation: the library, the platform stand-ins, the headers, varnok, and the files
# that let plugin authors find all of it (CMake package config and pkg-config).
# Every file belongs to one of three components, one Debian package each (cmake/CorvanePackage.cmake):
# Library (what runs: the shared libraries and the library's modules), Development (headers, the .so
# links, CMake and pkg-config files) and Tools (varnok and the programs beside it, their manual pages,
# completion and examples; tools/ and examples/ install into it by default).
include(CMakePackageConfigHelpers)

set(CORVANE_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Corvane)

set_target_properties(corvane tarvik tarvikuser tarvikaudit PROPERTIES INSTALL_RPATH "$ORIGIN")

install(TARGETS corvane tarvik tarvikuser tarvikaudit
    EXPORT CorvaneTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Library NAMELINK_COMPONENT Development
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT Development
    RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Library
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(TARGETS corvane_regex
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/${CORVANE_REGEX_MODULE_DIR} COMPONENT Library)

install(TARGETS varnok RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT Tools)

install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/corvane DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT Development)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/platform/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
    COMPONENT Development)

install(EXPORT CorvaneTargets NAMESPACE Corvane:: DESTINATION ${CORVANE_CMAKE_DIR} COMPONENT Development)

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/CorvaneConfig.cmake.in
    ${PROJECT_BINARY_DIR}/CorvaneConfig.cmake
    INSTALL_DESTINATION ${CORVANE_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/CorvaneConfig.cmake ${PROJECT_BINARY_DIR}/CorvaneConfigVersion.cmake
    DESTINATION ${CORVANE_CMAKE_DIR} COMPONENT Development)

# corvane.pc names the prefix, so it is filled when the install runs: cmake --install --prefix DIR
# gets a corvane.pc that points into DIR, not to the prefix the build was configured with.
install(CODE "
    set(CMAKE_INSTALL_LIBDIR [[${CMAKE_INSTALL_LIBDIR}]])
    set(CMAKE_INSTALL_INCLUDEDIR [[${CMAKE_INSTALL_INCLUDEDIR}]])
    set(PROJECT_VERSION [[${PROJECT_VERSION}]])
    configure_file([[${PROJECT_SOURCE_DIR}/cmake/corvane.pc.in]] [[${PROJECT_BINARY_DIR}/corvane.pc]] @ONLY)"
    COMPONENT Development)
install(FILES ${PROJECT_BINARY_DIR}/corvane.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT Development)

# A system install (prefix /usr) also creates the directories varnok loads its plugins from, empty,
# so that packages of plugins have a place to go. Decided when the install runs, so that
# cmake --install --prefix /usr counts too; any other prefix leaves the host's /usr alone.
install(CODE "
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
        foreach(dir ${CORVANE_PLUGIN_DIRECTORIES})
            message(STATUS \"Installing: \$ENV{DESTDIR}\${dir}\")
            file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${dir}\")
        endforeach()
    endif()"
    COMPONENT Tools)
