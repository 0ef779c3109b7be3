# GoogleTest comes from Debian's source package and is built with each tree,
# for the host and for Windows alike.
if(VELMORA_TESTS)
  set(GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  if(WIN32)
    # GoogleTest's own Win32 locking; no winpthreads needed.
    set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  endif()
  add_subdirectory(${GOOGLETEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
endif()

# velmora_add_test(NAME SOURCES ... [LIBS ...] [TIMEOUT s] [PROPERTIES ...]
#                  [UNMANAGED_WINDOWS] [AS_USER])
# One test executable is one ctest entry; under Windows it runs through the
# Wine wrapper (CMAKE_CROSSCOMPILING_EMULATOR).
#
# AS_USER: the test runs as the ordinary user velmora-test (scripts/test makes
# it) in a prefix of its own, through scripts/run-as-user: Wine run as root
# writes read-only files and folders of other owners that Windows refuses.
# The program must be self-contained (it is copied where the user can read
# it); it finds its scratch folder in VELMORA_USER_WORK.
#
# UNMANAGED_WINDOWS: without a window manager (our Xvfb) Wine waits 2 s for one
# each time a framed top-level window is hidden or destroyed. A setup step
# tells Wine not to hand this test program's windows to a window manager
# (read when the program starts), so windows go at once and the times the
# test sees are the program's own.
# velmora_gtest_must_finish(TEST...)
# A test program that ends before GoogleTest's closing summary (a crash that
# Wine reports with exit code 0, a process ended from outside) fails: the
# entry passes only on the summary's PASSED line and fails on any FAILED one.
function(velmora_gtest_must_finish)
  set_tests_properties(${ARGN} PROPERTIES
    PASS_REGULAR_EXPRESSION "\\[  PASSED  \\] [0-9]+ tests?\\."
    FAIL_REGULAR_EXPRESSION "\\[  FAILED  \\]")
endfunction()

function(velmora_add_test name)
  cmake_parse_arguments(T "UNMANAGED_WINDOWS;AS_USER" "TIMEOUT" "SOURCES;LIBS;PROPERTIES" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest)
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  if(WIN32 AND T_AS_USER)
    # As the ordinary user velmora-test, in a prefix of its own (scripts/run-as-user).
    add_test(NAME ${name} COMMAND ${CMAKE_SOURCE_DIR}/scripts/run-as-user ${name}
             ${CMAKE_BINARY_DIR}/wineprefix $<TARGET_FILE:${name}> --gtest_color=no)
  else()
    add_test(NAME ${name} COMMAND ${name} --gtest_color=no)
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 600)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} ${T_PROPERTIES})
  velmora_gtest_must_finish(${name})
  if(WIN32)
    # Windows tests share one registry and one display: run them one at a time.
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK wineprefix)
  endif()
  if(WIN32 AND T_UNMANAGED_WINDOWS)
    add_test(NAME ${name}_unmanaged_windows COMMAND ${CMAKE_CROSSCOMPILING_EMULATOR} reg add
             "HKCU\\Software\\Wine\\AppDefaults\\${name}.exe\\X11 Driver" /v Managed /d N /f)
    set_tests_properties(${name}_unmanaged_windows PROPERTIES
      FIXTURES_SETUP ${name}_unmanaged RESOURCE_LOCK wineprefix)
    set_property(TEST ${name} APPEND PROPERTY FIXTURES_REQUIRED ${name}_unmanaged)
  endif()
endfunction()

# velmora_small_disk(TEST DIR)
# A real, tiny disk for TEST's disk-full cases: tests/engine/small_disk.sh
# mounts a 64 KiB tmpfs at DIR/mnt before TEST runs and unmounts it after.
# Mounting needs root; without it nothing is mounted and those cases skip
# themselves. TEST finds DIR in VELMORA_SMALL_DISK.
function(velmora_small_disk test dir)
  set(script ${CMAKE_SOURCE_DIR}/tests/engine/small_disk.sh)
  add_test(NAME ${test}_small_disk_mount COMMAND ${script} mount ${dir})
  add_test(NAME ${test}_small_disk_unmount COMMAND ${script} unmount ${dir})
  set_tests_properties(${test}_small_disk_mount PROPERTIES FIXTURES_SETUP ${test}_small_disk)
  set_tests_properties(${test}_small_disk_unmount PROPERTIES FIXTURES_CLEANUP ${test}_small_disk)
  set_property(TEST ${test} APPEND PROPERTY FIXTURES_REQUIRED ${test}_small_disk)
  target_compile_definitions(${test} PRIVATE VELMORA_SMALL_DISK="${dir}")
endfunction()

# velmora_uses_command_recorder(TEST)
# TEST copies the stand-in program of tests/helpers: it is built first, and
# TEST finds it, as Wine reaches it, in COMMAND_RECORDER_EXE.
function(velmora_uses_command_recorder test)
  add_dependencies(${test} command_recorder)
  target_compile_definitions(${test} PRIVATE
    COMMAND_RECORDER_EXE="Z:$<TARGET_FILE:command_recorder>")
endfunction()
