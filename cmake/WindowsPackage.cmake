# The Windows package: one folder, zipped, with the programs, the Qt DLLs and
# plugins the editor loads, the Qt licence texts, the sample code set and a
# short README. Qt ships as DLLs beside the programs so that a user can replace
# them (LGPL). `cmake --build --preset mingw --target package` makes the .zip.
install(TARGETS korvane-cli RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/windows/README.txt DESTINATION .)
if(EXISTS ${PROJECT_SOURCE_DIR}/examples/codes.IOS)
  install(FILES ${PROJECT_SOURCE_DIR}/examples/codes.IOS DESTINATION .)
endif()

if(TARGET korvane-editor)
  install(TARGETS korvane-editor RUNTIME DESTINATION .)
  install(FILES $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
          DESTINATION .)
  install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
  if(TARGET Qt6::QWindowsVistaStylePlugin)
    install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
  endif()
  # The Qt build keeps its licence texts beside its DLLs (scripts/build-qt-windows.sh).
  get_filename_component(qt_prefix "${Qt6_DIR}/../../.." ABSOLUTE)
  if(EXISTS ${qt_prefix}/licenses)
    install(DIRECTORY ${qt_prefix}/licenses/ DESTINATION licenses/qt)
  endif()
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME korvane)
set(CPACK_PACKAGE_FILE_NAME korvane-${PROJECT_VERSION}-windows-x64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
