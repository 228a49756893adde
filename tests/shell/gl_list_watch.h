#pragma once

#include <vector>

#include "system/opengl.h"

// Every glDeleteLists the code under test makes in this test program, as
// seen in the context current at that moment. The shell's font lists die
// with their context anyway on the scripted backend, so only a look at the
// moment of deletion can tell whether the shell deleted them itself, and
// in the right context.
struct DeletedLists {
    GLuint  base;
    GLsizei range;
    int     listsBefore; // of base .. base + range - 1, lists that existed
    int     listsAfter;  // and those still there after the call
};

extern std::vector<DeletedLists> deletedLists;
