# quillbox_nanopb(<target> PROTOS <files>...)
# Generates the C message code of each .proto (a .options file beside it is
# read too) into the build's generated/ directory at build time, with
# Debian's protoc and its nanopb plugin, and compiles it into <target>.
# Headers are included as "<folder of the .proto>/<name>.pb.h".
#
# Debian's nanopb library is built with malloc support its header does not
# announce, so every user defines PB_ENABLE_MALLOC=1. It is built without
# PB_FIELD_32BIT: that must never be defined here, or the field layouts of
# the library and of our code would silently differ (a bytes field holds at
# most 65,535 bytes).
find_program(QUILLBOX_PROTOC protoc REQUIRED)
find_program(QUILLBOX_PROTOC_GEN_NANOPB protoc-gen-nanopb REQUIRED)
find_package(nanopb CONFIG REQUIRED)

function(quillbox_nanopb target)
  cmake_parse_arguments(ARG "" "" "PROTOS" ${ARGN})
  foreach(proto IN LISTS ARG_PROTOS)
    get_filename_component(proto "${proto}" ABSOLUTE)
    get_filename_component(name "${proto}" NAME_WE)
    get_filename_component(dir "${proto}" DIRECTORY)
    file(RELATIVE_PATH folder "${CMAKE_SOURCE_DIR}" "${dir}")
    set(out "${CMAKE_BINARY_DIR}/generated/${folder}")
    set(depends "${proto}")
    if(EXISTS "${dir}/${name}.options")
      list(APPEND depends "${dir}/${name}.options")
    endif()
    add_custom_command(
      OUTPUT "${out}/${name}.pb.c" "${out}/${name}.pb.h"
      COMMAND "${CMAKE_COMMAND}" -E make_directory "${out}"
      COMMAND "${QUILLBOX_PROTOC}" "--plugin=protoc-gen-nanopb=${QUILLBOX_PROTOC_GEN_NANOPB}"
              "-I${dir}" "--nanopb_opt=-I${dir}" "--nanopb_out=${out}" "${proto}"
      DEPENDS ${depends}
      COMMENT "nanopb: ${folder}/${name}.proto"
      VERBATIM)
    target_sources(${target} PRIVATE "${out}/${name}.pb.c" "${out}/${name}.pb.h")
  endforeach()
  target_compile_definitions(${target} PUBLIC PB_ENABLE_MALLOC=1)
  target_link_libraries(${target} PUBLIC nanopb::protobuf-nanopb-static)
endfunction()
