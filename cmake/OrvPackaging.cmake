# Debian packages, built with `cpack -G DEB` in the build folder:
#   orv-vantor     the application, its desktop entry, icon and AppStream data
#   orv-frame-dev  the frame's static libraries, headers and CMake package
#   orv-segy       the SEG-Y command-line tool, its manual page and bash completion
#   orv-loupe      the SEG-Y viewer, its desktop entry, icon, AppStream data, the
#                  MIME type of SEG-Y files and the thumbnailer entry
set(CPACK_PACKAGE_NAME orv-vantor)
set(CPACK_PACKAGE_VENDOR "Tessavo Corp")
set(CPACK_PACKAGE_CONTACT "Tessavo Corp <support@tessavo.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
# CPackDeb puts any summary but its default one before each package's
# description; the packages here bring their own first lines.
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${CMAKE_PROJECT_NAME} built using CMake")
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)

# The stripped install that cpack makes keeps the compiler's .comment
# section; Debian's own packaging tools remove it, and .note, from the
# programs and static libraries they ship. So does a stripped install here.
# orv_strip_notes(<component> <installed file>), the path under the prefix.
function(orv_strip_notes component file)
  install(CODE "if(CMAKE_INSTALL_DO_STRIP)
  execute_process(COMMAND \"${CMAKE_OBJCOPY}\" --remove-section=.comment --remove-section=.note
    --enable-deterministic-archives \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${file}\"
    COMMAND_ERROR_IS_FATAL ANY)
endif()" COMPONENT ${component})
endfunction()
orv_strip_notes(app ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:orv-vantor>)
orv_strip_notes(segy ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:orv-segy>)
orv_strip_notes(loupe ${CMAKE_INSTALL_BINDIR}/$<TARGET_FILE_NAME:orv-loupe>)
set(ORV_FRAME_LIBRARIES orv_vocab orv_frame)
if(TARGET orv_segy)
  list(APPEND ORV_FRAME_LIBRARIES orv_segy)
endif()
foreach(library IN LISTS ORV_FRAME_LIBRARIES)
  orv_strip_notes(dev ${CMAKE_INSTALL_LIBDIR}/$<TARGET_FILE_NAME:${library}>)
endforeach()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL app dev segy loupe)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Tessavo Corp <support@tessavo.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.tessavo.com/")
# Runtime dependencies come from the libraries the binary links.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_APP_PACKAGE_NAME orv-vantor)
set(CPACK_DEBIAN_APP_PACKAGE_SECTION science)
set(CPACK_DEBIAN_APP_DESCRIPTION
  "Seismic data processing on the ORV application frame
ORV Vantor is a desktop application of Tessavo Corp's family of
seismic-data-processing products, built on the ORV application frame.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME orv-frame-dev)
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
# Static libraries: what they need comes in at the product's link, through
# the Qt development files the CMake package asks for.
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "qtbase5-dev (>= 5.15), libblosc-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION
  "ORV application frame: static libraries, headers and CMake package
The frame under Tessavo Corp's seismic-data-processing products: the
application class, the message console with console log files and progress
dialog, the about dialog, and a Qt Core library of seismic vocabulary and
sample format conversions. Products link it with find_package(OrvFrame).")

set(CPACK_DEBIAN_SEGY_PACKAGE_NAME orv-segy)
set(CPACK_DEBIAN_SEGY_PACKAGE_SECTION science)
set(CPACK_DEBIAN_SEGY_DESCRIPTION
  "Command-line tool that shows and converts SEG-Y files
orv-segy shows the layout, textual and binary headers, trace headers and
samples of SEG-Y seismic data files, and converts them to another sample
format or byte order. It needs Qt Core only.")

set(CPACK_DEBIAN_LOUPE_PACKAGE_NAME orv-loupe)
set(CPACK_DEBIAN_LOUPE_PACKAGE_SECTION science)
set(CPACK_DEBIAN_LOUPE_DESCRIPTION
  "Viewer of the seismic sections of SEG-Y files
ORV Loupe shows the inlines, crosslines, time slices and gathers of SEG-Y
seismic data files, or their traces in file order, in variable density or
wiggles. It opens SEG-Y files from the file manager (MIME type
application/x-segy) and gives it thumbnails of them.")

include(CPack)
