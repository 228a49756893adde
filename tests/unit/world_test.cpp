#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

#include "system/opengl.h"
#include <fcntl.h>
#include <unistd.h>

#include "expect_vector.h"
#include "gl_test.h"
#include "headless/headless_game.h"
#include "objects/explosion_light.h"
#include "objects/fragment.h"
#include "objects/rock.h"
#include "objects/ship.h"
#include "objects/star.h"
#include "render/render_state.h"
#include "render/text.h"
#include "system/clock.h"
#include "system/key_state.h"
#include "system/random.h"
#include "system/virtual_keys.h"
#include "world/world.h"
#include "world_objects.h"

// What the probes saw: ids in order of update and of destruction.
static std::vector<int> updatedIds;
static std::vector<int> destroyedIds;

// A bare object whose update and destruction the test can follow.
class Probe : public SceneObject {
public:
    explicit Probe(int id) : id(id) {}
    ~Probe() override { destroyedIds.push_back(id); }
    void Update(int frameMs) override
    {
        updatedIds.push_back(id);
        lastFrameMs = frameMs;
        dead = dead || dieOnUpdate;
        if (onFirstUpdate) {
            auto action = std::move(onFirstUpdate);
            onFirstUpdate = nullptr;
            action();
        }
    }
    void Draw() override
    {
        if (onDraw)
            onDraw();
    }

    int id;
    int lastFrameMs = -1;
    bool dieOnUpdate = false;
    std::function<void()> onFirstUpdate;
    std::function<void()> onDraw;
};

static void ResetEverything(unsigned seed)
{
    ResetHeadlessWorld(1000);
    GameSrand(seed);
    updatedIds.clear();
    destroyedIds.clear();
}

class WorldPass : public ::testing::Test {
protected:
    void SetUp() override
    {
        ResetEverything(99);
        // A far rock that only the rock list knows: it keeps the wave step quiet.
        anchor = std::make_unique<Rock>(9.5f, 7.11f, 0.0f);
        world.rocks.push_back(anchor.get());
    }
    void TearDown() override
    {
        ResetWorld();
        SetClockSource(nullptr);
    }

    static Probe *AddProbe(int id)
    {
        Probe *probe = new Probe(id);
        AddObject(probe);
        return probe;
    }

    std::unique_ptr<Rock> anchor;
    std::unique_ptr<Rock> blocker;
};

TEST_F(WorldPass, DeadObjectsGoInTheirOwnPassAndTheRestAreStillUpdated)
{
    // An object appended during the walk is updated in the same pass.
    AddProbe(10)->onFirstUpdate = [] { AddProbe(11); };
    UpdateWorld(17);
    EXPECT_EQ(updatedIds, (std::vector<int>{10, 11}));
    EXPECT_EQ(static_cast<Probe *>(world.objects[1].get())->lastFrameMs, 17);

    updatedIds.clear();
    AddProbe(0)->dieOnUpdate = true;
    AddProbe(1)->dieOnUpdate = true;
    Probe *survivor = AddProbe(2);
    Probe *marker = AddProbe(3);
    // Sets an earlier entry's flag: acted on only after that entry's next update.
    marker->onFirstUpdate = [survivor] { survivor->dead = true; };

    UpdateWorld(17);
    EXPECT_EQ(updatedIds, (std::vector<int>{10, 11, 0, 1, 2, 3}));
    EXPECT_EQ(destroyedIds, (std::vector<int>{0, 1})) << "neighbours dying together both go";
    ASSERT_EQ(world.objects.size(), 4u);
    EXPECT_EQ(world.objects[2].get(), survivor);

    updatedIds.clear();
    UpdateWorld(17);
    EXPECT_EQ(updatedIds, (std::vector<int>{10, 11, 2, 3})) << "the marked object had one more update";
    EXPECT_EQ(destroyedIds, (std::vector<int>{0, 1, 2}));
}

TEST_F(WorldPass, ClearWorldDestroysFromTheLastObjectToTheFirst)
{
    for (int id = 0; id < 5; ++id)
        AddProbe(id);
    ClearWorld();
    EXPECT_EQ(destroyedIds, (std::vector<int>{4, 3, 2, 1, 0}));
    EXPECT_TRUE(world.objects.empty());
    EXPECT_EQ(world.rocks.size(), 1u) << "the rock list is not touched";
}

