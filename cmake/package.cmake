# The portable release: rudi-<version>-win64.zip with rudi.exe, the supplied 配置.edb and the
# user's read-me, all at the top of the archive.
install(TARGETS rudi RUNTIME DESTINATION .)
install(FILES ${CMAKE_BINARY_DIR}/配置.edb ${PROJECT_SOURCE_DIR}/docs/使用说明.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME rudi)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME rudi-${PROJECT_VERSION}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
include(CPack)
