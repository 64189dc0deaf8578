# What every Windows program of the project shares: the application manifest (UTF-8 active code
# page, so the ANSI functions take UTF-8 paths) linked into each executable, and static linking.
if(TILLSTREAM_BUILD_GUI AND NOT TILLSTREAM_GUI_VIEW STREQUAL "win32")
  message(FATAL_ERROR "The Windows build has the native view only: TILLSTREAM_GUI_VIEW=win32")
endif()

enable_language(RC)

# The resource object is made at configure time and handed to every link: executables pick it up
# without each target naming it, and static libraries (which would drop an unreferenced object)
# never see it.
set(_rc ${PROJECT_SOURCE_DIR}/resources/windows/tillstream.rc)
set(_manifest ${PROJECT_SOURCE_DIR}/resources/windows/tillstream.manifest)
set(TILLSTREAM_MANIFEST_OBJECT ${PROJECT_BINARY_DIR}/tillstream-manifest.o)
execute_process(
  COMMAND ${CMAKE_RC_COMPILER} -O coff -I ${PROJECT_SOURCE_DIR}/resources/windows -i ${_rc}
          -o ${TILLSTREAM_MANIFEST_OBJECT}
  RESULT_VARIABLE _rc_result)
if(NOT _rc_result EQUAL 0)
  message(FATAL_ERROR "windres could not compile ${_rc}")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_rc} ${_manifest}
  ${PROJECT_SOURCE_DIR}/resources/windows/tillstream.ico)
add_link_options(${TILLSTREAM_MANIFEST_OBJECT} -static)

# GCC 12's std::binary_semaphore waits through its atomic-wait pool on Windows, whose notify does
# not take the pool's mutex: a release can come between the waiter's last look and its wait and
# be lost. std::stop_callback's destructor waits on such a semaphore when a stop runs its
# callback at that moment, so a run could hang for good at a stop. The POSIX semaphore of the
# thread library has no such gap.
add_compile_definitions(_GLIBCXX_USE_POSIX_SEMAPHORE=1)

# The C99 printf family (%zu, %lld) instead of the system C library's older one, so that the
# program's formats mean on Windows what they mean on Linux.
add_compile_definitions(__USE_MINGW_ANSI_STDIO=1)

# For the files that include <windows.h> (the platform layer and the tests' fixtures): Windows 10
# and later (the high-resolution waitable timer, the UTF-8 code page), and no min/max macros.
set(TILLSTREAM_WINDOWS_DEFINITIONS _WIN32_WINNT=0x0A00 WINVER=0x0A00 WIN32_LEAN_AND_MEAN NOMINMAX)

# CLI11, nlohmann/json and Asio are header-only and the same for every target, but the cross
# compiler does not search the build machine's /usr/include (which also holds Linux's own
# headers). A folder in the build tree with links to just those is handed to their look-ups
# instead.
set(_host_headers ${PROJECT_BINARY_DIR}/host-headers)
file(MAKE_DIRECTORY ${_host_headers})
foreach(_library CLI nlohmann asio asio.hpp)
  if(NOT EXISTS ${_host_headers}/${_library} AND EXISTS /usr/include/${_library})
    file(CREATE_LINK /usr/include/${_library} ${_host_headers}/${_library} SYMBOLIC)
  endif()
endforeach()
set(CLI11_INCLUDE_DIR ${_host_headers} CACHE PATH "CLI11's headers for the cross build")
set(NLOHMANN_JSON_INCLUDE_DIR ${_host_headers} CACHE PATH "nlohmann/json's headers for the cross build")
set(ASIO_INCLUDE_DIR ${_host_headers} CACHE PATH "Asio's headers for the cross build")
