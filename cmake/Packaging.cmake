# The Debian binary package: `cpack -G DEB` in a release build folder gives
# morvalis_<version>_<arch>.deb with the three programs in /usr/bin, their manual
# pages and the copyright file and changelog in /usr/share/doc/morvalis.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME morvalis)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The morvalis developers")
set(CPACK_PACKAGE_CONTACT "The morvalis developers <morvalis@clinic.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "queue numbers for the blood-sampling rooms of a clinic")
set(CPACK_PACKAGE_DESCRIPTION
    "morvalis runs the queue numbers of a clinic's five blood-sampling rooms
from one terminal: technicians arrive in rooms and leave, patients of two
categories (adults and children) get numbers, and the oldest number of a
room's category is called into it. One desk operator drives it from the
keyboard on a fixed 80 x 25 screen in colour, in Danish. Every finished shift
becomes one line at the top of data.txt, which is replaced in one atomic step
so that no record is ever lost; a journal of the day brings the queues and
open shifts back after an unplanned end. morvalis-display shows the called
numbers on a second screen for the waiting room; morvalis-rapport reports
the waiting times and the shifts of the days kept.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripComment.cmake)
include(CPack)
