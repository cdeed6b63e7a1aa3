# pkg-config files for the installed libraries, installed to <libdir>/pkgconfig:
#   dispc-core.pc   dispc::core
#   dispc-cgr.pc    dispc::cgr
#   dispc.pc        dispc::dispc (requires dispc-core and dispc-cgr)
#   dispc-cairo.pc  dispc::cairo (requires dispc and cairo), with the Cairo back end only
#   dispc-qt.pc     dispc::qt (requires dispc and Qt6Widgets), with the Qt back end only
#   dispc-opencv.pc dispc::opencv (requires dispc; OpenCV's core by its paths), with the adapter
# The prefix is filled in at install time, so that the files name the prefix actually installed
# to (`cmake --install build --prefix DIR` included; DESTDIR is not part of it).
foreach(_dispc_kind LIBDIR INCLUDEDIR)
  if(IS_ABSOLUTE "${CMAKE_INSTALL_${_dispc_kind}}")
    set(DISPC_PC_${_dispc_kind} "${CMAKE_INSTALL_${_dispc_kind}}")
  else()
    set(DISPC_PC_${_dispc_kind} "\${prefix}/${CMAKE_INSTALL_${_dispc_kind}}")
  endif()
endforeach()
# Left as a placeholder for the install step.
set(DISPC_PC_PREFIX "@DISPC_PC_PREFIX@")

set(_dispc_pc_files dispc-core dispc-cgr dispc)
foreach(_dispc_backend cairo qt opencv)
  if(TARGET dispc_${_dispc_backend})
    list(APPEND _dispc_pc_files dispc-${_dispc_backend})
  endif()
endforeach()
unset(_dispc_backend)
if(TARGET dispc_opencv)
  get_filename_component(DISPC_PC_OPENCV_LIBDIR "${DISPC_OPENCV_CORE}" DIRECTORY)
  set(DISPC_PC_OPENCV_INCLUDEDIR "${DISPC_OPENCV_INCLUDE_DIR}")
endif()
foreach(_dispc_pc ${_dispc_pc_files})
  set(_dispc_pc_template "${PROJECT_BINARY_DIR}/pkgconfig/${_dispc_pc}.pc.in")
  set(_dispc_pc_out "${PROJECT_BINARY_DIR}/pkgconfig/${_dispc_pc}.pc")
  configure_file(${CMAKE_CURRENT_LIST_DIR}/${_dispc_pc}.pc.in ${_dispc_pc_template} @ONLY)
  install(CODE "
    set(DISPC_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    configure_file(\"${_dispc_pc_template}\" \"${_dispc_pc_out}\" @ONLY)
  ")
  install(FILES ${_dispc_pc_out} DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endforeach()
unset(_dispc_kind)
unset(_dispc_pc)
unset(_dispc_pc_files)
unset(_dispc_pc_template)
unset(_dispc_pc_out)
