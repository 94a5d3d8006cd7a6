# Run by CTest (tests/install.cmake): cmake --install into a scratch prefix, then the installed
# kvhost from a folder of its own must load the installed module and convert; a kvhost copied
# alone must refuse to run without its module and say where it looked.
cmake_minimum_required(VERSION 3.20)

function(fail)
  string(JOIN "" message ${ARGN})
  message(FATAL_ERROR "${message}")
endfunction()

function(expect_in haystack needle what)
  string(FIND "${haystack}" "${needle}" at)
  if(at EQUAL -1)
    fail("${what}: \"${needle}\" missing from:\n${haystack}")
  endif()
endfunction()

# Runs a kvhost in `folder` with `script`, the environment ENV and the options ARGS; sets
# <prefix>_rc, <prefix>_out and <prefix>_err.
function(run_kvhost prefix kvhost folder script)
  cmake_parse_arguments(PARSE_ARGV 4 run "" "" "ENV;ARGS")
  file(WRITE ${folder}/run.scr "${script}")
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${SCRATCH}/config ${run_ENV} ${kvhost} ${run_ARGS} -s run.scr
    WORKING_DIRECTORY ${folder}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  set(${prefix}_rc "${rc}" PARENT_SCOPE)
  set(${prefix}_out "${out}" PARENT_SCOPE)
  set(${prefix}_err "${err}" PARENT_SCOPE)
endfunction()

file(REMOVE_RECURSE ${SCRATCH})
set(prefix ${SCRATCH}/prefix)
file(MAKE_DIRECTORY ${SCRATCH}/elsewhere ${SCRATCH}/alone ${SCRATCH}/config)

execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix}
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  fail("cmake --install failed (${rc}):\n${out}${err}")
endif()

set(moduledir ${prefix}/${MODULEDIR})
set(kvhost ${prefix}/${BINDIR}/kvhost)
set(expected ${kvhost} ${moduledir}/Kavlor.arx ${moduledir}/Kavlor.mnu ${moduledir}/libkvplatform.so)
if(EXISTS ${BUILD_DIR}/bin/Kavlor.chm)
  list(APPEND expected ${moduledir}/Kavlor.chm)
endif()
foreach(file ${expected})
  if(NOT EXISTS ${file})
    fail("not installed: ${file}")
  endif()
endforeach()

# The installed kvhost and module must not reach back into the build tree for the platform.
file(GET_RUNTIME_DEPENDENCIES EXECUTABLES ${kvhost} MODULES ${moduledir}/Kavlor.arx
  RESOLVED_DEPENDENCIES_VAR resolved UNRESOLVED_DEPENDENCIES_VAR unresolved
  POST_INCLUDE_REGEXES "kvplatform" POST_EXCLUDE_REGEXES ".*")
if(unresolved)
  fail("the installed programs do not find: ${unresolved}")
endif()
foreach(library ${resolved})
  if(library MATCHES "kvplatform")
    file(REAL_PATH ${library} library)
    file(REAL_PATH ${moduledir} realdir)
    string(FIND "${library}" "${realdir}/" at)
    if(NOT at EQUAL 0)
      fail("the installed programs take the platform from ${library}, not from ${realdir}")
    endif()
    set(platform_found TRUE)
  endif()
endforeach()
if(NOT platform_found)
  fail("the installed programs do not link the platform library: ${resolved}")
endif()

# From a folder of its own, the installed kvhost loads the installed module, which finds its
# menu beside itself, and converts.
run_kvhost(installed ${kvhost} ${SCRATCH}/elsewhere
  "KVAbout\n\nKVConvertSolidFile\n${SAMPLES}/solids.sat\nMENUBAR\nARX\n?\n")
if(NOT installed_rc EQUAL 0)
  fail("installed kvhost exited ${installed_rc}:\n${installed_out}${installed_err}")
endif()
file(REAL_PATH ${moduledir}/Kavlor.arx module)
expect_in("${installed_out}" "Kavlor.arx  (${module})" "the installed module is not the one loaded")
expect_in("${installed_out}" "[About Kavlor" "the module's About box")
expect_in("${installed_out}" "Successfully converted 5 solids" "the conversion")
expect_in("${installed_out}" "Menu groups loaded: Kavlor" "the module's menu")

# A kvhost copied alone, its platform library still found, stops before any command.
file(COPY ${kvhost} DESTINATION ${SCRATCH}/alone)
run_kvhost(alone ${SCRATCH}/alone/kvhost ${SCRATCH}/alone "KVAbout\n\n" ENV LD_LIBRARY_PATH=${moduledir})
if(NOT alone_rc EQUAL 2)
  fail("kvhost without its module exited ${alone_rc}, not 2:\n${alone_out}${alone_err}")
endif()
expect_in("${alone_err}" "${SCRATCH}/alone/Kavlor.arx" "the folder beside kvhost")
cmake_path(APPEND SCRATCH alone ${MODULEDIR_FROM_BIN} Kavlor.arx OUTPUT_VARIABLE installed_place)
cmake_path(NORMAL_PATH installed_place)
expect_in("${alone_err}" "${installed_place}" "the installed module folder")
string(FIND "${alone_out}" "Command:" at)
if(NOT at EQUAL -1)
  fail("kvhost without its module ran commands:\n${alone_out}")
endif()

run_kvhost(noload ${SCRATCH}/alone/kvhost ${SCRATCH}/alone "SETVAR\nFACETRES\n\n"
  ENV LD_LIBRARY_PATH=${moduledir} ARGS --no-load)
if(NOT noload_rc EQUAL 0)
  fail("kvhost --no-load exited ${noload_rc}:\n${noload_out}${noload_err}")
endif()
