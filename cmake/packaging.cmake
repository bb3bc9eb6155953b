# The Debian package: `cpack -G DEB` in the build folder gives zxkit_<version>_<arch>.deb with
# what `cmake --install` installs, under /usr. Its dependencies come from the programs
# themselves (dpkg-shlibdeps), so burstmap brings in SDL2's runtime library.
set(CPACK_PACKAGE_NAME zxkit)
set(CPACK_PACKAGE_VENDOR "zxkit")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "tools that prepare ZX Spectrum screens, TAP and SCL images")
set(CPACK_PACKAGE_DESCRIPTION
    "Four small tools that prepare data for the ZX Spectrum:\n\
burstmap orders the 768 screen cells by a radial particle burst;\n\
cellweave regroups a screen file by character columns;\n\
blockbind joins files into a TAP tape image;\n\
sumseal checks and repairs the checksum trailer of an SCL disk image.")
set(CPACK_PACKAGE_CONTACT "zxkit maintainers <maintainers@zxkit.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
