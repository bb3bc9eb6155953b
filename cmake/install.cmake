# Installs the programs in bin/ and each program's manual page in share/man/man1, and describes
# the Debian package. Only programs that this tree builds are installed, each with its page.
include(GNUInstallDirs)

set(ZXKIT_PROGRAMS burstmap cellweave blockbind sumseal)
foreach(program IN LISTS ZXKIT_PROGRAMS)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${PROJECT_SOURCE_DIR}/man/${program}.1
            DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  endif()
endforeach()

include(${CMAKE_CURRENT_LIST_DIR}/packaging.cmake)
