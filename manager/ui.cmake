# The dialog layer, the application shell (application object, main window, pages), the program
# and their tests.
#   orvane_ui        the dialog layer and its headless backend (no toolkit)
#   orvane_ui_wx     the wxWidgets backend (its calls beneath wxWidgets: GTK 3, or wxWidgets' own
#                    fallbacks on any other toolkit)
#   orvane_shell     CManagerApp, CMainDlg and the pages, written against the dialog layer
#   orvane           the program
find_package(wxWidgets 3.2 REQUIRED COMPONENTS core base)
if("__WXGTK__" IN_LIST wxWidgets_DEFINITIONS)
  pkg_check_modules(GTK3 REQUIRED IMPORTED_TARGET gtk+-3.0)
  set(ORVANE_WX_NATIVE ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_gtk.cpp)
else()
  set(ORVANE_WX_NATIVE ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_native_other.cpp)
endif()

add_library(orvane_ui STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/dialog.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/headless.cpp)
target_include_directories(orvane_ui PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
# Dialogs are built from the program's templates (ui::FindDialogTemplate).
target_link_libraries(orvane_ui PUBLIC orvane_res)

add_library(orvane_ui_wx STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_app.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_automation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_message_box.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_peer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_static_controls.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_button_controls.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_text_controls.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/ui/wx_list_controls.cpp
  ${ORVANE_WX_NATIVE})
target_include_directories(orvane_ui_wx PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_include_directories(orvane_ui_wx SYSTEM PUBLIC ${wxWidgets_INCLUDE_DIRS})
target_compile_definitions(orvane_ui_wx PUBLIC ${wxWidgets_DEFINITIONS})
target_compile_options(orvane_ui_wx PUBLIC ${wxWidgets_CXX_FLAGS})
target_link_libraries(orvane_ui_wx PUBLIC orvane_ui ${wxWidgets_LIBRARIES})
if(TARGET PkgConfig::GTK3)
  target_link_libraries(orvane_ui_wx PRIVATE PkgConfig::GTK3)
endif()

file(GLOB ORVANE_PAGE_SOURCES CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/pages/*.cpp)
add_library(orvane_shell STATIC
  ${CMAKE_CURRENT_SOURCE_DIR}/app.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/os/instance.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/mainwindow.cpp
  ${ORVANE_PAGE_SOURCES})
target_include_directories(orvane_shell PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}
  ${PROJECT_SOURCE_DIR}/common)
target_link_libraries(orvane_shell PUBLIC orvane_ui dalvex_text orvane_res dalvex)

add_executable(orvane
  ${CMAKE_CURRENT_SOURCE_DIR}/main.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/demo.cpp)
target_link_libraries(orvane PRIVATE orvane_shell orvane_ui_wx)

if(DALVEX_BUILD_TESTS)
  # Headless: the main window and the pages with the real library and in-process cameras.
  file(GLOB orvane_shell_test_sources CONFIGURE_DEPENDS
    ${CMAKE_CURRENT_SOURCE_DIR}/tests/shell/*.cpp)
  add_executable(orvane_shell_tests ${orvane_shell_test_sources})
  target_include_directories(orvane_shell_tests PRIVATE ${CMAKE_SOURCE_DIR}/devicelib/tests)
  target_link_libraries(orvane_shell_tests PRIVATE dalvex_test_support orvane_shell camsim_model
    GTest::gtest GTest::gtest_main Threads::Threads)
  gtest_discover_tests(orvane_shell_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 300)

  # Single instance across processes: a helper that runs the application object headless.
  add_executable(orvane_instance_helper ${CMAKE_CURRENT_SOURCE_DIR}/tests/instance/helper.cpp)
  target_link_libraries(orvane_instance_helper PRIVATE orvane_shell)
  add_executable(orvane_instance_tests ${CMAKE_CURRENT_SOURCE_DIR}/tests/instance/instance_test.cpp)
  target_compile_definitions(orvane_instance_tests PRIVATE
    ORVANE_INSTANCE_HELPER="$<TARGET_FILE:orvane_instance_helper>")
  target_link_libraries(orvane_instance_tests PRIVATE orvane_shell GTest::gtest GTest::gtest_main)
  add_dependencies(orvane_instance_tests orvane_instance_helper)
  gtest_discover_tests(orvane_instance_tests DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES TIMEOUT 120 RESOURCE_LOCK orvane_instance)

  # The wxWidgets backend under Xvfb: real windows, accessible names, pictures of every window.
  find_program(XVFB_RUN xvfb-run)
  add_executable(orvane_gui_tests ${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/gui_test.cpp)
  target_include_directories(orvane_gui_tests PRIVATE ${CMAKE_SOURCE_DIR}/devicelib/tests)
  target_compile_definitions(orvane_gui_tests PRIVATE
    ORVANE_PROGRAM="$<TARGET_FILE:orvane>" CAMSIM_PROGRAM="$<TARGET_FILE:camsim>")
  target_link_libraries(orvane_gui_tests PRIVATE dalvex_test_support orvane_shell orvane_ui_wx camsim_model
    PkgConfig::GTK3 GTest::gtest Threads::Threads)
  add_dependencies(orvane_gui_tests orvane camsim)
  # The page and dialog scenarios on both backends: headless always, wxWidgets under Xvfb (the
  # wxWidgets half is skipped when there is no display).
  add_executable(orvane_parity_tests ${CMAKE_CURRENT_SOURCE_DIR}/tests/parity/parity_test.cpp)
  target_include_directories(orvane_parity_tests PRIVATE ${CMAKE_SOURCE_DIR}/devicelib/tests)
  target_link_libraries(orvane_parity_tests PRIVATE dalvex_test_support orvane_shell orvane_ui_wx camsim_model
    PkgConfig::GTK3 GTest::gtest Threads::Threads)
  if(XVFB_RUN)
    add_test(NAME orvane_parity_tests
      COMMAND ${XVFB_RUN} -a -s "-screen 0 1280x1024x24"
              $<TARGET_FILE:orvane_parity_tests>)
  else()
    add_test(NAME orvane_parity_tests COMMAND orvane_parity_tests)
  endif()
  set_tests_properties(orvane_parity_tests PROPERTIES TIMEOUT 300 RESOURCE_LOCK orvane_instance
    ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/lsan.supp")
  # What a screen reader hears: a small AT-SPI client the GUI test runs while a message box is
  # open. The GUI test gets its own session bus (dbus-run-session), which starts the
  # accessibility bus; without one the reader's test is skipped.
  pkg_check_modules(ATSPI IMPORTED_TARGET atspi-2)
  find_program(DBUS_RUN_SESSION dbus-run-session)
  set(orvane_gui_bus)
  if(ATSPI_FOUND AND TARGET PkgConfig::GTK3)
    add_executable(orvane_atspi_reader ${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/atspi_reader.cpp)
    target_link_libraries(orvane_atspi_reader PRIVATE PkgConfig::ATSPI PkgConfig::GTK3)
    target_compile_definitions(orvane_gui_tests PRIVATE
      ATSPI_READER="$<TARGET_FILE:orvane_atspi_reader>")
    add_dependencies(orvane_gui_tests orvane_atspi_reader)
    if(DBUS_RUN_SESSION)
      set(orvane_gui_bus ${DBUS_RUN_SESSION} --)
    endif()
  else()
    target_compile_definitions(orvane_gui_tests PRIVATE ATSPI_READER="")
  endif()
  if(XVFB_RUN)
    add_test(NAME orvane_gui_tests
      COMMAND ${orvane_gui_bus} ${XVFB_RUN} -a -s "-screen 0 1280x1024x24"
              $<TARGET_FILE:orvane_gui_tests>)
    set_tests_properties(orvane_gui_tests PROPERTIES TIMEOUT 300 RESOURCE_LOCK orvane_instance
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:fast_unwind_on_malloc=0;LSAN_OPTIONS=suppressions=${CMAKE_CURRENT_SOURCE_DIR}/tests/gui/lsan.supp")
  endif()
endif()

if(DALVEX_BUILD_BENCH)
  # The watch tick on the headless backend; bench/orvane_bench.sh prints the other figures.
  add_executable(orvane_watch_tick ${CMAKE_CURRENT_SOURCE_DIR}/bench/orvane_watch_tick.cpp)
  target_include_directories(orvane_watch_tick PRIVATE ${CMAKE_SOURCE_DIR}/devicelib/tests)
  target_link_libraries(orvane_watch_tick PRIVATE dalvex_test_support orvane_shell camsim_model Threads::Threads)
endif()
