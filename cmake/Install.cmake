# What `cmake --install` puts in place, and the Debian package CPack makes of it: the three
# programs, the editor's desktop integration and a man page for each program. Tests, benchmarks
# and the static libraries stay in the build tree.
if(NOT Q4471_WITH_GUI)
  return() # without the editor there is nothing to package
endif()

include(GNUInstallDirs)

set(Q4471_APP_ID org.q4471.MemoriesEditor)
set(Q4471_PACKAGE_NAME q4471-editor)
set(Q4471_PROGRAMS q4471-editor q4471-radio-sim q4471-line-monitor)
set(Q4471_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/app/desktop)
set(Q4471_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${Q4471_PACKAGE_NAME})

# Folders the install creates get the usual mode whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS ${Q4471_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${Q4471_APP_ID}.xml)
install(FILES ${PROJECT_SOURCE_DIR}/app/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${Q4471_APP_ID}.svg)

# Man pages and the Debian changelog are installed compressed, without gzip's time stamp, so
# that the same sources give the same package.
find_program(Q4471_GZIP gzip REQUIRED)
function(q4471_gzipped source output)
  get_filename_component(name ${output} NAME_WLE)
  get_filename_component(folder ${output} DIRECTORY)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
    COMMAND ${CMAKE_COMMAND} -E copy ${source} ${folder}/${name}
    COMMAND ${Q4471_GZIP} -9 -n -f ${folder}/${name}
    DEPENDS ${source}
    VERBATIM)
endfunction()

set(compressed)
foreach(program IN LISTS Q4471_PROGRAMS)
  set(page ${CMAKE_BINARY_DIR}/man/${program}.1.gz)
  q4471_gzipped(${PROJECT_SOURCE_DIR}/docs/man/${program}.1 ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  list(APPEND compressed ${page})
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
q4471_gzipped(${PROJECT_SOURCE_DIR}/app/debian/changelog ${changelog})
add_custom_target(q4471_compressed_docs ALL DEPENDS ${compressed} ${changelog})
install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/app/debian/copyright
        DESTINATION ${Q4471_DOC_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/app/debian/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${Q4471_PACKAGE_NAME})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${Q4471_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Q4471 Memories Editor developers")
set(CPACK_PACKAGE_CONTACT "The Q4471 Memories Editor developers <q4471-editor@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "editor for the user memories of a Q4471 radio")
# Lines of at most 80 characters, as dpkg shows them unwrapped.
string(JOIN "\n" CPACK_PACKAGE_DESCRIPTION
  "Edits the 100 user memories of a Q4471 radio in one window: label, transmit"
  "and receive frequency, sub-audible mode (off, CTCSS or DCS) and code of each"
  "memory. Loads them from the radio and sends them to it over an RS-232 line,"
  "and saves them to and loads them from .mem text files."
  ""
  "Also holds q4471-radio-sim, a simulated radio on a pseudo-terminal, and"
  "q4471-line-monitor, which shows and drives the traffic of a serial line.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION hamradio)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt loads the plugin that draws the SVG window icon at run time: dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS libqt6svg6)
include(CPack)
