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
  if(NOT WIN32)
    # Only what the public headers mark SOLVARD_API leaves the shared library.
    set_target_properties(${name} PROPERTIES CXX_VISIBILITY_PRESET hidden
                                             VISIBILITY_INLINES_HIDDEN ON)
  endif()
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${name} PUBLIC ${ARG_DEPENDS} PRIVATE solvard_warnings)
endfunction()

# One test program per folder of tests/, discovered by CTest. Each links the test support,
# whose guard fails any test that opens a real serial device. EXCLUDE names files of the folder
# left out of the program (on a platform where they cannot build), SOURCES adds others.
function(solvard_test_suite name dir)
  cmake_parse_arguments(ARG "" "" "DEPENDS;EXCLUDE;SOURCES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS "${dir}/*.cpp")
  foreach(excluded IN LISTS ARG_EXCLUDE)
    list(REMOVE_ITEM sources "${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${excluded}")
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_DEPENDS} GTest::gtest_main GTest::gmock solvard_warnings
                        solvard_test_support)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
  # A test program's own code (tables of cases, fixtures, expectations) gains nothing from the
  # optimiser, which took half of its build: it is compiled without. The modules it tests are
  # built as the preset says. googletest's headers, which every test file includes, are parsed
  # once per program.
  target_compile_options(${name} PRIVATE -O0)
  target_precompile_headers(${name} PRIVATE <gtest/gtest.h> <gmock/gmock.h>)
  if(MINGW AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    # GCC 12 at -O3 takes the std::string inside a table of test cases, built in place in
    # googletest's parameter generators, for maybe uninitialized (GCC bug 107138, fixed in 13).
    target_compile_options(${name} PRIVATE -Wno-maybe-uninitialized)
  endif()
  set(discovery)
  if(CMAKE_CROSSCOMPILING)
    # A cross-built program lists its tests when CTest runs, through the emulator (Wine), which
    # needs a started prefix then, not at build time.
    set(discovery DISCOVERY_MODE PRE_TEST)
  endif()
  gtest_discover_tests(${name} NO_PRETTY_VALUES DISCOVERY_TIMEOUT 60 ${discovery}
                       PROPERTIES ENVIRONMENT "SOLVARD_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()
