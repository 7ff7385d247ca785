# Our own targets build with a strict set of warnings; external headers come
# in as system headers, so their warnings do not count.
function(zindle_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
  if(ZINDLE_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

# What the optimised builds ship with: the C library's checked functions and
# stack protection. (Eager binding, -z now, is left out: it would resolve
# every symbol of every library at each start.)
add_compile_options($<$<CONFIG:Release,RelWithDebInfo>:-D_FORTIFY_SOURCE=2>
                    $<$<CONFIG:Release,RelWithDebInfo>:-fstack-protector-strong>)
