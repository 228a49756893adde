#include <gtest/gtest.h>

#include "gl_test.h"
#include "objects/mesh_object.h"

static MeshObject RgbTriangle()
{
    MeshObject mesh;
    mesh.vertexCount = 3;
    mesh.vertices = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
    mesh.colours = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    const Triangle face{0, 1, 2};
    mesh.SetFaces(1, &face);
    return mesh;
}

TEST(MeshObjectFaces, SetFacesReplacesTheWholeList)
{
    MeshObject mesh = RgbTriangle();
    const Triangle table[] = {{2, 1, 0}, {0, 2, 1}};
    mesh.SetFaces(2, table);
    ASSERT_EQ(mesh.faceCount, 2);
    ASSERT_EQ(mesh.faces.size(), 2u);
    EXPECT_EQ(mesh.faces[0].a, 2);
    EXPECT_EQ(mesh.faces[1].b, 2);

    mesh.SetFaces(0, nullptr);
    EXPECT_EQ(mesh.faceCount, 0);
    EXPECT_TRUE(mesh.faces.empty());
}

TEST(MeshObjectFaces, CopyHasItsOwnFaces)
{
    MeshObject source = RgbTriangle();
    source.velocity = {3, 0, 0};
    MeshObject copy(source);
    ASSERT_EQ(copy.faceCount, 1);
    EXPECT_EQ(copy.faces[0].a, 0);
    EXPECT_EQ(copy.faces[0].c, 2);
    EXPECT_EQ(copy.velocity.x, 0.0f) << "a mesh copy starts at rest too";

    const Triangle other{1, 2, 0};
    copy.SetFaces(1, &other);
    EXPECT_EQ(source.faces[0].a, 0) << "replacing the copy's faces must not touch the source";
    EXPECT_EQ(source.faces[0].b, 1);
}

class MeshObjectDraw : public GlTest {};

TEST_F(MeshObjectDraw, CornersArriveInFaceOrderWithTheirColours)
{
    MeshObject mesh = RgbTriangle();
    const auto fed = CaptureFeedback([&] { mesh.Draw(); });
    ASSERT_EQ(fed.size(), 1u);
    ASSERT_EQ(fed[0].kind, static_cast<GLenum>(GL_POLYGON_TOKEN));
    ASSERT_EQ(fed[0].vertices.size(), 3u);
    const float want[3][6] = {{0, 0, 0, 1, 0, 0}, {1, 0, 0, 0, 1, 0}, {0, 1, 0, 0, 0, 1}};
    for (int k = 0; k < 3; ++k) {
        const FedVertex &v = fed[0].vertices[k];
        EXPECT_NEAR(v.x, want[k][0], 1e-4f) << "corner " << k;
        EXPECT_NEAR(v.y, want[k][1], 1e-4f) << "corner " << k;
        EXPECT_NEAR(v.z, want[k][2], 1e-4f) << "corner " << k;
        EXPECT_FLOAT_EQ(v.r, want[k][3]) << "corner " << k;
        EXPECT_FLOAT_EQ(v.g, want[k][4]) << "corner " << k;
        EXPECT_FLOAT_EQ(v.b, want[k][5]) << "corner " << k;
    }
}

TEST_F(MeshObjectDraw, OnlyTheLatestFaceListIsDrawnAndSharedCornersRepeat)
{
    MeshObject mesh = RgbTriangle();
    mesh.vertexCount = 4;
    mesh.vertices.push_back({1, 1, 0});
    mesh.colours.push_back({1, 1, 1});
    const Triangle quad[] = {{0, 1, 3}, {0, 3, 2}};
    mesh.SetFaces(2, quad);
    const auto fed = CaptureFeedback([&] { mesh.Draw(); });
    ASSERT_EQ(fed.size(), 2u) << "the first list must be gone";
    EXPECT_NEAR(fed[1].vertices[0].x, 0.0f, 1e-4f);
    EXPECT_NEAR(fed[1].vertices[1].x, 1.0f, 1e-4f) << "vertex 3 is sent again for the second face";
    EXPECT_NEAR(fed[1].vertices[1].y, 1.0f, 1e-4f);
    EXPECT_FLOAT_EQ(fed[1].vertices[2].b, 1.0f) << "third corner is vertex 2, blue";

    MeshObject empty;
    EXPECT_TRUE(CaptureFeedback([&] { empty.Draw(); }).empty());
}
