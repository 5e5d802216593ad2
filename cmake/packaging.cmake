# What is installed, and the Debian package made from it with
# `cpack -G DEB`. Paths follow GNUInstallDirs; the shared object carries
# the SONAME libkcertadm.so.<major>.

include(CMakePackageConfigHelpers)

set(KCERTADM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kcertadm)

install(TARGETS kcertadm EXPORT kcertadmTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/kcertadm.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

# CMake package: find_package(kcertadm CONFIG) -> kcertadm::kcertadm.
install(EXPORT kcertadmTargets NAMESPACE kcertadm:: DESTINATION ${KCERTADM_CMAKE_DIR})
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kcertadmConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/kcertadmConfig.cmake
                              INSTALL_DESTINATION ${KCERTADM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kcertadmConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kcertadmConfig.cmake
              ${PROJECT_BINARY_DIR}/kcertadmConfigVersion.cmake
        DESTINATION ${KCERTADM_CMAKE_DIR})

# pkg-config file, relative to its own place so that it stays right
# whatever prefix the tree is installed under.
file(RELATIVE_PATH KCERTADM_PC_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kcertadm.pc.in ${PROJECT_BINARY_DIR}/kcertadm.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kcertadm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Man page, bash completion and the documentation.
install(FILES ${PROJECT_SOURCE_DIR}/docs/kcertadm.1 DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kcertadm.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kcertadm)
# The documents keep the layout of the source tree, so the links of the
# README (docs/commands.md, ...) hold where they are installed.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        FILES_MATCHING PATTERN "*.md" PATTERN "*.c")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian package.
set(CPACK_PACKAGE_NAME kcertadm)
set(CPACK_PACKAGE_VENDOR "kcertadm")
set(CPACK_PACKAGE_CONTACT "kcertadm maintainers <kcertadm@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "key ring administration: RSA keys, certificates and trusted roots")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "kcertadm keeps a server's RSA private keys, its certificates and the\n"
    "certificates of trusted authorities in a password-protected key ring file,\n"
    "and creates keys, requests, self-signed roots and signed certificates.\n"
    "The package holds the kcertadm tool, the shared library with its C header,\n"
    "CMake and pkg-config files, message catalogues, the man page and docs.")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
find_program(KCERTADM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KCERTADM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
endif()
# The completion file works only where bash-completion loads it; minimal
# installs lack that package.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS bash-completion)
# shlibs file, and ldconfig run after installing and removing.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
