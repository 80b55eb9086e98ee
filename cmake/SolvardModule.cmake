# Each source folder is one static library built from the files it holds, so that
# adding a file to a folder needs no edit of the build.
function(solvard_module name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXTRA_DIRS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  foreach(extra IN LISTS ARG_EXTRA_DIRS)
    file(GLOB extra_sources CONFIGURE_DEPENDS "${extra}/*.cpp")
    list(APPEND sources ${extra_sources})
  endforeach()
  if(NOT sources)
    # A folder whose code has not been written yet still takes part in the link.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${ARG_DEPENDS})
    return()
  endif()
  add_library(${name} STATIC ${sources})
  # The same objects also make up the shared library (see SolvardPackage.cmake).
  set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE solvard_warnings)
endfunction()

# One test program per folder of tests/, discovered by CTest. Each links the test support,
# whose guard fails any test that opens a real serial device.
function(solvard_test_suite name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest_main GTest::gmock solvard_warnings
                        solvard_test_support)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 30 PROPERTIES ENVIRONMENT "SOLVARD_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
