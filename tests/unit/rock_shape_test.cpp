#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <numbers>
#include <set>
#include <utility>
#include <vector>

#include "expect_vector.h"
#include "math/colour.h"
#include "objects/fragment.h"
#include "objects/rock.h"
#include "system/random.h"
#include "world/world.h"

static float Dot(const Vector3 &a, const Vector3 &b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

static Vector3 Cross(const Vector3 &a, const Vector3 &b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The jitter factor of one vertex, drawn as the shape generator draws it.
static float DrawJitter()
{
    return 1.0f - static_cast<float>(GameRand() % 50) * 0.01f;
}

// How many values an action takes from the generator: the four values that
// follow it are looked up in the sequence of a freshly seeded generator.
static int DrawsTaken(unsigned seed, const std::function<void()> &action)
{
    GameSrand(seed);
    action();
    int after[4];
    for (int &value : after)
        value = GameRand();
    GameSrand(seed);
    std::vector<int> sequence(4000);
    for (int &value : sequence)
        value = GameRand();
    for (size_t n = 0; n + 4 <= sequence.size(); ++n)
        if (std::equal(after, after + 4, sequence.begin() + static_cast<std::ptrdiff_t>(n)))
            return static_cast<int>(n);
    return -1;
}

class RockShape : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetWorld();
        GameSrand(2024);
    }
    void TearDown() override { ResetWorld(); }
};

TEST_F(RockShape, FullDetailShapeIsClosedAndEveryFaceLooksOutwards)
{
    const Rock rock(2.5f, -1.5f, 0.0f);
    ASSERT_EQ(rock.vertexCount, 32);
    ASSERT_EQ(rock.vertices.size(), 32u);
    ASSERT_EQ(rock.faceCount, 60);
    ASSERT_EQ(rock.faces.size(), 60u);

    std::set<int> used;
    std::map<std::pair<int, int>, int> edges;
    for (int i = 0; i < rock.faceCount; ++i) {
        const Triangle &f = rock.faces[i];
        for (int corner : {f.a, f.b, f.c}) {
            ASSERT_GE(corner, 0) << "face " << i;
            ASSERT_LT(corner, 32) << "face " << i;
            used.insert(corner);
        }
        // The sign of this triple product does not change when a corner is
        // pulled in by its jitter, so it holds for every random shape.
        const Vector3 a = Subtract(rock.vertices[f.a], rock.position);
        const Vector3 b = Subtract(rock.vertices[f.b], rock.position);
        const Vector3 c = Subtract(rock.vertices[f.c], rock.position);
        EXPECT_GT(Dot(a, Cross(b, c)), 0.0f) << "face " << i << " is clockwise seen from outside";
        ++edges[{f.a, f.b}];
        ++edges[{f.b, f.c}];
        ++edges[{f.c, f.a}];
    }
    EXPECT_EQ(used.size(), 32u) << "every vertex belongs to a face";
    // A closed surface wound one way crosses each edge once in each direction.
    for (const auto &[edge, count] : edges) {
        EXPECT_EQ(count, 1) << "edge " << edge.first << "-" << edge.second;
        EXPECT_EQ(edges.count({edge.second, edge.first}), 1u)
            << "edge " << edge.first << "-" << edge.second << " has no opposite";
    }

    const int firstFaces[8][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 4}, {0, 4, 5},
                                  {0, 5, 6}, {0, 6, 1}, {31, 30, 29}, {31, 29, 28}};
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(rock.faces[i].a, firstFaces[i][0]) << "face " << i;
        EXPECT_EQ(rock.faces[i].b, firstFaces[i][1]) << "face " << i;
        EXPECT_EQ(rock.faces[i].c, firstFaces[i][2]) << "face " << i;
    }
}

