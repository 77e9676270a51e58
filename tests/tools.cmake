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

# The assembler helper's command line, gpasm's messages and the outcome's texts.
vintrel_test(assembly_test LIBS vintrel_assembly)

# Qt's dialogs in Spanish, the Open dialog, and the helpers' windows (vintrel-resultados).
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  vintrel_test(qt_dialogs_test
               LIBS vintrel_gui vintrel_results_window vintrel_spanish_qt Qt6::Test)
  target_compile_definitions(qt_dialogs_test PRIVATE QT_NO_KEYWORDS
                             VINTREL_TEST_HAVE_GPASM=$<BOOL:${VINTREL_GPASM}>)
endif()
