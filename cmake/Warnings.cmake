# Our own code builds with every common warning as an error; third-party headers are not ours.
function(velmora_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
