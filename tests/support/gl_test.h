#pragma once

#include <functional>
#include <vector>

#include "system/opengl.h"
#include <gtest/gtest.h>

// Tests that draw get a real Mesa context (SDL's offscreen driver), opened
// once per suite. Where no context can be had at all the tests skip and
// say why.
class GlTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();
    void SetUp() override;
};

// One vertex as OpenGL received it, in object coordinates, with its colour.
struct FedVertex {
    float x, y, z;
    float r, g, b, a;
};

// One primitive of the feedback buffer: GL_POINT_TOKEN, GL_LINE_TOKEN or
// GL_POLYGON_TOKEN, with its vertices in order.
struct FedPrimitive {
    GLenum kind;
    std::vector<FedVertex> vertices;
};

// Runs draw in feedback mode with lighting and culling off and an
// orthographic view of the cube -100..100, so the vertices come back in the
// coordinates they were sent in (to about 1e-5) with their colours.
std::vector<FedPrimitive> CaptureFeedback(const std::function<void()> &draw);
