# Warnings and sanitizers for every target of the project.
function(morvalis_target_options target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion
                                           -Wno-sign-conversion)
  # Debian's hardening: fortified functions where there is optimization to
  # do it, a stack protector, and relocations read-only after start.
  if(NOT WIN32)
    target_compile_options(${target} PRIVATE -fstack-protector-strong
                                             $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
    target_link_options(${target} PRIVATE -Wl,-z,relro -Wl,-z,now)
  endif()
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
