# Manual pages made at build time by help2man from each program's own help, with what help cannot
# say in docs/man/PROGRAM.h2m, so that the page and the help cannot drift apart. docs/man/PROGRAM-help
# hands help2man the program's help (vtc880's with every subcommand's). Off by default: only a
# package needs them (scripts/package), and help2man is not among the packages a build needs.
option(VTC880_MANUAL_PAGES "Make the manual pages with help2man and install them" OFF)
if(VTC880_MANUAL_PAGES AND NOT WIN32)
  find_program(VTC880_HELP2MAN help2man REQUIRED)
  find_program(VTC880_GZIP gzip REQUIRED)
  find_program(VTC880_SED sed REQUIRED)
endif()

# The page PROGRAM.1 for the program target PROGRAM, installed as man1/PROGRAM.1.gz.
function(vtc880_manual_page program)
  if(NOT VTC880_MANUAL_PAGES OR WIN32)
    return()
  endif()
  include(GNUInstallDirs)
  set(sources ${PROJECT_SOURCE_DIR}/docs/man)
  set(page ${CMAKE_CURRENT_BINARY_DIR}/${program}.1)
  add_custom_command(
    OUTPUT ${page} ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E env VTC880_PROGRAM=$<TARGET_FILE:${program}>
            ${VTC880_HELP2MAN} --no-info --section=1 "--source=vtc880 ${PROJECT_VERSION}"
            --version-string=${PROJECT_VERSION} --include=${sources}/${program}.h2m --output=${page}
            ${sources}/${program}-help
    # help2man keeps the colon of a heading it makes a subsection of ("vtc880 pack ... recipe:"), and
    # indents the paragraph after it as if it belonged to the option above: a subcommand's usage is
    # the subsection's title and its summary the subsection's first paragraph.
    COMMAND ${VTC880_SED} -i -e [[/^\.SS ".*:"$/{s/:"$/"/;n;/^\.IP$/d;}]] ${page}
    COMMAND ${VTC880_GZIP} -9 --no-name --keep --force ${page}
    DEPENDS ${program} ${sources}/${program}-help ${sources}/${program}.h2m
    COMMENT "Manual page ${program}(1)"
    VERBATIM)
  add_custom_target(${program}-manual-page ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
