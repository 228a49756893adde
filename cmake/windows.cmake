# The Windows build (cross-built with cmake/mingw-w64-x86_64.cmake): the
# game's layers above, and here the Win32 backends, the programs, the tests
# that run under Wine and the packages a Windows player downloads.

# [SECTION] The game's backend and quarvel.exe
# Windows itself behind the seam: the window class, the display mode, the
# window, WGL, the message queue, message boxes, the multimedia timer, and
# the gamepads through XInput (loaded at run time). The font is the Win32
# one below.
add_library(quarvel_platform_win32 STATIC
  src/platform/win32/clock_win32.cpp src/platform/win32/display_guard_win32.cpp
  src/platform/win32/gamepad_win32.cpp src/platform/win32/messages_win32.cpp
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

add_subdirectory(tools)
