# Import libraries through which Ravlix.dll reaches the component libraries.
# Each library exports its descriptor by ordinal 1 without a name; the .def
# beside the library gives the import a name of our own. Without dllimport,
# a reference to that name lands on the linker's jump stub (FF 25 and the
# import cell's address on x86, its RIP-relative displacement on x64),
# which is what the plug-in's ResolveDescriptor follows at run time.
function(add_component_import_library target def_file)
  set(output ${CMAKE_BINARY_DIR}/lib/${target}.a)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/lib
    COMMAND ${CMAKE_DLLTOOL} --input-def ${def_file} --output-lib ${output}
    DEPENDS ${def_file}
    COMMENT "Import library ${target}")
  add_custom_target(${target}_generate DEPENDS ${output})
  add_library(${target} INTERFACE)
  add_dependencies(${target} ${target}_generate)
  target_link_libraries(${target} INTERFACE ${output})
endfunction()
