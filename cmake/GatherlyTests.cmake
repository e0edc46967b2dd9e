# Test programs are Windows programs: CTest runs each through the Wine
# launcher, inside one session (display, prefix, wineserver) that a fixture
# starts before the first test and stops after the last.
set(GX_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine/launch ${GX_WINE_SESSION})

# Time budgets of the tests, for a run under CPU emulation (the 32-bit build
# on machines that cannot execute 32-bit code): each test's CTest time-out is
# multiplied by GX_TIME_SCALE, and every test gets it in its environment,
# for the budgets inside the tests that stretch with it.
set(GX_TIME_SCALE 1 CACHE STRING "Factor on the tests' time budgets (emulated runs)")
set(GX_TEST_ENVIRONMENT "GX_TIME_SCALE=${GX_TIME_SCALE}")
function(gx_scaled_timeout out seconds)
  math(EXPR scaled "${seconds} * ${GX_TIME_SCALE}")
  set(${out} ${scaled} PARENT_SCOPE)
endfunction()

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session start ${GX_WINE_SESSION})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 180)
add_test(NAME wine_session_stop COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session stop ${GX_WINE_SESSION})
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# gx_add_test(NAME SOURCES ... LIBS ... [DESKTOP] [TIMEOUT s])
# One CTest test per program. DESKTOP marks a program that uses windows,
# focus or the keyboard: those run one at a time, since they share the
# session's one desktop.
function(gx_add_test name)
  cmake_parse_arguments(T "DESKTOP" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} gtest gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  gx_scaled_timeout(T_TIMEOUT ${T_TIMEOUT})
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT}
                       ENVIRONMENT "${GX_TEST_ENVIRONMENT}")
  if(T_DESKTOP)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endfunction()
