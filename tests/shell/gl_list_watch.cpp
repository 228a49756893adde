#include "gl_list_watch.h"

#include <dlfcn.h>

std::vector<DeletedLists> deletedLists;

static int CountLists(GLuint base, GLsizei range)
{
    int count = 0;
    for (GLsizei i = 0; i < range; ++i)
        count += glIsList(base + static_cast<GLuint>(i)) ? 1 : 0;
    return count;
}

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