TEST_F(WorldPass, WavesGrowByTwoAndTakeTheirPlacesBeforeTheirShapes)
{
    for (int wave = 4; wave <= 8; wave += 2) {
        SCOPED_TRACE(wave);
        const unsigned seed = 500u + static_cast<unsigned>(wave);
        const size_t before = world.rocks.size();
        GameSrand(seed);
        SpawnWave();
        ASSERT_EQ(world.rocks.size() - before, static_cast<size_t>(wave));
        EXPECT_EQ(world.rocksPerWave, wave + 2);

        // Magnitudes, then signs, then the rock's own 102 draws.
        GameSrand(seed);
        for (int k = 0; k < wave; ++k) {
            float x = static_cast<float>(GameRand() % 5) + 5.5f;
            float y = static_cast<float>(GameRand() % 4) + 4.11f;
            if (GameRand() % 2 == 0)
                x = -x;
            if (GameRand() % 2 == 0)
                y = -y;
            for (int skip = 0; skip < 102; ++skip)
                GameRand();
            const Rock *rock = world.rocks[before + static_cast<size_t>(k)];
            EXPECT_NEAR(rock->position.x, x, tolerance) << "rock " << k;
            EXPECT_NEAR(rock->position.y, y, tolerance) << "rock " << k;
            EXPECT_EQ(rock->position.z, 0.0f);
        }
    }
    EXPECT_EQ(world.objects.size(), 18u);
}

TEST_F(WorldPass, AnEmptiedWaveIsReplacedAtTheStartOfTheNextPassAndMovesInIt)
{
    world.rocks.clear();
    CreateExplosionLights();
    Rock *last = AddRock({-6.0f, 5.0f, 0.0f});
    last->sizeClass = SmallRock;
    last->hit = true;

    UpdateWorld(20);
    EXPECT_TRUE(world.rocks.empty()) << "no wave in the pass that emptied the list";
    EXPECT_EQ(world.rocksPerWave, 4);

    UpdateWorld(20);
    ASSERT_EQ(world.rocks.size(), 4u);
    EXPECT_EQ(world.rocksPerWave, 6);
    for (const Rock *rock : world.rocks) {
        // The nearest start place; 20 ms at speed 0.9 moves a rock 0.036.
        const float x = std::copysign(std::round(std::fabs(rock->position.x) - 5.5f) + 5.5f, rock->position.x);
        const float y = std::copysign(std::round(std::fabs(rock->position.y) - 4.11f) + 4.11f, rock->position.y);
        EXPECT_NEAR(Length(Subtract(rock->position, {x, y, 0.0f})), 0.036f, tolerance)
            << "the new rocks are updated in the pass that makes them";
    }
}

TEST_F(WorldPass, NewShipComesMoreThanTwoSecondsAfterTheLossWithTheCentreClear)
{
    Ship *ship = AddShip();
    DestroyShip(*ship);
    blocker = std::make_unique<Rock>(0.0f, 0.0f, 0.0f);
    blocker->position = {0.0f, -2.7399f, 0.0f};
    world.rocks.push_back(blocker.get());
    KeyState[VK_UP] = 1;

    UseManualClock(5000);
    UpdateWorld(0);
    EXPECT_EQ(world.respawnTimer, 5000u) << "the loss is noticed at the start of the next pass";
    UseManualClock(7000);
    UpdateWorld(0);
    EXPECT_EQ(world.ship, nullptr) << "exactly 2000 ms is not more than 2000 ms";
    UseManualClock(60000);
    UpdateWorld(0);
    EXPECT_EQ(world.ship, nullptr) << "a rock inside 2.74 of the centre blocks";
    EXPECT_EQ(world.respawnTimer, 5000u);

    blocker->position = {0.0f, 2.74f, 0.0f};
    UseManualClock(60001);
    UpdateWorld(20);
    ASSERT_NE(world.ship, nullptr) << "a rock at exactly 2.74 does not block";
    EXPECT_EQ(world.respawnTimer, World::idleTimer);
    EXPECT_EQ(world.objects.back().get(), world.ship);
    EXPECT_GT(Length(world.ship->velocity), 0.0f) << "the new ship is updated in the pass that makes it";
}

