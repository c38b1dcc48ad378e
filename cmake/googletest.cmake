# GoogleTest from Debian's source package, built with the project's own compiler and flags,
# so the same suites build natively, under the sanitizers and with MinGW-w64.
set(RUDI_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest sources")
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)

# GoogleTest's own sources keep the UTF-8 execution character set: the C++20 <chrono> they
# include has a literal (the micro sign) that has no GBK form.
get_directory_property(rudi_saved_options COMPILE_OPTIONS)
set(rudi_gtest_options ${rudi_saved_options})
list(FILTER rudi_gtest_options EXCLUDE REGEX "exec-charset|execution-charset")
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${rudi_gtest_options}")
add_subdirectory(${RUDI_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)
set_directory_properties(PROPERTIES COMPILE_OPTIONS "${rudi_saved_options}")
include(GoogleTest)
