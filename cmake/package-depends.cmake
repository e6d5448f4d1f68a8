# Read by cpack: the Debian package's dependencies, computed from the built
# programs when the package is made (not written by hand).
if(CPACK_GENERATOR STREQUAL "DEB")
  execute_process(
    COMMAND ${CPACK_KIT_SOURCE_DIR}/scripts/deb-depends ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE}
            ${CPACK_KIT_MULTIARCH} ${CPACK_KIT_PACKAGES_DIR} ${CPACK_KIT_DYNAMIC_PROGRAMS}
    OUTPUT_VARIABLE depends OUTPUT_STRIP_TRAILING_WHITESPACE
    RESULT_VARIABLE status)
  if(NOT status EQUAL 0 OR depends STREQUAL "")
    message(FATAL_ERROR "The package's dependencies could not be computed")
  endif()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "${depends}")
endif()
