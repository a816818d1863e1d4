# The language tables: text conversion, CLangTable and the English table compiled in as the
# embedded resource 133.
set(ORVANE_LANG_GENERATED ${CMAKE_CURRENT_BINARY_DIR}/generated)
set(ORVANE_ENGLISH_TABLE ${CMAKE_CURRENT_SOURCE_DIR}/res/lang/English.ini)
add_custom_command(
  OUTPUT ${ORVANE_LANG_GENERATED}/english_table.cpp
  COMMAND ${CMAKE_COMMAND} -E make_directory ${ORVANE_LANG_GENERATED}
  COMMAND ${CMAKE_COMMAND} -DINPUT=${ORVANE_ENGLISH_TABLE}
          -DOUTPUT=${ORVANE_LANG_GENERATED}/english_table.cpp
          -DNAMESPACE=lang_res -DSYMBOL=kEnglishTable
          -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_bytes.cmake
  DEPENDS ${ORVANE_ENGLISH_TABLE} ${CMAKE_CURRENT_SOURCE_DIR}/cmake/embed_bytes.cmake
  COMMENT "Embedding the English language table"
  VERBATIM)

add_library(orvane_lang STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/lang/text.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lang/langtable.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/lang/langtable_resources.cpp
  ${ORVANE_LANG_GENERATED}/english_table.cpp)
target_include_directories(orvane_lang PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})

if(DALVEX_BUILD_TESTS)
  file(GLOB orvane_lang_test_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/lang/*.cpp)
  if(orvane_lang_test_sources)
    add_executable(orvane_lang_tests ${orvane_lang_test_sources})
    target_compile_definitions(orvane_lang_tests PRIVATE
      ORVANE_ENGLISH_TABLE_PATH="${ORVANE_ENGLISH_TABLE}")
    target_link_libraries(orvane_lang_tests PRIVATE orvane_lang orvane_res GTest::gtest
      GTest::gtest_main)
    gtest_discover_tests(orvane_lang_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 120)
  endif()
endif()
