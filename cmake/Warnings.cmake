# The project's own code builds warning-free; third-party headers come in as system includes.
# Warnings stop the build only where the developers and CI ask for it: a user's or packager's
# compiler may know warnings this project has never seen.
option(Q4471_WERROR "Treat warnings in the project's own code as errors" OFF)

function(q4471_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  if(Q4471_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