TEST_F(WorldPass, RespawnDelayRunsAcrossTheWrapOfTheClock)
{
    UseManualClock(0xFFFFFC00u);
    UpdateWorld(0);
    UseManualClock(0xFFFFFC00u + 2000u); // 976 after the wrap
    UpdateWorld(0);
    EXPECT_EQ(world.ship, nullptr);
    UseManualClock(0xFFFFFC00u + 2001u);
    UpdateWorld(0);
    EXPECT_NE(world.ship, nullptr);
}

// Everything that can tell two runs apart.
struct Snapshot {
    std::vector<std::string> kinds;
    std::vector<Vector3> positions;
    uint32_t score;
    int rocksPerWave;
    bool hasShip;
};

static Snapshot PlayScriptedGame(unsigned seed)
{
    ResetEverything(seed);
    SetupLighting();
    NewGame();
    // Shield bounces write a diagnostic line each; keep them off the test log.
    std::fflush(stderr);
    const int savedStderr = dup(STDERR_FILENO);
    const int nowhere = open("/dev/null", O_WRONLY);
    dup2(nowhere, STDERR_FILENO);
    for (int frame = 0; frame < 10000; ++frame) {
        // A scripted player: short bursts of fire while turning, thrust now
        // and then, an occasional jump and shield.
        KeyState[VK_SPACE] = frame % 6 < 3;
        KeyState[VK_LEFT] = (frame / 50) % 3 == 0;
        KeyState[VK_UP] = (frame / 120) % 4 == 1;
        KeyState[VK_DOWN] = frame % 1500 == 700;
        KeyState['Z'] = (frame / 400) % 7 == 3;
        AdvanceClock(16);
        UpdateWorld(16);
    }
    dup2(savedStderr, STDERR_FILENO);
    close(savedStderr);
    close(nowhere);
    Snapshot snapshot{{}, {}, world.score, world.rocksPerWave, world.ship != nullptr};
    for (const auto &object : world.objects) {
        snapshot.kinds.push_back(typeid(*object).name());
        snapshot.positions.push_back(object->position);
    }
    ResetEverything(seed);
    return snapshot;
}

class WorldGame : public GlTest {
protected:
    void SetUp() override
    {
        GlTest::SetUp();
        ResetEverything(1234);
    }
    void TearDown() override
    {
        ResetWorld();
        SetClockSource(nullptr);
    }
};

TEST_F(WorldGame, NewGameListsLightsShipRocksAndStarsInThatOrder)
{
    SetupLighting();
    NewGame();
    ASSERT_EQ(world.objects.size(), 112u);
    ASSERT_EQ(world.lights.size(), 7u);
    ASSERT_EQ(world.rocks.size(), 4u);
    for (size_t i = 0; i < 7; ++i)
        EXPECT_EQ(world.objects[i].get(), world.lights[i]) << "object " << i;
    EXPECT_EQ(world.objects[7].get(), world.ship);
    EXPECT_NE(dynamic_cast<Ship *>(world.objects[7].get()), nullptr);
    for (size_t i = 0; i < 4; ++i)
        EXPECT_EQ(world.objects[8 + i].get(), world.rocks[i]) << "object " << 8 + i;
    for (size_t i = 12; i < 112; ++i)
        EXPECT_NE(dynamic_cast<Star *>(world.objects[i].get()), nullptr) << "object " << i;
    EXPECT_EQ(world.rocksPerWave, 6);
    EXPECT_EQ(world.score, 0u);

    UpdateWorld(20);
    EXPECT_EQ(world.rocks.size(), 4u) << "the first pass spawns no wave";
    EXPECT_EQ(world.objects.size(), 112u);
}

