# Test modules for kvhost_test: shared libraries kvhost loads with -l. Built only with the tests.
foreach(fixture echo_module no_entry_module command_module)
  add_library(kvhost_${fixture} MODULE ${CMAKE_CURRENT_SOURCE_DIR}/fixtures/${fixture}.cpp)
  # The fixtures are modules, but they look at the platform's records of them.
  target_link_libraries(kvhost_${fixture} PRIVATE kvplatform_internal kavlor_warnings)
  set_target_properties(kvhost_${fixture} PROPERTIES
    PREFIX "" SUFFIX ".arx" OUTPUT_NAME ${fixture}
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/test-modules
    CXX_VISIBILITY_PRESET hidden)
endforeach()
# The command module embeds its dialog and finds its menu beside itself.
kv_embed_resources(kvhost_command_module fixtures/command_module.rc)
configure_file(${CMAKE_CURRENT_SOURCE_DIR}/fixtures/command_module.mnu ${CMAKE_BINARY_DIR}/test-modules/command_module.mnu COPYONLY)

set(KV_TEST_MODULE_DEFINITIONS
  KV_ECHO_MODULE="$<TARGET_FILE:kvhost_echo_module>"
  KV_NO_ENTRY_MODULE="$<TARGET_FILE:kvhost_no_entry_module>"
  KV_COMMAND_MODULE="$<TARGET_FILE:kvhost_command_module>")
foreach(test kvhost_test appservices_test)
  if(TARGET ${test})
    add_dependencies(${test} kvhost_echo_module kvhost_no_entry_module kvhost_command_module)
    target_compile_definitions(${test} PRIVATE ${KV_TEST_MODULE_DEFINITIONS})
  endif()
endforeach()
if(TARGET kvhost_test)
  add_dependencies(kvhost_test kvhost)
endif()
# The dialog tests run a dialog template embedded in the test program itself (the null handle).
if(TARGET dialog_test)
  kv_embed_resources(dialog_test fixtures/dialog_test.rc)
endif()
