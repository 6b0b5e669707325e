# The layers of the tree: a library shows its users its public headers only, from a folder of its
# own in the build tree that links to them, in the form a program uses with the installed package
# (<q4471/serial/VaComm.h>). The source root, where the internal headers are, stays private to the
# library, so a program or another library that includes an internal header fails to compile.
# Links rather than copies: an edit of the source is what the build sees, and a header reached
# through its link and through the source root is one file to the compiler, so #pragma once holds.

get_filename_component(Q4471_SOURCE_ROOT ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)

# The library's public headers, named from the source root, under q4471/ of its folder; also listed
# for the install (global property Q4471_INSTALLED_HEADERS) unless NOT_INSTALLED.
#   q4471_public_headers(<target> [NOT_INSTALLED] <header>...)
function(q4471_public_headers target)
  cmake_parse_arguments(arg "NOT_INSTALLED" "" "" ${ARGN})
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  foreach(header IN LISTS arg_UNPARSED_ARGUMENTS)
    q4471_link_into(${root}/q4471/${header} ${header})
  endforeach()
  q4471_show_folder(${target} ${root})
  if(NOT arg_NOT_INSTALLED)
    set_property(GLOBAL APPEND PROPERTY Q4471_INSTALLED_HEADERS ${arg_UNPARSED_ARGUMENTS})
  endif()
endfunction()

# A library of the tree that is not installed shows its whole folder under its own name
# (#include "memories/MemoryTable.h"), and nothing else of the source root.
#   q4471_public_folder(<target> <folder from the source root>)
function(q4471_public_folder target folder)
  set(root ${CMAKE_BINARY_DIR}/include/${target})
  q4471_link_into(${root}/${folder} ${folder})
  q4471_show_folder(${target} ${root})
endfunction()

function(q4471_link_into link path)
  get_filename_component(parent ${link} DIRECTORY)
  file(MAKE_DIRECTORY ${parent})
  file(CREATE_LINK ${Q4471_SOURCE_ROOT}/${path} ${link} SYMBOLIC)
endfunction()

function(q4471_show_folder target root)
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "INTERFACE_LIBRARY")
    target_include_directories(${target} INTERFACE $<BUILD_INTERFACE:${root}>)
  else()
    target_include_directories(${target} PUBLIC $<BUILD_INTERFACE:${root}>)
  endif()
endfunction()
