# nlohmann_json (Debian's nlohmann-json3-dev, header-only): korvane-cli writes
# its JSON documents with it, the end-to-end tests read them with it.
if(CMAKE_CROSSCOMPILING)
  # The Windows build searches only the cross compiler's root, and must not
  # search /usr/include, which would bring glibc's headers. It gets an include
  # folder of its own that holds nothing but a link to the host's nlohmann/.
  find_path(KORVANE_NLOHMANN_ROOT nlohmann/json.hpp PATHS /usr/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(KORVANE_HEADER_LIBRARIES ${CMAKE_BINARY_DIR}/header-libraries)
  file(MAKE_DIRECTORY ${KORVANE_HEADER_LIBRARIES})
  file(CREATE_LINK ${KORVANE_NLOHMANN_ROOT}/nlohmann ${KORVANE_HEADER_LIBRARIES}/nlohmann
       SYMBOLIC)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${KORVANE_HEADER_LIBRARIES})
else()
  find_package(nlohmann_json 3 REQUIRED)
endif()
