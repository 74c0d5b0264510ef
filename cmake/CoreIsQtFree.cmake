# The core (data, skype, update, audio, dial and the plain half of platform)
# must stay free of Qt. The core library links no Qt target, so a Qt include
# would not even compile; this check names the offending file at configure time.
set(_core_dirs data skype update audio dial platform)
foreach(_dir IN LISTS _core_dirs)
  file(GLOB_RECURSE _files
    "${PROJECT_SOURCE_DIR}/src/${_dir}/*.h" "${PROJECT_SOURCE_DIR}/src/${_dir}/*.cpp")
  foreach(_file IN LISTS _files)
    if(_file MATCHES "/src/platform/qt/")
      continue()
    endif()
    file(STRINGS "${_file}" _hits REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]Q[A-Za-z]*[>/\"]")
    if(_hits)
      message(FATAL_ERROR "The core must not include Qt: ${_file}: ${_hits}")
    endif()
  endforeach()
endforeach()
