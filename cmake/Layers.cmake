# The program is built in layers, one library per folder of src/, each
# linking only the layers below it. A layer's headers are reachable only
# through a folder of the build tree that holds links to them alone, so a
# file that includes a header of a layer it does not link fails to build.

# velorantis_layer_headers(TARGET PATH...): TARGET and whatever links it reach
# each PATH below src/ (a folder or a single header) by that same name.
function(velorantis_layer_headers target)
  set(root ${PROJECT_BINARY_DIR}/layers/${target})
  foreach(path IN LISTS ARGN)
    cmake_path(GET path PARENT_PATH parent)
    file(MAKE_DIRECTORY ${root}/${parent})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${path} ${root}/${path} SYMBOLIC)
  endforeach()
  get_target_property(type ${target} TYPE)
  if(type STREQUAL INTERFACE_LIBRARY)
    target_include_directories(${target} INTERFACE ${root})
  else()
    target_include_directories(${target} PUBLIC ${root})
  endif()
endfunction()

# velorantis_layer(TARGET FOLDER SOURCES... LINKS LAYER...): the static library
# of one folder below src/, with its headers and the layers it builds on.
function(velorantis_layer target folder)
  cmake_parse_arguments(PARSE_ARGV 2 layer "" "" "SOURCES;LINKS")
  add_library(${target} STATIC ${layer_SOURCES})
  velorantis_layer_headers(${target} ${folder})
  target_link_libraries(${target} PUBLIC ${layer_LINKS})
  set_property(GLOBAL APPEND PROPERTY VELORANTIS_LAYERS ${target})
endfunction()
