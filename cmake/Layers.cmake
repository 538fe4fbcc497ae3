# Each library sees only its own headers and those of the libraries it links:
# its include folder (build/layers/<folder>) holds nothing but a link to its
# source folder, so "model/X.h" is found only by what links tqv_model. Headers
# keep their "<folder>/X.h" names; the direction is cmake/LayerRules.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/LayerRules.cmake)

# Names the rule when a file includes across it, before anything compiles
# (the compiler alone would only say that the header is missing).
set(TQV_LAYERED_FILES "")
foreach(folder IN LISTS TQV_LAYER_FOLDERS)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*.h ${PROJECT_SOURCE_DIR}/${folder}/*.cpp)
  list(APPEND TQV_LAYERED_FILES ${files})
endforeach()
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/layers/checked
  COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -P ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/layers/checked
  DEPENDS ${TQV_LAYERED_FILES} ${CMAKE_CURRENT_LIST_DIR}/CheckLayers.cmake ${CMAKE_CURRENT_LIST_DIR}/LayerRules.cmake
  COMMENT "Checking that each library includes only headers of the libraries it depends on"
  VERBATIM)
add_custom_target(tqv_layer_check DEPENDS ${CMAKE_BINARY_DIR}/layers/checked)

# tqv_layer(<target> <folder>): <target> is built from <folder>; it exposes
# that folder's headers, and is checked against the folder's rule.
function(tqv_layer target folder)
  if(NOT folder IN_LIST TQV_LAYER_FOLDERS)
    message(FATAL_ERROR "tqv_layer: ${folder} is not in cmake/LayerRules.cmake")
  endif()
  set(dir ${CMAKE_BINARY_DIR}/layers/${folder})
  file(MAKE_DIRECTORY ${dir})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${dir})
  set_property(TARGET ${target} PROPERTY TQV_LAYER ${folder})
  set_property(GLOBAL APPEND PROPERTY TQV_LAYER_TARGETS ${target})
  add_dependencies(${target} tqv_layer_check)
endfunction()

# Called once every library is defined: a library may link only libraries of
# the folders its rule names.
function(tqv_check_layer_links)
  get_property(targets GLOBAL PROPERTY TQV_LAYER_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(folder ${target} TQV_LAYER)
    get_target_property(links ${target} LINK_LIBRARIES)
    foreach(link IN LISTS links)
      if(NOT TARGET ${link})
        continue()
      endif()
      get_target_property(used ${link} TQV_LAYER)
      if(used AND NOT used STREQUAL folder AND NOT used IN_LIST TQV_LAYER_USES_${folder})
        message(FATAL_ERROR "Layer rule broken: ${target} (${folder}) links ${link} (${used}).\n"
                            "Libraries depend one way: ${TQV_LAYER_RULE} (cmake/LayerRules.cmake).")
      endif()
    endforeach()
  endforeach()
endfunction()
