# A C host that dlopens the installed library and calls every export, under valgrind but not beside a sanitizer.
add_executable(host_program ${CMAKE_CURRENT_LIST_DIR}/host_program.c)
set_target_properties(host_program PROPERTIES LINKER_LANGUAGE C C_STANDARD 99 C_STANDARD_REQUIRED ON C_EXTENSIONS OFF)
target_compile_options(host_program PRIVATE -Wall -Wextra -pedantic)
target_include_directories(host_program PRIVATE ${PROJECT_SOURCE_DIR}/include)
target_link_libraries(host_program PRIVATE ${CMAKE_DL_LIBS})
add_dependencies(host_program kcertadm)  # the library it loads
add_test(NAME host_interface.host_program COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/host_program.sh
         ${PROJECT_BINARY_DIR} $<TARGET_FILE:host_program> ${PROJECT_SOURCE_DIR}/tests/data/services)
if(KCERTADM_SANITIZE)
  set_tests_properties(host_interface.host_program PROPERTIES
    ENVIRONMENT "KCERTADM_SANITIZE=${KCERTADM_SANITIZE}")
endif()

# The exports with every operator new failing: a program of its own, since it replaces the global allocator.
add_executable(test_export_guard ${CMAKE_CURRENT_LIST_DIR}/export_guard_probe.cc)
target_link_libraries(test_export_guard PRIVATE kcertadm_static GTest::gtest GTest::gtest_main)
target_include_directories(test_export_guard PRIVATE ${PROJECT_SOURCE_DIR}/tests)
target_compile_definitions(test_export_guard PRIVATE KCERTADM_TEST_DATA_DIR="${PROJECT_SOURCE_DIR}/tests/data"
  KCERTADM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
gtest_discover_tests(test_export_guard DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "KCERTADM_MSG_DIR=${PROJECT_SOURCE_DIR}/messages")
