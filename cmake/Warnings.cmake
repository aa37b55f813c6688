# Warnings and sanitizers for every target of the project.
function(morvalis_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  if(MORVALIS_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(MORVALIS_SANITIZE)
    # -O1 as AddressSanitizer recommends: a third of the -O0 run time. GCC 12
    # then warns of uninitialized members inside std::regex and std::function
    # that are not; the unsanitized builds keep that warning.
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined -O1
                                             -Wno-maybe-uninitialized)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()
