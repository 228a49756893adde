// libquarvel-frame-stamps.so: preloaded into the real game (LD_PRELOAD),
// it timestamps every buffer swap and a few calls around it, and changes
// nothing the game does: each wrapper calls the real function with the
// same arguments, and only counts or reads the clock around it.
//
//   QUARVEL_FRAME_STAMPS=FILE LD_PRELOAD=.../libquarvel-frame-stamps.so quarvel
//
// At exit (the game ends normally on SIGTERM) FILE gets one line per frame
//   frame INDEX CLEAR_NS SWAP_IN_NS SWAP_OUT_NS BEGINS LIT SPHERES SPHERE_NS
// (CLOCK_MONOTONIC; CLEAR_NS is the frame's first glClear, 0 without one;
// BEGINS counts glBegin outside gluSphere; LIT the explosion lights handed
// a non-black diffuse colour; SPHERE_NS the time inside gluSphere), and one
// line per window call
//   call NAME START_NS END_NS
// for SDL_CreateWindow, SDL_DestroyWindow and SDL_GL_CreateContext.
// Records live in fixed arrays; what does not fit is counted and dropped.

#include <GL/gl.h>
#include <GL/glu.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

struct SDL_Window;

namespace {

struct FrameRecord {
    int64_t  clearNs;    // first glClear of the frame, 0 when none
    int64_t  swapInNs;   // SDL_GL_SwapWindow called
    int64_t  swapOutNs;  // SDL_GL_SwapWindow returned
    int64_t  sphereNs;   // time inside gluSphere this frame
    uint32_t begins;     // glBegin calls outside gluSphere
    uint16_t lit;        // GL_LIGHT1..7 given a non-black GL_DIFFUSE
    uint16_t spheres;    // gluSphere calls
};

struct CallRecord {
    const char *name;
    int64_t     startNs;
    int64_t     endNs;
};

// About 400 s at 1,000 frames per second; pages untouched cost nothing.
constexpr size_t maxFrames = 400000;
constexpr size_t maxCalls = 256;

FrameRecord frames[maxFrames];
CallRecord  calls[maxCalls];
size_t      frameCount = 0;   // frames completed (swaps returned)
size_t      callCount = 0;
size_t      dropped = 0;      // records that did not fit
FrameRecord current = {};     // the frame being drawn
bool        inSphere = false; // glBegin from inside gluSphere is the sphere's
pid_t       owner = 0;        // the process that writes the file (not a fork)

int64_t NowNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000 + now.tv_nsec;
}

// The next definition of NAME after this library, looked up once.
template <typename F> F Next(F &cache, const char *name)
{
    if (!cache) {
        cache = reinterpret_cast<F>(dlsym(RTLD_NEXT, name));
        if (!cache) {
            std::fprintf(stderr, "frame-stamps: no %s to wrap: %s\n", name, dlerror());
            std::abort();
        }
    }
    return cache;
}

void RecordCall(const char *name, int64_t startNs)
{
    const int64_t endNs = NowNs();
    if (callCount < maxCalls)
        calls[callCount++] = {name, startNs, endNs};
    else
        ++dropped;
}

__attribute__((constructor)) void Start()
{
    owner = getpid();
}

__attribute__((destructor)) void WriteOut()
{
    const char *path = std::getenv("QUARVEL_FRAME_STAMPS");
    if (!path || getpid() != owner)
        return;
    FILE *file = std::fopen(path, "w");
    if (!file) {
        std::fprintf(stderr, "frame-stamps: cannot write %s\n", path);
        return;
    }
    for (size_t i = 0; i < frameCount; ++i) {
        const FrameRecord &f = frames[i];
        std::fprintf(file, "frame %zu %lld %lld %lld %u %u %u %lld\n", i,
                     static_cast<long long>(f.clearNs), static_cast<long long>(f.swapInNs),
                     static_cast<long long>(f.swapOutNs), f.begins, f.lit, f.spheres,
                     static_cast<long long>(f.sphereNs));
    }
    for (size_t i = 0; i < callCount; ++i)
        std::fprintf(file, "call %s %lld %lld\n", calls[i].name,
                     static_cast<long long>(calls[i].startNs),
                     static_cast<long long>(calls[i].endNs));
    if (dropped)
        std::fprintf(file, "dropped %zu\n", dropped);
    std::fclose(file);
}

} // namespace

extern "C" {

int SDL_GL_SwapWindow(SDL_Window *window)
{
    static int (*real)(SDL_Window *) = nullptr;
    Next(real, "SDL_GL_SwapWindow");
    current.swapInNs = NowNs();
    const int result = real(window);
    current.swapOutNs = NowNs();
    if (frameCount < maxFrames)
        frames[frameCount++] = current;
    else
        ++dropped;
    current = FrameRecord{};
    return result;
}

SDL_Window *SDL_CreateWindow(const char *title, int x, int y, int w, int h, uint32_t flags)
{
    static SDL_Window *(*real)(const char *, int, int, int, int, uint32_t) = nullptr;
    Next(real, "SDL_CreateWindow");
    const int64_t start = NowNs();
    SDL_Window *window = real(title, x, y, w, h, flags);
    RecordCall("SDL_CreateWindow", start);
    return window;
}

void SDL_DestroyWindow(SDL_Window *window)
{
    static void (*real)(SDL_Window *) = nullptr;
    Next(real, "SDL_DestroyWindow");
    const int64_t start = NowNs();
    real(window);
    RecordCall("SDL_DestroyWindow", start);
}

void *SDL_GL_CreateContext(SDL_Window *window)
{
    static void *(*real)(SDL_Window *) = nullptr;
    Next(real, "SDL_GL_CreateContext");
    const int64_t start = NowNs();
    void *context = real(window);
    RecordCall("SDL_GL_CreateContext", start);
    return context;
}

void glClear(GLbitfield mask)
{
    static void (*real)(GLbitfield) = nullptr;
    Next(real, "glClear");
    if (current.clearNs == 0)
        current.clearNs = NowNs();
    real(mask);
}

void glBegin(GLenum mode)
{
    static void (*real)(GLenum) = nullptr;
    Next(real, "glBegin");
    if (!inSphere)
        ++current.begins;
    real(mode);
}

void glLightfv(GLenum light, GLenum pname, const GLfloat *params)
{
    static void (*real)(GLenum, GLenum, const GLfloat *) = nullptr;
    Next(real, "glLightfv");
    // GL_LIGHT0 is the fixed dim light; the others flash at a kill
    if (pname == GL_DIFFUSE && light > GL_LIGHT0 && light <= GL_LIGHT7 &&
        params[0] + params[1] + params[2] > 0.0f)
        ++current.lit;
    real(light, pname, params);
}

void gluSphere(GLUquadric *quadric, GLdouble radius, GLint slices, GLint stacks)
{
    static void (*real)(GLUquadric *, GLdouble, GLint, GLint) = nullptr;
    Next(real, "gluSphere");
    const int64_t start = NowNs();
    inSphere = true;
    real(quadric, radius, slices, stacks);
    inSphere = false;
    current.sphereNs += NowNs() - start;
    ++current.spheres;
}

} // extern "C"
