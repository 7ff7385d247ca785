# Our own targets build with a strict set of warnings; external headers come
# in as system headers, so their warnings do not count.
function(zindle_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(ZINDLE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
