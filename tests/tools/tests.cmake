# The kcertadm tool and the C interface, run as a user would run them.

add_executable(c_interface_check ${CMAKE_CURRENT_LIST_DIR}/c_interface_check.c)
set_target_properties(c_interface_check PROPERTIES LINKER_LANGUAGE C)
target_link_libraries(c_interface_check PRIVATE kcertadm)

add_test(NAME tools.cli
         COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/cli_test.sh
                 $<TARGET_FILE:kcertadm_cli> ${PROJECT_SOURCE_DIR}/messages)

add_test(NAME tools.install
         COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/install_test.sh
                 ${PROJECT_BINARY_DIR} $<TARGET_FILE:c_interface_check>)
