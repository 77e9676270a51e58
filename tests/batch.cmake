# vintrel-batch: the interpreter in-process, and the executable on the scripts in tests/batch.
vintrel_test(batch_test SOURCES batch_test.cpp LIBS vintrel_batch)

set(batch_dir ${CMAKE_CURRENT_SOURCE_DIR}/batch)

# batch_script(NAME [STATUS n] [ERR regex] [STDIN] [ARGS options]): runs NAME.vbs from
# tests/batch and compares stdout with NAME.out (no file: no output). A script file runs with
# its own folder as the working folder, so it is started from elsewhere; from standard input
# it runs in tests/batch, the folder it was started in.
function(batch_script name)
  cmake_parse_arguments(S "STDIN" "STATUS;ERR;ARGS" "" ${ARGN})
  if(NOT DEFINED S_STATUS)
    set(S_STATUS 0)
  endif()
  set(args -DBATCH=$<TARGET_FILE:vintrel-batch> -DSCRIPT=${batch_dir}/${name}.vbs
      -DSTATUS=${S_STATUS} -DAPP=$<TARGET_FILE_DIR:vintrel-batch> -DOUT=${batch_dir}/${name}.out
      "-DARGS=${S_ARGS}")
  if(DEFINED S_ERR)
    list(APPEND args "-DERR=${S_ERR}")
  endif()
  set(cwd ${CMAKE_CURRENT_BINARY_DIR})
  if(S_STDIN)
    list(APPEND args -DSTDIN=ON)
    set(name ${name}_stdin)
    set(cwd ${batch_dir})
  endif()
  add_test(NAME batch_script_${name}
    COMMAND ${CMAKE_COMMAND} ${args} -P ${batch_dir}/run_script.cmake
    WORKING_DIRECTORY ${cwd})
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

# Expectations on messages and on the way a run ended; --strict.
batch_script(messages)
batch_script(messages_fail STATUS 1)
batch_script(run_end)
batch_script(run_end_fail STATUS 1)
batch_script(strict ARGS --strict)
batch_script(strict_fail STATUS 1 ARGS --strict)

# A script that cannot be read: a folder as SCRIPT, a folder as standard input.
add_test(NAME batch_folder_script
  COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vintrel-batch> -DSCRIPT=${batch_dir} -DSTATUS=2
    "-DERR=^vintrel-batch: cannot read [^\n]*batch: it is a folder\n$" -DOUT=none
    -P ${batch_dir}/run_script.cmake)
add_test(NAME batch_folder_stdin
  COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vintrel-batch> -DSCRIPT=${batch_dir} -DSTATUS=2
    -DSTDIN=ON "-DERR=^error at line 1: the script cannot be read\n$" -DOUT=none
    -P ${batch_dir}/run_script.cmake)

# Running out of memory is status 2, not an abort (a memory limit does not mix with the
# sanitizers' shadow memory).
if(NOT VINTREL_SANITIZE)
  add_test(NAME batch_out_of_memory
    COMMAND sh ${batch_dir}/out_of_memory.sh $<TARGET_FILE:vintrel-batch>)
  set_tests_properties(batch_out_of_memory PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 60)
endif()

# Several scripts in one call, from the folder above theirs, with and without a JUnit report.
find_program(VINTREL_PYTHON3 python3)
function(batch_suite name status)
  cmake_parse_arguments(S "" "ARGS;JUNIT" "SCRIPTS;CASES" ${ARGN})
  list(JOIN S_SCRIPTS "|" scripts)
  list(JOIN S_CASES "|" cases)
  set(args -DBATCH=$<TARGET_FILE:vintrel-batch> "-DSCRIPT=${scripts}" -DSTATUS=${status}
      -DOUT=${batch_dir}/${name}.out)
  if(S_JUNIT)
    if(NOT VINTREL_PYTHON3)
      message(WARNING "python3 not found: the JUnit report of ${name} is not checked")
      return()
    endif()
    set(report ${CMAKE_CURRENT_BINARY_DIR}/${name}.xml)
    string(APPEND S_ARGS " --junit ${report}")
    list(APPEND args -DJUNIT=${report} -DPYTHON=${VINTREL_PYTHON3}
         -DCHECK=${batch_dir}/check_junit.py "-DCASES=${cases}")
  endif()
  add_test(NAME batch_suite_${name}
    COMMAND ${CMAKE_COMMAND} ${args} "-DARGS=${S_ARGS}" -P ${batch_dir}/run_script.cmake
    WORKING_DIRECTORY ${CMAKE_CURRENT_SOURCE_DIR})
