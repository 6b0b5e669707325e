# The project's own code builds warning-free; third-party headers come in as system includes.
function(q4471_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
endfunction()
