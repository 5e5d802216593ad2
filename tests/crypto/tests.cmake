# The statistical timing check of the operations on secrets: a program of its
# own (it measures rather than asserts), run alone so that no other test
# loads the machine meanwhile; label "timing" (ctest -L timing, or -LE timing
# to leave it out). Instrumented builds skip it: their timings mean nothing.
add_executable(timing_leak_check ${CMAKE_CURRENT_LIST_DIR}/timing_leak_check.cc)
target_link_libraries(timing_leak_check PRIVATE kcertadm_static)
if(KCERTADM_SANITIZE)
  target_compile_definitions(timing_leak_check PRIVATE KCERTADM_TIMING_SKIP)
endif()
add_test(NAME crypto.timing_leaks COMMAND timing_leak_check)
set_tests_properties(crypto.timing_leaks PROPERTIES LABELS timing RUN_SERIAL TRUE TIMEOUT 120 SKIP_RETURN_CODE 77)

# Toolkit statuses and owners' Create results cannot be dropped silently.
add_test(NAME crypto.ignored_status_does_not_build
         COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/ignored_status_probe.sh ${CMAKE_CXX_COMPILER}
                 ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/include)
