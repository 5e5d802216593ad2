# The library is built as one object library per folder of src/, from the
# bottom up. A folder may include its own headers and those of the folders
# below it, nothing else: each folder is compiled against a view of src/
# (build/layers/<folder>/) that holds links to exactly those folders, so an
# include that reaches up a layer is not found and the build stops there.
#
#   base < host < asn1 < crypto < cert < armour < keyring < keyfile
#        < commands < host_interface
#
set(KCERTADM_LAYERS base host asn1 crypto cert armour keyring keyfile commands host_interface)

set(KCERTADM_BELOW_base "")
set(KCERTADM_BELOW_host base)
set(KCERTADM_BELOW_crypto base host asn1)
set(KCERTADM_BELOW_asn1 base host)
set(KCERTADM_BELOW_cert base host crypto asn1)
set(KCERTADM_BELOW_armour base host crypto asn1 cert)
set(KCERTADM_BELOW_keyring base host crypto asn1 cert armour)
set(KCERTADM_BELOW_keyfile base host crypto asn1 cert armour keyring)
set(KCERTADM_BELOW_commands base host crypto asn1 cert armour keyring keyfile)
set(KCERTADM_BELOW_host_interface base host crypto asn1 cert armour keyring keyfile commands)

# The include view of one folder: build/layers/<folder>/<name> links to
# src/<name> for the folder itself and every folder below it.
function(kcertadm_layer_view folder out_dir)
  set(view ${PROJECT_BINARY_DIR}/layers/${folder})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  foreach(visible ${folder} ${KCERTADM_BELOW_${folder}})
    file(CREATE_LINK ${PROJECT_SOURCE_DIR}/src/${visible} ${view}/${visible} SYMBOLIC)
  endforeach()
  set(${out_dir} ${view} PARENT_SCOPE)
endfunction()

# Defines kcertadm_<folder> for every folder and returns the list of them.
function(kcertadm_add_layers out_targets)
  set(targets "")
  foreach(folder ${KCERTADM_LAYERS})
    file(GLOB_RECURSE sources CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/src/${folder}/*.cc)
    set(target kcertadm_${folder})
    add_library(${target} OBJECT ${sources})
    kcertadm_layer_view(${folder} view)
    target_include_directories(${target} PRIVATE ${PROJECT_SOURCE_DIR}/include ${view})
    foreach(below ${KCERTADM_BELOW_${folder}})
      target_link_libraries(${target} PRIVATE kcertadm_${below})
    endforeach()
    set_target_properties(${target} PROPERTIES
      POSITION_INDEPENDENT_CODE ON
      CXX_VISIBILITY_PRESET hidden
      VISIBILITY_INLINES_HIDDEN ON)
    # Message catalogues are installed beside the library, in
    # ${CMAKE_INSTALL_LIBDIR}/kcertadm, and found there relative to the
    # running library or program; in the build tree they are read from
    # messages/.
    target_compile_definitions(${target} PRIVATE KCERTADM_BUILDING=1
      KCERTADM_INSTALL_LIBDIR="${CMAKE_INSTALL_LIBDIR}"
      KCERTADM_MSG_BUILD_DIR="${PROJECT_SOURCE_DIR}/messages")
    if(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
      kcertadm_flags_from_target_pragmas(${sources})
    endif()
    if(KCERTADM_BUILD_FUZZ)
      target_compile_options(${target} PRIVATE -fsanitize=fuzzer-no-link)
    endif()
    list(APPEND targets ${target})
  endforeach()
  set(${out_targets} ${targets} PARENT_SCOPE)
endfunction()
