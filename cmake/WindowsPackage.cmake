# The Windows package: a .zip whose bin\ holds the programs with the Qt DLLs
# and the plugins the editor loads beside them, plus the Qt licence texts, the
# sample code set and a short README. Qt ships as DLLs so that a user can
# replace them (LGPL). `cpack -G ZIP` in the build folder makes the .zip.
set(KORVANE_WINDOWS_BINDIR bin)
install(TARGETS korvane-cli RUNTIME DESTINATION ${KORVANE_WINDOWS_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
if(EXISTS ${PROJECT_SOURCE_DIR}/examples/codes.IOS)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/codes.IOS DESTINATION .)
endif()

if(TARGET korvane-editor)
  install(TARGETS korvane-editor RUNTIME DESTINATION ${KORVANE_WINDOWS_BINDIR})
  install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
          DESTINATION ${KORVANE_WINDOWS_BINDIR})
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
          DESTINATION ${KORVANE_WINDOWS_BINDIR}/platforms)
  if(TARGET Qt6::QWindowsVistaStylePlugin)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
            DESTINATION ${KORVANE_WINDOWS_BINDIR}/styles)
  endif()
  # Qt's Chinese standard texts (the message boxes' buttons), which the editor
  # loads from translations\ beside itself; .qm files are the same everywhere.
  set(KORVANE_QT_ZH_QM /usr/share/qt6/translations/qtbase_zh_CN.qm)
  if(EXISTS ${KORVANE_QT_ZH_QM})
    install(FILES ${KORVANE_QT_ZH_QM} DESTINATION ${KORVANE_WINDOWS_BINDIR}/translations)
  endif()
  # The Qt build keeps its licence texts beside its DLLs (scripts/build-qt-windows.sh).
  get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
  if(EXISTS ${qt_prefix}/licenses)
    install(DIRECTORY ${qt_prefix}/licenses/ DESTINATION licenses/qt)
  endif()
endif()

# The MSI (target msi): a per-user installer of the same install tree, plus the
# marker that sends an installed editor's image file to %LOCALAPPDATA%\korvane\
# (device/ImageFolder.h); packages/korvane-VERSION-x64.msi, built with wixl by
# packaging/windows/build-msi.sh.
find_program(KORVANE_WIXL wixl)
if(KORVANE_WIXL AND TARGET korvane-editor)
  set(msi_stage ${PROJECT_BINARY_DIR}/msi-stage)
  set(msi_tools ${PROJECT_SOURCE_DIR}/packaging/windows)
  add_custom_target(msi
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${msi_stage}
    COMMAND ${CMAKE_COMMAND} --install ${PROJECT_BINARY_DIR} --prefix ${msi_stage} --strip
    COMMAND ${CMAKE_COMMAND} -E copy ${msi_tools}/installed.txt
            ${msi_stage}/${KORVANE_WINDOWS_BINDIR}/korvane-installed.txt
    COMMAND ${msi_tools}/build-msi.sh ${msi_stage} ${PROJECT_VERSION} ${KORVANE_ICO}
            ${PROJECT_BINARY_DIR}/packages/korvane-${PROJECT_VERSION}-x64.msi
    DEPENDS korvane-editor korvane-cli korvane-ico
    COMMENT "Windows installer packages/korvane-${PROJECT_VERSION}-x64.msi"
    VERBATIM)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_FILE_NAME korvane-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/packages)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_STRIP_FILES ON)
include(CPack)
