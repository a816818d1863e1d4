# The Windows build's dependencies, compiled from sources:
#   DALVEX_JSONCPP_SOURCE_DIR  jsoncpp (scripts/fetch-jsoncpp-source.sh fetches Debian's)
#   DALVEX_GTEST_SOURCE_DIR    GoogleTest, by default the sources of Debian's googletest package
set(DALVEX_JSONCPP_SOURCE_DIR "" CACHE PATH "jsoncpp sources")
set(DALVEX_GTEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT EXISTS ${DALVEX_JSONCPP_SOURCE_DIR}/src/lib_json/json_value.cpp)
  message(FATAL_ERROR "Set DALVEX_JSONCPP_SOURCE_DIR to jsoncpp's sources "
    "(scripts/fetch-jsoncpp-source.sh DIR fetches them)")
endif()

set(THREADS_PREFER_PTHREAD_FLAG ON)
find_package(Threads REQUIRED)
add_link_options(-static)
# Programs and DLLs side by side, so that the tests find dalvex.dll.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

file(GLOB jsoncpp_sources ${DALVEX_JSONCPP_SOURCE_DIR}/src/lib_json/*.cpp)
add_library(dalvex_jsoncpp STATIC ${jsoncpp_sources})
target_include_directories(dalvex_jsoncpp SYSTEM PUBLIC ${DALVEX_JSONCPP_SOURCE_DIR}/include)
target_compile_options(dalvex_jsoncpp PRIVATE -w)
# The name the Linux build gets from pkg-config.
add_library(PkgConfig::JSONCPP ALIAS dalvex_jsoncpp)

if(DALVEX_BUILD_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  add_subdirectory(${DALVEX_GTEST_SOURCE_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  foreach(target gtest gtest_main)
    target_compile_options(${target} PRIVATE -w)
  endforeach()
  include(GoogleTest)
  enable_testing()
endif()
