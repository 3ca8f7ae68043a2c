# Third-party code for the Windows build. Debian ships pugixml, GoogleTest and CLI11 for Linux; the
# cross-build compiles pugixml's and GoogleTest's sources itself and reads CLI11's headers, without
# ever putting the build machine's /usr/include on the include path.

# pugixml: its sources, fetched into the build folder when they are not there yet.
set(PALISADE_PUGIXML_SOURCE_DIR "${PROJECT_BINARY_DIR}/_deps/pugixml" CACHE PATH
    "pugixml sources for the Windows build (the folder that holds src/pugixml.cpp)")
if(NOT EXISTS "${PALISADE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp")
  execute_process(COMMAND "${PROJECT_SOURCE_DIR}/scripts/fetch-pugixml" "${PALISADE_PUGIXML_SOURCE_DIR}"
                  RESULT_VARIABLE fetched)
  if(NOT fetched EQUAL 0 OR NOT EXISTS "${PALISADE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp")
    message(FATAL_ERROR "pugixml sources are missing: run scripts/fetch-pugixml ${PALISADE_PUGIXML_SOURCE_DIR}")
  endif()
endif()
add_library(pugixml STATIC "${PALISADE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp")
target_include_directories(pugixml SYSTEM PUBLIC "${PALISADE_PUGIXML_SOURCE_DIR}/src")
add_library(pugixml::pugixml ALIAS pugixml)

# Header-only libraries: each gets a folder of its own holding only its headers.
set(_palisade_headers "${PROJECT_BINARY_DIR}/_deps/include")
file(MAKE_DIRECTORY "${_palisade_headers}")
if(NOT EXISTS "${_palisade_headers}/CLI")
  file(CREATE_LINK /usr/include/CLI "${_palisade_headers}/CLI" SYMBOLIC)
endif()
add_library(CLI11::CLI11 INTERFACE IMPORTED)
target_include_directories(CLI11::CLI11 SYSTEM INTERFACE "${_palisade_headers}")

# GoogleTest from its sources (libgtest-dev installs them under /usr/src/googletest).
if(PALISADE_BUILD_TESTS)
  set(PALISADE_GOOGLETEST_SOURCE_DIR /usr/src/googletest CACHE PATH "GoogleTest sources for the Windows build")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory("${PALISADE_GOOGLETEST_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/_deps/googletest" EXCLUDE_FROM_ALL SYSTEM)
  foreach(target gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${target})
      add_library(GTest::${target} ALIAS ${target})
    endif()
  endforeach()
endif()

# The compiler's runtime DLLs go beside the programs: every module shares one C++ runtime, so
# strings and exceptions cross from one to another as on Linux.
foreach(dll libstdc++-6.dll libgcc_s_dw2-1.dll libwinpthread-1.dll)
  execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                  OUTPUT_STRIP_TRAILING_WHITESPACE)
  if(EXISTS "${path}")
    file(COPY "${path}" DESTINATION "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
    list(APPEND PALISADE_RUNTIME_DLLS "${path}")
  endif()
endforeach()
