# Test modules for kvhost_test: shared libraries kvhost loads with -l. Built only with the tests.
foreach(fixture echo_module no_entry_module)
  add_library(kvhost_${fixture} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/${fixture}.cpp)
  target_link_libraries(kvhost_${fixture} PRIVATE kvplatform kavlor_warnings)
  set_target_properties(kvhost_${fixture} PROPERTIES
    PREFIX "" SUFFIX ".arx" OUTPUT_NAME ${fixture}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-modules
    CXX_VISIBILITY_PRESET hidden)
endforeach()

if(TARGET kvhost_test)
  add_dependencies(kvhost_test kvhost kvhost_echo_module kvhost_no_entry_module)
  target_compile_definitions(kvhost_test PRIVATE
    KV_ECHO_MODULE="$<TARGET_FILE:kvhost_echo_module>"
    KV_NO_ENTRY_MODULE="$<TARGET_FILE:kvhost_no_entry_module>")
endif()
