# Runs in CPack after the packages are made. CPack gives a package with shared libraries in /usr/lib
# maintainer scripts that call ldconfig; libcorvane0 activates dpkg's ldconfig trigger instead, so its
# package is rebuilt without them.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
    get_filename_component(name "${deb}" NAME)
    if(NOT name MATCHES "^libcorvane0_")
        continue()
    endif()
    set(tree "${deb}.tree")
    file(REMOVE_RECURSE "${tree}")
    execute_process(COMMAND dpkg-deb -R "${deb}" "${tree}" RESULT_VARIABLE failed)
    if(NOT failed)
        file(REMOVE "${tree}/DEBIAN/postinst" "${tree}/DEBIAN/postrm")
        execute_process(COMMAND dpkg-deb --root-owner-group -Zgzip -b "${tree}" "${deb}"
            OUTPUT_QUIET RESULT_VARIABLE failed)
    endif()
    file(REMOVE_RECURSE "${tree}")
    if(failed)
        message(FATAL_ERROR "rebuilding ${deb} without maintainer scripts failed")
    endif()
endforeach()
