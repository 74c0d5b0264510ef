# libphonenumber (C++) reads and formats numbers; ICU gives local times. The
# C++ library has no time-zone mapper, so the build takes libphonenumber's
# own prefix-to-zone table from its Python port (the same release in Debian)
# and compiles it in.
find_path(PHONENUMBER_INCLUDE_DIR phonenumbers/phonenumberutil.h)
find_library(PHONENUMBER_LIBRARY phonenumber)
if(NOT PHONENUMBER_INCLUDE_DIR OR NOT PHONENUMBER_LIBRARY)
  message(FATAL_ERROR "libphonenumber is missing (Debian package libphonenumber-dev; scripts/setup.sh installs it)")
endif()
# Its number type is a protocol buffer message: the code using it links the
# protobuf runtime itself.
pkg_check_modules(PROTOBUF REQUIRED IMPORTED_TARGET protobuf)
add_library(zorvan_phonenumber INTERFACE)
target_include_directories(zorvan_phonenumber SYSTEM INTERFACE ${PHONENUMBER_INCLUDE_DIR})
target_link_libraries(zorvan_phonenumber INTERFACE ${PHONENUMBER_LIBRARY} PkgConfig::PROTOBUF)
pkg_check_modules(ICU REQUIRED IMPORTED_TARGET icu-uc icu-i18n)

# Debian's interpreter: the module lives in its dist-packages.
find_program(ZORVAN_DEBIAN_PYTHON3 python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT ZORVAN_DEBIAN_PYTHON3)
  message(FATAL_ERROR "/usr/bin/python3 is missing (Debian package python3-phonenumbers; scripts/setup.sh installs it)")
endif()
set(ZORVAN_PHONE_TIME_ZONES_CPP ${PROJECT_BINARY_DIR}/generated/phone_time_zone_table.cpp)
