# The game's OpenGL 1.1 and GLU over WebGL, for the browser build: the
# library that answers the game's gl and glu calls there. The web build
# includes this file and links quarvel_web_gl into the page's program.
add_library(quarvel_web_gl STATIC
  src/platform/web/gl/gl_pipeline.cpp
  src/platform/web/gl/gl_fixed_state.cpp
  src/platform/web/gl/gl_vertices.cpp
  src/platform/web/gl/gl_lists.cpp
  src/platform/web/gl/glu.cpp
  src/platform/web/gl/webgl_context.cpp
  src/platform/web/gl/webgl_draw.cpp)
target_include_directories(quarvel_web_gl PUBLIC ${CMAKE_CURRENT_SOURCE_DIR}/src)
