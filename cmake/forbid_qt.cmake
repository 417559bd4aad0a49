# tallyro_forbid_qt(<target> <what it is>): fails the configuration when the
# target links a Qt library, which the Qt-free libraries must never do, directly
# or through a dependency named in its link list.
function(tallyro_forbid_qt target what)
  get_target_property(libs ${target} LINK_LIBRARIES)
  foreach(lib IN LISTS libs)
    if(lib MATCHES "Qt")
      message(FATAL_ERROR "${target} links ${lib}; ${what} must stay free of Qt")
    endif()
  endforeach()
endfunction()
