# Extra tests of the host interface, one file per concern.
include(${CMAKE_CURRENT_LIST_DIR}/host_program.cmake)
