# What `cmake --install` puts in place, and the Debian packages CPack makes of it: q4471-editor
# with the three programs, the editor's desktop integration and a man page for each program;
# beside it the component (cmake/Library.cmake) as libq4471-serial2 and libq4471-serial-dev
# (without Qt), libq4471-serial-qt2 and libq4471-serial-qt-dev (the display and the Qt binding),
# and libq4471-serial-doc. Tests and benchmarks stay in the build tree.
#
# A build configured for the library alone (-DQ4471_INSTALL_PROGRAMS=OFF) leaves the programs
# out of a plain `cmake --install` (their rules become EXCLUDE_FROM_ALL; `--component editor` and
# the package still have them): an option, so that a plain install of a default build still
# gives the editor as the README says. The documentation is always left out of a plain install,
# because its reference needs Doxygen; `--component doc` and the package have it.
#
# The editor links the component statically rather than depending on libq4471-serial2: the
# library's interface is C++ classes whose private members sit in the installed headers, so any
# change inside the component changes its ABI, and an editor built from the same sources as its
# own copy of the component cannot be broken by a library package of another version.
option(Q4471_INSTALL_PROGRAMS "Install the editor, the simulated radio and the line monitor" ON)

# Folders the install creates get the usual mode whatever the umask of whoever builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(Q4471_DOC_PACKAGE libq4471-serial-doc)
set(Q4471_DOC_DIR ${CMAKE_INSTALL_DATADIR}/doc/${Q4471_DOC_PACKAGE})
set(doc COMPONENT doc EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/docs/component/README.md DESTINATION ${Q4471_DOC_DIR} ${doc})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${Q4471_DOC_DIR}/examples ${doc})
# The HTML reference as tools/check-reference.sh makes it, warnings being errors; the install of
# the documentation fails while it has not been built.
find_program(Q4471_BASH bash REQUIRED)
add_custom_target(q4471_reference
  COMMAND ${Q4471_BASH} tools/check-reference.sh ${CMAKE_BINARY_DIR} ${CMAKE_BINARY_DIR}/reference
  WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
  VERBATIM)
install(DIRECTORY ${CMAKE_BINARY_DIR}/reference/html DESTINATION ${Q4471_DOC_DIR} ${doc})
# Registered with doc-base, so that documentation browsers list the reference.
install(FILES ${PROJECT_SOURCE_DIR}/app/debian/${Q4471_DOC_PACKAGE}.doc-base
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc-base RENAME ${Q4471_DOC_PACKAGE} ${doc})

if(NOT Q4471_WITH_GUI)
  return() # without the editor and the Qt libraries there is nothing to package
endif()

set(Q4471_APP_ID org.q4471.MemoriesEditor)
set(Q4471_PACKAGE_NAME q4471-editor)
set(Q4471_PROGRAMS q4471-editor q4471-radio-sim q4471-line-monitor)
set(Q4471_DESKTOP_DIR ${PROJECT_SOURCE_DIR}/app/desktop)

set(editor COMPONENT editor)
if(NOT Q4471_INSTALL_PROGRAMS)
  list(APPEND editor EXCLUDE_FROM_ALL)
endif()

install(TARGETS ${Q4471_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} ${editor})

install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications ${editor})
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo ${editor})
install(FILES ${Q4471_DESKTOP_DIR}/${Q4471_APP_ID}.mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME ${Q4471_APP_ID}.xml ${editor})
install(FILES ${PROJECT_SOURCE_DIR}/app/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${Q4471_APP_ID}.svg ${editor})

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
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 ${editor})
  list(APPEND compressed ${page})
endforeach()
set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.Debian.gz)
q4471_gzipped(${PROJECT_SOURCE_DIR}/app/debian/changelog ${changelog})
add_custom_target(q4471_compressed_docs ALL DEPENDS ${compressed} ${changelog})
# Every package carries the copyright, the changelog and the overrides of the lintian tags it
# explains: app/debian/lintian-overrides.in for all, app/debian/<package>.lintian-overrides for
# its own.
set(Q4471_LIBRARY_PACKAGE libq4471-serial${Q4471_SOVERSION})
set(Q4471_QT_LIBRARY_PACKAGE libq4471-serial-qt${Q4471_SOVERSION})
set(Q4471_DEV_PACKAGE libq4471-serial-dev)
set(Q4471_QT_DEV_PACKAGE libq4471-serial-qt-dev)
foreach(pair editor:${Q4471_PACKAGE_NAME} runtime:${Q4471_LIBRARY_PACKAGE}
             runtime_qt:${Q4471_QT_LIBRARY_PACKAGE} dev:${Q4471_DEV_PACKAGE}
             dev_qt:${Q4471_QT_DEV_PACKAGE} doc:${Q4471_DOC_PACKAGE})
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 component)
  list(GET pair 1 package)
  set(rule COMPONENT ${component})
  if(component MATCHES "^(editor|doc)$")
    set(rule ${${component}})
  endif()
  install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/app/debian/copyright
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${package} ${rule})
  set(overrides ${CMAKE_BINARY_DIR}/lintian/${package})
  configure_file(${PROJECT_SOURCE_DIR}/app/debian/lintian-overrides.in ${overrides} @ONLY)
  set(own ${PROJECT_SOURCE_DIR}/app/debian/${package}.lintian-overrides)
  if(EXISTS ${own})
    file(READ ${own} text)
    file(APPEND ${overrides} "${text}")
  endif()
  install(FILES ${overrides} DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides ${rule})
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
set(CPACK_COMPONENTS_ALL editor runtime runtime_qt dev dev_qt doc)
set(CPACK_DEBIAN_EDITOR_PACKAGE_NAME ${Q4471_PACKAGE_NAME})
# Qt loads the plugin that draws the SVG window icon at run time: dpkg-shlibdeps cannot see it.
set(CPACK_DEBIAN_EDITOR_PACKAGE_DEPENDS libqt6svg6)

