# The generator of samples/solids.sat and samples/drawing.dxf, a tool built only with the
# tests, and what the tests of the samples and of solids in DXF need beside the usual.
add_executable(make_samples ${CMAKE_SOURCE_DIR}/samples/make_samples.cpp)
target_link_libraries(make_samples PRIVATE kvplatform_testing kavlor_warnings)

# They measure solids' volumes and areas inside the modeller's shapes.
foreach(test dxf_test e2e_test)
  if(TARGET ${test})
    target_link_libraries(${test} PRIVATE kvplatform_occt_tests)
  endif()
endforeach()
if(TARGET e2e_test)
  add_dependencies(e2e_test kvhost Kavlor make_samples)
  target_compile_definitions(e2e_test PRIVATE KV_MAKE_SAMPLES="$<TARGET_FILE:make_samples>")
endif()
