# Warnings every target of ours is built with.
function(vantor_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wshadow -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual
    -Wconversion -Wno-sign-conversion)
  if(VANTOR_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
