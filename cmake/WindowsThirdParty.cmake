# Third-party code for the Windows build. Debian ships pugixml, GoogleTest, CLI11 and nlohmann-json
# for Linux; the cross-build compiles pugixml's and GoogleTest's sources itself and reads the others'
# headers, without ever putting the build machine's /usr/include on the include path.

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
# A DLL, as on Linux: one copy of its state (the allocation functions tests replace) for every module.
add_library(pugixml SHARED "${PALISADE_PUGIXML_SOURCE_DIR}/src/pugixml.cpp")
target_compile_definitions(pugixml PRIVATE "PUGIXML_API=__declspec(dllexport)"
                           INTERFACE "PUGIXML_API=__declspec(dllimport)")
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
if(NOT EXISTS "${_palisade_headers}/nlohmann")
  file(CREATE_LINK /usr/include/nlohmann "${_palisade_headers}/nlohmann" SYMBOLIC)
endif()
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE "${_palisade_headers}")

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
# strings and exceptions cross from one to another as on Linux. Which DLLs those are differs between
# toolchains (libgcc_s_dw2-1.dll on i686, libgcc_s_seh-1.dll on x86_64), so they are read from the
# imports of a program this compiler links, following each DLL's own imports; a DLL is the
# compiler's when the compiler finds it as a file (system DLLs it does not).
set(_probe_dir "${PROJECT_BINARY_DIR}/_deps/runtime-probe")
file(WRITE "${_probe_dir}/probe.cpp"
     "#include <string>\n#include <thread>\nint main() { std::thread([] {}).join(); throw std::string(); }\n")
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -o probe.exe probe.cpp WORKING_DIRECTORY "${_probe_dir}"
                RESULT_VARIABLE linked)
if(NOT linked EQUAL 0)
  message(FATAL_ERROR "${CMAKE_CXX_COMPILER} cannot link a program")
endif()
set(PALISADE_RUNTIME_DLLS "")
set(_pending "${_probe_dir}/probe.exe")
while(_pending)
  list(POP_FRONT _pending module)
  execute_process(COMMAND ${CMAKE_OBJDUMP} -p "${module}" OUTPUT_VARIABLE imports)
  string(REGEX MATCHALL "DLL Name: [^\r\n]+" imports "${imports}")
  foreach(line IN LISTS imports)
    string(REPLACE "DLL Name: " "" dll "${line}")
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll} OUTPUT_VARIABLE path
                    OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(IS_ABSOLUTE "${path}" AND EXISTS "${path}")
      get_filename_component(path "${path}" REALPATH)
      if(NOT path IN_LIST PALISADE_RUNTIME_DLLS)
        list(APPEND PALISADE_RUNTIME_DLLS "${path}")
        list(APPEND _pending "${path}")
      endif()
    endif()
  endforeach()
endwhile()
file(COPY ${PALISADE_RUNTIME_DLLS} DESTINATION "${CMAKE_RUNTIME_OUTPUT_DIRECTORY}")
