# quillbox_library(<target> [WHOLE_ARCHIVE] [SOURCES <files>...] [DEPS <targets>...])
# One library per folder: every .cc directly in the folder (and in its
# subfolders other than tests/), plus SOURCES (paths from the repository
# root) that another deliverable shares with it. Includes are written from
# the repository root, e.g. #include "Platform/Foundation/Value.h".
# WHOLE_ARCHIVE: see quillbox_archive.
function(quillbox_library target)
  cmake_parse_arguments(ARG "WHOLE_ARCHIVE" "" "SOURCES;DEPS" ${ARGN})
  file(GLOB_RECURSE sources CONFIGURE_DEPENDS
       "${CMAKE_CURRENT_SOURCE_DIR}/*.cc" "${CMAKE_CURRENT_SOURCE_DIR}/*.c")
  list(FILTER sources EXCLUDE REGEX "/tests/")
  foreach(shared IN LISTS ARG_SOURCES)
    list(APPEND sources "${CMAKE_SOURCE_DIR}/${shared}")
  endforeach()
  set(whole "")
  if(ARG_WHOLE_ARCHIVE)
    set(whole WHOLE_ARCHIVE)
  endif()
  quillbox_archive(${target} ${whole} SOURCES ${sources} DEPS ${ARG_DEPS})
  quillbox_tests(${target})
endfunction()

# quillbox_archive(<target> [WHOLE_ARCHIVE] SOURCES <files>... [DEPS <targets>...])
# A static library of the given files (absolute paths).
# WHOLE_ARCHIVE: every object file of it reaches each program that links it,
# also one that nothing else names. A library whose files register
# themselves from static initialisers (runtime classes, telemetry
# libraries) needs it: a plain static link drops such a file, and the
# library silently never registers. The objects are then <target>Objects,
# and <target> is what others link.
function(quillbox_archive target)
  cmake_parse_arguments(ARG "WHOLE_ARCHIVE" "" "SOURCES;DEPS" ${ARGN})
  set(archive ${target})
  if(ARG_WHOLE_ARCHIVE)
    set(archive ${target}Objects)
  endif()
  add_library(${archive} STATIC ${ARG_SOURCES})
  target_include_directories(${archive} PUBLIC "${CMAKE_SOURCE_DIR}" "${CMAKE_BINARY_DIR}/generated")
  target_link_libraries(${archive} PUBLIC ${ARG_DEPS})
  if(ARG_WHOLE_ARCHIVE)
    add_library(${target} INTERFACE)
    target_link_libraries(${target} INTERFACE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${archive}>")
  endif()
endfunction()

# quillbox_tests(<target> [DEPS <targets>...])
# The folder's tests/*.cc, and those of its subfolders' tests/ (a library
# made of several subsystems), become one gtest binary <target>_tests.
function(quillbox_tests target)
  cmake_parse_arguments(ARG "" "" "DEPS" ${ARGN})
  file(GLOB test_sources CONFIGURE_DEPENDS "${CMAKE_CURRENT_SOURCE_DIR}/tests/*.cc"
       "${CMAKE_CURRENT_SOURCE_DIR}/*/tests/*.cc")
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

# quillbox_test_child(<target> <child> DEFINE <macro> [DEPS <targets>...] [EXPORTED])
# A program the folder's tests start as a child process: tests/<child>/main.cc
# (or <subfolder>/tests/<child>/main.cc) becomes <target>_<child>, linked
# with <target> (or DEPS), built before the tests, which find it through the
# macro <macro>. EXPORTED keeps its functions' names visible to the dynamic
# linker and every call a call, for children whose stacks the tests read back.
function(quillbox_test_child target child)
  cmake_parse_arguments(ARG "EXPORTED" "DEFINE" "DEPS" ${ARGN})
  if(NOT TARGET ${target}_tests)
    return()
  endif()
  set(program ${target}_${child})
  file(GLOB child_main "${CMAKE_CURRENT_SOURCE_DIR}/tests/${child}/main.cc"
       "${CMAKE_CURRENT_SOURCE_DIR}/*/tests/${child}/main.cc")
  list(LENGTH child_main found)
  if(NOT found EQUAL 1)
    message(FATAL_ERROR "quillbox_test_child: ${target}: expected one main.cc for ${child}, found ${found}")
  endif()
  add_executable(${program} ${child_main})
  if(NOT ARG_DEPS)
    set(ARG_DEPS ${target})
  endif()
  target_link_libraries(${program} PRIVATE ${ARG_DEPS})
  if(ARG_EXPORTED)
    set_target_properties(${program} PROPERTIES ENABLE_EXPORTS ON)
    target_compile_options(${program} PRIVATE -fno-omit-frame-pointer -fno-optimize-sibling-calls)
  endif()
  add_dependencies(${target}_tests ${program})
  target_compile_definitions(${target}_tests PRIVATE ${ARG_DEFINE}="$<TARGET_FILE:${program}>")
endfunction()

# The main of every test binary (TestMain.cc beside this file).
add_library(QuillboxTestMain STATIC "${CMAKE_CURRENT_LIST_DIR}/TestMain.cc")
target_include_directories(QuillboxTestMain PRIVATE "${CMAKE_SOURCE_DIR}")
target_link_libraries(QuillboxTestMain PUBLIC GTest::gtest Dispatch)
