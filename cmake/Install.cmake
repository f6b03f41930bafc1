# Installing Ratemark.
#
#   cmake --install BUILD --prefix PREFIX
#       the system layout: programs in bin, the low-level libraries in lib/<arch>/ratemark, the
#       manuals in share/ratemark, desktop entry, icons and AppStream metainfo in their system
#       folders. The Debian package (cpack -G DEB) is this layout under /usr.
#   cmake --install BUILD --component portable --prefix FOLDER
#       the portable folder: programs, libraries, manuals and icon side by side, registering
#       for removal at the first start and removed by `ratemark /UNINST`.
#
# The programs find their libraries and manuals relative to themselves in both layouts.
include(GNUInstallDirs)

set(RATEMARK_APPSTREAM_ID "example.zelqo.Ratemark")
# The product's web page; empty until the project has a public one, and Help > Web site then
# opens the installed manual instead.
set(RATEMARK_HOMEPAGE "" CACHE STRING "The product's web page (empty: none yet)")
target_compile_definitions(ratemark_shell PRIVATE RATEMARK_HOMEPAGE="${RATEMARK_HOMEPAGE}")
if(RATEMARK_HOMEPAGE)
    set(RATEMARK_APPSTREAM_URL "  <url type=\"homepage\">${RATEMARK_HOMEPAGE}</url>")
    endif()
set(ratemark_libdir ${CMAKE_INSTALL_LIBDIR}/ratemark)
set(ratemark_datadir ${CMAKE_INSTALL_DATADIR}/ratemark)
file(RELATIVE_PATH ratemark_lib_from_bin /p/${CMAKE_INSTALL_BINDIR} /p/${ratemark_libdir})
file(RELATIVE_PATH ratemark_data_from_bin /p/${CMAKE_INSTALL_BINDIR} /p/${ratemark_datadir})
# Where the programs look for their low-level libraries in the system layout: the loader's
# search from a RUNPATH does not apply where a sanitizer's dlopen stands between the program and
# the loader, so the program looks there itself.
target_compile_definitions(ratemark_platform PRIVATE
    RATEMARK_LIB_FROM_BINDIR="${ratemark_lib_from_bin}")
# Where the programs look for their manuals in the system layout.
target_compile_definitions(ratemark_shell PRIVATE
    RATEMARK_DATA_FROM_BINDIR="${ratemark_data_from_bin}")

# The programs: beside their libraries (portable), or in bin with the libraries in their own
# folder (system); the dynamic loader and the program's own library search use this path.
set(ratemark_programs ratemark-cli)
if(TARGET ratemark)
    list(APPEND ratemark_programs ratemark)
endif()
set_target_properties(${ratemark_programs} PROPERTIES
    INSTALL_RPATH "$ORIGIN:$ORIGIN/${ratemark_lib_from_bin}")

# The system layout.
install(TARGETS ${ratemark_programs} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT system)
install(TARGETS Rawio32v2 Rawio16v2 LIBRARY DESTINATION ${ratemark_libdir} NAMELINK_SKIP
        COMPONENT system)
install(FILES ${RATEMARK_HELP_BOOKS} DESTINATION ${ratemark_datadir} COMPONENT system)
foreach(size 48 64 128 256)
    install(FILES ${RATEMARK_ARTWORK_DIR}/ratemark-${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME ratemark.png COMPONENT system)
endforeach()
if(TARGET ratemark)
    set(RATEMARK_APPSTREAM_TYPE desktop-application)
    set(RATEMARK_APPSTREAM_PROVIDES
        "    <binary>ratemark</binary>\n    <binary>ratemark-cli</binary>")
    set(RATEMARK_APPSTREAM_LAUNCHABLE
        "  <launchable type=\"desktop-id\">${RATEMARK_APPSTREAM_ID}.desktop</launchable>")
    configure_file(${PROJECT_SOURCE_DIR}/resources/linux/ratemark.desktop.in
                   ${CMAKE_BINARY_DIR}/linux/${RATEMARK_APPSTREAM_ID}.desktop COPYONLY)
    install(FILES ${CMAKE_BINARY_DIR}/linux/${RATEMARK_APPSTREAM_ID}.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT system)
else()
    set(RATEMARK_APPSTREAM_TYPE console-application)
    set(RATEMARK_APPSTREAM_PROVIDES "    <binary>ratemark-cli</binary>")
    set(RATEMARK_APPSTREAM_LAUNCHABLE "")
endif()
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/metainfo.xml.in
               ${CMAKE_BINARY_DIR}/linux/${RATEMARK_APPSTREAM_ID}.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/linux/${RATEMARK_APPSTREAM_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT system)
configure_file(${PROJECT_SOURCE_DIR}/resources/linux/copyright
               ${CMAKE_BINARY_DIR}/linux/copyright COPYONLY)
install(FILES ${CMAKE_BINARY_DIR}/linux/copyright
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ratemark COMPONENT system)

# The portable folder: only when asked for by its component.
install(TARGETS ${ratemark_programs} RUNTIME DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(TARGETS Rawio32v2 Rawio16v2 LIBRARY DESTINATION . NAMELINK_SKIP
        COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${RATEMARK_HELP_BOOKS} DESTINATION . COMPONENT portable EXCLUDE_FROM_ALL)
install(FILES ${RATEMARK_ARTWORK_DIR}/ratemark-256.png DESTINATION . RENAME ratemark.png
        COMPONENT portable EXCLUDE_FROM_ALL)

# The Debian package: the system layout under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ratemark)
set(CPACK_PACKAGE_VENDOR Zelqo)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Zelqo <support@zelqo.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "hard disk speed analyser that never writes to a drive")
set(CPACK_PACKAGE_DESCRIPTION
    "Ratemark reads a drive directly, below every partition and file system, and draws its\n"
    "read speed for every cylinder over the drive's partitions, with maximum, minimum and\n"
    "average speed, random access time and read burst speed. The console program\n"
    "ratemark-cli runs the same tests on servers and in scripts.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_COMPONENTS_ALL system)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/cli)
# Ordinary users reach their drives through udisks2 and polkit.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udisks2, polkitd")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "smartmontools")
include(CPack)
