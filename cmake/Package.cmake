# The Debian package: `cpack -G DEB` in a build folder makes halcyrix_<version>_amd64.deb with
# everything `cmake --install` lays down under /usr. The libraries it needs are found from the
# program itself (dpkg-shlibdeps); what the program loads at run time without linking it is named.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME halcyrix)
set(CPACK_PACKAGE_VENDOR Halcyrix)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tuner for internet radio and television stations")
set(CPACK_PACKAGE_DESCRIPTION
    "Halcyrix keeps a database of radio and television stations and plays their streams in a\n\
window that looks and works like a radio: a display of the selected station, ten presets,\n\
a station stepper and a television band. Station lists and playlists of other players are\n\
imported and exported; the desktop's media keys control it.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Halcyrix <support@halcyrix.org>")
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://halcyrix.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, not linked: the windowing system plugins, and the player library.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libmpv2")
# The lighter audio engine of radio stations; without it libmpv plays them.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "libgstreamer1.0-0, gstreamer1.0-plugins-base, gstreamer1.0-plugins-good")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "playerctl")

include(CPack)
