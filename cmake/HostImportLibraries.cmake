# Import libraries of Ravlix.dll for hosts that link it at build time instead
# of loading it, both made from the .def that lists the six exports (on x86
# the tools give the __cdecl names their leading underscore, as both compilers
# decorate them). They land in <build>/sdk; the release archives take them
# from there.
# - Ravlix.dll.a, for MinGW's ld: MinGW's own dlltool.
# - Ravlix.lib, for Visual C++'s link: llvm-dlltool, which writes the short
#   import objects of Microsoft's lib.exe. The objects of MinGW's dlltool carry
#   no SafeSEH mark, and link refuses them in a 32-bit image built with /SAFESEH.
find_program(RAVLIX_LLVM_DLLTOOL llvm-dlltool REQUIRED)
if(RAVLIX_ARCH STREQUAL x64)
  set(machine i386:x86-64)
else()
  set(machine i386)
endif()
set(RAVLIX_SDK_DIR ${CMAKE_BINARY_DIR}/sdk)
set(RAVLIX_IMPORT_LIBRARIES ${RAVLIX_SDK_DIR}/Ravlix.dll.a ${RAVLIX_SDK_DIR}/Ravlix.lib)
add_custom_command(
  OUTPUT ${RAVLIX_IMPORT_LIBRARIES}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${RAVLIX_SDK_DIR}
  COMMAND ${CMAKE_DLLTOOL} --input-def ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def --dllname Ravlix.dll
          --output-lib ${RAVLIX_SDK_DIR}/Ravlix.dll.a
  COMMAND ${RAVLIX_LLVM_DLLTOOL} -m ${machine} -d ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def -D Ravlix.dll
          -l ${RAVLIX_SDK_DIR}/Ravlix.lib
  DEPENDS ${CMAKE_SOURCE_DIR}/plugin/Ravlix.def
  COMMENT "Import libraries of Ravlix.dll for hosts")
add_custom_target(RavlixImportLibraries ALL DEPENDS ${RAVLIX_IMPORT_LIBRARIES})
