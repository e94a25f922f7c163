# Finds Qwt 6 built for Qt 5. Debian ships no CMake package for it, and its pkg-config
# file pulls in Qt modules whose -dev packages are not installed, so look for the files.
find_path(QWT_INCLUDE_DIR qwt_knob.h PATH_SUFFIXES qwt qwt-qt5 qwt6)
find_library(QWT_LIBRARY NAMES qwt-qt5 qwt6-qt5 qwt)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Qwt REQUIRED_VARS QWT_LIBRARY QWT_INCLUDE_DIR)

if(Qwt_FOUND AND NOT TARGET Qwt::Qwt)
  add_library(Qwt::Qwt UNKNOWN IMPORTED)
  set_target_properties(Qwt::Qwt PROPERTIES
    IMPORTED_LOCATION "${QWT_LIBRARY}"
    INTERFACE_INCLUDE_DIRECTORIES "${QWT_INCLUDE_DIR}"
    INTERFACE_LINK_LIBRARIES "Qt5::Widgets")
endif()
mark_as_advanced(QWT_INCLUDE_DIR QWT_LIBRARY)
