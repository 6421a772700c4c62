# Warnings are errors in everything the project builds.
function(ms_client_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                           -Wcast-align -Wformat=2 -Werror
                           $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor>)
  endif()
endfunction()
