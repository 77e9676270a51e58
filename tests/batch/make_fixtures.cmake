# Builds, in DEST, the programs the name and class tests run on, assembled by gpasm into HEX
# files with their listings beside them:
#   names/      contador.asm with names.vbs and names_unknown.vbs
#   clase/alumnoN/  one example program and its script per student; alumno1's program has a
#                   planted fault (its counter is never written, so it never reaches `done`)
#   -DGPASM=gpasm -DEXAMPLES=dir -DTESTS=dir -DDEST=dir
cmake_minimum_required(VERSION 3.25)

function(assemble dir name)
  execute_process(COMMAND ${GPASM} -a inhx8m -p p16f84 -r dec -w 2 -o ${name}.hex ${name}.asm
    WORKING_DIRECTORY ${dir} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0 OR NOT EXISTS ${dir}/${name}.lst)
    message(FATAL_ERROR "gpasm failed on ${dir}/${name}.asm:\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE ${DEST}/names ${DEST}/clase)
file(MAKE_DIRECTORY ${DEST}/names)
file(COPY ${EXAMPLES}/contador.asm ${TESTS}/names.vbs ${TESTS}/names_unknown.vbs
     DESTINATION ${DEST}/names)
assemble(${DEST}/names contador)

set(student 0)
foreach(name contador eeprom indirecto subrutina timer0)
  math(EXPR student "${student} + 1")
  set(dir ${DEST}/clase/alumno${student})
  file(MAKE_DIRECTORY ${dir})
  file(COPY ${EXAMPLES}/${name}.asm ${EXAMPLES}/${name}.vbs DESTINATION ${dir})
  if(student EQUAL 1)
    file(READ ${dir}/${name}.asm source)
    string(REPLACE "incf    count,F" "incf    count,W" faulty "${source}")
    if(faulty STREQUAL source)
      message(FATAL_ERROR "the fault could not be planted in ${name}.asm")
    endif()
    file(WRITE ${dir}/${name}.asm "${faulty}")
  endif()
  assemble(${dir} ${name})
endforeach()
file(TOUCH ${DEST}/fixtures.stamp)
