# Windows programs carry what Explorer and the system read from the file: the
# product icon, a version resource from the one project version, and the
# application manifest (per-monitor DPI awareness, common controls v6).
enable_language(RC)

find_program(KORVANE_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(KORVANE_ICOTOOL icotool REQUIRED)

# The product icon as PNG of `size` pixels, drawn from the project's SVG at
# build time; its path is set in `out`.
function(korvane_icon_png size out)
  set(png ${PROJECT_BINARY_DIR}/icons/korvane-${size}.png)
  if(NOT TARGET korvane-icon-png-${size})
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${PROJECT_BINARY_DIR}/icons
      COMMAND ${KORVANE_RSVG_CONVERT} -w ${size} -h ${size} -o ${png}
              ${PROJECT_SOURCE_DIR}/data/icons/korvane.svg
      DEPENDS ${PROJECT_SOURCE_DIR}/data/icons/korvane.svg
      VERBATIM)
    add_custom_target(korvane-icon-png-${size} DEPENDS ${png})
  endif()
  set(${out} ${png} PARENT_SCOPE)
endfunction()

# korvane.ico: the sizes Explorer shows, 256 as PNG inside the icon.
set(KORVANE_ICO ${PROJECT_BINARY_DIR}/icons/korvane.ico)
set(korvane_ico_pngs)
foreach(size 16 24 32 48 64)
  korvane_icon_png(${size} png)
  list(APPEND korvane_ico_pngs ${png})
endforeach()
korvane_icon_png(256 korvane_ico_large)
add_custom_command(OUTPUT ${KORVANE_ICO}
  COMMAND ${KORVANE_ICOTOOL} -c -o ${KORVANE_ICO} ${korvane_ico_pngs} -r ${korvane_ico_large}
  DEPENDS ${korvane_ico_pngs} ${korvane_ico_large}
  VERBATIM)
add_custom_target(korvane-ico DEPENDS ${KORVANE_ICO})

# Gives `target` the icon, the manifest and a version resource described by
# `description`.
function(korvane_windows_resources target description)
  set(KORVANE_RC_NAME ${target})
  set(KORVANE_RC_FILE ${target}.exe)
  set(KORVANE_RC_DESCRIPTION ${description})
  set(KORVANE_RC_ICON ${KORVANE_ICO})
  set(KORVANE_RC_MANIFEST ${PROJECT_SOURCE_DIR}/packaging/windows/korvane.manifest)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/program.rc.in ${rc} @ONLY)
  target_sources(${target} PRIVATE ${rc})
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${KORVANE_ICO};${KORVANE_RC_MANIFEST}")
  add_dependencies(${target} korvane-ico)
endfunction()
