# Checks that need a program of their own: the tool run as many processes
# at once and killed while it writes, and a replaced global allocator.
file(GLOB hardening_tests CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/*_test.cc)
add_executable(test_hardening ${hardening_tests} ${PROJECT_SOURCE_DIR}/tools/password_source.cc)
target_link_libraries(test_hardening PRIVATE kcertadm_static GTest::gtest GTest::gtest_main)
target_include_directories(test_hardening PRIVATE ${PROJECT_SOURCE_DIR}/tests ${PROJECT_SOURCE_DIR}/tools)
target_compile_definitions(test_hardening PRIVATE KCERTADM_TOOL="$<TARGET_FILE:kcertadm_cli>"
  KCERTADM_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
add_dependencies(test_hardening kcertadm_cli)
gtest_discover_tests(test_hardening DISCOVERY_MODE PRE_TEST
  PROPERTIES ENVIRONMENT "KCERTADM_MSG_DIR=${PROJECT_SOURCE_DIR}/messages" TIMEOUT 240)
