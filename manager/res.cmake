# Dialog templates of the program (ui::FindDialogTemplate).
add_library(orvane_res STATIC ${CMAKE_CURRENT_SOURCE_DIR}/res/templates.cpp)
target_include_directories(orvane_res PUBLIC ${CMAKE_CURRENT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/common)
# Edits that hold a whole record field take their limits from the field tables.
target_link_libraries(orvane_res PUBLIC dalvex_record_fields)

if(DALVEX_BUILD_TESTS)
  file(GLOB orvane_res_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tests/res/*.cpp)
  if(orvane_res_test_sources)
    add_executable(orvane_res_tests ${orvane_res_test_sources})
    target_link_libraries(orvane_res_tests PRIVATE orvane_res dalvex_text
      GTest::gtest GTest::gtest_main)
    gtest_discover_tests(orvane_res_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
      PROPERTIES TIMEOUT 120)
  endif()
endif()
