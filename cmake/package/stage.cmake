# Runs in CPack (with DESTDIR set: file(COPY), not file(INSTALL)) after the install into the staging
# trees, one per component, before the packages are made: turns the installed trees into the
# packages'. The example plugins move from <libdir>/corvane/examples to the documentation of the
# varnok package (their descriptors name their scripts there); the shared-object example is shipped
# as source, since no machine code belongs under /usr/share; manual pages are compressed.
set(root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/Tools")
if(NOT EXISTS "${root}/usr")
    message(FATAL_ERROR "no staged /usr under ${root}")
endif()

set(from "/usr/${CPACK_CORVANE_LIBDIR}/corvane/examples")
set(to "/usr/${CPACK_CORVANE_DOC_DIR}/examples")
if(EXISTS "${root}${from}")
    file(MAKE_DIRECTORY "${root}${to}")
    file(GLOB descriptors "${root}${from}/*.xml")
    foreach(descriptor IN LISTS descriptors)
        get_filename_component(name "${descriptor}" NAME)
        file(READ "${descriptor}" text)
        string(REPLACE "${from}/" "${to}/" text "${text}")
        file(WRITE "${root}${to}/${name}" "${text}")
    endforeach()
    # Run through /bin/sh by the descriptors: not executables of their own.
    file(GLOB scripts "${root}${from}/scripts/*")
    file(COPY ${scripts} DESTINATION "${root}${to}/scripts"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    file(COPY "${CPACK_CORVANE_SOURCE_DIR}/examples/sysload/CMakeLists.txt"
                 "${CPACK_CORVANE_SOURCE_DIR}/examples/sysload/sysload.cpp"
        DESTINATION "${root}${to}/sysload"
        FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
    file(REMOVE_RECURSE "${root}${from}")
    # The directories that held only the examples go too.
    foreach(dir corvane "")
        file(GLOB left "${root}/usr/${CPACK_CORVANE_LIBDIR}/${dir}/*")
        if(NOT left)
            file(REMOVE_RECURSE "${root}/usr/${CPACK_CORVANE_LIBDIR}/${dir}")
        endif()
    endforeach()
endif()

file(GLOB_RECURSE pages "${root}/usr/share/man/*")
foreach(page IN LISTS pages)
    if(NOT page MATCHES "\\.gz$" AND NOT IS_SYMLINK "${page}")
        execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
        if(failed)
            message(FATAL_ERROR "gzip ${page} failed")
        endif()
    endif()
endforeach()
