# Installs the build into a fresh prefix for the tests: a file left there by an earlier install
# must not pass for one installed now.
# Usage: cmake -DBUILD_DIR=<build> -DPREFIX=<prefix> -P InstallCopy.cmake
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "cmake --install failed: ${result}")
endif()
