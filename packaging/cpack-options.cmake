# Read by cpack for each package it makes.
if(CPACK_GENERATOR STREQUAL "DEB" AND NOT CPACK_PACKAGING_INSTALL_PREFIX STREQUAL "/usr")
  # The program recognises its installed copy by the bin folder it was built
  # for, and Debian packages never install under /usr/local.
  message(FATAL_ERROR "The Debian package installs to /usr, but this build is for "
    "${CPACK_PACKAGING_INSTALL_PREFIX}: configure it with -DCMAKE_INSTALL_PREFIX=/usr")
endif()
