# Writes a module-definition file listing the functions of one DLL, read from the
# toolchain's import library: every function there is defined as a text symbol.
#   cmake -DNM=... -DIMPORT_LIBRARY=... -DDLL=name.dll -DDEF=out.def -P import_def.cmake
execute_process(
  COMMAND ${NM} --defined-only ${IMPORT_LIBRARY}
  OUTPUT_VARIABLE symbols
  RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${NM} cannot read ${IMPORT_LIBRARY}")
endif()

string(REGEX MATCHALL "[0-9a-f]+ T [^\n]+" functions "${symbols}")
list(TRANSFORM functions REPLACE "^[0-9a-f]+ T " "")
list(REMOVE_DUPLICATES functions)
list(SORT functions)
if(NOT functions)
  message(FATAL_ERROR "${IMPORT_LIBRARY} names no functions")
endif()

list(JOIN functions "\n  " exports)
file(WRITE ${DEF} "LIBRARY ${DLL}\nEXPORTS\n  ${exports}\n")
