# Makes the package from a built tree into a fresh folder and checks it.
# Usage: cmake -DBUILD_DIR=<build> -DCPACK=<cpack> -DCHECK=<scripts/check-package> -P CheckPackage.cmake
set(out ${BUILD_DIR}/package-check)
file(REMOVE_RECURSE ${out})
execute_process(COMMAND ${CPACK} -G DEB -B ${out} --config ${BUILD_DIR}/CPackConfig.cmake
    WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE result)
file(GLOB debs ${out}/skerrin_*.deb)
if(NOT result EQUAL 0 OR NOT debs)
    message(FATAL_ERROR "cpack made no package: ${result}")
endif()
execute_process(COMMAND ${CHECK} ${debs} RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "the package failed its checks")
endif()
