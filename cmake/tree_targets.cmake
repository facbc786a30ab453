# What the configuration-time checks of the tree walk (the layers'
# direction, the libraries with lock annotations).

# tellwen_tree_targets(dir types out): the targets defined in dir and every
# folder below it whose TYPE matches the regular expression types.
function(tellwen_tree_targets dir types out)
  set(found)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "${types}")
      list(APPEND found ${target})
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    tellwen_tree_targets(${subdir} "${types}" below)
    list(APPEND found ${below})
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# tellwen_target_files(target out): the target's sources, and beside each
# the header of the same name, those that exist, as absolute paths.
function(tellwen_target_files target out)
  set(found)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  foreach(source IN LISTS sources)
    cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${source_dir} OUTPUT_VARIABLE source)
    cmake_path(REPLACE_EXTENSION source LAST_ONLY .h OUTPUT_VARIABLE header)
    foreach(file IN ITEMS ${source} ${header})
      if(EXISTS ${file})
        list(APPEND found ${file})
      endif()
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()
