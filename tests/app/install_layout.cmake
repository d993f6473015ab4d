# Installs the build in BUILD into PREFIX and checks where the files land: the binaries' folder
# holds the two programs only, and the pages the program opens lie in its data folder, where it
# looks for them (../share/tessarix from the binaries).
file(REMOVE_RECURSE ${PREFIX})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${PREFIX}
                RESULT_VARIABLE failed OUTPUT_QUIET)
if(failed)
  message(FATAL_ERROR "cmake --install failed: ${failed}")
endif()
file(GLOB binaries RELATIVE ${PREFIX}/bin ${PREFIX}/bin/*)
list(SORT binaries)
if(NOT binaries STREQUAL "tessarix;tessarix-cli")
  message(FATAL_ERROR "bin/ holds: ${binaries}")
endif()
foreach(page TessarixManual.pdf tutorial.html project.html)
  if(NOT EXISTS ${PREFIX}/share/tessarix/${page})
    message(FATAL_ERROR "share/tessarix/${page} is missing")
  endif()
endforeach()
file(REMOVE_RECURSE ${PREFIX})
