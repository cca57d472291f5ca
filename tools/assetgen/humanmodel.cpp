#include "humanmodel.h"

#include "materialscript.h"
#include "meshbuilder.h"
#include "pngimage.h"
#include "skeletonbuilder.h"

#include <cmath>
#include <cstdint>

namespace assetgen
{
namespace
{
// Palette cells, in the order of the colours of a skin.
enum Cell
{
    SKIN,
    HAIR,
    SHIRT,
    TROUSERS,
    BOOTS,
    GLOVES,
    VEST,
    CAP,
    EYES,
    CELL_COUNT
};

struct TSkin
{
    const char* name;
    uint32_t colours[CELL_COUNT];
};

// Skin index order is the menu's: the picture's cells run row by row from the top left.
const TSkin SKINS[HumanModel::SKIN_COUNT] = {
    {"default",
     {0xF0C8A0FF, 0x5A3A22FF, 0x3A6EA5FF, 0x2F3B4CFF, 0x222222FF, 0x3B3B3BFF, 0x2E5A88FF, 0x5A3A22FF,
      0x1A1A1AFF}},
    {"securityguard",
     {0xD9A77FFF, 0x2B2B2BFF, 0x8FB4D9FF, 0x1F2A44FF, 0x111111FF, 0x111111FF, 0x1F2A44FF, 0x1F2A44FF,
      0x111111FF}},
    {"militaryguard",
     {0xC48E63FF, 0x3B2F20FF, 0x5B6B3AFF, 0x4A5530FF, 0x2E2A20FF, 0x2E2A20FF, 0x3F4A2AFF, 0x4A5530FF,
      0x0A0A0AFF}},
    {"supporter",
     {0xE8B896FF, 0xB85A1EFF, 0xE07B1FFF, 0x404040FF, 0x303030FF, 0x202020FF, 0xF0F0F0FF, 0xB85A1EFF,
      0x202020FF}},
};

const char* const SKELETON_NAME = "human.skeleton";
// Every animation runs over one second: the game drives them by normalised phase.
const float ANIMATION_LENGTH = 1.0f;
const unsigned WALK_KEYS = 12;
const unsigned AIM_KEYS = 10;
const float LOWEST_AIM = -90.0f;
const float HIGHEST_AIM = 90.0f;

Ogre::Quaternion turn(float degrees)
{
    return Ogre::Quaternion(Ogre::Degree(degrees), Ogre::Vector3::UNIT_Z);
}

Ogre::Vector2 cellCoordinate(Cell cell)
{
    const float size = 1.0f / HumanModel::PALETTE_CELLS;
    return Ogre::Vector2((cell % HumanModel::PALETTE_CELLS + 0.5f) * size,
                         (cell / HumanModel::PALETTE_CELLS + 0.5f) * size);
}

// Limbs hang along their bone's -y; turning a bone by a positive angle about z swings its limb
// forward (+x, the way the human faces). Index 0 is the right side (+z), 1 the left.
struct TLegs
{
    float hip[2];
    float knee[2];
    float ankle[2];
};

TLegs makeLegs(float hipRight, float kneeRight, float hipLeft, float kneeLeft)
{
    // Ankles keep the soles flat.
    return {{hipRight, hipLeft}, {kneeRight, kneeLeft}, {-(hipRight + kneeRight), -(hipLeft + kneeLeft)}};
}

struct TArms
{
    float spine;
    float head;
    float shoulder[2];
    float elbow[2];
    float wrist;
};

void keyLegs(SkeletonBuilder& skeleton, const std::string& animation, float time, const TLegs& legs)
{
    const char* sides[2] = {".R", ".L"};
    for (int side = 0; side < 2; ++side)
    {
        skeleton.setKey(animation, time, std::string("thigh") + sides[side], turn(legs.hip[side]));
        skeleton.setKey(animation, time, std::string("shin") + sides[side], turn(legs.knee[side]));
        skeleton.setKey(animation, time, std::string("foot") + sides[side], turn(legs.ankle[side]));
    }
}

void keyArms(SkeletonBuilder& skeleton, const std::string& animation, float time, const TArms& arms)
{
    skeleton.setKey(animation, time, "spine", turn(arms.spine));
    skeleton.setKey(animation, time, "head", turn(arms.head));
    const char* sides[2] = {".R", ".L"};
    for (int side = 0; side < 2; ++side)
    {
        skeleton.setKey(animation, time, std::string("upperarm") + sides[side], turn(arms.shoulder[side]));
        skeleton.setKey(animation, time, std::string("forearm") + sides[side], turn(arms.elbow[side]));
    }
    skeleton.setKey(animation, time, "weapon", turn(arms.wrist));
}

// One walk cycle: the right foot strikes the ground in front at phase 0, the left at 0.5.
TLegs walkPose(float phase, float bend, float swing)
{
    float hip[2], knee[2];
    for (int side = 0; side < 2; ++side)
    {
        float p = phase + 0.5f * side;
        float cycle = std::cos(Ogre::Math::TWO_PI * p);
        float lift = std::max(0.0f, std::sin(Ogre::Math::TWO_PI * (p - 0.5f)));
        hip[side] = bend + 5.0f + swing * cycle;
        knee[side] = -(bend * 2.0f + 6.0f + 55.0f * lift);
    }
    return makeLegs(hip[0], knee[0], hip[1], knee[1]);
}

// Arms that hold the weapon along the aim angle (degrees above the horizontal). The weapon
// bone's binding pose turns its +y along the forearm, so the forearm's direction is the aim.
TArms aimPose(float aim, bool heavy)
{
    TArms arms;
    arms.spine = aim * 0.12f;
    arms.head = aim * 0.35f - arms.spine;
    float forearm = 90.0f + aim - arms.spine;
    float rightBend = heavy ? 60.0f : 12.0f;
    float leftBend = heavy ? 35.0f : 45.0f;
    arms.shoulder[0] = forearm - rightBend;
    arms.elbow[0] = rightBend;
    arms.shoulder[1] = forearm - leftBend - (heavy ? 0.0f : 10.0f);
    arms.elbow[1] = leftBend;
    arms.wrist = 0.0f;
    return arms;
}

TArms recoilPose(float aim, bool heavy)
{
    TArms arms = aimPose(aim, heavy);
    float kick = heavy ? 8.0f : 18.0f;
    arms.shoulder[0] -= kick;
    arms.elbow[0] += kick * 1.8f;
    arms.shoulder[1] -= kick * 0.5f;
    arms.elbow[1] += kick;
    arms.wrist = heavy ? -4.0f : -8.0f;
    arms.spine -= heavy ? 6.0f : 2.0f;
    return arms;
}

// Arms pulled in with the weapon pointing up, for when a wall is in the way.
TArms blockedPose(float aim)
{
    TArms arms;
    arms.spine = aim * 0.05f;
    arms.head = aim * 0.2f;
    arms.shoulder[0] = 25.0f;
    arms.elbow[0] = 120.0f + aim * 0.15f;
    arms.shoulder[1] = 35.0f;
    arms.elbow[1] = 100.0f;
    arms.wrist = 10.0f;
    return arms;
}

void addLimb(MeshBuilder& mesh, SkeletonBuilder& skeleton, const std::string& bone, Cell cell,
             const Ogre::Vector3& size, const Ogre::Vector3& centre)
{
    mesh.setBone(skeleton.getHandle(bone));
    mesh.setTextureCoordinate(cellCoordinate(cell));
    mesh.addBox(size, 0.02f, MeshBuilder::makeTransform(centre));
}

SkeletonBuilder makeSkeleton()
{
    SkeletonBuilder skeleton;
    skeleton.addBone("pelvis", "", Ogre::Vector3::ZERO);
    // The holstered weapon hangs barrel down at the right hip.
    skeleton.addBone("holster", "pelvis", Ogre::Vector3(-0.08f, -0.05f, 0.22f), turn(180.0f));
    const char* sides[2] = {".R", ".L"};
    for (int side = 0; side < 2; ++side)
    {
        float z = side == 0 ? 0.11f : -0.11f;
        std::string suffix = sides[side];
        skeleton.addBone("thigh" + suffix, "pelvis", Ogre::Vector3(0, -0.04f, z));
        skeleton.addBone("shin" + suffix, "thigh" + suffix, Ogre::Vector3(0, -0.42f, 0));
        skeleton.addBone("foot" + suffix, "shin" + suffix, Ogre::Vector3(0, -0.42f, 0));
    }
    skeleton.addBone("spine", "pelvis", Ogre::Vector3(0, 0.08f, 0));
    skeleton.addBone("head", "spine", Ogre::Vector3(0, 0.56f, 0));
    for (int side = 0; side < 2; ++side)
    {
        float z = side == 0 ? 0.21f : -0.21f;
        std::string suffix = sides[side];
        skeleton.addBone("upperarm" + suffix, "spine", Ogre::Vector3(0, 0.5f, z));
        skeleton.addBone("forearm" + suffix, "upperarm" + suffix, Ogre::Vector3(0, -0.3f, 0));
    }
    // The hand's weapon bone: +y along the barrel, which is the forearm's -y.
    skeleton.addBone("weapon", "forearm.R", Ogre::Vector3(0, -0.28f, 0), turn(180.0f));
    return skeleton;
}
} // namespace

bool HumanModel::writeSkeleton(const std::string& dataFolder)
{
    SkeletonBuilder skeleton = makeSkeleton();
    for (const char* name : {"walkhigh", "walklow", "standhigh", "standlow", "crouch", "jump", "aimlight",
                             "recoillight", "aimheavy", "recoilheavy", "aimblocked", "reload"})
        skeleton.addAnimation(name, ANIMATION_LENGTH);

    for (unsigned key = 0; key <= WALK_KEYS; ++key)
    {
        float phase = float(key) / WALK_KEYS;
        keyLegs(skeleton, "walkhigh", phase * ANIMATION_LENGTH, walkPose(phase, 0.0f, 27.0f));
        keyLegs(skeleton, "walklow", phase * ANIMATION_LENGTH, walkPose(phase, 38.0f, 34.0f));
    }
    for (float time : {0.0f, ANIMATION_LENGTH})
    {
        keyLegs(skeleton, "standhigh", time, makeLegs(2.0f, -3.0f, -2.0f, -3.0f));
        keyLegs(skeleton, "standlow", time, makeLegs(48.0f, -92.0f, 40.0f, -88.0f));
        keyLegs(skeleton, "crouch", time, makeLegs(72.0f, -128.0f, 62.0f, -124.0f));
        keyLegs(skeleton, "jump", time, makeLegs(65.0f, -95.0f, 30.0f, -75.0f));
    }

    // Aim sweeps run from the lowest angle at time 0 to the highest at the end, evenly.
    for (unsigned key = 0; key < AIM_KEYS; ++key)
    {
        float fraction = float(key) / (AIM_KEYS - 1);
        float aim = LOWEST_AIM + (HIGHEST_AIM - LOWEST_AIM) * fraction;
        float time = fraction * ANIMATION_LENGTH;
        keyArms(skeleton, "aimlight", time, aimPose(aim, false));
        keyArms(skeleton, "recoillight", time, recoilPose(aim, false));
        keyArms(skeleton, "aimheavy", time, aimPose(aim, true));
        keyArms(skeleton, "recoilheavy", time, recoilPose(aim, true));
        keyArms(skeleton, "aimblocked", time, blockedPose(aim));
    }

    // Reload: the weapon comes down and in, the other hand works at it, the weapon goes back up.
    TArms ready = aimPose(0.0f, false);
    TArms lowered = ready;
    lowered.shoulder[0] = 40.0f;
    lowered.elbow[0] = 70.0f;
    lowered.wrist = -20.0f;
    lowered.head = -20.0f;
    TArms working = lowered;
    working.shoulder[1] = 30.0f;
    working.elbow[1] = 85.0f;
    keyArms(skeleton, "reload", 0.0f, ready);
    keyArms(skeleton, "reload", 0.25f * ANIMATION_LENGTH, lowered);
    keyArms(skeleton, "reload", 0.5f * ANIMATION_LENGTH, working);
    keyArms(skeleton, "reload", 0.75f * ANIMATION_LENGTH, lowered);
    keyArms(skeleton, "reload", ANIMATION_LENGTH, ready);

    return skeleton.write(dataFolder + "/" + SKELETON_NAME, SKELETON_NAME);
}

bool HumanModel::writeMesh(const std::string& dataFolder)
{
    SkeletonBuilder skeleton = makeSkeleton();
    MeshBuilder mesh;
    mesh.setMaterial("skin" + std::string(SKINS[0].name));

    addLimb(mesh, skeleton, "pelvis", TROUSERS, {0.26f, 0.2f, 0.34f}, {0, -0.03f, 0});
    addLimb(mesh, skeleton, "pelvis", GLOVES, {0.27f, 0.06f, 0.35f}, {0, 0.07f, 0});
    const char* sides[2] = {".R", ".L"};
    for (int side = 0; side < 2; ++side)
    {
        std::string suffix = sides[side];
        float leg = side == 0 ? 0.11f : -0.11f;
        float arm = side == 0 ? 0.21f : -0.21f;
        addLimb(mesh, skeleton, "thigh" + suffix, TROUSERS, {0.16f, 0.46f, 0.16f}, {0, -0.25f, leg});
        addLimb(mesh, skeleton, "shin" + suffix, TROUSERS, {0.14f, 0.42f, 0.14f}, {0, -0.67f, leg});
        addLimb(mesh, skeleton, "foot" + suffix, BOOTS, {0.27f, 0.09f, 0.13f}, {0.05f, -0.905f, leg});
        addLimb(mesh, skeleton, "upperarm" + suffix, SHIRT, {0.12f, 0.32f, 0.12f}, {0, 0.44f, arm});
        addLimb(mesh, skeleton, "forearm" + suffix, SHIRT, {0.1f, 0.26f, 0.1f}, {0, 0.16f, arm});
        addLimb(mesh, skeleton, "forearm" + suffix, GLOVES, {0.1f, 0.09f, 0.09f}, {0, -0.01f, arm});
    }
    addLimb(mesh, skeleton, "spine", SHIRT, {0.26f, 0.52f, 0.38f}, {0, 0.36f, 0});
    addLimb(mesh, skeleton, "spine", VEST, {0.3f, 0.32f, 0.41f}, {0, 0.42f, 0});
    addLimb(mesh, skeleton, "head", SKIN, {0.1f, 0.1f, 0.1f}, {0, 0.66f, 0});
    addLimb(mesh, skeleton, "head", SKIN, {0.24f, 0.26f, 0.22f}, {0.01f, 0.81f, 0});
    addLimb(mesh, skeleton, "head", HAIR, {0.2f, 0.18f, 0.23f}, {-0.04f, 0.86f, 0});
    addLimb(mesh, skeleton, "head", CAP, {0.27f, 0.06f, 0.24f}, {0.01f, 0.95f, 0});
    addLimb(mesh, skeleton, "head", CAP, {0.08f, 0.025f, 0.2f}, {0.16f, 0.93f, 0});
    addLimb(mesh, skeleton, "head", EYES, {0.02f, 0.04f, 0.16f}, {0.13f, 0.83f, 0});
    return mesh.writeMesh(dataFolder + "/human.mesh", SKELETON_NAME);
}

bool HumanModel::writeSkins(const std::string& dataFolder, MaterialScript& materials)
{
    PngImage portraits(2 * PORTRAIT_PIXELS, 2 * PORTRAIT_PIXELS, 0x101820FF);
    for (unsigned index = 0; index < SKIN_COUNT; ++index)
    {
        const TSkin& skin = SKINS[index];
        unsigned size = PALETTE_CELLS * CELL_PIXELS;
        PngImage palette(size, size, 0x808080FF);
        for (unsigned cell = 0; cell < CELL_COUNT; ++cell)
            palette.fillRectangle((cell % PALETTE_CELLS) * CELL_PIXELS, (cell / PALETTE_CELLS) * CELL_PIXELS,
                                  CELL_PIXELS, CELL_PIXELS, skin.colours[cell]);
        std::string name = "skin" + std::string(skin.name);
        if (!palette.save(dataFolder + "/" + name + ".png"))
            return false;
        materials.addTextured(name, name + ".png");

        // The portrait: the figure from the front, in the skin's colours.
        PngImage portrait(PORTRAIT_PIXELS, PORTRAIT_PIXELS, 0x1C2A38FF);
        portrait.fillRectangle(4, 4, 120, 120, 0x26384AFF);
        const uint32_t* c = skin.colours;
        portrait.fillRectangle(42, 112, 18, 8, c[BOOTS]);
        portrait.fillRectangle(68, 112, 18, 8, c[BOOTS]);
        portrait.fillRectangle(44, 78, 15, 35, c[TROUSERS]);
        portrait.fillRectangle(69, 78, 15, 35, c[TROUSERS]);
        portrait.fillRectangle(42, 70, 44, 12, c[TROUSERS]);
        portrait.fillRectangle(42, 68, 44, 4, c[GLOVES]);
        portrait.fillRectangle(40, 34, 48, 35, c[SHIRT]);
        portrait.fillRectangle(44, 38, 40, 22, c[VEST]);
        portrait.fillRectangle(29, 36, 11, 30, c[SHIRT]);
        portrait.fillRectangle(88, 36, 11, 30, c[SHIRT]);
        portrait.fillRectangle(29, 66, 11, 8, c[GLOVES]);
        portrait.fillRectangle(88, 66, 11, 8, c[GLOVES]);
        portrait.fillRectangle(58, 28, 12, 8, c[SKIN]);
        portrait.fillEllipse(64, 18, 13, 15, c[SKIN]);
        portrait.fillRectangle(50, 3, 28, 10, c[CAP]);
        portrait.fillRectangle(51, 12, 4, 8, c[HAIR]);
        portrait.fillRectangle(73, 12, 4, 8, c[HAIR]);
        portrait.fillRectangle(57, 17, 5, 3, c[EYES]);
        portrait.fillRectangle(67, 17, 5, 3, c[EYES]);
        portraits.paste(portrait, int((index % 2) * PORTRAIT_PIXELS), int((index / 2) * PORTRAIT_PIXELS));
    }
    if (!portraits.save(dataFolder + "/skins.png"))
        return false;
    materials.addTextured("skins", "skins.png", false);
    return true;
}

bool HumanModel::write(const std::string& dataFolder, MaterialScript& materials)
{
    return writeSkeleton(dataFolder) && writeMesh(dataFolder) && writeSkins(dataFolder, materials);
}
} // namespace assetgen