# What the component's packages say first; each adds what it holds.
set(Q4471_COMPONENT_DESCRIPTION
  "An asynchronous serial port for C++ programs: opens and configures a device,"
  "reads and writes directly or through a transmit queue, and reports received"
  "data, modem-line changes and line errors to handlers and clients."
  "")
# One component's package: name, section, Multi-Arch, synopsis and description.
#   q4471_component_package(<COMPONENT> <package> <section> <multi-arch> <synopsis> <line>...)
macro(q4471_component_package component package section multiarch synopsis)
  set(CPACK_DEBIAN_${component}_PACKAGE_NAME ${package})
  set(CPACK_DEBIAN_${component}_PACKAGE_SECTION ${section})
  set(CPACK_DEBIAN_${component}_PACKAGE_MULTIARCH ${multiarch})
  string(JOIN "\n" CPACK_COMPONENT_${component}_DESCRIPTION
    "asynchronous serial-port component (${synopsis})" ${Q4471_COMPONENT_DESCRIPTION} ${ARGN})
endmacro()

# The shlibs file for the packages that link the libraries, and ldconfig run once per dpkg run.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY "=")
file(WRITE ${CMAKE_BINARY_DIR}/debian/triggers "activate-noawait ldconfig\n")
q4471_component_package(RUNTIME ${Q4471_LIBRARY_PACKAGE} libs same "shared libraries"
  "This package holds the shared library of the component with its framework.")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)

q4471_component_package(RUNTIME_QT ${Q4471_QT_LIBRARY_PACKAGE} libs same "Qt display and binding"
  "This package holds the shared libraries of the Qt line-status display and of"
  "the binding that runs the component's events in Qt's event loop.")
set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/triggers)
# dpkg-shlibdeps looks for the component's library in the build tree, where it has no shlibs file:
# the dependency on its package is named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR})
set(CPACK_DEBIAN_RUNTIME_QT_PACKAGE_DEPENDS "${Q4471_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION})")

# A console program's development files, without Qt; the Qt ones in a package of their own.
q4471_component_package(DEV ${Q4471_DEV_PACKAGE} libdevel same "development files"
  "This package holds what a program without Qt needs: the headers of the port"
  "and of its plain framework binding, the static library, the CMake package"
  "Q4471Serial and the pkg-config file q4471-serial.")
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${Q4471_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION})")
set(CPACK_DEBIAN_DEV_PACKAGE_SUGGESTS ${Q4471_DOC_PACKAGE})

q4471_component_package(DEV_QT ${Q4471_QT_DEV_PACKAGE} libdevel same "Qt development files"
  "This package holds the headers and static libraries of the Qt line-status"
  "display and of the Qt framework binding, their targets of the CMake package"
  "Q4471Serial (component Qt) and the pkg-config file q4471-serial-display.")
# The CMake package and the pkg-config file find Qt 6 Widgets, which qt6-base-dev installs.
set(CPACK_DEBIAN_DEV_QT_PACKAGE_DEPENDS "${Q4471_DEV_PACKAGE} (= ${Q4471_DEB_VERSION}), \
${Q4471_QT_LIBRARY_PACKAGE} (= ${Q4471_DEB_VERSION}), qt6-base-dev")

q4471_component_package(DOC ${Q4471_DOC_PACKAGE} doc foreign "documentation"
  "This package holds the HTML reference of the public headers, the guide for"
  "programmers and the example programs with their CMake project.")
set(CPACK_DEBIAN_DOC_PACKAGE_ARCHITECTURE all)

foreach(component DEV DEV_QT DOC)
  set(CPACK_DEBIAN_${component}_PACKAGE_SHLIBDEPS OFF)
endforeach()
include(CPack)
