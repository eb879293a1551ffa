# What `cmake --install` puts into the prefix: the library as one archive (lib/libomf.a), its headers
# under include/omf/ laid out as src/ is, the CMake package (find_package(omf) gives omf::omf), the
# pkg-config file, the command, and the data the library reads at run time (share/omf). Everything in
# the prefix names the rest by relative paths, so the prefix may be moved or given to
# `cmake --install --prefix` only at install time.
include(CMakePackageConfigHelpers)
set(OMF_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/omf)

install(TARGETS omf EXPORT omfTargets ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/src/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/omf
        FILES_MATCHING PATTERN "*.h" PATTERN "*.def")
install(EXPORT omfTargets NAMESPACE omf:: DESTINATION ${OMF_CMAKE_DIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/omfConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/omfConfig.cmake INSTALL_DESTINATION ${OMF_CMAKE_DIR}
                              PATH_VARS CMAKE_INSTALL_DATADIR)
# Before 1.0 a minor version may change the interface.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/omfConfigVersion.cmake COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/omfConfig.cmake ${PROJECT_BINARY_DIR}/omfConfigVersion.cmake
        DESTINATION ${OMF_CMAKE_DIR})

# pkg-config finds the prefix from where the .pc file lies (pcfiledir), not from the configured prefix.
file(RELATIVE_PATH OMF_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
string(REGEX REPLACE "/$" "" OMF_PC_TO_PREFIX "${OMF_PC_TO_PREFIX}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/omf.pc.in ${PROJECT_BINARY_DIR}/omf.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/omf.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

if(TARGET omf_tool)
  install(TARGETS omf_tool RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
# The Python module goes where Debian's interpreter looks for the packages of a prefix (it finds
# /usr/lib/python3/dist-packages itself; another prefix is named with PYTHONPATH).
if(TARGET omf_python)
  set(OMF_PYTHON_INSTALL_DIR "lib/python3/dist-packages"
      CACHE STRING "Where the Python module omf is installed, relative to the prefix")
  install(TARGETS omf_python LIBRARY DESTINATION ${OMF_PYTHON_INSTALL_DIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/lang/ DESTINATION ${CMAKE_INSTALL_DATADIR}/omf/lang)
install(FILES ${PROJECT_SOURCE_DIR}/data/omerrors.err ${PROJECT_SOURCE_DIR}/data/json-format.schema.json DESTINATION ${CMAKE_INSTALL_DATADIR}/omf/data)
