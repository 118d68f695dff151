# The kit as a Debian package: `cpack -G DEB` in a build directory packs
# what the install rules install, under /usr (scripts/package.sh does it
# all). Its version is the project's.
if(CMAKE_VERSION VERSION_LESS 3.19)
  message(STATUS "No Debian package: it needs CPACK_PRE_BUILD_SCRIPTS, "
                 "from CMake 3.19 on")
  return()
endif()

set(BOOTSTRAP_PACKAGE_MAINTAINER
    "Bootstrap installer kit maintainers <bootstrap-installer-kit@example.com>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME bootstrap-installer-kit)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${BOOTSTRAP_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION devel)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "tools to make and try bundles of a bootstrap installer
make-bundle assembles a bundle ready to ship from an installation payload,
an install agent archive (or the URL it is downloaded from) and the
bootstrap-installer executable with its desktop window module, all
installed by this package. agent-server serves agent archives on
127.0.0.1 to try a bundle's download road.")

# CPack's own dependency scan would make every library any file links a
# Depends, GTK among them; but the desktop window module is only copied
# into bundles here, so the script computes Depends from the executables
# and Recommends from the module, once the files are staged.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
# make-bundle checks archives with unzip; the executable sets an option
# (CURLOPT_PREREQFUNCTION) that a libcurl before 7.80.0 refuses, although
# no symbol it links says so.
set(CPACK_BOOTSTRAP_DEPENDS unzip "libcurl4 (>= 7.80.0)")
set(CPACK_BOOTSTRAP_MODULE_DIR ${MODULE_INSTALL_DIR})
set(CPACK_PRE_BUILD_SCRIPTS
    ${CMAKE_CURRENT_LIST_DIR}/deb_dependencies.cmake
    ${CMAKE_CURRENT_LIST_DIR}/deb_man_pages.cmake)
include(CPack)
