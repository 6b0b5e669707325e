# The project's own code builds warning-free; third-party headers come in as system includes.
# Warnings stop the build only where the developers and CI ask for it: a user's or packager's
# compiler may know warnings this project has never seen.
option(Q4471_WERROR "Treat warnings in the project's own code as errors" OFF)

function(q4471_strict target)
  target_compile_options(${target} PRIVATE -Wall -Wextra)
  # Clang checks the locks: the members each guards, the locks a function needs, their order
  # (framework/Locks.h). The fuzz build (tools/fuzz.sh) is CI's Clang build.
  target_compile_options(${target} PRIVATE
    $<$<CXX_COMPILER_ID:Clang>:-Wthread-safety -Wthread-safety-beta>)
  if(Q4471_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