TEST_F(RockShape, VerticesFormAJitteredRingSphereAboutAnUnmovedCentre)
{
    Rock rock(3.25f, -2.5f, 0.75f);
    const Vector3 centre = rock.position;
    const std::vector<Vector3> colours = rock.colours;
    const std::vector<Triangle> faces = rock.faces;

    GameSrand(77);
    rock.GenerateRockVertices(rockDetail);
    EXPECT_NEAR(rock.position.x, centre.x, tolerance);
    EXPECT_NEAR(rock.position.y, centre.y, tolerance);
    EXPECT_NEAR(rock.position.z, centre.z, tolerance);
    EXPECT_EQ(rock.colours.size(), colours.size()) << "the colours are not the generator's business";
    EXPECT_EQ(rock.faces.size(), faces.size());

    // Each vertex's jitter: top pole, bottom pole, then the rings in index order.
    GameSrand(77);
    std::vector<float> jitter(32);
    jitter[0] = DrawJitter();
    jitter[31] = DrawJitter();
    for (int i = 1; i <= 30; ++i)
        jitter[i] = DrawJitter();

    for (int i = 0; i < 32; ++i) {
        const Vector3 offset = Subtract(rock.vertices[i], centre);
        const float length = Length(offset);
        EXPECT_NEAR(length, jitter[i], tolerance) << "vertex " << i << " took the wrong draw";
        EXPECT_GE(length, 0.51f - tolerance) << "vertex " << i;
        EXPECT_LE(length, 1.0f + tolerance) << "vertex " << i;

        // The direction before the jitter: the ring point (cos a, sin e,
        // -sin a) normalised, with the azimuth running on across rings.
        Vector3 want{0.0f, i == 0 ? 1.0f : -1.0f, 0.0f};
        if (i >= 1 && i <= 30) {
            const int ring = (i - 1) / 6, k = (i - 1) % 6;
            const double e = std::numbers::pi / 2 - (ring + 1) * std::numbers::pi / 6;
            const double a = (k + 1) * std::numbers::pi / 3;
            want = {static_cast<float>(std::cos(a)), static_cast<float>(std::sin(e)),
                    static_cast<float>(-std::sin(a))};
            Normalize(want);
        }
        const Vector3 direction = Multiply(offset, 1.0f / length);
        EXPECT_NEAR(direction.x, want.x, tolerance) << "vertex " << i;
        EXPECT_NEAR(direction.y, want.y, tolerance) << "vertex " << i;
        EXPECT_NEAR(direction.z, want.z, tolerance) << "vertex " << i;
    }
    const Vector3 first = Multiply(Subtract(rock.vertices[1], centre), 1.0f / jitter[1]);
    EXPECT_NEAR(first.x, 0.3780f, 1e-4f);
    EXPECT_NEAR(first.y, 0.6547f, 1e-4f) << "the ring's horizontal part is not scaled by cos e";
    EXPECT_NEAR(first.z, -0.6547f, 1e-4f);
}

TEST_F(RockShape, FragmentShapeIsTwelveFixedTrianglesOverTheFirstEightVertices)
{
    const Rock rock(0.0f, 0.0f, 0.0f);
    const Fragment fragment(rock, 0.2f);
    ASSERT_EQ(fragment.vertexCount, 14);
    ASSERT_EQ(fragment.vertices.size(), 14u);
    ASSERT_EQ(fragment.faceCount, 12);
    ASSERT_EQ(fragment.faces.size(), 12u);
    const int want[12][3] = {{0, 1, 2}, {0, 2, 3}, {0, 3, 1}, {7, 6, 5}, {7, 5, 4}, {7, 4, 6},
                             {1, 3, 6}, {1, 6, 4}, {2, 1, 4}, {2, 4, 5}, {3, 2, 5}, {3, 5, 6}};
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(fragment.faces[i].a, want[i][0]) << "face " << i;
        EXPECT_EQ(fragment.faces[i].b, want[i][1]) << "face " << i;
        EXPECT_EQ(fragment.faces[i].c, want[i][2]) << "face " << i;
    }
    // The colour list is the rock's, longer than the new vertex list.
    ASSERT_EQ(fragment.colours.size(), 32u);
    for (int i = 0; i < 8; ++i) {
        EXPECT_FLOAT_EQ(fragment.colours[i].x, rock.colours[i].x) << "colour " << i;
        EXPECT_FLOAT_EQ(fragment.colours[i].y, rock.colours[i].y) << "colour " << i;
        EXPECT_FLOAT_EQ(fragment.colours[i].z, rock.colours[i].z) << "colour " << i;
    }
}

