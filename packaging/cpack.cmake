# The Debian package, built by scripts/package.sh with `cpack -G DEB`.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zq-console)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "ZQ Console authors")
set(CPACK_PACKAGE_CONTACT "ZQ Console authors <zq-console@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "drive ZQ flash units over a serial line and update their firmware")
# Read here rather than named as CPACK_PACKAGE_DESCRIPTION_FILE, which cpack
# would XML-escape (&apos; in the control file). No double quotes in it: they
# do not survive the trip through CPackConfig.cmake.
file(READ ${CMAKE_CURRENT_LIST_DIR}/description.txt CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# Depends from the libraries the programs link, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The package's dates are the changelog's (ZQ_SOURCE_DATE_EPOCH, from
# packaging/CMakeLists.txt), however cpack is started.
set(CPACK_ZQ_SOURCE_DATE_EPOCH ${ZQ_SOURCE_DATE_EPOCH})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_LIST_DIR}/cpack-project.cmake)

include(CPack)
