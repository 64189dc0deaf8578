# Sanitizers apply to the whole tree so that every library and test runs instrumented.
if(TILLSTREAM_SANITIZE)
  string(REPLACE ";" "," _sanitizers "${TILLSTREAM_SANITIZE}")
  add_compile_options(-fsanitize=${_sanitizers} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${_sanitizers})
  if("undefined" IN_LIST TILLSTREAM_SANITIZE)
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
  if("thread" IN_LIST TILLSTREAM_SANITIZE)
    # Asio orders its handlers with std::atomic_thread_fence, which ThreadSanitizer does not
    # model; GCC says so once per use, and the run itself reports any race that results.
    add_compile_options(-Wno-tsan)
  endif()
endif()

# The fuzz build instruments the whole core for coverage; the targets add the fuzzer's main.
if(TILLSTREAM_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=address,undefined)
endif()
