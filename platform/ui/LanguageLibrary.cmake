# suite_add_language_library(NAME TS file.ts)
#
# A program's English language library: a shared library lib<NAME>.so in the folder of shared
# libraries that holds nothing but the compiled translation, made at build time by lrelease from the
# checked-in .ts file and embedded as the Qt resource ":/lang/<NAME>.qm". Loading the library
# registers the resource; platform::ui::InstallLanguageLibrary("<NAME>") loads it and installs the
# translation.
function(suite_add_language_library name)
  cmake_parse_arguments(ARG "" "TS" "" ${ARGN})
  if(NOT ARG_TS)
    message(FATAL_ERROR "suite_add_language_library(${name}) needs TS <file.ts>")
  endif()
  add_library(${name} SHARED)
  target_link_libraries(${name} PRIVATE Qt6::Core suite_options)
  qt_add_lrelease(${name} TS_FILES ${ARG_TS} QM_FILES_OUTPUT_VARIABLE qm_files NO_GLOBAL_TARGET)
  set_source_files_properties(${qm_files} PROPERTIES QT_RESOURCE_ALIAS ${name}.qm)
  qt_add_resources(${name} ${name}_translation PREFIX /lang FILES ${qm_files})
endfunction()
