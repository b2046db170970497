# The list server as a Debian package: `cpack --config CPackConfig.cmake` in the build
# folder of the native-release preset writes reef-listserver_<version>_<arch>.deb. The
# version is the project's; the library dependencies are read off the binary.

# cpack installs what is built already: the release builds reef-listserver alone, not every
# test and benchmark of the preset.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(_reef_package_dir ${PROJECT_SOURCE_DIR}/listserver/package)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME reef-listserver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "list server of the Reef - Tools fleet lists")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Reef - Tools maintainers <maintainers@reef-tools.invalid>")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# useradd for the system user; the zone database for --timezone in the unit.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "passwd, tzdata, ca-certificates")
# The long description below the summary line; CPack indents it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "reef-listserver keeps the allied and the enemy fleet lists of any number of
alliances and answers the Reef - Tools desktop program over HTTP. The package
runs it as the system user reef on port 80, with its database in
/var/lib/reef-listserver. Add an alliance with:
runuser -u reef -- reef-listserver alliance add NAME
--db /var/lib/reef-listserver/reef-lists.sqlite")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${_reef_package_dir}/postinst ${_reef_package_dir}/prerm ${_reef_package_dir}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

include(CPack)
