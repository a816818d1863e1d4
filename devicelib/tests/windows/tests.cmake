# Tests of the Windows build. The export table is read from dalvex.dll itself.
add_test(NAME dalvex_dll_exports
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:dalvex> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_symbols.cmake)
