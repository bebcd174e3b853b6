# Where the platforms differ, a source file exists once per platform: FooPosix.cpp beside
# FooWindows.cpp (FooLinux.cpp where it needs calls only Linux has). This is the one place that picks
# them; the code above them sees one interface. A feature a system lacks has a file for the systems
# that have it and none for the others (the station, the simulated device): it is left out, not
# built as a stub.
function(vtc880_platform_sources out)
  set(kept)
  foreach(file IN LISTS ARGN)
    if(WIN32 AND file MATCHES "(Posix|Linux)(Test)?\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND file MATCHES "Windows(Test)?\\.cpp$")
      continue()
    endif()
    list(APPEND kept ${file})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()