TEST_F(WorldGame, DrawPassSetsTheLightsBeforeOtherObjectsAndPrintsTheScoreLast)
{
    CreateExplosionLights();
    ExplosionLight *light = world.lights[0];
    light->diffuse[0] = 1.0f;
    light->diffuse[1] = 0.5f;
    light->lightPosition[0] = 4.0f;
    light->lightPosition[1] = -2.0f;
    light->lightPosition[2] = 3.0f;
    world.score = 4294967295u;

    // What GL holds for the first explosion light when the probe is drawn.
    GLboolean seenEnabled = GL_FALSE;
    GLfloat seenDiffuse[4] = {}, seenPosition[4] = {};
    Probe *probe = new Probe(0);
    probe->onDraw = [&] {
        seenEnabled = glIsEnabled(GL_LIGHT1);
        glGetLightfv(GL_LIGHT1, GL_DIFFUSE, seenDiffuse);
        glGetLightfv(GL_LIGHT1, GL_POSITION, seenPosition);
        glColor3f(0.2f, 0.3f, 0.4f);
        glBegin(GL_POINTS);
        glVertex3f(0.0f, 0.0f, 0.0f);
        glEnd();
    };
    AddObject(probe);

    // A font whose glyph lists each pass their character code through.
    const GLuint base = glGenLists(256);
    ASSERT_NE(base, 0u);
    for (GLuint c = 0; c < 256; ++c) {
        glNewList(base + c, GL_COMPILE);
        glPassThrough(static_cast<GLfloat>(c));
        glEndList();
    }
    fontListBase = base;
    glDisable(GL_LIGHT1);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(45.0, 800.0 / 600.0, 0.1, 100.0);
    glMatrixMode(GL_MODELVIEW);

    std::vector<GLfloat> buffer(1 << 16);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    DrawWorld();
    const GLint used = glRenderMode(GL_RENDER);
    GLfloat rasterColour[4] = {};
    glGetFloatv(GL_CURRENT_RASTER_COLOR, rasterColour);
    fontListBase = 0;
    glDeleteLists(base, 256);

    EXPECT_TRUE(seenEnabled);
    EXPECT_FLOAT_EQ(seenDiffuse[0], 1.0f);
    EXPECT_FLOAT_EQ(seenDiffuse[1], 0.5f);
    EXPECT_NEAR(seenPosition[0], 4.0f, tolerance);
    EXPECT_NEAR(seenPosition[2], -17.0f, tolerance) << "the camera was in place before the lights";

    // Tokens in order: the probe's point, then the text and nothing after it.
    std::string text;
    bool pointSeen = false, geometryAfterText = false;
    for (GLint at = 0; at < used;) {
        const GLenum token = static_cast<GLenum>(buffer[at++]);
        if (token == GL_PASS_THROUGH_TOKEN) {
            text += static_cast<char>(buffer[at++]);
        } else if (token == GL_POINT_TOKEN) {
            at += 7;
            pointSeen = true;
            geometryAfterText = geometryAfterText || !text.empty();
        } else {
            ADD_FAILURE() << "unexpected feedback token " << token;
            break;
        }
    }
    EXPECT_TRUE(pointSeen);
    EXPECT_FALSE(geometryAfterText) << "the score is printed after every object";
    EXPECT_EQ(text, "Score: 4294967295") << "unsigned, never a minus sign";
    EXPECT_FLOAT_EQ(rasterColour[0], 1.0f) << "the score is white";
    EXPECT_FLOAT_EQ(rasterColour[2], 1.0f) << "the score is white";
}

TEST_F(WorldGame, SameSeedAndKeysGiveTheSameGameAfterTenThousandUpdates)
{
    const Snapshot first = PlayScriptedGame(20250101);
    const Snapshot second = PlayScriptedGame(20250101);
    EXPECT_GT(first.score, 0u) << "the script should hit something";
    EXPECT_EQ(first.score, second.score);
    EXPECT_EQ(first.rocksPerWave, second.rocksPerWave);
    EXPECT_EQ(first.hasShip, second.hasShip);
    ASSERT_EQ(first.kinds, second.kinds);
    // Reproducible means bit for bit: no tolerance.
    for (size_t i = 0; i < first.positions.size(); ++i) {
        EXPECT_EQ(std::memcmp(&first.positions[i], &second.positions[i], sizeof(Vector3)), 0)
            << "object " << i << " (" << first.kinds[i] << ")";
    }
}
