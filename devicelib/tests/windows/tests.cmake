# Tests of the Windows build. The export table is read from dalvex.dll itself; the programs run
# under Wine (the toolchain file's emulator): those of this folder against the camera that
# scripts/windows-test.sh serves with camsim and names in DALVEX_TEST_CAMERA, the unit, API and
# GPS tests against cameras they serve themselves on loopback TCP ports.
add_test(NAME dalvex_dll_exports
  COMMAND ${CMAKE_COMMAND} -DLIB=$<TARGET_FILE:dalvex> -DOBJDUMP=${CMAKE_OBJDUMP}
          -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/exported_symbols.txt
          -P ${CMAKE_CURRENT_SOURCE_DIR}/check_symbols.cmake)

# A program run whole under Wine, one process for all its cases: Wine starts slowly, so one
# process per case (as on Linux) would take minutes.
function(dalvex_wine_test program)
  if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    return()
  endif()
  add_test(NAME ${program} COMMAND ${program})
  # A Wine prefix of the build's own; no Mono or Gecko installers.
  set_tests_properties(${program} PROPERTIES TIMEOUT 300 RESOURCE_LOCK wine
    ENVIRONMENT "WINEPREFIX=${CMAKE_BINARY_DIR}/wine;WINEDEBUG=-all;WINEDLLOVERRIDES=mscoree,mshtml=")
endfunction()

set(windows ${CMAKE_CURRENT_SOURCE_DIR}/windows)
add_executable(dalvex_win_backend_tests ${windows}/backend_test.cpp)
target_link_libraries(dalvex_win_backend_tests PRIVATE dalvex_test_support dalvex_static
  GTest::gtest_main)
add_executable(dalvex_win_export_tests ${windows}/exports_test.cpp)
target_link_libraries(dalvex_win_export_tests PRIVATE dalvex_test_support dalvex GTest::gtest_main)
add_executable(dalvex_win_loader ${windows}/loader.c)
set_source_files_properties(${windows}/loader.c PROPERTIES LANGUAGE C)
add_dependencies(dalvex_win_loader dalvex)
foreach(program dalvex_win_backend_tests dalvex_win_export_tests dalvex_win_loader)
  dalvex_wine_test(${program})
endforeach()

# A caller whose compiler defaults to another convention must still call the exports right.
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
  add_executable(dalvex_win_cdecl_caller ${windows}/cdecl_caller.c)
  set_source_files_properties(${windows}/cdecl_caller.c PROPERTIES LANGUAGE C)
  target_compile_options(dalvex_win_cdecl_caller PRIVATE -mrtd -Werror=incompatible-pointer-types)
  target_link_libraries(dalvex_win_cdecl_caller PRIVATE dalvex)
endif()
