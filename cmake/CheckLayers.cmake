# cmake -DSOURCE_DIR=<tree> -P CheckLayers.cmake
# Fails, naming the rule, when a file of a library folder includes a header of
# one of our folders that cmake/LayerRules.cmake does not let it use.
cmake_minimum_required(VERSION 3.20)
include(${CMAKE_CURRENT_LIST_DIR}/LayerRules.cmake)
if(NOT SOURCE_DIR)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<source tree> -P CheckLayers.cmake")
endif()

set(broken "")
foreach(folder IN LISTS TQV_LAYER_FOLDERS)
  file(GLOB_RECURSE files ${SOURCE_DIR}/${folder}/*.h ${SOURCE_DIR}/${folder}/*.cpp)
  foreach(file IN LISTS files)
    file(STRINGS ${file} includes REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<][A-Za-z_]+/")
    foreach(line IN LISTS includes)
      string(REGEX MATCH "[\"<]([A-Za-z_]+)/[^\">]*[\">]" header "${line}")
      set(used ${CMAKE_MATCH_1})
      if(used IN_LIST TQV_LAYER_FOLDERS AND NOT used STREQUAL folder AND NOT used IN_LIST TQV_LAYER_USES_${folder})
        file(RELATIVE_PATH name ${SOURCE_DIR} ${file})
        set(allowed ${folder} ${TQV_LAYER_USES_${folder}})
        list(JOIN allowed ", " allowed)
        string(APPEND broken "  ${name}: #include ${header} (${folder} may include only ${allowed})\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(broken)
  # Printed as it is (an error message would be re-wrapped), then failed.
  message(NOTICE "Layer rule broken: a library includes a header of one it must not depend on.\n"
                 "Libraries depend one way: ${TQV_LAYER_RULE} (cmake/LayerRules.cmake).\n${broken}")
  message(FATAL_ERROR "Layer rule broken: see above.")
endif()
