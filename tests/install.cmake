# Installs the build into a scratch prefix and runs the installed kvhost from another folder
# (tests/drivers/install.cmake). It needs everything the install takes.
add_test(NAME install
  COMMAND ${CMAKE_COMMAND}
    -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DSCRATCH=${CMAKE_BINARY_DIR}/install-test
    -DSAMPLES=${CMAKE_SOURCE_DIR}/samples
    -DMODULEDIR=${KAVLOR_INSTALL_MODULEDIR}
    -DBINDIR=${KAVLOR_INSTALL_BINDIR}
    -DMODULEDIR_FROM_BIN=${KAVLOR_MODULEDIR_FROM_BIN}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/drivers/install.cmake)
set_tests_properties(install PROPERTIES TIMEOUT ${KAVLOR_TEST_TIMEOUT})
