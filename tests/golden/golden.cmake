# Golden outputs of vintrel-batch. Generates the scripts of seeds 1..COUNT into WORK, runs each
# with the executable BATCH and compares its exit status and the SHA-256 of its standard output
# and standard error with the lines of EXPECTED; with CAPTURE=ON writes EXPECTED instead.
#   cmake -DGEN=gen_scripts -DBATCH=vintrel-batch -DWORK=dir -DEXPECTED=file [-DCOUNT=300]
#         [-DCAPTURE=ON] -P golden.cmake
# The scripts load their HEX files by absolute path and the loader names the file in its
# messages, so WORK is replaced by @WORK@ in both outputs before hashing.
cmake_minimum_required(VERSION 3.25)
if(NOT DEFINED COUNT)
  set(COUNT 300)
endif()
foreach(var GEN BATCH WORK EXPECTED)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "golden.cmake needs -D${var}=...")
  endif()
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${GEN} ${WORK} 1 ${COUNT} RESULT_VARIABLE gen_status)
if(NOT gen_status STREQUAL "0")
  message(FATAL_ERROR "${GEN} failed: ${gen_status}")
endif()

if(NOT CAPTURE)
  file(STRINGS ${EXPECTED} expected_lines REGEX "^[0-9]+ ")
  foreach(line IN LISTS expected_lines)
    string(REGEX MATCH "^[0-9]+" seed "${line}")
    set(expected_${seed} "${line}")
  endforeach()
endif()

set(captured "")
set(mismatches 0)
set(status_0 0)
set(status_1 0)
set(status_2 0)
foreach(seed RANGE 1 ${COUNT})
  set(script ${WORK}/seed-${seed}/golden.vbs)
  execute_process(COMMAND ${BATCH} ${script}
    RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE err)
  string(REPLACE "${WORK}" "@WORK@" out "${out}")
  string(REPLACE "${WORK}" "@WORK@" err "${err}")
  string(SHA256 out_hash "${out}")
  string(SHA256 err_hash "${err}")
  set(line "${seed} ${status} ${out_hash} ${err_hash}")
  if(DEFINED status_${status})
    math(EXPR status_${status} "${status_${status}} + 1")
  endif()
  if(CAPTURE)
    string(APPEND captured "${line}\n")
  elseif(NOT line STREQUAL "${expected_${seed}}")
    math(EXPR mismatches "${mismatches} + 1")
    file(WRITE ${WORK}/seed-${seed}/actual.out "${out}")
    file(WRITE ${WORK}/seed-${seed}/actual.err "${err}")
    string(CONCAT report "seed ${seed} differs: ${script} (output in actual.out, actual.err beside it)\n"
      "  expected: ${expected_${seed}}\n  actual:   ${line}\n")
    # The whole output of the first few only: one behaviour change can touch many seeds.
    if(mismatches LESS_EQUAL 3)
      string(APPEND report "--- standard output\n${out}--- standard error\n${err}---")
    endif()
    message("${report}")
  endif()
endforeach()

set(summary "${COUNT} seeds; exit status 0: ${status_0}, 1: ${status_1}, 2: ${status_2}")
if(CAPTURE)
  file(WRITE ${EXPECTED}
    "# Golden outputs of vintrel-batch (see tests/golden.cmake): seed, exit status, SHA-256 of\n"
    "# standard output and of standard error with the work folder written as @WORK@.\n"
    "${captured}")
  message("wrote ${EXPECTED}: ${summary}")
elseif(mismatches GREATER 0)
  message(FATAL_ERROR "${mismatches} of ${COUNT} seeds differ from ${EXPECTED} (${summary})")
else()
  message("golden outputs match: ${summary}")
endif()
