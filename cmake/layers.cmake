# The direction of the tree's dependencies, checked when the build is
# configured. Every folder of sources belongs to a layer:
#
#   0 base/       what everything uses; links nothing of ours
#   1 platform/   the stand-ins for the platform's services
#   2 common/     the rules every program shares (settings, the database
#                 session, the formats of lists and categories)
#   3 sql/        the database's scripts
#   4 indexer/ query/ monitor/ admin/ setup/   the programs
#   5 tools/      the tools, which may drive the programs' cores
#
# A library or program may link, and its sources may include, only what is
# in a lower layer or in its own folder's layer; a program (layer 4) only
# its own folder of that layer: no program's code uses another program's.
# tests/ and bench/ may use anything. A breach stops the configuration with
# the file or target that made it.

function(tellwen_layer_of top out_rank)
  if(top STREQUAL "base")
    set(rank 0)
  elseif(top STREQUAL "platform")
    set(rank 1)
  elseif(top STREQUAL "common")
    set(rank 2)
  elseif(top STREQUAL "sql")
    set(rank 3)
  elseif(top MATCHES "^(indexer|query|monitor|admin|setup)$")
    set(rank 4)
  elseif(top STREQUAL "tools")
    set(rank 5)
  else()
    set(rank -1)
  endif()
  set(${out_rank} ${rank} PARENT_SCOPE)
endfunction()

# The first folder of a path inside the tree ("" outside it).
function(tellwen_top_folder path out)
  cmake_path(IS_PREFIX PROJECT_SOURCE_DIR "${path}" NORMALIZE inside)
  set(top "")
  if(inside)
    file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${path})
    string(REGEX MATCH "^[^/]+" top "${relative}")
  endif()
  set(${out} "${top}" PARENT_SCOPE)
endfunction()

# Whether code of folder `from` may use folder `to`.
function(tellwen_may_use from to out)
  tellwen_layer_of("${from}" from_rank)
  tellwen_layer_of("${to}" to_rank)
  set(allowed TRUE)
  if(from_rank GREATER_EQUAL 0 AND to_rank GREATER_EQUAL 0)
    if(to_rank GREATER from_rank)
      set(allowed FALSE)
    elseif(to_rank EQUAL 4 AND from_rank EQUAL 4 AND NOT from STREQUAL to)
      set(allowed FALSE)
    endif()
  endif()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

tellwen_tree_targets(${PROJECT_SOURCE_DIR}
  "^(STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY|EXECUTABLE)$" targets)
foreach(target IN LISTS targets)
  get_target_property(source_dir ${target} SOURCE_DIR)
  tellwen_top_folder(${source_dir} from)
  tellwen_layer_of("${from}" from_rank)
  if(from_rank LESS 0)
    continue()
  endif()
  get_target_property(links ${target} LINK_LIBRARIES)
  foreach(link IN LISTS links)
    if(NOT TARGET ${link})
      continue()
    endif()
    get_target_property(imported ${link} IMPORTED)
    if(imported)
      continue()
    endif()
    get_target_property(link_dir ${link} SOURCE_DIR)
    tellwen_top_folder(${link_dir} to)
    tellwen_may_use("${from}" "${to}" allowed)
    if(NOT allowed)
      message(FATAL_ERROR "${target} (${from}/) links ${link} (${to}/): "
                          "a library links only what is below it")
    endif()
  endforeach()
  tellwen_target_files(${target} files)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^#include \"[a-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^#include \"([a-z_]+)/.*" "\\1" to "${line}")
      tellwen_may_use("${from}" "${to}" allowed)
      if(NOT allowed)
        message(FATAL_ERROR "${file} includes ${to}/: ${from}/ may use only its own "
                            "folder and the layers below it (cmake/layers.cmake)")
      endif()
    endforeach()
  endforeach()
endforeach()
