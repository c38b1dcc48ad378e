# Flags shared by every target of the project.

add_compile_options(-Wall -Wextra)
if(RUDI_WERROR)
  add_compile_options(-Werror)
endif()

# Narrow literals are GBK bytes at compile time. GCC converts them from the UTF-8 sources;
# clang cannot (it only knows UTF-8), so clang builds are limited to the fuzz targets, whose
# checks do not depend on the bytes of a literal. The C++20 <chrono> header cannot be compiled
# this way (its micro sign has no GBK form): project code uses <thread> or <ctime> instead.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-finput-charset=UTF-8>
                      $<$<COMPILE_LANGUAGE:C,CXX>:-fexec-charset=GBK>)
  set(RUDI_GBK_LITERALS ON)
elseif(MSVC)
  add_compile_options(/utf-8 /execution-charset:.936)
  set(RUDI_GBK_LITERALS ON)
else()
  set(RUDI_GBK_LITERALS OFF)
endif()

if(RUDI_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(RUDI_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

if(WIN32)
  # Unicode Win32 entry points and the W functions throughout.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                          WINVER=0x0601)
  if(RUDI_STRIP)
    # The release: unused functions and data dropped, symbols stripped.
    add_compile_options(-ffunction-sections -fdata-sections)
    add_link_options(-s -Wl,--gc-sections)
  endif()
endif()

# Every project library is a static library with include paths from the repository root.
function(rudi_library name)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
  if(sources)
    add_library(${name} STATIC ${sources})
    target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} PUBLIC ${ARGN})
  else()
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR})
    target_link_libraries(${name} INTERFACE ${ARGN})
  endif()
endfunction()
