# The version header zek_version.h, generated into the build tree from the
# version that project(zek VERSION ...) in the top CMakeLists.txt names: the
# one place the version is written.

set(ZEK_VERSION_TEMPLATE ${CMAKE_CURRENT_LIST_DIR}/zek_version.h.in)

# Writes zek_version.h for the version into directory.
function(zek_generate_version_header version directory)
  set(ZEK_VERSION_NUMBER ${version})
  string(REPLACE "." "" ZEK_VERSION_DIGITS ${version})
  configure_file(${ZEK_VERSION_TEMPLATE} ${directory}/zek_version.h @ONLY)
endfunction()

# The version named by the project() line of the CMakeLists.txt in root, for
# a build that compiles the sources without that file (the fuzz targets).
function(zek_project_version root result)
  file(STRINGS ${root}/CMakeLists.txt project_line REGEX "^project\\(zek VERSION ")
  string(REGEX REPLACE "^project\\(zek VERSION ([0-9.]+).*" "\\1" version "${project_line}")
  if(NOT version MATCHES "^[0-9]+(\\.[0-9]+)*$")
    message(FATAL_ERROR "no project(zek VERSION ...) line in ${root}/CMakeLists.txt")
  endif()
  set(${result} ${version} PARENT_SCOPE)
endfunction()
