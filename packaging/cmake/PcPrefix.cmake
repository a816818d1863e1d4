# The folders that dalvex.pc names, for a .pc file installed in LIBDIR/pkgconfig.
# With relative install folders they are found from the .pc file's own place (${pcfiledir}), so
# that the file also works in a root unpacked anywhere; LIBDIR may be more than one level deep
# (Debian's lib/x86_64-linux-gnu with the prefix /usr). An absolute folder stays as it is.
#   dalvex_pc_dirs(LIBDIR INCLUDEDIR PREFIX) sets DALVEX_PC_PREFIX, DALVEX_PC_LIBDIR and
#   DALVEX_PC_INCLUDEDIR in the caller's scope.
function(dalvex_pc_dirs libdir includedir prefix)
  if(IS_ABSOLUTE "${libdir}")
    set(pcPrefix "${prefix}")
  else()
    file(RELATIVE_PATH up "/${libdir}/pkgconfig" "/")
    string(REGEX REPLACE "/$" "" up "${up}")
    set(pcPrefix "\${pcfiledir}/${up}")
  endif()
  foreach(kind libdir includedir)
    if(IS_ABSOLUTE "${${kind}}")
      set(${kind} "${${kind}}")
    else()
      set(${kind} "\${prefix}/${${kind}}")
    endif()
  endforeach()
  set(DALVEX_PC_PREFIX "${pcPrefix}" PARENT_SCOPE)
  set(DALVEX_PC_LIBDIR "${libdir}" PARENT_SCOPE)
  set(DALVEX_PC_INCLUDEDIR "${includedir}" PARENT_SCOPE)
endfunction()
