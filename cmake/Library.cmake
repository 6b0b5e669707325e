# The serial component as a library for other programs: a shared library with a versioned SONAME
# and the static one, made from the same objects as the in-tree static libraries (no second
# compile), the public headers under include/q4471/, a CMake package (find_package(Q4471Serial))
# and pkg-config files. The in-tree programs keep linking the static in-tree libraries.
#
# Install components, which Install.cmake turns into Debian packages: "runtime" (the component's
# shared library), "runtime_qt" (the Qt display's and binding's, apart so that a program without
# Qt does not pull Qt in), "dev" (headers, static libraries, the SONAME links, CMake and
# pkg-config files).

include(GNUInstallDirs)

set(Q4471_SOVERSION 1)
set(Q4471_INCLUDE_DIR ${CMAKE_INSTALL_INCLUDEDIR}/q4471)
set(Q4471_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Q4471Serial)

# Everything a user includes; every other header is internal (see serial/README.md).
set(Q4471_PUBLIC_HEADERS
  framework/Application.h
  framework/Components.h
  framework/Exception.h
  framework/Export.h
  framework/Locks.h
  framework/Thread.h
  framework/plain/PlainFramework.h
  serial/CommCodes.h
  serial/CommRecords.h
  serial/DeviceNames.h
  serial/LinuxFileDescriptor.h
  serial/OwnedHandle.h
  serial/SerialPortWatcher.h
  serial/SerialPorts.h
  serial/SignalHandle.h
  serial/SystemErrors.h
  serial/VaClasses.h
  serial/VaComm.h
  serial/VaCommClients.h
  serial/VaDisplay.h
  serial/VaObjects.h
  serial/VaPrst.h
  serial/VaTypes.h
  serial/Vaconst.h
  serial/Vautils.h)
set(Q4471_PUBLIC_QT_HEADERS
  framework/qt/QtFramework.h
  serial/display/VaColor.h
  serial/display/VaControls.h
  serial/display/VaLEDDisplay.h)

# The same list for tools/check-reference.sh, which documents exactly what is installed.
list(JOIN Q4471_PUBLIC_HEADERS "\n" public_list)
list(JOIN Q4471_PUBLIC_QT_HEADERS "\n" public_qt_list)
file(WRITE ${CMAKE_BINARY_DIR}/public-headers.txt "${public_list}\n${public_qt_list}\n")

# One installed library in its two kinds from the objects of in-tree static libraries.
#   q4471_library(<name> <export name> <file name> OBJECTS <targets> LINK <interface libraries>)
function(q4471_library name export_name file_name)
  cmake_parse_arguments(arg "" "" "OBJECTS;LINK" ${ARGN})
  set(objects)
  foreach(target IN LISTS arg_OBJECTS)
    list(APPEND objects $<TARGET_OBJECTS:${target}>)
    # Only what framework/Export.h marks is exported: that is the libraries' ABI.
    set_target_properties(${target} PROPERTIES
      CXX_VISIBILITY_PRESET hidden VISIBILITY_INLINES_HIDDEN ON)
  endforeach()
  add_library(${name} SHARED ${objects})
  add_library(${name}_static STATIC ${objects})
  set_target_properties(${name} PROPERTIES
    OUTPUT_NAME ${file_name} EXPORT_NAME ${export_name}
    VERSION ${PROJECT_VERSION}.0 SOVERSION ${Q4471_SOVERSION})
  set_target_properties(${name}_static PROPERTIES
    OUTPUT_NAME ${file_name} EXPORT_NAME ${export_name}Static)
  foreach(kind ${name} ${name}_static)
    target_include_directories(${kind} INTERFACE $<INSTALL_INTERFACE:${Q4471_INCLUDE_DIR}>)
  endforeach()
  target_link_libraries(${name} PUBLIC ${arg_LINK})
  set(static_links)
  foreach(link IN LISTS arg_LINK)
    if(TARGET ${link}_static)
      list(APPEND static_links ${link}_static)
    else()
      list(APPEND static_links ${link})
    endif()
  endforeach()
  target_link_libraries(${name}_static INTERFACE ${static_links})
  # A symbol that the shared library uses but nothing defines fails its link, not a user's.
  target_link_options(${name} PRIVATE LINKER:--no-undefined)
endfunction()

q4471_library(q4471_serial_lib Serial q4471-serial
  OBJECTS q4471_framework q4471_serial_platform q4471_serial
  LINK Threads::Threads)
set(Q4471_LIBRARIES q4471_serial_lib)
set(Q4471_QT_LIBRARIES)
if(Q4471_WITH_GUI)
  q4471_library(q4471_serial_display_lib SerialDisplay q4471-serial-display
    OBJECTS q4471_serial_display LINK q4471_serial_lib Qt6::Widgets)
  q4471_library(q4471_framework_qt_lib FrameworkQt q4471-framework-qt
    OBJECTS q4471_framework_qt LINK q4471_serial_lib Qt6::Widgets)
  set(Q4471_QT_LIBRARIES q4471_serial_display_lib q4471_framework_qt_lib)
endif()

foreach(header IN LISTS Q4471_PUBLIC_HEADERS Q4471_PUBLIC_QT_HEADERS)
  get_filename_component(folder ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${header} DESTINATION ${Q4471_INCLUDE_DIR}/${folder}
          COMPONENT dev)
endforeach()

# The Qt libraries go in an export set of their own, so that a program without Qt finds the
# package without Qt installed.
function(q4471_install_libraries export component)
  set(all)
  foreach(library IN LISTS ARGN)
    list(APPEND all ${library} ${library}_static)
  endforeach()
  install(TARGETS ${all} EXPORT ${export}
    # Shared libraries are not programs: 0644, as Debian's policy asks.
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component} NAMELINK_COMPONENT dev
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  install(EXPORT ${export} NAMESPACE Q4471:: DESTINATION ${Q4471_CMAKE_DIR} COMPONENT dev)
endfunction()
q4471_install_libraries(Q4471SerialTargets runtime ${Q4471_LIBRARIES})
if(Q4471_QT_LIBRARIES)
  q4471_install_libraries(Q4471SerialQtTargets runtime_qt ${Q4471_QT_LIBRARIES})
endif()

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/Q4471SerialConfig.cmake.in
  ${CMAKE_BINARY_DIR}/library/Q4471SerialConfig.cmake INSTALL_DESTINATION ${Q4471_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/library/Q4471SerialConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/library/Q4471SerialConfig.cmake
              ${CMAKE_BINARY_DIR}/library/Q4471SerialConfigVersion.cmake
        DESTINATION ${Q4471_CMAKE_DIR} COMPONENT dev)

# pkg-config files find their prefix from where they are installed, so a staged install works.
file(RELATIVE_PATH Q4471_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
foreach(pc q4471-serial q4471-serial-display)
  if(pc STREQUAL q4471-serial-display AND NOT Q4471_QT_LIBRARIES)
    continue()
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_BINARY_DIR}/library/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/library/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endforeach()
