# The folder graph: for every target defined in a folder src/<folder>/, its sources and the
# veskor libraries it links, written where the folder-graph test reads it
# (tests/base/folder_graph_test.cpp). Nothing to register: a folder added with
# add_subdirectory(src/<folder>) is picked up with all its targets.
#
# File format, one item a line:
#   target <name> <folder>      a target of src/<folder>/
#   source <path>               one of its sources, relative to src/<folder>/
#   link <library>              a veskor library it links
function(veskor_write_folder_graph file)
  get_property(dirs DIRECTORY ${PROJECT_SOURCE_DIR} PROPERTY SUBDIRECTORIES)
  set(text "")
  foreach(dir IN LISTS dirs)
    cmake_path(RELATIVE_PATH dir BASE_DIRECTORY ${PROJECT_SOURCE_DIR}/src OUTPUT_VARIABLE folder)
    if(folder MATCHES "^\\.\\." OR folder MATCHES "/")
      continue()  # not a folder of src/
    endif()
    get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
    foreach(target IN LISTS targets)
      get_target_property(type ${target} TYPE)
      if(type STREQUAL "INTERFACE_LIBRARY" OR type STREQUAL "UTILITY")
        continue()
      endif()
      string(APPEND text "target ${target} ${folder}\n")
      get_target_property(sources ${target} SOURCES)
      foreach(source IN LISTS sources)
        if(source MATCHES "\\$<")
          continue()
        endif()
        cmake_path(ABSOLUTE_PATH source BASE_DIRECTORY ${dir} NORMALIZE)
        cmake_path(RELATIVE_PATH source BASE_DIRECTORY ${dir})
        string(APPEND text "source ${source}\n")
      endforeach()
      get_target_property(links ${target} LINK_LIBRARIES)
      foreach(link IN LISTS links)
        if(link MATCHES "^veskor_")
          string(APPEND text "link ${link}\n")
        endif()
      endforeach()
    endforeach()
  endforeach()
  file(WRITE ${file}.new "${text}")
  file(COPY_FILE ${file}.new ${file} ONLY_IF_DIFFERENT)
endfunction()
