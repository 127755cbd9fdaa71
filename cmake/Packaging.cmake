# What a Debian package needs beyond the program's own install rules: a manual page, the
# copyright file in Debian's form, a changelog, and the CPack settings behind `make package`.

# Debian wants manual pages and changelogs compressed, and without a time stamp (-n) so the same
# sources give the same package. Made at configure time so `cmake --install` needs only the
# program built; the edits that change them re-run the configure step.
configure_file(data/tessel.1.in tessel.1 @ONLY)
configure_file(data/changelog.in changelog @ONLY)
configure_file(data/copyright.in copyright @ONLY)
foreach(doc tessel.1 changelog)
  execute_process(COMMAND gzip -9nc ${doc} OUTPUT_FILE ${doc}.gz
                  WORKING_DIRECTORY ${PROJECT_BINARY_DIR} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
install(FILES ${PROJECT_BINARY_DIR}/tessel.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${PROJECT_BINARY_DIR}/copyright ${PROJECT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The package holds only the program and its files: cpack need not build the tests first.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Tessel developers <${TESSEL_CONTACT}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Wrapped by hand: dpkg shows these lines as they are.
set(CPACK_PACKAGE_DESCRIPTION [[
Tessel shows the fifty-sounds chart of the Japanese kana in one window,
hiragana above and katakana below. Click a kana to hear it at once; a row
marker and a column marker point at it. An auto-read button recites the
48 hiragana, one a second. The captions are in Simplified Chinese.
The chart, pictures and recordings are built into the program: it needs
no data files, settings or network.]])
# A placeholder until the project has a public home: example.org is reserved for examples.
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://tessel.example.org/")
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Libraries come from the binary (the caption font is built in, so no font is needed); what it
# only opens at run time cannot be seen there. The audio libraries are opened by the program
# itself (sound/audio_libraries.h), at the versions the build's libraries give for the calls it
# makes. Recommended only: Qt's Wayland platform, for Wayland desktops, and libpipewire, which every
# desktop whose sound server is PipeWire has, and without which the program plays through the
# server's PulseAudio layer.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libpulse0 (>= 16.1+dfsg1), libsdl2-2.0-0 (>= 2.0.12)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libpipewire-0.3-0 (>= ${TESSEL_PIPEWIRE_MINIMUM})")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The hardening Debian builds its own packages with (dpkg-buildflags): checked string and memory
# calls, a guard on the stack of functions with arrays, and a table of library addresses made
# read-only once loaded. Fortification not for Debug builds, where it needs the optimiser they
# turn off.
target_compile_definitions(tessel_core PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
target_compile_definitions(tessel PRIVATE $<$<NOT:$<CONFIG:Debug>>:_FORTIFY_SOURCE=2>)
target_compile_options(tessel_core PRIVATE -fstack-protector-strong)
target_compile_options(tessel PRIVATE -fstack-protector-strong)
target_link_options(tessel PRIVATE LINKER:-z,relro,-z,now)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/StripPackage.cmake)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
