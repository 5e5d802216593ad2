# Units that use x86 extensions behind a run-time check name them in
# "#pragma GCC target(...)". GCC lets the intrinsics in such a unit use
# them; clang ignores the pragma and refuses the intrinsics. Under clang a
# unit with the pragma therefore gets the same extensions as compile flags,
# read from the pragma itself, so a new unit needs no entry here. The
# compiler may then use the extensions anywhere in that unit, so a clang
# build is meant for machines that have them (the fuzz build runs where it
# was built). Units that use __attribute__((target(...))) need nothing.
function(kcertadm_flags_from_target_pragmas)
  foreach(source IN LISTS ARGN)
    file(STRINGS "${source}" pragmas REGEX "^#pragma GCC target\\(\"[^\"]+\"\\)")
    set(flags "")
    foreach(pragma IN LISTS pragmas)
      string(REGEX REPLACE "^#pragma GCC target\\(\"([^\"]+)\"\\).*" "\\1" features "${pragma}")
      string(REPLACE "," ";" features "${features}")
      foreach(feature IN LISTS features)
        list(APPEND flags "-m${feature}")
      endforeach()
    endforeach()
    if(flags)
      list(REMOVE_DUPLICATES flags)
      # The pragma is replaced by the flags: no warning that clang ignores it.
      list(APPEND flags -Wno-unknown-pragmas)
      set_property(SOURCE "${source}" APPEND PROPERTY COMPILE_OPTIONS ${flags})
    endif()
  endforeach()
endfunction()
