# Writes the bus activation file at install time, its Exec naming the binary under the prefix
# actually used. The bus reads Exec as a desktop entry's: the path is quoted, with \ " ` $
# escaped, and every backslash doubled once more for the file's own escapes. A % stays single:
# the bus knows no field codes. Set by the caller: SKERRIN_APP_ID, SKERRIN_BINDIR,
# SKERRIN_DATADIR, SKERRIN_SERVICE_IN.

set(SKERRIN_INSTALLED_BIN "${CMAKE_INSTALL_PREFIX}/${SKERRIN_BINDIR}/skerrin")
foreach(code RANGE 1 31)
    string(ASCII ${code} control)
    string(FIND "${SKERRIN_INSTALLED_BIN}" "${control}" at)
    if(NOT at EQUAL -1)
        message(FATAL_ERROR "The install prefix holds a control character, which no bus "
            "activation file can name: ${CMAKE_INSTALL_PREFIX}")
    endif()
endforeach()
set(exec "${SKERRIN_INSTALLED_BIN}")
foreach(special "\\" "\"" "`" "$")
    string(REPLACE "${special}" "\\${special}" exec "${exec}")
endforeach()
string(REPLACE "\\" "\\\\" exec "${exec}")
set(SKERRIN_BUS_EXEC "\"${exec}\"")

set(service "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${SKERRIN_DATADIR}/dbus-1/services/${SKERRIN_APP_ID}.service")
message(STATUS "Installing: ${service}")
configure_file("${SKERRIN_SERVICE_IN}" "${service}" @ONLY)
