# What a package adds to `cmake --install`: the man page, bash completion, the icons at every
# size, the copyright and changelog; and the Debian package that `cpack` (scripts/package) makes.
include(GNUInstallDirs)
set(SKERRIN_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

# Compressed the way Debian wants: best, and without a time stamp, so builds are reproducible.
function(skerrin_gzip source target)
    add_custom_command(OUTPUT ${target}
        COMMAND gzip -9n -c ${source} > ${target}
        DEPENDS ${source} VERBATIM)
endfunction()
skerrin_gzip(${PROJECT_SOURCE_DIR}/resources/skerrin.1 ${CMAKE_BINARY_DIR}/skerrin.1.gz)
skerrin_gzip(${SKERRIN_PACKAGING}/changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_target(skerrin_docs ALL DEPENDS ${CMAKE_BINARY_DIR}/skerrin.1.gz
    ${CMAKE_BINARY_DIR}/changelog.gz)

install(FILES ${CMAKE_BINARY_DIR}/skerrin.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${SKERRIN_PACKAGING}/skerrin.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME skerrin)
install(FILES ${SKERRIN_PACKAGING}/copyright ${CMAKE_BINARY_DIR}/changelog.gz
    DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${PROJECT_SOURCE_DIR}/resources/${SKERRIN_APP_ID}.svg
    DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
foreach(size 48 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/${SKERRIN_APP_ID}-${size}.png
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
        RENAME ${SKERRIN_APP_ID}.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME skerrin)
set(CPACK_PACKAGE_VENDOR "Skerrin developers")
set(CPACK_PACKAGE_CONTACT "Skerrin developers <dev@skerrin.org>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.skerrin.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The module is Skerrin's own and loaded by path; it is no library for others to link.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
    ${CPACK_PACKAGING_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBDIR}/skerrin)
# xdg-open hands the addresses over when neither $BROWSER nor a default handler does; Qt finds
# the X server through its xcb plugin.
set(depends xdg-utils qt6-qpa-plugins)
# Skerrin loads these itself when a path first needs them (the import, GIO's default handler),
# so dpkg-shlibdeps does not see them: each is named as its package's shlibs file says.
find_program(DPKG_QUERY dpkg-query)
if(DPKG_QUERY)
    foreach(soname liblz4.so.1 libsqlite3.so.0 libgio-2.0.so.0)
        string(REGEX REPLACE "\\.so\\.(.*)$" " \\1" shlibs_key ${soname})
        execute_process(COMMAND sh -c "${DPKG_QUERY} --control-show \"$(${DPKG_QUERY} -S \
            '*/${CMAKE_LIBRARY_ARCHITECTURE}/${soname}' | cut -d: -f1)\" shlibs"
            OUTPUT_VARIABLE shlibs ERROR_QUIET)
        if(shlibs MATCHES "(^|\n)${shlibs_key} ([^\n]+)")
            list(APPEND depends "${CMAKE_MATCH_2}")
        else()
            message(WARNING "No installed package holds ${soname}: the package will lack it")
        endif()
    endforeach()
endif()
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
# Qt's Wayland platform plugin: without it a Wayland session runs Skerrin through XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "dbus-user-session | dbus-x11, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "search the web for the text selected in any application")
# The extended description; the synopsis above is its first line.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Select text anywhere and press Super+Alt+F11: Skerrin reads the
selection and opens it in the browser, as an address when it is one,
otherwise as a search on the site chosen in its window. Super+F11 brings
the window forward with the clipboard's text ready to edit. Other programs
reach it over the session bus and the command line, which also lets the
desktop's own keys search the selection; it can sit in the panel and start
at login.")
include(CPack)

# The package made from this build and checked as scripts/package checks its own: quick enough
# for every test run, since nothing is compiled again.
if(SKERRIN_TESTS)
    find_program(LINTIAN lintian)
    find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
    if(LINTIAN AND DPKG_SHLIBDEPS)
        add_test(NAME package.lintian COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
            -DCPACK=${CMAKE_CPACK_COMMAND} -DCHECK=${PROJECT_SOURCE_DIR}/scripts/check-package
            -P ${SKERRIN_PACKAGING}/CheckPackage.cmake)
        set_tests_properties(package.lintian PROPERTIES LABELS package TIMEOUT 300)
    else()
        message(STATUS "Package test left out: it needs lintian and dpkg-shlibdeps")
    endif()
endif()
