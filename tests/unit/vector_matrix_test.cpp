#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "expect_vector.h"
#include "math/matrix4.h"
#include "math/vector3.h"

static Vector3 Transformed(const Matrix4 &m, Vector3 p)
{
    TransformPoint(m, p);
    return p;
}

TEST(Vector3Ops, NormalizeLeavesZeroAndScalesOthersToUnit)
{
    Vector3 zero;
    Normalize(zero);
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(zero.y, 0.0f);
    EXPECT_EQ(zero.z, 0.0f);
    EXPECT_FALSE(std::isnan(zero.x)) << "normalising the zero vector must not divide by zero";

    Vector3 v{0.0f, 3.0f, 4.0f};
    Normalize(v);
    ExpectNear(v, 0.0f, 0.6f, 0.8f, "(0,3,4) normalised", mathsTolerance);
}

TEST(Vector3Ops, DivideIsOneReciprocalTimesEachComponent)
{
    // 1/3 rounded, then multiplied: differs from 1.0f/3.0f... for some
    // inputs; pick one where the two forms disagree.
    const Vector3 v{10.0f, 7.0f, 0.1f};
    const float s = 3.0f;
    const Vector3 d = Divide(v, s);
    const float r = 1.0f / s;
    EXPECT_EQ(d.x, 10.0f * r);
    EXPECT_EQ(d.y, 7.0f * r);
    EXPECT_EQ(d.z, 0.1f * r);
    EXPECT_NE(d.x, 10.0f / 3.0f) << "10*(1/3) must round differently from 10/3 in float";

    const Vector3 inf = Divide(v, 0.0f);
    EXPECT_TRUE(std::isinf(inf.x) && std::isinf(inf.y)) << "division by zero gives infinities";
}

TEST(Vector3Ops, ArithmeticLeavesOperandsAlone)
{
    const Vector3 a{1.0f, 2.0f, 3.0f};
    const Vector3 b{0.5f, -1.0f, 2.0f};
    ExpectNear(Add(a, b), 1.5f, 1.0f, 5.0f, "Add", mathsTolerance);
    ExpectNear(Subtract(a, b), 0.5f, 3.0f, 1.0f, "Subtract", mathsTolerance);
    ExpectNear(Negate(a), -1.0f, -2.0f, -3.0f, "Negate", mathsTolerance);
    ExpectNear(Multiply(a, 2.0f), 2.0f, 4.0f, 6.0f, "Multiply", mathsTolerance);
    EXPECT_FLOAT_EQ(Length(Vector3{2.0f, 3.0f, 6.0f}), 7.0f);
    ExpectNear(a, 1.0f, 2.0f, 3.0f, "operand unchanged", mathsTolerance);
}

TEST(Matrix4Builders, DefaultIsAllZerosAndIdentityHasOnesOnTheDiagonal)
{
    const Matrix4 zero;
    const Matrix4 id = Identity();
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(zero.m[i], 0.0f) << "element " << i;
        EXPECT_EQ(id.m[i], (i % 5 == 0) ? 1.0f : 0.0f) << "element " << i;
    }
}

TEST(Matrix4Builders, RotationByZeroIsExactlyTheIdentity)
{
    const Vector3 axes[] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.6f, 0.8f, 0.0f}};
    const Matrix4 id = Identity();
    for (const Vector3 &axis : axes) {
        const Matrix4 r = Rotation(0.0f, axis);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(r.m[i], id.m[i]) << "element " << i << " about (" << axis.x << "," << axis.y
                                       << "," << axis.z << ")";
    }
}

TEST(Matrix4Builders, RotationFollowsTheRightHandRule)
{
    const float halfPi = 1.5707964f;
    ExpectNear(Transformed(Rotation(halfPi, {0, 0, 1}), {1, 0, 0}), 0, 1, 0, "x about z",
               mathsTolerance);
    ExpectNear(Transformed(Rotation(halfPi, {0, 1, 0}), {0, 0, 1}), 1, 0, 0, "z about y",
               mathsTolerance);
    ExpectNear(Transformed(Rotation(halfPi, {0, 1, 0}), {1, 0, 0}), 0, 0, -1, "x about y",
               mathsTolerance);
    // cos and sin are rounded to float once: cos(pi/2 as float) is about -4.4e-8.
    const Vector3 p = Transformed(Rotation(halfPi, {0, 0, 1}), {1, 0, 0});
    EXPECT_EQ(p.x, static_cast<float>(std::cos(static_cast<double>(halfPi))));
}

TEST(Matrix4Builders, TranslationAlongAxesWithWorldAxesIsAPlainTranslation)
{
    const Matrix4 a = TranslationAlongAxes({1, 2, 3}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1});
    const Matrix4 b = Translation(1, 2, 3);
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(a.m[i], b.m[i]) << "element " << i;

    // Along turned axes: x goes along side, y along up, z along forward.
    const Matrix4 c = TranslationAlongAxes({1, 2, 3}, {0, 1, 0}, {-1, 0, 0}, {0, 0, 1});
    ExpectNear(Transformed(c, {}), -2, 1, 3, "offset in a turned frame", mathsTolerance);
}