endfunction()

batch_suite(suite_pass 0 SCRIPTS batch/basics.vbs batch/breakpoints.vbs)
batch_suite(suite_fail 1 ARGS --strict JUNIT ON
  SCRIPTS batch/basics.vbs batch/expect_fail.vbs batch/strict_fail.vbs batch/strict.vbs
  CASES batch/basics.vbs=0 batch/expect_fail.vbs=1 batch/strict_fail.vbs=1 batch/strict.vbs=0)
batch_suite(suite_error 2 JUNIT ON
  SCRIPTS batch/error.vbs batch/no-such-script.vbs batch batch/messages.vbs
  CASES batch/error.vbs=2 batch/no-such-script.vbs=2 batch=2 batch/messages.vbs=0)

# Names from listings gpasm writes at build time, and a class of five students: the five
# examples, one with a planted fault, graded in one call with a JUnit report.
find_program(VINTREL_GPASM gpasm)
if(VINTREL_GPASM)
  set(fixtures ${CMAKE_CURRENT_BINARY_DIR}/batch_fixtures)
  set(examples_dir ${CMAKE_SOURCE_DIR}/examples)
  set(examples contador eeprom indirecto subrutina timer0)
  list(TRANSFORM examples PREPEND ${examples_dir}/ OUTPUT_VARIABLE example_files)
  list(TRANSFORM example_files APPEND .asm OUTPUT_VARIABLE example_sources)
  list(TRANSFORM example_files APPEND .vbs OUTPUT_VARIABLE example_scripts)
  add_custom_command(
    OUTPUT ${fixtures}/fixtures.stamp
    COMMAND ${CMAKE_COMMAND} -DGPASM=${VINTREL_GPASM} -DEXAMPLES=${examples_dir}
      -DTESTS=${batch_dir} -DDEST=${fixtures} -P ${batch_dir}/make_fixtures.cmake
    DEPENDS ${batch_dir}/make_fixtures.cmake ${batch_dir}/names.vbs ${batch_dir}/names_unknown.vbs
      ${example_sources} ${example_scripts}
    COMMENT "Assembling the programs of the vintrel-batch name and class tests"
    VERBATIM)
  add_custom_target(batch_fixtures ALL DEPENDS ${fixtures}/fixtures.stamp)

  foreach(name names names_unknown)
    set(status 0)
    set(err "")
    if(name STREQUAL names_unknown)
      set(status 2)
      set(err "-DERR=^error at line 5: unknown name \"done\"\n$")
    endif()
    add_test(NAME batch_script_${name}
      COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vintrel-batch>
        -DSCRIPT=${fixtures}/names/${name}.vbs -DSTATUS=${status} -DOUT=${batch_dir}/${name}.out
        ${err} -P ${batch_dir}/run_script.cmake)
  endforeach()

  if(VINTREL_PYTHON3)
    set(students "clase/alumno1/contador.vbs|clase/alumno2/eeprom.vbs|clase/alumno3/indirecto.vbs|clase/alumno4/subrutina.vbs|clase/alumno5/timer0.vbs")
    add_test(NAME batch_class
      COMMAND ${CMAKE_COMMAND} -DBATCH=$<TARGET_FILE:vintrel-batch> "-DSCRIPT=${students}"
        -DSTATUS=1 -DOUT=${batch_dir}/class.out "-DARGS=--strict --junit clase.xml"
        -DJUNIT=${fixtures}/clase.xml -DPYTHON=${VINTREL_PYTHON3}
        -DCHECK=${batch_dir}/check_junit.py
        "-DCASES=clase/alumno1/contador.vbs=1|clase/alumno2/eeprom.vbs=0|clase/alumno3/indirecto.vbs=0|clase/alumno4/subrutina.vbs=0|clase/alumno5/timer0.vbs=0"
        -P ${batch_dir}/run_script.cmake
      WORKING_DIRECTORY ${fixtures})
  endif()
else()
  message(WARNING "gpasm (gputils) not found: the name and class tests of vintrel-batch are skipped")
endif()
