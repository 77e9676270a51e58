# Runs vintrel-batch on scripts and checks its exit status, its standard output against an
# expected file (with @APP@ standing for the executable's directory) and its standard error
# against a regular expression.
#   -DBATCH=exe -DSCRIPT=file[|file…] [-DARGS="options"] [-DSTDIN=ON] -DSTATUS=n [-DOUT=file]
#   [-DERR=regex] [-DAPP=dir] [-DJUNIT=report -DCHECK=check_junit.py -DPYTHON=python3
#   -DCASES=name=status[|name=status…]]
# A missing OUT file expects no output at all. With JUNIT the report is checked by CHECK.
cmake_minimum_required(VERSION 3.25)
separate_arguments(args UNIX_COMMAND "${ARGS}")
string(REPLACE "|" ";" SCRIPT "${SCRIPT}")
string(REPLACE "|" ";" CASES "${CASES}")
if(STDIN)
  execute_process(COMMAND ${BATCH} ${args} INPUT_FILE ${SCRIPT}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
else()
  execute_process(COMMAND ${BATCH} ${args} ${SCRIPT}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
endif()

set(failed FALSE)
if(NOT status STREQUAL STATUS)
  message(SEND_ERROR "exit status ${status}, expected ${STATUS}")
  set(failed TRUE)
endif()
if(DEFINED OUT)
  set(expected "")
  if(EXISTS ${OUT})
    file(READ ${OUT} expected)
  endif()
  string(REPLACE "@APP@" "${APP}" expected "${expected}")
  if(NOT out STREQUAL expected)
    message(SEND_ERROR "standard output differs.\n--- expected\n${expected}--- actual\n${out}---")
    set(failed TRUE)
  endif()
endif()
if(DEFINED ERR)
  if(NOT err MATCHES "${ERR}")
    message(SEND_ERROR "standard error does not match \"${ERR}\":\n${err}")
    set(failed TRUE)
  endif()
elseif(NOT err STREQUAL "")
  message(SEND_ERROR "unexpected standard error:\n${err}")
  set(failed TRUE)
endif()
if(DEFINED JUNIT)
  execute_process(COMMAND ${PYTHON} ${CHECK} ${JUNIT} ${CASES}
    RESULT_VARIABLE checked OUTPUT_VARIABLE report ERROR_VARIABLE report)
  if(NOT checked EQUAL 0)
    message(SEND_ERROR "the JUnit report ${JUNIT} is wrong:\n${report}")
    set(failed TRUE)
  endif()
endif()
if(failed AND NOT out STREQUAL "" AND NOT DEFINED OUT)
  message("standard output:\n${out}")
endif()
