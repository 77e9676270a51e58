# Outside tools: the buttons that start them, the Linux launcher, the helper programs in the
# application directory and the example programs.
vintrel_test(external_tools_test)
vintrel_test(process_launch_test)

target_compile_definitions(external_tools_test PRIVATE
  VINTREL_TEST_APP_DIR="${VINTREL_APP_DIR}"
  VINTREL_TEST_EXAMPLES_SOURCE="${CMAKE_SOURCE_DIR}/examples"
  VINTREL_TEST_EXAMPLES_BUILT="${CMAKE_BINARY_DIR}/examples")
# The helpers and the assembled examples must be in place before the tests run.
add_dependencies(external_tools_test vintrel_helpers)
find_program(VINTREL_GPASM gpasm)
if(VINTREL_GPASM)
  add_dependencies(external_tools_test vintrel_examples)
  target_compile_definitions(external_tools_test PRIVATE VINTREL_TEST_HAVE_GPASM=1)
else()
  target_compile_definitions(external_tools_test PRIVATE VINTREL_TEST_HAVE_GPASM=0)
endif()
