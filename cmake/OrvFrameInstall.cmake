# Installs the frame as the CMake package OrvFrame, for the products built
# on it: static libraries, public headers under include/orvframe/, and the
# config, version and targets files. The application's own Zk classes are
# not part of it.
include(CMakePackageConfigHelpers)

set(ORV_QT_MIN_VERSION 5.15)
set(ORV_FRAME_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/OrvFrame)

set_target_properties(orv_vocab PROPERTIES EXPORT_NAME Vocab)
set_target_properties(orv_frame PROPERTIES EXPORT_NAME Frame)
set_target_properties(orv_segy PROPERTIES EXPORT_NAME Segy)

install(TARGETS orv_vocab orv_segy orv_frame
  EXPORT OrvFrameTargets
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT dev)

# OrvAboutDlg derives from its generated widget tree, so the uic output it
# includes is public too.
install(FILES
  ${PROJECT_SOURCE_DIR}/app/OrvApp.h
  ${PROJECT_SOURCE_DIR}/console/OrvConsole.h
  ${PROJECT_SOURCE_DIR}/console/AppConsole.h
  ${PROJECT_SOURCE_DIR}/console/ConsoleProgress.h
  ${PROJECT_SOURCE_DIR}/ui/OrvAboutDlg.h
  ${PROJECT_BINARY_DIR}/orv_frame_autogen/include/ui_OrvAboutDlgUi.h
  ${PROJECT_SOURCE_DIR}/vocab/TraceHeaderNames.h
  ${PROJECT_SOURCE_DIR}/vocab/CalendarChoices.h
  ${PROJECT_SOURCE_DIR}/vocab/TextUtils.h
  ${PROJECT_SOURCE_DIR}/vocab/SampleFormats.h
  ${PROJECT_SOURCE_DIR}/segy/SegyLayout.h
  ${PROJECT_SOURCE_DIR}/segy/SegyFile.h
  ${PROJECT_SOURCE_DIR}/segy/SegyWriter.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/orvframe COMPONENT dev)

install(EXPORT OrvFrameTargets
  NAMESPACE OrvFrame::
  DESTINATION ${ORV_FRAME_CMAKE_DIR} COMPONENT dev)

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
