# The folders of dalvex.pc, resolved as pkg-config resolves them for a .pc file found in
# ROOT/LIBDIR/pkgconfig, are the install folders under ROOT, whatever the depth of LIBDIR.
#   cmake -P pc_dirs_test.cmake
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/PcPrefix.cmake)

set(root /tmp/unpacked)
# libdir | includedir | the library folder and header folder pkg-config must give
set(cases
  "lib|include|${root}/lib|${root}/include"
  "lib/x86_64-linux-gnu|include|${root}/lib/x86_64-linux-gnu|${root}/include"
  "lib64|include/dalvex|${root}/lib64|${root}/include/dalvex"
  "/opt/dalvex/lib|include|/opt/dalvex/lib|/opt/dalvex/include")
set(failures "")
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" fields "${case}")
  list(GET fields 0 libdir)
  list(GET fields 1 includedir)
  list(GET fields 2 wantLib)
  list(GET fields 3 wantInclude)
  # An absolute libdir is the case of a prefix that the .pc file names outright.
  set(prefix ${root})
  set(pcfiledir ${root}/${libdir}/pkgconfig)
  if(IS_ABSOLUTE "${libdir}")
    set(prefix /opt/dalvex)
    set(pcfiledir ${libdir}/pkgconfig)
  endif()
  dalvex_pc_dirs("${libdir}" "${includedir}" "${prefix}")
  foreach(kind LIBDIR INCLUDEDIR)
    set(text "${DALVEX_PC_${kind}}")
    string(REPLACE "\${prefix}" "${DALVEX_PC_PREFIX}" text "${text}")
    string(REPLACE "\${pcfiledir}" "${pcfiledir}" text "${text}")
    cmake_path(NORMAL_PATH text)
    string(REGEX REPLACE "/$" "" text "${text}")
    if(kind STREQUAL LIBDIR)
      set(want ${wantLib})
    else()
      set(want ${wantInclude})
    endif()
    if(NOT text STREQUAL want)
      string(APPEND failures "\n  ${libdir}: ${kind} is ${text}, expected ${want}")
    endif()
  endforeach()
endforeach()
if(failures)
  message(FATAL_ERROR "dalvex.pc names the wrong folders:${failures}")
endif()
