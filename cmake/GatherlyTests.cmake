# Test programs are Windows programs: CTest runs each through the Wine
# launcher, inside one session (display, prefix, wineserver) that a fixture
# starts before the first test and stops after the last.
set(GX_WINE_SESSION ${CMAKE_BINARY_DIR}/wine)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/tests/wine/launch ${GX_WINE_SESSION})

set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

add_test(NAME wine_session_start COMMAND ${CMAKE_SOURCE_DIR}/tests/wine/session start ${GX_WINE_SESSION})
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
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
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT})
  if(T_DESKTOP)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK desktop)
  endif()
endfunction()
