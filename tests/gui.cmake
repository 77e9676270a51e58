# The Qt window and the desktop platform, on the offscreen platform.
if(VINTREL_GUI)
  find_package(Qt6 REQUIRED COMPONENTS Test)
  vintrel_test(gui_test LIBS vintrel_qt Qt6::Test)
  # ScriptedPlatform has a member named like Qt's `emit` keyword.
  target_compile_definitions(gui_test PRIVATE QT_NO_KEYWORDS)
endif()
