# The layer views hold: an upward include fails to compile.
add_test(NAME layers.upward_includes_do_not_build
         COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/layer_probe.sh ${CMAKE_CXX_COMPILER}
                 ${PROJECT_BINARY_DIR}/layers ${PROJECT_SOURCE_DIR}/include)
