# Delay-import libraries for DLLs that are not Known DLLs. The loader looks for such a DLL
# beside the program before System32, so an ordinary import would load a copy planted in the
# download folder before the entry function runs. Delay-loaded, the DLL is first loaded on
# first use, after the entry function has restricted the search to System32.
#
# Each library is made at build time from the toolchain's own import library, so the list
# of functions cannot drift from what an ordinary import would offer. The delay-load helper
# (__delayLoadHelper2) comes with the mingw-w64 runtime.

set(TOVARELIN_DELAY_IMPORT_SCRIPT ${CMAKE_CURRENT_LIST_DIR}/import_def.cmake)

# tovarelin_delay_import(<interface target> <dll base name>...)
function(tovarelin_delay_import target)
  set(folder ${CMAKE_BINARY_DIR}/delay_import)
  file(MAKE_DIRECTORY ${folder})
  set(libraries)
  foreach(name IN LISTS ARGN)
    find_library(TOVARELIN_IMPORT_LIBRARY_${name} NAMES lib${name}.a REQUIRED)
    set(import_library ${TOVARELIN_IMPORT_LIBRARY_${name}})
    # Run in the output folder: dlltool names its symbols after the output path.
    add_custom_command(
      OUTPUT ${folder}/lib${name}_delay.a
      COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DIMPORT_LIBRARY=${import_library}
              -DDLL=${name}.dll -DDEF=${name}.def -P ${TOVARELIN_DELAY_IMPORT_SCRIPT}
      COMMAND ${CMAKE_DLLTOOL} --input-def ${name}.def --dllname ${name}.dll
              --output-delaylib lib${name}_delay.a
      DEPENDS ${import_library} ${TOVARELIN_DELAY_IMPORT_SCRIPT}
      WORKING_DIRECTORY ${folder}
      COMMENT "Delay-import library for ${name}.dll"
      VERBATIM)
    list(APPEND libraries ${folder}/lib${name}_delay.a)
  endforeach()
  add_custom_target(${target}_libraries DEPENDS ${libraries})
  add_library(${target} INTERFACE)
  target_link_libraries(${target} INTERFACE ${libraries})
  add_dependencies(${target} ${target}_libraries)
endfunction()
