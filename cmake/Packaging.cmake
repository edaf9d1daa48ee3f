# Install rules and packages, one branch per platform. Windows: a .zip with
# the programs and the Qt DLLs beside them. Linux: the programs under bin/
# with man pages, menu entry, icons, completion and the sample code set file
# under share/, packed as a .deb and a .tar.gz.

if(WIN32)
  # ---- Windows: the .zip ------------------------------------------------------
  # cmake/WindowsPackage.cmake holds the Windows package (programs, Qt DLLs and
  # plugins, licences, sample code set file, README) and ends with include(CPack).
  include(${CMAKE_CURRENT_LIST_DIR}/WindowsPackage.cmake OPTIONAL RESULT_VARIABLE korvane_windows_package)
  if(NOT korvane_windows_package)
    install(TARGETS korvane-cli RUNTIME DESTINATION bin)
    install(FILES ${PROJECT_SOURCE_DIR}/examples/codes.IOS DESTINATION .)
    set(CPACK_GENERATOR ZIP)
    set(CPACK_PACKAGE_NAME korvane)
    set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
    include(CPack)
  endif()
  return()
endif()

# ---- Linux: desktop files, man pages, .deb and .tar.gz --------------------------
include(GNUInstallDirs)

set(KORVANE_DATA_DIR ${PROJECT_SOURCE_DIR}/data)
foreach(program korvane-editor korvane-cli korvane-sim)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/examples/codes.IOS
        DESTINATION ${CMAKE_INSTALL_DATADIR}/korvane/examples)

find_program(KORVANE_HELP2MAN help2man)
find_program(KORVANE_RSVG_CONVERT rsvg-convert)
find_program(KORVANE_GZIP gzip REQUIRED)
set(KORVANE_GENERATED ${PROJECT_BINARY_DIR}/share)

# Man pages from the programs' --help, with the sections --help leaves out
# (data/man/PROGRAM.h2m) and, for a program with commands, each command's help.
function(korvane_man_page program summary)
  if(NOT TARGET ${program})
    return()
  endif()
  cmake_parse_arguments(PARSE_ARGV 2 page "" "" "COMMANDS")
  string(JOIN "," commands ${page_COMMANDS})
  set(page ${KORVANE_GENERATED}/man/${program}.1)
  set(extra ${KORVANE_DATA_DIR}/man/${program}.h2m)
  set(include ${KORVANE_GENERATED}/man/${program}.h2m)
  add_custom_command(OUTPUT ${page}.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVANE_GENERATED}/man
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DCOMMANDS=${commands}
            -DEXTRA=${extra} -DOUTPUT=${include} -P ${PROJECT_SOURCE_DIR}/cmake/ManInclude.cmake
    COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
            ${KORVANE_HELP2MAN} --no-info --no-discard-stderr
            --version-string=${PROJECT_VERSION} --name=${summary} --include=${include}
            --output=${page} $<TARGET_FILE:${program}>
    COMMAND ${KORVANE_GZIP} -9nf ${page}
    DEPENDS ${program} ${extra} ${PROJECT_SOURCE_DIR}/cmake/ManInclude.cmake
    COMMENT "Man page of ${program}"
    VERBATIM)
  add_custom_target(${program}-man ALL DEPENDS ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# Sanitized builds cannot be run at build time by every tool; they need no docs.
if(KORVANE_HELP2MAN AND NOT KORVANE_SANITIZE)
  korvane_man_page(korvane-editor "edit and program the codes of a KORVANE device")
  korvane_man_page(korvane-cli "program and read KORVANE devices from the command line"
                   COMMANDS ports write read image verify station)
  korvane_man_page(korvane-sim "a virtual KORVANE device on a pseudo-terminal")
elseif(NOT KORVANE_SANITIZE)
  message(STATUS "help2man not found: no man pages (scripts/setup.sh installs it)")
endif()

if(TARGET korvane-editor)
  install(FILES ${KORVANE_DATA_DIR}/applications/korvane-editor.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  # The code set file type, so that a .IOS file opens in the editor; the
  # system's package triggers update the MIME and desktop databases.
  install(FILES ${KORVANE_DATA_DIR}/mime/korvane.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages)
  install(FILES ${KORVANE_DATA_DIR}/icons/korvane.svg
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(KORVANE_RSVG_CONVERT AND NOT KORVANE_SANITIZE)
    set(pngs)
    foreach(size 16 22 24 32 48 64 128 256)
      set(png ${KORVANE_GENERATED}/icons/${size}x${size}/korvane.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVANE_GENERATED}/icons/${size}x${size}
        COMMAND ${KORVANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
                ${KORVANE_DATA_DIR}/icons/korvane.svg
        DEPENDS ${KORVANE_DATA_DIR}/icons/korvane.svg
        VERBATIM)
      list(APPEND pngs ${png})
      install(FILES ${png}
              DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(korvane-icons ALL DEPENDS ${pngs})
  elseif(NOT KORVANE_SANITIZE)
    message(STATUS "rsvg-convert not found: only the scalable icon (scripts/setup.sh installs it)")
  endif()
endif()

# One completion file serves the three programs; bash loads it by command name.
foreach(program korvane-editor korvane-cli korvane-sim)
  install(FILES ${KORVANE_DATA_DIR}/completion/korvane
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME ${program})
endforeach()

# Documents: the README for users, the package's copyright and changelog.
set(KORVANE_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/korvane)
set(changelog ${KORVANE_GENERATED}/doc/changelog.gz)
add_custom_command(OUTPUT ${changelog}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${KORVANE_GENERATED}/doc
  COMMAND ${KORVANE_GZIP} -9nc ${KORVANE_DATA_DIR}/debian/changelog > ${changelog}
  DEPENDS ${KORVANE_DATA_DIR}/debian/changelog
  VERBATIM)
add_custom_target(korvane-changelog ALL DEPENDS ${changelog})
install(FILES ${PROJECT_SOURCE_DIR}/README.md ${KORVANE_DATA_DIR}/debian/copyright ${changelog}
        DESTINATION ${KORVANE_DOC_DIR})
# korvane-cli's published contracts: its exit codes, its JSON formats and their schemas.
install(FILES ${PROJECT_SOURCE_DIR}/docs/exit-codes.md ${PROJECT_SOURCE_DIR}/docs/json.md
        DESTINATION ${KORVANE_DOC_DIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/json DESTINATION ${KORVANE_DOC_DIR})

set(CPACK_GENERATOR DEB TGZ)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Library packages come from dpkg-shlibdeps; the editor also needs Qt's
# platform plugins, which it loads at run time.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
# Qt's own Chinese texts (qtbase_zh_CN.qm: "确定", "取消" on the standard
# buttons of the editor's message boxes) come with the translations package;
# without it those buttons read "OK" and "Cancel". apt installs it by default.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "fonts-wqy-microhei")

set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_VENDOR "KORVANE developers")
set(CPACK_PACKAGE_CONTACT "KORVANE developers <korvane@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "code editor and programmer for the KORVANE serial device")
set(CPACK_PACKAGE_DESCRIPTION
    "Edits the press and release codes of the four inputs of a KORVANE device,\n"
    "keeps them in code set files (.IOS) and writes them into the device or reads\n"
    "them back over a serial port. The package holds the editor (korvane-editor),\n"
    "a command-line programmer (korvane-cli) and a virtual device (korvane-sim)\n"
    "for trying both without hardware.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGE_FILE_NAME "korvane-${PROJECT_VERSION}-${CMAKE_SYSTEM_NAME}")
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
include(CPack)
