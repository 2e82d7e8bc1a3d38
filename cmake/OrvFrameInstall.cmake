# Installs the frame as the CMake package OrvFrame, for the products built
# on it: static libraries, public headers under include/orvframe/, and the
# config, version and targets files. The application's own Zk classes are
# not part of it.
include(CMakePackageConfigHelpers)

set(ORV_QT_MIN_VERSION 5.15)
set(ORV_FRAME_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvFrame)

set_target_properties(orv_vocab PROPERTIES EXPORT_NAME Vocab)
set_target_properties(orv_frame PROPERTIES EXPORT_NAME Frame)

# orv_install_component(<component> <target>): the target's library and its own targets file,
# OrvFrame<component>Targets.cmake, which the config file loads when the component is asked for.
function(orv_install_component component target)
  install(TARGETS ${target}
    EXPORT OrvFrame${component}Targets
    ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)
  install(EXPORT OrvFrame${component}Targets
    NAMESPACE OrvFrame::
    DESTINATION ${ORV_FRAME_CMAKE_DIR} COMPONENT dev)
endfunction()

orv_install_component(Vocab orv_vocab)
orv_install_component(Frame orv_frame)
if(TARGET orv_segy)
  set_target_properties(orv_segy PROPERTIES EXPORT_NAME Segy)
  orv_install_component(Segy orv_segy)
endif()
if(TARGET orv_zarr)
  set_target_properties(orv_zarr PROPERTIES EXPORT_NAME Zarr)
  orv_install_component(Zarr orv_zarr)
endif()

# The public headers; the API reference is made from the same list.
set(ORV_FRAME_PUBLIC_HEADERS
  ${PROJECT_SOURCE_DIR}/app/OrvApp.h
  ${PROJECT_SOURCE_DIR}/console/OrvConsole.h
  ${PROJECT_SOURCE_DIR}/console/AppConsole.h
  ${PROJECT_SOURCE_DIR}/console/ConsoleProgress.h
  ${PROJECT_SOURCE_DIR}/ui/OrvAboutDlg.h
  ${PROJECT_SOURCE_DIR}/vocab/TraceHeaderNames.h
  ${PROJECT_SOURCE_DIR}/vocab/CalendarChoices.h
  ${PROJECT_SOURCE_DIR}/vocab/TextUtils.h
  ${PROJECT_SOURCE_DIR}/vocab/SampleFormats.h
  ${PROJECT_SOURCE_DIR}/segy/SegyLayout.h
  ${PROJECT_SOURCE_DIR}/segy/SegyFile.h
  ${PROJECT_SOURCE_DIR}/segy/SegyGeometry.h
  ${PROJECT_SOURCE_DIR}/segy/SegyWriter.h
  ${PROJECT_SOURCE_DIR}/segy/SegyCheck.h
  ${PROJECT_SOURCE_DIR}/zarr/ZarrArray.h
  ${PROJECT_SOURCE_DIR}/zarr/SegyZarr.h)
# OrvAboutDlg derives from its generated widget tree, so the uic output it
# includes is public too.
install(FILES ${ORV_FRAME_PUBLIC_HEADERS}
  ${PROJECT_BINARY_DIR}/orv_frame_autogen/include/ui_OrvAboutDlgUi.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvframe COMPONENT dev)

configure_package_config_file(${CMAKE_CURRENT_LIST_DIR}/OrvFrameConfig.cmake.in
  ${PROJECT_BINARY_DIR}/OrvFrameConfig.cmake
  INSTALL_DESTINATION ${ORV_FRAME_CMAKE_DIR}
  NO_SET_AND_CHECK_MACRO)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/OrvFrameConfigVersion.cmake
  VERSION ${PROJECT_VERSION}
  COMPATIBILITY SameMajorVersion)
install(FILES
  ${PROJECT_BINARY_DIR}/OrvFrameConfig.cmake
  ${PROJECT_BINARY_DIR}/OrvFrameConfigVersion.cmake
  DESTINATION ${ORV_FRAME_CMAKE_DIR} COMPONENT dev)

# The developer's guide's fuller example: the product that the package_consumer
# test builds against the installed frame.
install(FILES
  ${PROJECT_SOURCE_DIR}/tests/consumer/CMakeLists.txt
  ${PROJECT_SOURCE_DIR}/tests/consumer/main.cpp
  ${PROJECT_SOURCE_DIR}/tests/consumer/ProbeApp.h
  ${PROJECT_SOURCE_DIR}/tests/consumer/ProbeApp.cpp
  ${PROJECT_SOURCE_DIR}/tests/consumer/ProbeChecks.h
  ${PROJECT_SOURCE_DIR}/tests/consumer/ProbeChecks.cpp
  ${PROJECT_SOURCE_DIR}/tests/consumer/ProbeWorker.h
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orv-frame-dev/examples COMPONENT dev)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/tests/consumer/components
  DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/orv-frame-dev/examples COMPONENT dev)
