# Shared target settings: warnings, sanitizers, static Windows runtime.

function(kadrovix_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /permissive- /utf-8 /EHsc)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor)
  endif()
endfunction()

# Sanitizers go on every native target of a sanitized build, libraries
# included, so that container overflows inside the model are caught too.
function(kadrovix_sanitize target)
  if(KADROVIX_SANITIZE AND NOT WIN32)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    target_link_options(${target} PUBLIC -fsanitize=address,undefined)
  endif()
endfunction()

# kadrovix_windows_program(target [UNICODE_ENTRY]): UNICODE_ENTRY for programs
# whose entry point is wmain or wWinMain.
function(kadrovix_windows_program target)
  cmake_parse_arguments(ARG "UNICODE_ENTRY" "" "" ${ARGN})
  if(WIN32 AND NOT MSVC)
    # No runtime DLLs beside the .exe: libgcc, libstdc++ and winpthread are linked in.
    target_link_options(${target} PRIVATE -static -static-libgcc -static-libstdc++)
    if(ARG_UNICODE_ENTRY)
      target_link_options(${target} PRIVATE -municode)
    endif()
  endif()
  if(WIN32)
    target_compile_definitions(${target} PRIVATE UNICODE _UNICODE)
  endif()
endfunction()

# kadrovix_library(name SOURCES ... INCLUDE dir DEPS ...)
function(kadrovix_library name)
  cmake_parse_arguments(ARG "" "INCLUDE" "SOURCES;DEPS" ${ARGN})
  add_library(${name} STATIC ${ARG_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR}/${ARG_INCLUDE})
  if(ARG_DEPS)
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
  endif()
  kadrovix_warnings(${name})
  kadrovix_sanitize(${name})
endfunction()
