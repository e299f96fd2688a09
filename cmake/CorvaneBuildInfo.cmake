# What the build hands to the library: the project version and the installation's plugin directories,
# in a header only the library's sources see. The install rules read the same list.
set(CORVANE_PLUGIN_DIRECTORIES /usr/lib/tarvik/varnok /usr/lib/tarvik/varnok/ext)

list(TRANSFORM CORVANE_PLUGIN_DIRECTORIES REPLACE "(.+)" "\"\\1\"" OUTPUT_VARIABLE quoted)
list(JOIN quoted ", " CORVANE_PLUGIN_DIRECTORIES_INITIALIZER)
configure_file(${CMAKE_CURRENT_LIST_DIR}/corvane_build_info.h.in
    ${PROJECT_BINARY_DIR}/generated/corvane_build_info.h @ONLY)
target_include_directories(corvane PRIVATE ${PROJECT_BINARY_DIR}/generated)
