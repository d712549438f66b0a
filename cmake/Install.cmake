# The installed product, laid out as the build tree is:
#   lib/      libkx4data.so, kx4sqlite.so (the extension for SQLite's own
#             tools), the CMake package and the pkg-config file
#   common/   libkx4utils.so, the outside cipher library the library loads
#   help/     the help folder, beside lib/
#   bin/      kx4 and sleep
#   include/  the public headers, under kx4data/
#   share/    the documentation
# The library finds common/ and help/ from its own folder, so the tree works
# wherever it is put.
include(CMakePackageConfigHelpers)

install(TARGETS kx4data EXPORT kx4dataTargets LIBRARY DESTINATION lib)
install(TARGETS kx4sqlite LIBRARY DESTINATION lib)
install(TARGETS kx4utils LIBRARY DESTINATION common)
install(TARGETS kx4 sleep RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/kx4data DESTINATION include)
install(DIRECTORY DESTINATION help)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/kx4data)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION share/doc/kx4data)

install(EXPORT kx4dataTargets NAMESPACE kx4data:: DESTINATION lib/cmake/kx4data)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/kx4dataConfig.cmake.in
  ${PROJECT_BINARY_DIR}/kx4dataConfig.cmake INSTALL_DESTINATION lib/cmake/kx4data)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/kx4dataConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/kx4dataConfig.cmake
  ${PROJECT_BINARY_DIR}/kx4dataConfigVersion.cmake DESTINATION lib/cmake/kx4data)
configure_file(${CMAKE_CURRENT_LIST_DIR}/kx4data.pc.in ${PROJECT_BINARY_DIR}/kx4data.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/kx4data.pc DESTINATION lib/pkgconfig)

# The Debian package installs the product in /opt/kestrix and puts kx4 on
# the PATH through a link in /usr/bin.  The link is a component of its own,
# left out of plain installs, which must never write outside their prefix.
file(MAKE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
file(CREATE_LINK /opt/kestrix/bin/kx4 ${PROJECT_BINARY_DIR}/package/kx4 SYMBOLIC)
install(FILES ${PROJECT_BINARY_DIR}/package/kx4 DESTINATION /usr/bin
  COMPONENT path EXCLUDE_FROM_ALL)

# The CUPS backend lives in the scheduler's backend folder, mode 0700 so that
# the scheduler runs it as root; like the link, only the package installs it.
install(TARGETS kx4_cups_backend RUNTIME DESTINATION /usr/lib/cups/backend
  COMPONENT cups EXCLUDE_FROM_ALL
  PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kx4data)
set(CPACK_PACKAGE_VENDOR Kestrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Print tracking data layer: library, headers and the kx4 administration tool")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Kestrix <support@kestrix.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "cups-daemon")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /opt/kestrix)
set(CPACK_INSTALL_PREFIX /opt/kestrix)
set(CPACK_STRIP_FILES ON)
set(CPACK_SET_DESTDIR ON)
# Everything a plain install lays out, the link and the CUPS backend.
set(CPACK_INSTALL_CMAKE_PROJECTS
  "${PROJECT_BINARY_DIR};kx4data;ALL;/"
  "${PROJECT_BINARY_DIR};kx4data;path;/"
  "${PROJECT_BINARY_DIR};kx4data;cups;/")
include(CPack)
