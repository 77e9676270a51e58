# The sources stay clang-format clean; checked where clang-format is installed.
find_program(VINTREL_CLANG_FORMAT NAMES clang-format clang-format-14)
if(VINTREL_CLANG_FORMAT)
  file(GLOB_RECURSE vintrel_format_sources CONFIGURE_DEPENDS
       ${PROJECT_SOURCE_DIR}/src/*.cpp ${PROJECT_SOURCE_DIR}/src/*.h
       ${PROJECT_SOURCE_DIR}/tests/*.cpp ${PROJECT_SOURCE_DIR}/tests/*.h
       ${PROJECT_SOURCE_DIR}/bench/*.cpp ${PROJECT_SOURCE_DIR}/bench/*.h
       ${PROJECT_SOURCE_DIR}/tools/src/*.cpp ${PROJECT_SOURCE_DIR}/tools/src/*.h)
  add_test(NAME clang_format
           COMMAND ${VINTREL_CLANG_FORMAT} --dry-run --Werror ${vintrel_format_sources})
endif()
