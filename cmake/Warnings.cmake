# Every common warning on our own code; third-party headers are not ours. Warnings stop the
# build only for developers (our CI turns this on): a packager's newer compiler may warn about
# things ours does not, and that must not break their build.
option(VELMORA_WARNINGS_AS_ERRORS "Treat compiler warnings in our own code as errors" OFF)

function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(VELMORA_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
