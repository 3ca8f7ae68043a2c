# What `cmake --install` lays out besides the targets' own rules: the platform headers that the
# exported headers include, a CMake package (find_package(Palisade) -> Palisade::palisade) and a
# pkg-config file.
include(CMakePackageConfigHelpers)

set(PALISADE_PLATFORM_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/palisade-platform)
install(DIRECTORY platform/win32/include/win32 platform/hostrt32/include/hostrt32
                  platform/soapkit/include/soapkit
        DESTINATION ${PALISADE_PLATFORM_INCLUDEDIR})
install(FILES platform/config/include/config/config.h DESTINATION ${PALISADE_PLATFORM_INCLUDEDIR}/config)

set(PALISADE_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/Palisade)
install(EXPORT PalisadeTargets NAMESPACE Palisade:: DESTINATION ${PALISADE_CMAKEDIR})
configure_package_config_file(cmake/package/PalisadeConfig.cmake.in
  ${PROJECT_BINARY_DIR}/package/PalisadeConfig.cmake INSTALL_DESTINATION ${PALISADE_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/package/PalisadeConfigVersion.cmake
  COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/package/PalisadeConfig.cmake
              ${PROJECT_BINARY_DIR}/package/PalisadeConfigVersion.cmake
        DESTINATION ${PALISADE_CMAKEDIR})

# Relocatable: the prefix is found from where the .pc file lies, so `cmake --install --prefix X` works.
file(RELATIVE_PATH PALISADE_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" PALISADE_PC_TO_PREFIX "${PALISADE_PC_TO_PREFIX}")
configure_file(cmake/package/palisade.pc.in ${PROJECT_BINARY_DIR}/package/palisade.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/package/palisade.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
