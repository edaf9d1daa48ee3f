# The warnings our own code is built with, as one interface target. Options
# that only C++ knows are given to C++ sources only, so C sources need no
# special handling. Third-party code built here (GoogleTest's sources on
# Windows) does not get them.
add_library(korvane_warnings INTERFACE)
target_compile_options(korvane_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion -Wnull-dereference
  $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast -Woverloaded-virtual>
  $<$<BOOL:${KORVANE_WERROR}>:-Werror>)

# Links the warnings into every target built from our folders, so a new target
# cannot be left without them.
function(korvane_warn_targets dir)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  foreach(target IN LISTS targets)
    get_target_property(type ${target} TYPE)
    if(type MATCHES "^(EXECUTABLE|STATIC_LIBRARY|SHARED_LIBRARY|MODULE_LIBRARY|OBJECT_LIBRARY)$")
      target_link_libraries(${target} PRIVATE korvane_warnings)
    endif()
  endforeach()
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir IN LISTS subdirs)
    cmake_path(IS_PREFIX PROJECT_SOURCE_DIR ${subdir} NORMALIZE ours)
    if(ours)
      korvane_warn_targets(${subdir})
    endif()
  endforeach()
endfunction()
