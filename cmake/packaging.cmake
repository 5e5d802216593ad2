# What is installed, and the Debian package made from it with
# `cpack -G DEB`. Paths follow GNUInstallDirs; the shared object carries
# the SONAME libkcertadm.so.<major>.

include(CMakePackageConfigHelpers)

# Three components, packaged as Debian splits a library:
#   lib   libkcertadm0     the shared object and the message catalogues;
#   dev   libkcertadm-dev  header, unversioned link, CMake and pkg-config files;
#   tool  kcertadm         the command-line tool, man page, completion, docs.
# Each package carries its own copyright file and changelog.
set(KCERTADM_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/kcertadm)
set(KCERTADM_LIB_PACKAGE libkcertadm${PROJECT_VERSION_MAJOR})
set(KCERTADM_DEV_PACKAGE libkcertadm-dev)
set(KCERTADM_TOOL_PACKAGE kcertadm)

install(TARGETS kcertadm EXPORT kcertadmTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT lib NAMELINK_COMPONENT dev
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES include/kcertadm.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

# CMake package: find_package(kcertadm CONFIG) -> kcertadm::kcertadm.
install(EXPORT kcertadmTargets NAMESPACE kcertadm:: DESTINATION ${KCERTADM_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kcertadmConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/kcertadmConfig.cmake
                              INSTALL_DESTINATION ${KCERTADM_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kcertadmConfigVersion.cmake
                                 VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kcertadmConfig.cmake
              ${PROJECT_BINARY_DIR}/kcertadmConfigVersion.cmake
        DESTINATION ${KCERTADM_CMAKE_DIR} COMPONENT dev)

# pkg-config file, relative to its own place so that it stays right
# whatever prefix the tree is installed under.
file(RELATIVE_PATH KCERTADM_PC_PREFIX "/prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/prefix")
configure_file(${CMAKE_CURRENT_LIST_DIR}/kcertadm.pc.in ${PROJECT_BINARY_DIR}/kcertadm.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kcertadm.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT dev)

# Message catalogues, beside the library.
file(GLOB KCERTADM_CATALOGUES CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/messages/*.msg)
install(FILES ${KCERTADM_CATALOGUES} DESTINATION ${CMAKE_INSTALL_LIBDIR}/kcertadm COMPONENT lib)

# Man page and changelog are installed compressed, as Debian wants them.
set(KCERTADM_GZ_DIR ${PROJECT_BINARY_DIR}/packaging)
add_custom_command(OUTPUT ${KCERTADM_GZ_DIR}/kcertadm.1.gz ${KCERTADM_GZ_DIR}/changelog.gz
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KCERTADM_GZ_DIR}
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/docs/kcertadm.1 > ${KCERTADM_GZ_DIR}/kcertadm.1.gz
  COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/packaging/changelog > ${KCERTADM_GZ_DIR}/changelog.gz
  DEPENDS ${PROJECT_SOURCE_DIR}/docs/kcertadm.1 ${PROJECT_SOURCE_DIR}/packaging/changelog
  VERBATIM)
add_custom_target(kcertadm_compressed_docs ALL
  DEPENDS ${KCERTADM_GZ_DIR}/kcertadm.1.gz ${KCERTADM_GZ_DIR}/changelog.gz)

# Copyright and changelog in the documentation folder of every package.
foreach(component lib dev tool)
  string(TOUPPER ${component} upper)
  set(doc_dir ${CMAKE_INSTALL_DATAROOTDIR}/doc/${KCERTADM_${upper}_PACKAGE})
  install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${KCERTADM_GZ_DIR}/changelog.gz
          DESTINATION ${doc_dir} COMPONENT ${component})
endforeach()

# Man page, bash completion and the documentation.
install(FILES ${KCERTADM_GZ_DIR}/kcertadm.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
        COMPONENT tool)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/kcertadm.bash-completion
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME kcertadm
        COMPONENT tool)
# The documents keep the layout of the source tree, so the links of the
# README (docs/commands.md, ...) hold where they are installed.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/docs
        COMPONENT tool FILES_MATCHING PATTERN "*.md" PATTERN "*.c")
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT tool)

# The ldconfig trigger and the shlibs file of the library package.
set(KCERTADM_CONTROL_DIR ${PROJECT_BINARY_DIR}/packaging/control)
file(WRITE ${KCERTADM_CONTROL_DIR}/triggers "activate-noawait ldconfig\n")
file(WRITE ${KCERTADM_CONTROL_DIR}/shlibs
     "libkcertadm ${PROJECT_VERSION_MAJOR} ${KCERTADM_LIB_PACKAGE} (>= ${PROJECT_VERSION})\n")

# Debian packages.
set(CPACK_PACKAGE_NAME kcertadm)
set(CPACK_PACKAGE_VENDOR "kcertadm")
set(CPACK_PACKAGE_CONTACT "kcertadm maintainers <maintainers@kcertadm.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL lib dev tool)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
find_program(KCERTADM_DPKG_SHLIBDEPS dpkg-shlibdeps)
if(KCERTADM_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(KCERTADM_RUNTIME_DEPENDS "libc6 (>= 2.34), libstdc++6 (>= 12), libgcc-s1")
endif()

set(CPACK_DEBIAN_LIB_PACKAGE_NAME ${KCERTADM_LIB_PACKAGE})
set(CPACK_DEBIAN_LIB_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIB_PACKAGE_DEPENDS "${KCERTADM_RUNTIME_DEPENDS}")
set(CPACK_DEBIAN_LIB_PACKAGE_CONTROL_EXTRA
    ${KCERTADM_CONTROL_DIR}/triggers ${KCERTADM_CONTROL_DIR}/shlibs)
string(CONCAT CPACK_DEBIAN_LIB_DESCRIPTION
    "key ring administration library: RSA keys, certificates, trusted roots\n"
    "The kcertadm library keeps a server's RSA private keys, its certificates\n"
    "and the certificates of trusted authorities in a password-protected key\n"
    "ring file, and creates keys, requests, self-signed roots and signed\n"
    "certificates, behind a flat C interface.\n"
    "\n"
    "This package holds the shared library and its message catalogues.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${KCERTADM_DEV_PACKAGE})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${KCERTADM_LIB_PACKAGE} (= ${PROJECT_VERSION})")
string(CONCAT CPACK_DEBIAN_DEV_DESCRIPTION
    "key ring administration library: development files\n"
    "The kcertadm library keeps a server's RSA private keys, its certificates\n"
    "and the certificates of trusted authorities in a password-protected key\n"
    "ring file, behind a flat C interface.\n"
    "\n"
    "This package holds the C header, the CMake package and the pkg-config\n"
    "file needed to build programs that use the library.")

set(CPACK_DEBIAN_TOOL_PACKAGE_NAME ${KCERTADM_TOOL_PACKAGE})
set(CPACK_DEBIAN_TOOL_PACKAGE_SECTION utils)
# The tool carries the library's code; it needs the library package for
# the message catalogues beside it.
set(CPACK_DEBIAN_TOOL_PACKAGE_DEPENDS "${KCERTADM_LIB_PACKAGE} (= ${PROJECT_VERSION})")
# The completion file works only where bash-completion loads it; minimal
# installs lack that package.
set(CPACK_DEBIAN_TOOL_PACKAGE_RECOMMENDS bash-completion)
string(CONCAT CPACK_DEBIAN_TOOL_DESCRIPTION
    "key ring administration tool: RSA keys, certificates, trusted roots\n"
    "kcertadm keeps a server's RSA private keys, its certificates and the\n"
    "certificates of trusted authorities in a password-protected key ring\n"
    "file, and creates keys, requests, self-signed roots and signed\n"
    "certificates.\n"
    "\n"
    "This package holds the kcertadm command-line tool, its man page, bash\n"
    "completion and documentation.")
set(CPACK_POST_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/deb_ldconfig_trigger.cmake)
set(CPACK_SOURCE_IGNORE_FILES "/build/;/\\\\.git/")
include(CPack)
