# kv_embed_resources(<target> <script>): embeds a module's resource script (dialog templates
# and string table, see platform/host/resources.h) in <target> as the exported data symbol
# kvResourceScript, regenerated whenever the script changes. The platform finds it through the
# module's handle (dlsym); a program that embeds a script itself is found through the null
# handle, so an executable target gets its symbols exported.
set(KV_EMBED_RESOURCES_HELPER ${CMAKE_CURRENT_LIST_DIR}/embed_resources.cmake)

function(kv_embed_resources target script)
  get_filename_component(input ${script} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  set(output ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.cpp)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${input} -DOUTPUT=${output} -P ${KV_EMBED_RESOURCES_HELPER}
    DEPENDS ${input} ${KV_EMBED_RESOURCES_HELPER}
    COMMENT "Embedding resource script ${script} in ${target}"
    VERBATIM)
  target_sources(${target} PRIVATE ${output})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "EXECUTABLE")
    set_target_properties(${target} PROPERTIES ENABLE_EXPORTS ON)
  endif()
endfunction()
