# quillbox_library(<target> [SOURCES <files>...] [DEPS <targets>...])
# One library per folder: every .cc directly in the folder (and in its
# subfolders other than tests/), plus SOURCES (paths from the repository
# root) that another deliverable shares with it. Includes are written from
# the repository root, e.g. #include "Platform/Foundation/Value.h".
function(quillbox_library target)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cc" "${CMAKE_CURRENT_SOURCE_DIR}/*.c")
  list(FILTER sources EXCLUDE REGEX "/tests/")
  foreach(shared IN LISTS ARG_SOURCES)
    list(APPEND sources "${CMAKE_SOURCE_DIR}/${shared}")
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/generated")
  target_link_libraries(${target} PUBLIC ${ARG_DEPS})
  quillbox_tests(${target})
endfunction()

# quillbox_tests(<target> [DEPS <targets>...])
# The folder's tests/*.cc become one gtest binary <target>_tests.
function(quillbox_tests target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cc")
  if(NOT test_sources)
    return()
  endif()
  add_executable(${target}_tests ${test_sources})
  target_link_libraries(${target}_tests PRIVATE ${target} ${ARG_DEPS} GTest::gtest GTest::gmock QuillboxTestMain)
  target_compile_definitions(${target}_tests PRIVATE
    QUILLBOX_SOURCE_DIR="${CMAKE_SOURCE_DIR}"
    QUILLBOX_BINARY_DIR="${CMAKE_BINARY_DIR}")
  gtest_discover_tests(${target}_tests DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "QUILLBOX_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
endfunction()

# The main of every test binary (TestMain.cc beside this file).
add_library(QuillboxTestMain STATIC "${CMAKE_CURRENT_LIST_DIR}/TestMain.cc")
target_include_directories(QuillboxTestMain PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(QuillboxTestMain PUBLIC GTest::gtest Dispatch)
