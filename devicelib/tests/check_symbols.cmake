# Compares the function symbols that a shared library exports with an expected list.
#   cmake -DLIB=<library> -DEXPECTED=<file, one symbol a line> -P check_symbols.cmake
if(NOT LIB OR NOT EXPECTED)
  message(FATAL_ERROR "usage: cmake -DLIB=<library> -DEXPECTED=<list> -P check_symbols.cmake")
endif()
find_program(NM NAMES nm)
if(NOT NM)
  message(FATAL_ERROR "nm not found")
endif()
execute_process(COMMAND ${NM} -D --defined-only ${LIB}
  OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}: ${errors}")
endif()

# Function symbols are those of the text section: T (global) and W (weak), upper or lower case
# for the indirect ones (i).
string(REPLACE "\n" ";" lines "${listing}")
set(actual "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* +[TWi] +([^ @]+)")
    list(APPEND actual "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES actual)
list(SORT actual)

file(STRINGS ${EXPECTED} expected)
list(SORT expected)

set(missing ${expected})
list(REMOVE_ITEM missing ${actual})
set(extra ${actual})
list(REMOVE_ITEM extra ${expected})
if(missing OR extra)
  list(LENGTH actual actualCount)
  list(LENGTH expected expectedCount)
  string(REPLACE ";" "\n  " missingText "${missing}")
  string(REPLACE ";" "\n  " extraText "${extra}")
  message(FATAL_ERROR "${LIB} exports ${actualCount} functions, ${expectedCount} expected\n"
    "missing:\n  ${missingText}\nunexpected:\n  ${extraText}")
endif()
list(LENGTH actual count)
message(STATUS "${count} exported functions, as expected")
