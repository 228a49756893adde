# The browser build (make web, Debian's emscripten): the game's layers
# above, and here the web backend, the page, quarvel-sim for node, the zip
# a player unpacks on any web server, and the tests that run them.

# [SECTION] Link settings
# The game's loop runs as on every system and gives the browser its turn
# at each frame: Asyncify unwinds it to the browser and back. Only direct
# calls lead to a wait (the swap, the empty queue, the full screen), so
# calls through pointers need no instrumenting.
set(QUARVEL_WEB_GAME_LINK -sASYNCIFY=1 -sASYNCIFY_IGNORE_INDIRECT=1
  -sENVIRONMENT=web -sALLOW_MEMORY_GROWTH=1 -sINVOKE_RUN=0
  "-sEXPORTED_FUNCTIONS=_main,_QuarvelReplay"
  "-sEXPORTED_RUNTIME_METHODS=callMain,ccall")
# quarvel-sim under plain node: the real file system (for --keys FILE),
# lines written at once (node's own streams drop what is queued at exit),
# and the .wasm read from beside the .js (web/node_wasm.js).
set(QUARVEL_WEB_TOOL_LINK -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
  -sALLOW_MEMORY_GROWTH=1 --pre-js ${PROJECT_SOURCE_DIR}/web/node_wasm.js)

# [SECTION] The score's font, baked on the build machine
# The same fontconfig match and FreeType code as the Linux game, run here by
# the host's compiler (tools/bake_font); the page gets the glyphs as tables.
find_program(QUARVEL_HOST_CXX NAMES c++ g++ REQUIRED)
execute_process(COMMAND env -u PKG_CONFIG_LIBDIR -u PKG_CONFIG_PATH
    pkg-config --cflags --libs fontconfig freetype2
  OUTPUT_VARIABLE QUARVEL_HOST_FONT_FLAGS OUTPUT_STRIP_TRAILING_WHITESPACE
  COMMAND_ERROR_IS_FATAL ANY)
separate_arguments(QUARVEL_HOST_FONT_FLAGS UNIX_COMMAND "${QUARVEL_HOST_FONT_FLAGS}")
set(QUARVEL_BAKE_SOURCES ${PROJECT_SOURCE_DIR}/tools/bake_font/bake_font.cpp
  ${PROJECT_SOURCE_DIR}/src/platform/freetype/font_freetype.cpp)
add_custom_command(OUTPUT bake-font
  COMMAND ${QUARVEL_HOST_CXX} -std=c++20 -O1 -I${PROJECT_SOURCE_DIR}/src
    ${QUARVEL_BAKE_SOURCES} ${QUARVEL_HOST_FONT_FLAGS} -o bake-font
  DEPENDS ${QUARVEL_BAKE_SOURCES} ${PROJECT_SOURCE_DIR}/src/platform/font.h
  COMMENT "The font baker, for the build machine")
# "Lucida Sans" at 24 pixels: the face and height the game's text asks for
# (render/render_state.cpp); another is a font the page lacks.
add_custom_command(OUTPUT baked_font.cpp
  COMMAND ./bake-font "Lucida Sans" 24 baked_font.cpp
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/bake-font
  COMMENT "The score's glyphs for the page")

# [SECTION] The web backend
add_library(quarvel_platform_web STATIC
  src/platform/web/font_web.cpp src/platform/web/gamepad_web.cpp
  src/platform/web/messages_web.cpp src/platform/web/system_web.cpp
  src/platform/web/video_web.cpp src/platform/web/web_state.cpp
  ${CMAKE_CURRENT_BINARY_DIR}/baked_font.cpp)
target_link_libraries(quarvel_platform_web PUBLIC quarvel_platform_input quarvel_web_gl)

# The headless tools' context is the page's canvas; their backend is the
# page's too (swap control and the font).
add_library(quarvel_offscreen_gl STATIC src/platform/web/offscreen_gl_web.cpp)
target_include_directories(quarvel_offscreen_gl PUBLIC src)
target_link_libraries(quarvel_offscreen_gl PUBLIC quarvel_web_gl)
add_library(quarvel_platform_offscreen ALIAS quarvel_platform_web)

add_subdirectory(tools)
set_target_properties(quarvel-sim PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/tools)
target_link_options(quarvel-sim PRIVATE ${QUARVEL_WEB_TOOL_LINK})
set_property(TARGET quarvel-sim APPEND PROPERTY LINK_DEPENDS ${PROJECT_SOURCE_DIR}/web/node_wasm.js)

# [SECTION] The game and its page
# main is the game's own; QuarvelReplay (tools/web) plays a replay from the
# page's address with quarvel-sim's code. The page starts one or the other.
add_executable(quarvel src/shell/main.cpp tools/web/page_replay.cpp)
target_link_libraries(quarvel PRIVATE quarvel_shell quarvel_sim)
set_target_properties(quarvel PROPERTIES QUARVEL_PLATFORM quarvel_platform_web)
# A page may take the full screen only when the player asks (F1): the game
# starts in its canvas.
target_compile_definitions(quarvel PRIVATE QUARVEL_STARTS_IN_WINDOW)
target_link_options(quarvel PRIVATE ${QUARVEL_WEB_GAME_LINK})

# The folder a player serves, and its zip: the page, the game, the licence.
set(QUARVEL_WEB_SITE ${PROJECT_BINARY_DIR}/site)
set(QUARVEL_WEB_ZIP ${PROJECT_BINARY_DIR}/quarvel-${PROJECT_VERSION}-web.zip)
configure_file(web/index.html ${QUARVEL_WEB_SITE}/index.html @ONLY)
add_custom_command(OUTPUT ${QUARVEL_WEB_ZIP}
  COMMAND ${CMAKE_COMMAND} -E copy $<TARGET_FILE:quarvel>
    $<TARGET_FILE_DIR:quarvel>/quarvel.wasm ${PROJECT_SOURCE_DIR}/LICENSE ${QUARVEL_WEB_SITE}
  # The same files give the same zip: no time stamps of the build's own
  COMMAND python3 ${PROJECT_SOURCE_DIR}/web/pack_zip.py ${QUARVEL_WEB_ZIP} ${QUARVEL_RELEASE_DATE}
    ${QUARVEL_WEB_SITE}/index.html ${QUARVEL_WEB_SITE}/quarvel.js
    ${QUARVEL_WEB_SITE}/quarvel.wasm ${QUARVEL_WEB_SITE}/LICENSE
  DEPENDS quarvel ${QUARVEL_WEB_SITE}/index.html ${PROJECT_SOURCE_DIR}/LICENSE
    ${PROJECT_SOURCE_DIR}/web/pack_zip.py
  COMMENT "The page: quarvel-${PROJECT_VERSION}-web.zip")
add_custom_target(web_zip ALL DEPENDS ${QUARVEL_WEB_ZIP})

# [SECTION] Tests
enable_testing()
add_subdirectory(tests/web)
