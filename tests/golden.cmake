# Golden outputs: 300 generated scripts (tests/golden/gen_scripts.cpp, fixed seeds) run through
# the vintrel-batch executable; exit status and output hashes must equal those recorded in
# tests/golden/expected.txt. A change that alters any batch output byte fails golden_outputs.
#
# After a deliberate change of behaviour, re-capture expected.txt (and commit it with the change):
#   cmake --build BUILD --target golden_capture        # from this build's vintrel-batch
# or from another binary, e.g. a build of the previous commit:
#   cmake -DVINTREL_GOLDEN_BATCH=/path/to/vintrel-batch BUILD
#   cmake --build BUILD --target golden_capture
add_executable(golden_gen golden/gen_scripts.cpp)
set_target_properties(golden_gen PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)
target_link_libraries(golden_gen PRIVATE vintrel_warnings)

set(VINTREL_GOLDEN_BATCH "" CACHE FILEPATH
    "vintrel-batch whose outputs golden_capture records (empty: the one of this build)")
set(golden_args -DGEN=$<TARGET_FILE:golden_gen> -DCOUNT=300
    -DEXPECTED=${CMAKE_CURRENT_SOURCE_DIR}/golden/expected.txt)

add_test(NAME golden_outputs
  COMMAND ${CMAKE_COMMAND} ${golden_args} -DBATCH=$<TARGET_FILE:vintrel-batch>
    -DWORK=${CMAKE_BINARY_DIR}/tests/golden-work -P ${CMAKE_CURRENT_SOURCE_DIR}/golden/golden.cmake)

if(VINTREL_GOLDEN_BATCH)
  set(golden_capture_batch ${VINTREL_GOLDEN_BATCH})
else()
  set(golden_capture_batch $<TARGET_FILE:vintrel-batch>)
endif()
add_custom_target(golden_capture
  COMMAND ${CMAKE_COMMAND} ${golden_args} -DBATCH=${golden_capture_batch}
    -DWORK=${CMAKE_BINARY_DIR}/tests/golden-capture -DCAPTURE=ON
    -P ${CMAKE_CURRENT_SOURCE_DIR}/golden/golden.cmake
  DEPENDS golden_gen vintrel-batch
  COMMENT "Recording the golden outputs of ${golden_capture_batch}"
  VERBATIM)
