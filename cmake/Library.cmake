# The serial component as a library for other programs: a shared library with a versioned SONAME
# and the static one, made from the same objects as the in-tree static libraries (no second
# compile), the public headers under include/q4471/ (a program includes <q4471/serial/VaComm.h>),
# a CMake package (find_package(Q4471Serial)) and pkg-config files, all of them in the multiarch
# library folder where the system has one. The in-tree programs keep linking the static in-tree
# libraries.
#
# Install components, which Install.cmake turns into Debian packages: "runtime" (the component's
# shared library), "runtime_qt" (the Qt display's and binding's, apart so that a program without
# Qt does not pull Qt in), "dev" (what a console program needs: the component's and the plain
# framework's headers, its static library, the SONAME link, the CMake package and
# q4471-serial.pc), "dev_qt" (the same for the display and the Qt binding), "doc" (the guide, the
# examples and, once tools/check-reference.sh has built it, the HTML reference).

include(GNUInstallDirs)

# The SONAME's number: raised with every change that breaks programs built against the libraries
# (tools/check-abi.sh tells). 2: the error kinds changed EVaCommError's layout; 3: the framework's
# names moved into the namespace q4471.
set(Q4471_SOVERSION 3)
# The libraries' own version, apart from the editor's: its major number is the SONAME's, so that
# find_package(Q4471Serial 3) finds exactly the libraries that programs built for 3 can run with.
set(Q4471_LIBRARY_VERSION ${Q4471_SOVERSION}.0.0)
set(Q4471_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Q4471Serial)

# Everything a user includes, as the libraries declare it (q4471_public_headers); every other
# header is internal (see serial/README.md). The Qt ones go with the Qt libraries' components.
get_property(installed_headers GLOBAL PROPERTY Q4471_INSTALLED_HEADERS)
list(SORT installed_headers)
set(Q4471_PUBLIC_HEADERS ${installed_headers})
list(FILTER Q4471_PUBLIC_HEADERS EXCLUDE REGEX "^(serial/display|framework/qt)/")
set(Q4471_PUBLIC_QT_HEADERS ${installed_headers})
list(FILTER Q4471_PUBLIC_QT_HEADERS INCLUDE REGEX "^(serial/display|framework/qt)/")

# The same list for tools/check-reference.sh, which documents exactly what is installed.
list(JOIN installed_headers "\n" public_list)
file(WRITE ${CMAKE_BINARY_DIR}/public-headers.txt "${public_list}\n")

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
    VERSION ${Q4471_LIBRARY_VERSION} SOVERSION ${Q4471_SOVERSION})
  set_target_properties(${name}_static PROPERTIES
    OUTPUT_NAME ${file_name} EXPORT_NAME ${export_name}Static)
  foreach(kind ${name} ${name}_static)
    target_include_directories(${kind} INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
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

function(q4471_install_headers component)
  foreach(header IN LISTS ARGN)
    get_filename_component(folder ${header} DIRECTORY)
    install(FILES ${PROJECT_SOURCE_DIR}/${header}
            DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/q4471/${folder} COMPONENT ${component})
  endforeach()
endfunction()
q4471_install_headers(dev ${Q4471_PUBLIC_HEADERS})
if(Q4471_QT_LIBRARIES)
  q4471_install_headers(dev_qt ${Q4471_PUBLIC_QT_HEADERS})
endif()

# The Qt libraries go in an export set of their own, so that a program without Qt finds the
# package without Qt installed.
#   q4471_install_libraries(<export set> <runtime component> <development component> <library>...)
function(q4471_install_libraries export component dev_component)
  set(all)
  foreach(library IN LISTS ARGN)
    list(APPEND all ${library} ${library}_static)
  endforeach()
  install(TARGETS ${all} EXPORT ${export}
    # Shared libraries are not programs: 0644, as Debian's policy asks.
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${component}
      NAMELINK_COMPONENT ${dev_component}
      PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT ${dev_component})
  install(EXPORT ${export} NAMESPACE Q4471:: DESTINATION ${Q4471_CMAKE_DIR}
          COMPONENT ${dev_component})
endfunction()
q4471_install_libraries(Q4471SerialTargets runtime dev ${Q4471_LIBRARIES})
if(Q4471_QT_LIBRARIES)
  q4471_install_libraries(Q4471SerialQtTargets runtime_qt dev_qt ${Q4471_QT_LIBRARIES})
endif()

include(CMakePackageConfigHelpers)
configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/Q4471SerialConfig.cmake.in
  ${CMAKE_BINARY_DIR}/library/Q4471SerialConfig.cmake INSTALL_DESTINATION ${Q4471_CMAKE_DIR})
write_basic_package_version_file(${CMAKE_BINARY_DIR}/library/Q4471SerialConfigVersion.cmake
  VERSION ${Q4471_LIBRARY_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_BINARY_DIR}/library/Q4471SerialConfig.cmake
              ${CMAKE_BINARY_DIR}/library/Q4471SerialConfigVersion.cmake
        DESTINATION ${Q4471_CMAKE_DIR} COMPONENT dev)

# pkg-config files find their prefix from where they are installed, so a staged install works.
file(RELATIVE_PATH Q4471_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
foreach(pair q4471-serial:dev q4471-serial-display:dev_qt)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 pc)
  list(GET pair 1 component)
  if(component STREQUAL dev_qt AND NOT Q4471_QT_LIBRARIES)
    continue()
  endif()
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${pc}.pc.in ${CMAKE_BINARY_DIR}/library/${pc}.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/library/${pc}.pc
          DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT ${component})
endforeach()

# Probes of the layers for tools/check-library.sh, outside the default build: a program linking
# the component compiles with its public headers, and fails to with each internal one or with a
# path from the source root.
#   q4471_layer_probe(<name> <include line>)
function(q4471_layer_probe name include)
  set(source ${CMAKE_BINARY_DIR}/layer-probes/${name}.cpp)
  file(WRITE ${source} "${include}\nint main() { return 0; }\n")
  add_executable(q4471_layer_probe_${name} EXCLUDE_FROM_ALL ${source})
  target_link_libraries(q4471_layer_probe_${name} PRIVATE q4471_serial)
endfunction()
q4471_layer_probe(public "#include <q4471/serial/VaComm.h>\n#include <q4471/framework/Thread.h>")
q4471_layer_probe(platform "#include \"serial/platform/CommPlatform.h\"")
q4471_layer_probe(component "#include \"serial/VaCommThread.h\"")
q4471_layer_probe(framework "#include \"framework/NativeThread.h\"")
q4471_layer_probe(source_root "#include \"serial/VaComm.h\"")
