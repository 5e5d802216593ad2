# The layer views hold: an upward include fails to compile.
add_test(NAME layers.upward_includes_do_not_build
         COMMAND /bin/sh ${CMAKE_CURRENT_LIST_DIR}/layer_probe.sh ${CMAKE_CXX_COMPILER}
                 ${PROJECT_BINARY_DIR}/layers ${PROJECT_SOURCE_DIR}/include)
# The same rule read from the sources: every include between folders points down.
add_test(NAME layers.include_graph_points_down
         COMMAND python3 ${PROJECT_SOURCE_DIR}/scripts/include_graph.py)
