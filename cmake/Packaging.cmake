# The Debian package, made by `cpack -G DEB` in a build configured for /usr (scripts/package). It
# holds whatever the install rules name; its dependencies are read from the programs by
# dpkg-shlibdeps, plus what they only load at run time.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessary)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessary developers <dev@tessary.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "types e-mailed verification codes into the field that asks")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://tessary.com)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# QtKeychain reaches the Secret Service through libsecret, which it opens only at run time; libatspi
# ends the process when the session has no accessibility bus to connect to, and at-spi2-core is what
# provides one.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libsecret-1-0, at-spi2-core")
# On sway Tessary's own windows are native Wayland windows through Qt's Wayland plugin; without it
# Qt needs XWayland.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")
# Without a keyring the install token falls back to a private file.
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "gnome-keyring")
# CPack puts the summary above this text and indents it the way a control file wants.
set(CPACK_PACKAGE_DESCRIPTION
    "Tessary sits in the tray of an X11 desktop. When the focused field of the
frontmost application asks for a one-time code, it reads the mail that just
arrived in the connected inbox, picks the most likely code and offers it in a
small chip under the field, or types it at once when the sender belongs to the
site. It does the same for e-mailed sign-in and confirmation links.

The package holds the tray application (tessary), the mail backend that reads
the inboxes over IMAP (tessary-backend, which the application also runs inside
itself) with a systemd user unit to host it alone, and tessary-inspect, a
command-line window onto every piece for bug reports.")

include(CPack)