TEST(Matrix4Product, RightOperandActsFirst)
{
    const Matrix4 t = Translation(1, 0, 0);
    const Matrix4 s = Scaling(2.0f);
    ExpectNear(Transformed(Product(t, s), {1, 1, 1}), 3, 2, 2, "scale, then translate",
               mathsTolerance);
    ExpectNear(Transformed(Product(s, t), {1, 1, 1}), 4, 2, 2, "translate, then scale",
               mathsTolerance);
}

TEST(Matrix4Product, IdentityIsNeutralAndOperandMayBeTheDestination)
{
    const Matrix4 m = Product(Rotation(0.7f, {0.6f, 0.0f, 0.8f}), Translation(1, -2, 3));
    const Matrix4 left = Product(Identity(), m);
    const Matrix4 right = Product(m, Identity());
    Matrix4 inPlace = m;
    inPlace = Product(inPlace, Scaling(1.5f, 2.0f, 0.5f));
    const Matrix4 elsewhere = Product(m, Scaling(1.5f, 2.0f, 0.5f));
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(left.m[i], m.m[i]) << "I*M element " << i;
        EXPECT_EQ(right.m[i], m.m[i]) << "M*I element " << i;
        EXPECT_EQ(inPlace.m[i], elsewhere.m[i]) << "stored over its operand, element " << i;
    }
}

TEST(Matrix4Transform, FourthRowIsNeverRead)
{
    Matrix4 m = Product(Translation(1, 2, 3), Scaling(2.0f, 3.0f, 4.0f));
    const Vector3 expected = Transformed(m, {1, 1, 1});
    m.m[12] = 5.0f;
    m.m[13] = -7.0f;
    m.m[14] = 0.25f;
    m.m[15] = 0.0f;
    const Vector3 actual = Transformed(m, {1, 1, 1});
    EXPECT_EQ(actual.x, expected.x);
    EXPECT_EQ(actual.y, expected.y);
    EXPECT_EQ(actual.z, expected.z);
    ExpectNear(actual, 3, 5, 7, "scaled then moved", mathsTolerance);
}

// The C library's sin and cos are the game's only mathematics that differ
// from system to system (sqrt and floor are exact everywhere), and the
// game keeps only their results rounded to float. Its angles come from a
// small set, so every one of them is checked here against the floats
// glibc gives, in one digest: the same game on Linux and on Windows.
static std::vector<float> EveryAngleOfTheGame()
{
    std::vector<float> angles;
    // The rock's rings (Rock::GenerateRockVertices, detail 6): elevation
    // steps down from the pole, the azimuth runs on from ring to ring.
    const int detail = 6;
    float elevation = 1.5707964f;
    const float step = static_cast<float>(3.14159265358979323846 / detail);
    float azimuth = 0.0f;
    for (int ring = 0; ring < detail - 1; ++ring) {
        elevation = elevation - step;
        angles.push_back(elevation);
        for (int k = 0; k < 6; ++k) {
            azimuth = azimuth + 1.0471976f;
            angles.push_back(azimuth);
        }
    }
    // Whole-millisecond frame times 0..200: a rock's spin (Rock::Update),
    // the ship's turn either way (dt * turnRate), and the quarter turns
    // that stand a new ship up.
    for (int frameMs = 0; frameMs <= 200; ++frameMs) {
        angles.push_back(static_cast<float>(frameMs * 0.0015707963267948967));
        const float dt = frameMs * 0.001f;
        angles.push_back(dt * 5.5850534f);
        angles.push_back(dt * -5.5850534f);
    }
    angles.push_back(1.5707964f);
    angles.push_back(-1.5707964f);
    return angles;
}

TEST(Matrix4Builders, SinesAndCosinesOfEveryAngleOfTheGameAreGlibcsFloats)
{
    // FNV-1a over the bits of float(sin(a)) and float(cos(a)), a in order,
    // each taken in double as Rotation takes it.
    uint64_t digest = 0xcbf29ce484222325u;
    const auto add = [&digest](float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        for (int byte = 0; byte < 4; ++byte) {
            digest ^= (bits >> (8 * byte)) & 0xFFu;
            digest *= 0x100000001b3u;
        }
    };
    const std::vector<float> angles = EveryAngleOfTheGame();
    for (const float angle : angles) {
        add(static_cast<float>(std::sin(static_cast<double>(angle))));
        add(static_cast<float>(std::cos(static_cast<double>(angle))));
    }
    EXPECT_EQ(angles.size(), 640u);
    EXPECT_EQ(digest, 0x1d694d1107004f8eu)
        << "this C library's sin or cos rounds to another float than glibc's for an "
           "angle of the game: games would differ between systems";
}
