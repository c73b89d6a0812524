# Import libraries of Ravlix.dll for hosts that link it at build time instead
# of loading it: Ravlix.dll.a for MinGW's ld and Ravlix.lib for Visual C++'s
# link, both made by the toolchain's dlltool from the .def that lists the six
# exports (on x86 it gives the __cdecl names their leading underscore, as
# both compilers decorate them). They land in <build>/sdk; the release
# archives take them from there.
set(RAVLIX_SDK_DIR ${CMAKE_BINARY_DIR}/sdk)
set(RAVLIX_IMPORT_LIBRARIES ${RAVLIX_SDK_DIR}/Ravlix.dll.a ${RAVLIX_SDK_DIR}/Ravlix.lib)
add_custom_command(
  OUTPUT ${RAVLIX_IMPORT_LIBRARIES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RAVLIX_SDK_DIR}
  COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def --dllname Ravlix.dll
          --output-lib ${RAVLIX_SDK_DIR}/Ravlix.dll.a
  COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def --dllname Ravlix.dll
          --output-lib ${RAVLIX_SDK_DIR}/Ravlix.lib
  DEPENDS ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def
  COMMENT "Import libraries of Ravlix.dll for hosts")
add_custom_target(RavlixImportLibraries ALL DEPENDS ${RAVLIX_IMPORT_LIBRARIES})
