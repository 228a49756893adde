#include "gl_list_watch.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

std::vector<DeletedLists> deletedLists;

static int CountLists(GLuint base, GLsizei range)
{
    int count = 0;
    for (GLsizei i = 0; i < range; ++i)
        count += glIsList(base + static_cast<GLuint>(i)) ? 1 : 0;
    return count;
}

#ifdef _WIN32

// On Windows every call goes through the program's import address table, so
// the table's entry for opengl32's glDeleteLists is pointed at the watch
// when the program starts; the watch looks, forwards to the DLL's function,
// and looks again.
using DeleteLists = void(__stdcall *)(GLuint, GLsizei);
extern "C" DeleteLists __imp_glDeleteLists;
static DeleteLists library = nullptr;

static void __stdcall WatchDeleteLists(GLuint list, GLsizei range)
{
    DeletedLists seen{list, range, CountLists(list, range), 0};
    library(list, range);
    seen.listsAfter = CountLists(list, range);
    deletedLists.push_back(seen);
}

static const bool watching = [] {
    DWORD protection = 0;
    if (!VirtualProtect(&__imp_glDeleteLists, sizeof __imp_glDeleteLists, PAGE_READWRITE,
                        &protection))
        return false;
    library = __imp_glDeleteLists;
    __imp_glDeleteLists = WatchDeleteLists;
    VirtualProtect(&__imp_glDeleteLists, sizeof __imp_glDeleteLists, protection, &protection);
    return true;
}();

#else

// Defined here, this glDeleteLists stands in for the GL library's in the
// whole test program (the linker takes the program's own definition first);
// it looks, forwards to the library's, and looks again.
extern "C" void glDeleteLists(GLuint list, GLsizei range)
{
    using DeleteLists = void (*)(GLuint, GLsizei);
    static const DeleteLists library =
        reinterpret_cast<DeleteLists>(dlsym(RTLD_NEXT, "glDeleteLists"));
    DeletedLists seen{list, range, CountLists(list, range), 0};
    library(list, range);
    seen.listsAfter = CountLists(list, range);
    deletedLists.push_back(seen);
}

#endif
