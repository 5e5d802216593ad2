# The certificate records and exports seen from a C99 program linked
# against the shared library.
add_executable(cert_header_c99 ${CMAKE_CURRENT_LIST_DIR}/header_c99.c)
set_target_properties(cert_header_c99 PROPERTIES C_STANDARD 99 C_STANDARD_REQUIRED ON
                      C_EXTENSIONS OFF)
target_compile_options(cert_header_c99 PRIVATE -pedantic-errors -Wall -Wextra)
target_link_libraries(cert_header_c99 PRIVATE kcertadm)
add_test(NAME cert_header_c99 COMMAND cert_header_c99)
