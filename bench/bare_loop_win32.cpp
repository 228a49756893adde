// quarvel-bare-loop.exe: the fastest frame the window quarvel.exe asks for
// can have, for the Windows build under Wine: full screen 800 x 600 at 32
// bits, a popup window, a double-buffered RGBA pixel format with a 16-bit
// depth buffer through WGL, no swap interval; then only clear and swap,
// the queue emptied every frame. Read against the Linux bare loop, it
// tells Wine's cost; against quarvel.exe, the game's.
//
//   quarvel-bare-loop.exe [--seconds S]
//
// Prints "frames N", "ms N" and "fps X" on stdout.

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <windows.h>
#include <GL/gl.h>

static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

int main(int argc, char **argv)
{
    double seconds = 5.0;
    for (int i = 1; i < argc; ++i) {
        char *end = nullptr;
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc)
            seconds = std::strtod(argv[++i], &end);
        if (!end || *end != '\0' || !(seconds > 0.0 && seconds <= 3600.0)) {
            std::fprintf(stderr, "usage: quarvel-bare-loop.exe [--seconds S], 0 < S <= 3600\n");
            return 2;
        }
    }

    const HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW | CS_OWNDC;
    windowClass.lpfnWndProc = Procedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    windowClass.lpszClassName = "QuarvelBareLoop";
    if (!RegisterClassA(&windowClass)) {
        std::fprintf(stderr, "quarvel-bare-loop: RegisterClassA failed (%lu)\n", GetLastError());
        return 1;
    }
    DEVMODEA mode = {};
    mode.dmSize = sizeof mode;
    mode.dmFields = DM_BITSPERPEL | DM_PELSWIDTH | DM_PELSHEIGHT;
    mode.dmPelsWidth = 800;
    mode.dmPelsHeight = 600;
    mode.dmBitsPerPel = 32;
    const bool fullscreen = ChangeDisplaySettingsA(&mode, CDS_FULLSCREEN) == DISP_CHANGE_SUCCESSFUL;
    const DWORD style = fullscreen ? WS_POPUP : WS_OVERLAPPEDWINDOW;
    const HWND window = CreateWindowExA(WS_EX_APPWINDOW, windowClass.lpszClassName,
                                        "Quarvel bare loop", style | WS_CLIPSIBLINGS | WS_CLIPCHILDREN,
                                        0, 0, 800, 600, nullptr, nullptr, instance, nullptr);
    const HDC device = window ? GetDC(window) : nullptr;
    PIXELFORMATDESCRIPTOR format = {};
    format.nSize = sizeof format;
    format.nVersion = 1;
    format.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    format.iPixelType = PFD_TYPE_RGBA;
    format.cColorBits = 32;
    format.cDepthBits = 16;
    format.iLayerType = PFD_MAIN_PLANE;
    const int chosen = device ? ChoosePixelFormat(device, &format) : 0;
    const HGLRC context = chosen && SetPixelFormat(device, chosen, &format) ? wglCreateContext(device)
                                                                           : nullptr;
    if (!context || !wglMakeCurrent(device, context)) {
        std::fprintf(stderr, "quarvel-bare-loop: no WGL context (%lu)\n", GetLastError());
        if (fullscreen)
            ChangeDisplaySettingsA(nullptr, 0);
        return 1;
    }
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    // No waiting for the vertical blank, as the game asks with F2
    using SwapInterval = BOOL(WINAPI *)(int);
    const auto swapInterval = reinterpret_cast<SwapInterval>(
        reinterpret_cast<void (*)()>(wglGetProcAddress("wglSwapIntervalEXT")));
    if (swapInterval)
        swapInterval(0);
    glViewport(0, 0, 800, 600);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);

    // One frame before the clock starts: the first swap pays for setting up
    // the back buffer, which the game's counted frames do not.
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    SwapBuffers(device);

    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    const LONGLONG stop = start.QuadPart + static_cast<LONGLONG>(seconds * frequency.QuadPart);
    long frames = 0;
    bool closed = false;
    now = start;
    while (now.QuadPart < stop && !closed) {
        // A program with a window empties its queue every frame; so does
        // the game.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT)
                closed = true;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        SwapBuffers(device);
        ++frames;
        QueryPerformanceCounter(&now);
    }

    const double ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
                      static_cast<double>(frequency.QuadPart);
    std::printf("frames %ld\nms %.0f\nfps %.1f\n", frames, ms, frames / (ms * 0.001));
    std::fflush(stdout);

    wglMakeCurrent(nullptr, nullptr);
    wglDeleteContext(context);
    ReleaseDC(window, device);
    DestroyWindow(window);
    if (fullscreen)
        ChangeDisplaySettingsA(nullptr, 0);
    return 0;
}
