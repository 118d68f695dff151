# Run by cpack once the files are staged (CPACK_PRE_BUILD_SCRIPTS): the
# Debian package's Depends, from the libraries the executables link, and
# its Recommends, from those only the desktop window module links (its
# GTK), as dpkg-shlibdeps finds them. The DEB generator reads the
# variables set here when it writes the control file, right after.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
find_program(DPKG_SHLIBDEPS dpkg-shlibdeps)
if(NOT DPKG_SHLIBDEPS)
  message(FATAL_ERROR "dpkg-shlibdeps (Debian package dpkg-dev) is needed "
                      "for the package's dependencies")
endif()

set(usr "${CPACK_TEMPORARY_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX}")
file(GLOB executables LIST_DIRECTORIES false "${usr}/bin/*")
file(GLOB modules LIST_DIRECTORIES false
     "${usr}/${CPACK_BOOTSTRAP_MODULE_DIR}/*.so")
set(arguments -O -dDepends)
foreach(file IN LISTS executables)
  list(APPEND arguments -e${file})
endforeach()
if(modules)
  list(APPEND arguments -dRecommends)
  foreach(file IN LISTS modules)
    list(APPEND arguments -e${file})
  endforeach()
endif()

# It wants a debian/control where it runs; an empty one does.
set(work "${CPACK_TOPLEVEL_DIRECTORY}/shlibdeps")
file(WRITE "${work}/debian/control" "")
execute_process(COMMAND ${DPKG_SHLIBDEPS} ${arguments}
                WORKING_DIRECTORY "${work}"
                OUTPUT_VARIABLE found ERROR_VARIABLE why RESULT_VARIABLE status)
file(REMOVE_RECURSE "${work}")
if(NOT status EQUAL 0)
  message(FATAL_ERROR "dpkg-shlibdeps failed: ${why}")
endif()

# Its output: a line shlibs:Field=dependencies for each field it filled.
# A package that CPACK_BOOTSTRAP_DEPENDS names at a version no lower than
# the one found is left out of what was found.
foreach(given IN LISTS CPACK_BOOTSTRAP_DEPENDS)
  if(given MATCHES "^([^ ]+) \\(>= ([^)]+)\\)$")
    set(floor_${CMAKE_MATCH_1} ${CMAKE_MATCH_2})
  endif()
endforeach()
set(depends ${CPACK_BOOTSTRAP_DEPENDS})
set(recommends)
if(found MATCHES "shlibs:Depends=([^\n]*)")
  string(REPLACE ", " ";" linked "${CMAKE_MATCH_1}")
  foreach(dependency IN LISTS linked)
    # Two steps: ${CMAKE_MATCH_1} in the same if() would be expanded
    # before the match.
    if(dependency MATCHES "^([^ ]+) \\(>= ([^)]+)\\)$")
      set(floor "${floor_${CMAKE_MATCH_1}}")
      if(floor)
        execute_process(COMMAND dpkg --compare-versions ${floor} ge
                                ${CMAKE_MATCH_2}
                        RESULT_VARIABLE covered)
        if(covered EQUAL 0)
          continue()
        endif()
      endif()
    endif()
    list(APPEND depends "${dependency}")
  endforeach()
endif()
if(found MATCHES "shlibs:Recommends=([^\n]*)")
  set(recommends "${CMAKE_MATCH_1}")
endif()
list(JOIN depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "${recommends}")
message(STATUS "Depends: ${CPACK_DEBIAN_PACKAGE_DEPENDS}")
message(STATUS "Recommends: ${CPACK_DEBIAN_PACKAGE_RECOMMENDS}")
