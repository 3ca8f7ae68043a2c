# Helpers shared by every folder's CMakeLists.

# palisade_add_test(NAME SOURCES a.cpp ... LIBS x y ...)
# One GoogleTest program, run by ctest from the build's bin directory; its main (test_main) fails
# every test that leaves a COM object, a BSTR or a COM initialisation behind.
function(palisade_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} test_main GTest::gtest GTest::gmock)
  add_test(NAME ${name} COMMAND ${name} WORKING_DIRECTORY ${PROJECT_BINARY_DIR})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT})
endfunction()

# palisade_add_component(NAME CLASSES "{clsid}=ProgID;..." SOURCES ...)
# An in-process COM server: a shared object exporting DllGetClassObject, and the
# registration file that tells the COM runtime which classes it serves.
# On Windows the server registers its classes itself (DllRegisterServer), from the same list.
function(palisade_add_component name)
  cmake_parse_arguments(C "" "" "CLASSES;SOURCES;LIBS" ${ARGN})
  add_library(${name} MODULE ${C_SOURCES})
  target_link_libraries(${name} PRIVATE win32 ${C_LIBS})
  if(WIN32)
    set(C_NAME ${name})
    set(C_TABLE "")
    foreach(entry IN LISTS C_CLASSES)
      string(REPLACE "=" ";" parts "${entry}")
      list(GET parts 0 clsid)
      list(GET parts 1 progid)
      string(APPEND C_TABLE "    {OLESTR(\"${clsid}\"), OLESTR(\"${progid}\")},\n")
    endforeach()
    configure_file(${PROJECT_SOURCE_DIR}/cmake/windows/server_exports.cpp.in
                   ${CMAKE_CURRENT_BINARY_DIR}/${name}_server_exports.cpp @ONLY)
    target_sources(${name} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${name}_server_exports.cpp)
    # COM looks the entry points up by their plain names, without the stdcall "@n".
    target_link_options(${name} PRIVATE -Wl,--kill-at)
    install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR})
    return()
  endif()
  set(reg "# Written by the build: the classes that lib${name}.so serves.\n")
  foreach(entry IN LISTS C_CLASSES)
    string(REPLACE "=" ";" parts "${entry}")
    list(GET parts 0 clsid)
    list(GET parts 1 progid)
    string(APPEND reg "${clsid} ${progid} ../lib${name}.so\n")
  endforeach()
  file(WRITE ${PALISADE_REGISTRY_DIR}/${name}.reg "${reg}")
  install(TARGETS ${name} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  install(FILES ${PALISADE_REGISTRY_DIR}/${name}.reg DESTINATION ${CMAKE_INSTALL_LIBDIR}/registry)
endfunction()
