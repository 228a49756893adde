# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): the
# game's layers above, and here the Win32 backends, the programs, the tests
# that run under Wine and the packages a Windows player downloads.

# [SECTION] The game's backend and quarvel.exe
# Windows itself behind the seam: the window class, the display mode, the
# window, WGL, the message queue, message boxes, the multimedia timer, and
# the gamepads through XInput (loaded at run time), one game per session and
# the game's side of the display-mode guardian. The font is the Win32 one
# below.
add_library(quarvel_platform_win32 STATIC
  src/platform/win32/win32_backend.cpp src/platform/win32/clock_win32.cpp
  src/platform/win32/gamepad_win32.cpp src/platform/win32/guardian_win32.cpp
  src/platform/win32/messages_win32.cpp src/platform/win32/one_game_win32.cpp
  src/platform/win32/system_win32.cpp src/platform/win32/video_win32.cpp)
target_link_libraries(quarvel_platform_win32 PUBLIC quarvel_platform_input quarvel_font_win32
  OpenGL::GL user32 gdi32 winmm)
# windows.h without mmsystem.h, whose timeGetTime would clash with the
# game's own clock; clock_win32.cpp includes it by itself.
target_compile_definitions(quarvel_platform_win32 PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)

# The game for the GUI subsystem: no console window opens with it. Static,
# so it needs only Windows' own DLLs.
add_executable(quarvel src/shell/main.cpp)
target_link_libraries(quarvel PRIVATE quarvel_shell)
target_link_options(quarvel PRIVATE -mwindows)
set_target_properties(quarvel PROPERTIES QUARVEL_PLATFORM quarvel_platform_win32)
# Its icon and version, once the resource function below is defined
cmake_language(DEFER CALL quarvel_windows_resources quarvel "Quarvel")

# The guardian of the display mode, which the game starts from its own
# folder: a program of its own name, so that ending every quarvel.exe does
# not end it too. It needs nothing of the game but Windows.
add_executable(quarvel-guardian src/platform/win32/guardian_main_win32.cpp)
target_include_directories(quarvel-guardian PRIVATE src)
target_compile_definitions(quarvel-guardian PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(quarvel-guardian PRIVATE user32)
target_link_options(quarvel-guardian PRIVATE -mwindows)
add_dependencies(quarvel quarvel-guardian)
cmake_language(DEFER CALL quarvel_windows_resources quarvel-guardian
  "Quarvel's display-mode guardian")

# [SECTION] Win32 backends

# The system's fonts as glyph lists: a GDI font through WGL.
add_library(quarvel_font_win32 STATIC src/platform/win32/font_win32.cpp)
target_link_libraries(quarvel_font_win32 PUBLIC quarvel_system OpenGL::GL gdi32)

# A hidden GL context on a window that is never shown, for the tests and
# the headless tools.
add_library(quarvel_offscreen_gl STATIC src/platform/offscreen/offscreen_gl_win32.cpp)
target_include_directories(quarvel_offscreen_gl PUBLIC src)
target_link_libraries(quarvel_offscreen_gl PUBLIC OpenGL::GL gdi32 user32)

# The headless tools' backend: they draw into that hidden context with the
# system's fonts, and never open a window.
add_library(quarvel_platform_offscreen STATIC src/platform/offscreen/video_offscreen_win32.cpp)
target_link_libraries(quarvel_platform_offscreen PUBLIC quarvel_system quarvel_offscreen_gl
  quarvel_font_win32)

# The scripted backend: the test's script stands in for the system, while
# OpenGL stays real (the hidden context).
add_library(quarvel_platform_scripted STATIC src/platform/scripted/scripted.cpp)
target_link_libraries(quarvel_platform_scripted PUBLIC quarvel_platform_input quarvel_offscreen_gl)

# [SECTION] Icon and version
# Every Windows program carries the game's icon (data/icons/quarvel.ico,
# made by scripts/make-windows-icon) and the project's version, in a
# resource compiled from packaging/windows/resources.rc.in:
#   quarvel_windows_resources(quarvel "Quarvel")
# in the folder's CMakeLists.txt that makes the target. windres compiles it
# by itself, away from the C++ flags.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE licence)
string(REGEX MATCH "Copyright \\(c\\) ([^\n]+)" unused "${licence}")
set(QUARVEL_COPYRIGHT "${CMAKE_MATCH_1}")
string(REGEX REPLACE "^[0-9, -]+ " "" QUARVEL_COPYRIGHT_HOLDERS "${QUARVEL_COPYRIGHT}")
if(QUARVEL_COPYRIGHT STREQUAL "")
  message(FATAL_ERROR "LICENSE has no copyright line")
endif()

function(quarvel_windows_resources target description)
  set(QUARVEL_RC_NAME ${target})
  set(QUARVEL_RC_FILE ${target}.exe)
  set(QUARVEL_RC_DESCRIPTION "${description}")
  set(QUARVEL_RC_ICON ${PROJECT_SOURCE_DIR}/data/icons/quarvel.ico)
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/resources.rc.in ${rc} @ONLY)
  add_custom_command(OUTPUT ${rc}.obj
    COMMAND ${CMAKE_RC_COMPILER} -O coff ${rc} ${rc}.obj
    DEPENDS ${rc} ${QUARVEL_RC_ICON}
    COMMENT "Icon and version of ${target}.exe")
  set_source_files_properties(${rc}.obj PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
  target_sources(${target} PRIVATE ${rc}.obj)
endfunction()

# [SECTION] Programs and tests

add_subdirectory(tools)

# make bench: the window quarvel.exe asks for, only cleared and swapped,
# under Wine beside the Linux bare loop (bench/wine.sh).
add_executable(quarvel-bare-loop bench/bare_loop_win32.cpp)
target_link_libraries(quarvel-bare-loop PRIVATE OpenGL::GL user32 gdi32)

# GoogleTest from Debian's source (package googletest), built by the cross
# compiler with the tests; nothing of it is installed.
set(QUARVEL_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest's source")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${QUARVEL_GOOGLETEST_SOURCE} googletest EXCLUDE_FROM_ALL SYSTEM)

# The tests run under Wine (tests/windows/wine-session): CTest starts every
# Windows program through it, in one prefix and on one Xvfb that the first
# test makes and the last one removes.
set(QUARVEL_WINE_SESSION ${PROJECT_SOURCE_DIR}/tests/windows/wine-session)
set(CMAKE_CROSSCOMPILING_EMULATOR bash ${QUARVEL_WINE_SESSION} run ${PROJECT_BINARY_DIR})
enable_testing()
add_test(NAME Wine.Start COMMAND bash ${QUARVEL_WINE_SESSION} start ${PROJECT_BINARY_DIR})
add_test(NAME Wine.Stop COMMAND bash ${QUARVEL_WINE_SESSION} stop ${PROJECT_BINARY_DIR})
set_tests_properties(Wine.Start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(Wine.Stop PROPERTIES FIXTURES_CLEANUP wine)
add_subdirectory(tests)

# The Win32 backend's own tests, under Wine like the others, in the tests'
# folder, where there is no guardian to start.
add_executable(quarvel_win32_backend_tests tests/windows/win32_backend_test.cpp)
set_target_properties(quarvel_win32_backend_tests PROPERTIES
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tests)
target_compile_definitions(quarvel_win32_backend_tests PRIVATE WIN32_LEAN_AND_MEAN NOMINMAX)
target_link_libraries(quarvel_win32_backend_tests PRIVATE quarvel_platform_win32 GTest::gtest_main)
quarvel_add_gtest(quarvel_win32_backend_tests)

# Last, after every program: the zip and the installer.
include(packaging/windows.cmake)
