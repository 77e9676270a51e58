# The update file parser (plain C++, built also without the window) and the start-up window.
vintrel_test(update_file_test SOURCES update_file_test.cpp LIBS vintrel_update)
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Network)
  vintrel_test(startup_test SOURCES startup_test.cpp LIBS vintrel_qt Qt6::Network)
  target_compile_definitions(startup_test PRIVATE
    "VINTREL_TEST_UPD=\"${VINTREL_APP_DIR}/upd.exe\"")
endif()
