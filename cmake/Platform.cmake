# Where the platforms differ, a source file exists once per platform: FooPosix.cpp beside
# FooWindows.cpp (and the recipe reader on inih beside the one on the Windows profile functions).
# This is the one place that picks them; the code above them sees one interface.
function(vtc880_platform_sources out)
  set(kept)
  foreach(file IN LISTS ARGN)
    if(WIN32 AND file MATCHES "(Posix|Linux|Inih)(Test)?\\.cpp$")
      continue()
    endif()
    if(NOT WIN32 AND file MATCHES "Windows(Test)?\\.cpp$")
      continue()
    endif()
    list(APPEND kept ${file})
  endforeach()
  set(${out} ${kept} PARENT_SCOPE)
endfunction()
