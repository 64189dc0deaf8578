# Every target of the project compiles with warnings as errors.
function(tillstream_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Werror
    -Wno-missing-field-initializers)
  # GCC 12 reports overlapping copies that cannot happen inside std::string's operator+ once
  # it is inlined in an optimised build (GCC bug 105329), which stops the Release build;
  # GCC 13 no longer does.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE $<$<NOT:$<CONFIG:Debug>>:-Wno-restrict>)
  endif()
endfunction()
