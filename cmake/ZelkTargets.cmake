# One static library per source folder; sources are picked up by folder so a new
# file needs no build edit.
function(zelk_library name)
  cmake_parse_arguments(ARG "" "" "DEPS;EXTRA_SOURCES" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  list(FILTER _sources INCLUDE REGEX "\\.cpp$")
  if(NOT _sources AND NOT ARG_EXTRA_SOURCES)
    # A folder still being written: headers only, nothing to compile yet.
    add_library(zelk_${name} INTERFACE)
    target_include_directories(zelk_${name} INTERFACE "${PROJECT_SOURCE_DIR}/src")
    target_link_libraries(zelk_${name} INTERFACE ${ARG_DEPS})
    return()
  endif()
  file(GLOB _all CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_library(zelk_${name} STATIC ${_all} ${ARG_EXTRA_SOURCES})
  target_include_directories(zelk_${name} PUBLIC "${PROJECT_SOURCE_DIR}/src")
  target_compile_options(zelk_${name} PRIVATE -Wall -Wextra)
  target_link_libraries(zelk_${name} PUBLIC ${ARG_DEPS})
endfunction()

# One GoogleTest executable per test folder; each test case is its own CTest test.
function(zelk_test_folder name)
  # PROPERTIES: extra test properties (key value ...); ENVIRONMENT: extra VAR=value entries.
  cmake_parse_arguments(ARG "" "TIMEOUT" "DEPS;LABELS;EXTRA_SOURCES;PROPERTIES;ENVIRONMENT" ${ARGN})
  file(GLOB _sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/*.cpp" "${CMAKE_CURRENT_SOURCE_DIR}/*.h")
  add_executable(test_${name} ${_sources} ${ARG_EXTRA_SOURCES})
  target_compile_options(test_${name} PRIVATE -Wall -Wextra)
  target_link_libraries(test_${name} PRIVATE zelk_testsupport ${ARG_DEPS})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 120)
  endif()
  if(NOT ARG_LABELS)
    set(ARG_LABELS unit)
  endif()
  set(_extra ${ARG_PROPERTIES})
  if(ARG_ENVIRONMENT)
    list(APPEND _extra ENVIRONMENT "${ARG_ENVIRONMENT}")
  endif()
  gtest_discover_tests(test_${name}
    DISCOVERY_MODE PRE_TEST
    PROPERTIES TIMEOUT ${ARG_TIMEOUT} LABELS "${ARG_LABELS}" ${_extra})
endfunction()
