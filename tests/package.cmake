# The install tree and the Debian package (only with the window, which both ship).
if(VINTREL_GUI)
  add_test(NAME install_tree
           COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_install.sh ${CMAKE_BINARY_DIR})
  find_program(VINTREL_DPKG_DEB dpkg-deb)
  find_program(VINTREL_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(VINTREL_DPKG_DEB AND VINTREL_DPKG_SHLIBDEPS)
    add_test(NAME deb_package
             COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/package/check_deb.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(deb_package PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  endif()
endif()
