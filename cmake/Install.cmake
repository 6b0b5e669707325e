# What `cmake --install` puts in place, and the Debian packages CPack makes of it: q4471-editor
# with the three programs, the editor's desktop integration and a man page for each program;
# beside it the component's libraries (cmake/Library.cmake) as libq4471-serial1 and
# libq4471-serial-dev. Tests and benchmarks stay in the build tree.
#
# The editor links the component statically rather than depending on libq4471-serial1: the
# library's interface is C++ classes whose private members sit in the installed headers, so any
# change inside the component changes its ABI, and an editor built from the same sources as its
# own copy of the component cannot be broken by a library package of another version.
if(NOT Q4471_WITH_GUI)
  return() # without the editor there is nothing to package
endif()

include(GNUInstallDirs)

set(Q4471_APP_ID org.q4471.MemoriesEditor)
set(Q4471_PACKAGE_NAME q4471-editor)
set(Q4471_PROGRAMS q4471-editor q4471-radio-sim q4471-line-monitor)
set(Q4471_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/app/desktop)


# Folders the install creates get the usual mode whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS ${Q4471_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT editor)

install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT editor)
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo COMPONENT editor)
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${Q4471_APP_ID}.xml COMPONENT editor)
install(FILES ${PROJECT_SOURCE_DIR}/app/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${Q4471_APP_ID}.svg COMPONENT editor)

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
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT editor)
  list(APPEND compressed ${page})
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
q4471_gzipped(${PROJECT_SOURCE_DIR}/app/debian/changelog ${changelog})
add_custom_target(q4471_compressed_docs ALL DEPENDS ${compressed} ${changelog})
# Every package carries the copyright, the changelog and the override of the one lintian tag
# that only an upload to Debian could answer.
set(Q4471_LIBRARY_PACKAGE libq4471-serial${Q4471_SOVERSION})
set(Q4471_QT_LIBRARY_PACKAGE libq4471-serial-qt${Q4471_SOVERSION})
set(Q4471_DEV_PACKAGE libq4471-serial-dev)
foreach(pair editor:${Q4471_PACKAGE_NAME} runtime:${Q4471_LIBRARY_PACKAGE}
             runtime_qt:${Q4471_QT_LIBRARY_PACKAGE} dev:${Q4471_DEV_PACKAGE})
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/app/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} COMPONENT ${component})
  configure_file(${PROJECT_SOURCE_DIR}/app/debian/lintian-overrides.in
                 ${CMAKE_BINARY_DIR}/lintian/${package} @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/lintian/${package}
          DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${Q4471_PACKAGE_NAME})
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Q4471 Memories Editor developers")
set(CPACK_PACKAGE_CONTACT "The Q4471 Memories Editor developers <q4471-editor@example.org>")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
# Each package's synopsis, then lines of at most 80 characters, as dpkg shows them unwrapped.
string(JOIN "\n" CPACK_COMPONENT_EDITOR_DESCRIPTION
  "editor for the user memories of a Q4471 radio"
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

set(Q4471_DEB_VERSION ${PROJECT_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL editor runtime runtime_qt dev)
set(CPACK_DEBIAN_EDITOR_PACKAGE_NAME ${Q4471_PACKAGE_NAME})
# Qt loads the plugin that draws the SVG window icon at run time: dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_EDITOR_PACKAGE_DEPENDS libqt6svg6)

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${Q4471_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# The shlibs file for the packages that link the libraries, and ldconfig run once per dpkg run.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)
set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)
string(JOIN "\n" CPACK_COMPONENT_RUNTIME_DESCRIPTION
  "asynchronous serial-port component (shared libraries)"
  "An asynchronous serial port for C++ programs: opens and configures a device,"
  "reads and writes directly or through a transmit queue, and reports received"
  "data, modem-line changes and line errors to handlers and clients."
  ""
  "This package holds the shared library of the component with its framework.")

set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_NAME ${Q4471_QT_LIBRARY_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_SECTION libs)
# dpkg-shlibdeps looks for the component's library in the build tree, where it has no shlibs file:
# the dependency on its package is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_DEPENDS "${Q4471_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION})")
string(JOIN "\n" CPACK_COMPONENT_RUNTIME_QT_DESCRIPTION
  "asynchronous serial-port component (Qt display and binding)"
  "An asynchronous serial port for C++ programs: opens and configures a device,"
  "reads and writes directly or through a transmit queue, and reports received"
  "data, modem-line changes and line errors to handlers and clients."
  ""
  "This package holds the shared libraries of the Qt line-status display and of"
  "the binding that runs the component's events in Qt's event loop.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${Q4471_DEV_PACKAGE})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${Q4471_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION}), \
${Q4471_QT_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_SHLIBDEPS OFF)
set(CPACK_DEBIAN_DEV_PACKAGE_ARCHITECTURE amd64)
string(JOIN "\n" CPACK_COMPONENT_DEV_DESCRIPTION
  "asynchronous serial-port component (development files)"
  "An asynchronous serial port for C++ programs: opens and configures a device,"
  "reads and writes directly or through a transmit queue, and reports received"
  "data, modem-line changes and line errors to handlers and clients."
  ""
  "This package holds the headers, the static libraries, the CMake package"
  "Q4471Serial and the pkg-config files q4471-serial and q4471-serial-display.")
include(CPack)
