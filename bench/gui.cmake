# The window during a continuous run: speed, display rate and stop latency (offscreen).
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  vintrel_bench(vintrel_gui_bench SOURCES gui_run_bench.cpp LIBS vintrel_qt Qt6::Test)
endif()
