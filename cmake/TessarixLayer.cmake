# tessarix_layer(<target> GLOB <patterns...> [EXCLUDE <files...>] [LIBS <targets...>])
# A static library from the .cpp files of the calling folder that match the patterns.
function(tessarix_layer target)
  cmake_parse_arguments(ARG "" "" "GLOB;EXCLUDE;LIBS" ${ARGN})
  set(sources)
  foreach(pattern ${ARG_GLOB})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${pattern})
    list(APPEND sources ${found})
  endforeach()
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${excluded})
  endforeach()
  add_library(${target} STATIC ${sources})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
  target_link_libraries(${target} PUBLIC ${ARG_LIBS})
endfunction()

# tessarix_vectorized(<files...>)
# Files of the calling folder whose inner loops are written for the vectorizer, which GCC at -O2
# lets take only the very cheapest loops. Integer loops only: the results stay the same.
function(tessarix_vectorized)
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    set_source_files_properties(${ARGN} PROPERTIES
      COMPILE_OPTIONS "-fvect-cost-model=dynamic")
  endif()
endfunction()
