# vintrel-batch: the interpreter in-process, and the executable on the scripts in tests/batch.
vintrel_test(batch_test SOURCES batch_test.cpp LIBS vintrel_batch)

set(batch_dir ${CMAKE_CURRENT_SOURCE_DIR}/batch)

# batch_script(NAME [STATUS n] [ERR regex] [STDIN]): runs NAME.vbs from tests/batch (the scripts
# name their HEX files relative to it) and compares stdout with NAME.out (no file: no output).
function(batch_script name)
  cmake_parse_arguments(S "STDIN" "STATUS;ERR" "" ${ARGN})
  if(NOT DEFINED S_STATUS)
    set(S_STATUS 0)
  endif()
  set(args -DBATCH=$<TARGET_FILE:vintrel-batch> -DSCRIPT=${batch_dir}/${name}.vbs
      -DSTATUS=${S_STATUS} -DAPP=$<TARGET_FILE_DIR:vintrel-batch> -DOUT=${batch_dir}/${name}.out)
  if(DEFINED S_ERR)
    list(APPEND args "-DERR=${S_ERR}")
  endif()
  if(S_STDIN)
    list(APPEND args -DSTDIN=ON)
    set(name ${name}_stdin)
  endif()
  add_test(NAME batch_script_${name}
    COMMAND ${CMAKE_COMMAND} ${args} -P ${batch_dir}/run_script.cmake
    WORKING_DIRECTORY ${batch_dir})
endfunction()

batch_script(basics)
batch_script(breakpoints)
batch_script(cancel_marks)
batch_script(modificar)
batch_script(resets)
batch_script(stimuli)
batch_script(at_run)
batch_script(events)
batch_script(events STDIN)
batch_script(expect_fail STATUS 1)
batch_script(error STATUS 2 ERR "^error at line 4: [^\n]*bogus[^\n]*\n$")

add_test(NAME batch_missing_script
  COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vintrel-batch>
    -DSCRIPT=${batch_dir}/no-such-script.vbs -DSTATUS=2 "-DERR=no-such-script"
    -P ${batch_dir}/run_script.cmake)