TEST_F(RockShape, ColoursShareOneHueAndGreysTakeTheirLevelFromTheFirstDraw)
{
    Rock rock(0.0f, 0.0f, 0.0f);
    GameSrand(5);
    rock.GenerateRockColours(200);
    ASSERT_EQ(rock.colours.size(), 32u);
    GameSrand(5);
    for (int i = 0; i < 32; ++i) {
        const float value = static_cast<float>(GameRand() % 60 + 40) * 0.01f;
        const float saturation = static_cast<float>(GameRand() % 60 + 40) * 0.01f;
        const Vector3 &c = rock.colours[i];
        const Vector3 hsv = RgbToHsv(c.x, c.y, c.z);
        EXPECT_NEAR(hsv.x, 200.0f, 1e-3f) << "colour " << i;
        EXPECT_NEAR(hsv.y, saturation, tolerance) << "colour " << i << ": saturation is the second draw";
        EXPECT_NEAR(hsv.z, value, tolerance) << "colour " << i << ": value is the first draw";
    }

    GameSrand(6);
    rock.GenerateRockColours(-1);
    GameSrand(6);
    for (int i = 0; i < 32; ++i) {
        const float value = static_cast<float>(GameRand() % 60 + 40) * 0.01f;
        GameRand(); // the saturation draw is taken for greys too
        const Vector3 &c = rock.colours[i];
        EXPECT_NEAR(c.x, value, tolerance) << "grey " << i;
        EXPECT_NEAR(c.y, value, tolerance) << "grey " << i;
        EXPECT_NEAR(c.z, value, tolerance) << "grey " << i;
        EXPECT_GE(c.x, 0.40f - tolerance);
        EXPECT_LE(c.x, 0.99f + tolerance);
    }
}

TEST_F(RockShape, RadiusIsTheMeanDistanceOfEveryVertexAndContainmentIsStrict)
{
    Rock rock(1.0f, 2.0f, 3.0f);
    rock.position = {1.0f, 2.0f, 3.0f};
    rock.vertexCount = 4;
    rock.vertices = {{2, 2, 3}, {1, 4, 3}, {1, 2, 6}, {1, 2, -3}};
    rock.ComputeRadius();
    EXPECT_NEAR(rock.radius, 3.0f, tolerance) << "(1 + 2 + 3 + 6) / 4, z included";

    rock.radius = 0.5f;
    EXPECT_FALSE(rock.ContainsPoint({1.5f, 2.0f, 3.0f})) << "a point at exactly the radius is outside";
    EXPECT_TRUE(rock.ContainsPoint({1.25f, 2.0f, 3.0f}));
    EXPECT_FALSE(rock.ContainsPoint({1.0f, 2.0f, 3.625f})) << "z difference counts";
    EXPECT_TRUE(rock.ContainsPoint({1.0f, 2.0f, 3.375f}));

    // Vertices 8 to 13 of a fragment are never drawn but still count.
    Fragment fragment(Rock(0.0f, 0.0f, 0.0f), 0.2f);
    float sum = 0.0f;
    for (const Vector3 &v : fragment.vertices)
        sum += Length(Subtract(v, fragment.position));
    fragment.ComputeRadius();
    EXPECT_NEAR(fragment.radius, sum / 14.0f, 1e-6f);
}

TEST_F(RockShape, EachShapeTakesItsOwnNumberOfRandomDraws)
{
    Rock rock(0.0f, 0.0f, 0.0f);
    EXPECT_EQ(DrawsTaken(11, [&] { rock.GenerateRockVertices(rockDetail); }), 32);
    EXPECT_EQ(DrawsTaken(12, [&] { rock.GenerateRockVertices(fragmentDetail); }), 14);
    EXPECT_EQ(DrawsTaken(13, [&] { rock.GenerateRockColours(40); }), 28) << "two per vertex";
    EXPECT_EQ(DrawsTaken(14, [&] { rock.GenerateRockFaces(6, 6); }), 0);

    const Rock source(1.0f, 1.0f, 0.0f);
    EXPECT_EQ(DrawsTaken(15, [] { Rock made(4.0f, 5.0f, 0.0f); }), 102);
    EXPECT_EQ(DrawsTaken(16, [&] { Fragment made(source, 0.2f); }), 17);
    EXPECT_EQ(DrawsTaken(17, [] { Fragment made(Vector3{1.0f, 2.0f, 0.0f}, 0.3f); }), 147);
}
