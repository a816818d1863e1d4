# The udev helper on what is no camera (a device that is no disk, a FIFO, a file, a missing
# path, an empty one): nothing printed, exit 0 (udev drops the output of a failing program), no
# wait.
#   cmake -DHELPER=path/dalvex-camera-id -DWORK=folder -P camera_id_test.cmake
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND mkfifo ${WORK}/fifo RESULT_VARIABLE made)
file(WRITE ${WORK}/file "TORVEKBWC")
if(NOT made EQUAL 0)
  message(FATAL_ERROR "cannot make ${WORK}/fifo")
endif()
foreach(node /dev/null ${WORK}/fifo ${WORK}/file ${WORK}/missing "")
  execute_process(COMMAND ${HELPER} "${node}" RESULT_VARIABLE code OUTPUT_VARIABLE out
    ERROR_VARIABLE err TIMEOUT 5)
  if(NOT code STREQUAL "0" OR NOT out STREQUAL "")
    message(SEND_ERROR "'${node}': exit '${code}', printed '${out}' '${err}'")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
