# The kcertadm tool and the installed package, run as a user would run them; the tool's own units in the gtest program.
target_sources(test_tools PRIVATE ${PROJECT_SOURCE_DIR}/tools/password_source.cc
                                  ${PROJECT_SOURCE_DIR}/tools/password_plan.cc
                                  ${PROJECT_SOURCE_DIR}/tools/item_checks.cc
                                  ${PROJECT_SOURCE_DIR}/tools/command_help.cc
                                  ${PROJECT_SOURCE_DIR}/tools/json_writer.cc
                                  ${PROJECT_SOURCE_DIR}/tools/expiry_check.cc
                                  ${PROJECT_SOURCE_DIR}/tools/utc_time.cc
                                  ${PROJECT_SOURCE_DIR}/tools/extension_facts.cc
                                  ${PROJECT_SOURCE_DIR}/tools/tool_defaults.cc)
target_include_directories(test_tools PRIVATE ${PROJECT_SOURCE_DIR}/tools)

set(tools_cli $<TARGET_FILE:kcertadm_cli>)
set(tools_messages "KCERTADM_MSG_DIR=${PROJECT_SOURCE_DIR}/messages")
add_test(NAME tools.cli COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/cli_test.sh ${tools_cli})
add_test(NAME tools.prompt COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/prompt_test.py ${tools_cli})
add_test(NAME tools.expiry COMMAND /usr/bin/python3 ${CMAKE_CURRENT_LIST_DIR}/expiry_test.py ${tools_cli}
                                  ${PROJECT_SOURCE_DIR})
add_test(NAME tools.completion COMMAND /bin/bash ${CMAKE_CURRENT_LIST_DIR}/completion_test.sh
                                       ${PROJECT_SOURCE_DIR}/packaging/kcertadm.bash-completion
                                       $<TARGET_FILE_DIR:kcertadm_cli>)
add_test(NAME tools.docs COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/docs_test.sh ${tools_cli} ${PROJECT_SOURCE_DIR})
add_test(NAME tools.install COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/install_test.sh
                                    ${PROJECT_BINARY_DIR} ${PROJECT_SOURCE_DIR} ${PROJECT_VERSION})
add_test(NAME tools.deb COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/deb_test.sh ${PROJECT_BINARY_DIR} ${PROJECT_VERSION})
set_tests_properties(tools.prompt PROPERTIES ENVIRONMENT "${tools_messages}" TIMEOUT 120)
set_tests_properties(tools.install PROPERTIES TIMEOUT 120)
set_tests_properties(tools.expiry PROPERTIES ENVIRONMENT "${tools_messages}" TIMEOUT 240)
set_tests_properties(tools.deb PROPERTIES TIMEOUT 180)
set_tests_properties(tools.cli PROPERTIES TIMEOUT 300)
