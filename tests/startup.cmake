# The update file parser (plain C++, built also without the window) and the start-up window.
vintrel_test(update_file_test SOURCES update_file_test.cpp LIBS vintrel_update)
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Network)
  vintrel_test(startup_test SOURCES startup_test.cpp LIBS vintrel_startup vintrel_qt Qt6::Network)
  target_compile_definitions(startup_test PRIVATE
    "VINTREL_TEST_UPD=\"${VINTREL_APP_DIR}/upd.exe\"")
endif()

# The whole program as a person meets it: a copy of vintrel, the same code with its update server
# on a loopback address, run on a virtual X display and answered with real key presses. The
# address is fixed at build time like the real one; taking it from the build directory keeps two
# build trees on one machine from sharing it.
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Widgets Network)
  string(MD5 vintrel_loopback_hash "${CMAKE_BINARY_DIR}")
  foreach(part IN ITEMS 0 2 4)
    string(SUBSTRING "${vintrel_loopback_hash}" ${part} 2 hex)
    math(EXPR octet "0x${hex} % 250 + 2")
    list(APPEND vintrel_loopback_octets ${octet})
  endforeach()
  string(SUBSTRING "${vintrel_loopback_hash}" 6 4 hex)
  math(EXPR vintrel_loopback_port "0x${hex} % 10000 + 20000")
  list(JOIN vintrel_loopback_octets "." octets)
  set(vintrel_loopback_host "127.${octets}")

  vintrel_add_startup(vintrel_startup_loopback
                      "http://${vintrel_loopback_host}:${vintrel_loopback_port}")
  add_executable(vintrel-loopback ${PROJECT_SOURCE_DIR}/src/qt/main.cpp)
  target_link_libraries(vintrel-loopback PRIVATE vintrel_qt vintrel_startup_loopback vintrel_spanish_qt
                                                 vintrel_warnings)
  set_target_properties(vintrel-loopback PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                    ${CMAKE_BINARY_DIR}/tests)

  add_executable(startup_program_test startup_program_test.cpp)
  set_target_properties(startup_program_test PROPERTIES RUNTIME_OUTPUT_DIRECTORY
                                                        ${CMAKE_BINARY_DIR}/tests)
  target_link_libraries(startup_program_test PRIVATE vintrel_warnings GTest::gtest Qt6::Network)
  add_dependencies(startup_program_test vintrel-loopback)
  target_compile_definitions(startup_program_test PRIVATE
    "VINTREL_LOOPBACK_PROGRAM=\"$<TARGET_FILE:vintrel-loopback>\""
    "VINTREL_LOOPBACK_HOST=\"${vintrel_loopback_host}\""
    VINTREL_LOOPBACK_PORT=${vintrel_loopback_port})
  # Each case starts an X server and the program; two at once would compete for the port.
  gtest_discover_tests(startup_program_test DISCOVERY_TIMEOUT 60
    PROPERTIES RESOURCE_LOCK vintrel_loopback_port TIMEOUT 120)
endif()
