#include "entitymodels.h"

#include "materialscript.h"
#include "meshbuilder.h"
#include "skeletonbuilder.h"

#include <cmath>

namespace assetgen
{
namespace
{
using Ogre::Quaternion;
using Ogre::Vector2;
using Ogre::Vector3;

Ogre::Matrix4 at(float x, float y, float z = 0, const Quaternion& turn = Quaternion::IDENTITY)
{
    return MeshBuilder::makeTransform(Vector3(x, y, z), turn);
}

Quaternion about(float degrees, const Vector3& axis)
{
    return Quaternion(Ogre::Degree(degrees), axis);
}

// Cylinders are made along y; these turn them along x or z.
const Quaternion ALONG_X = about(-90, Vector3::UNIT_Z);
const Quaternion ALONG_Z = about(90, Vector3::UNIT_X);

void box(MeshBuilder& mesh, const char* material, const Vector3& size, const Ogre::Matrix4& transform,
         float bevel = 0.02f)
{
    mesh.setMaterial(material);
    mesh.addBox(size, bevel, transform);
}

void cylinder(MeshBuilder& mesh, const char* material, float radius, float length,
              const Ogre::Matrix4& transform, unsigned segments = 16)
{
    mesh.setMaterial(material);
    mesh.addCylinder(radius, length, segments, transform);
}

// A star of crossed quads from the origin along +x.
void flash(MeshBuilder& mesh, const char* material, float length, float width)
{
    mesh.setMaterial(material);
    for (float roll : {0.0f, 60.0f, 120.0f})
        mesh.addQuad(Vector2(length, width), at(length * 0.5f, 0, 0, about(roll, Vector3::UNIT_X)));
    mesh.addQuad(Vector2(width * 1.4f, width * 1.4f), at(0.02f, 0, 0, about(90, Vector3::UNIT_Y)));
    mesh.addQuad(Vector2(width * 1.4f, width * 1.4f),
                 at(0.02f, 0, 0, about(90, Vector3::UNIT_Y) * about(45, Vector3::UNIT_Z)));
}
} // namespace

void EntityModels::addMaterials(MaterialScript& materials)
{
    materials.addLit("entity/gunmetal", Ogre::ColourValue(0.22f, 0.23f, 0.25f), 40);
    // A weapon's body, its first submesh: gunmetal that glows with the weapon's pulse, made
    // stronger so that a body a few pixels tall still shows a halo.
    materials.addPulsing("entity/weapon", Ogre::ColourValue(0.22f, 0.23f, 0.25f), 40, 4.0f);
    materials.addLit("entity/darkmetal", Ogre::ColourValue(0.12f, 0.12f, 0.13f), 20);
    materials.addLit("entity/steel", Ogre::ColourValue(0.55f, 0.57f, 0.6f), 30);
    materials.addLit("entity/grip", Ogre::ColourValue(0.16f, 0.12f, 0.1f));
    materials.addLit("entity/wood", Ogre::ColourValue(0.62f, 0.44f, 0.23f));
    materials.addLit("entity/woodframe", Ogre::ColourValue(0.42f, 0.28f, 0.14f));
    materials.addLit("entity/barrelred", Ogre::ColourValue(0.72f, 0.12f, 0.08f), 20);
    materials.addLit("entity/hazard", Ogre::ColourValue(0.9f, 0.75f, 0.1f));
    materials.addLit("entity/white", Ogre::ColourValue(0.9f, 0.9f, 0.9f), 10);
    materials.addLit("entity/red", Ogre::ColourValue(0.82f, 0.1f, 0.1f));
    materials.addLit("entity/olive", Ogre::ColourValue(0.36f, 0.42f, 0.2f));
    materials.addLit("entity/brass", Ogre::ColourValue(0.82f, 0.63f, 0.25f), 50);
    materials.addLit("entity/keycard", Ogre::ColourValue(0.2f, 0.4f, 0.82f), 30);
    materials.addLit("entity/droneshell", Ogre::ColourValue(0.36f, 0.39f, 0.44f), 40);
    materials.addLit("entity/crawlershell", Ogre::ColourValue(0.34f, 0.36f, 0.26f), 20);
    materials.addLit("entity/doorpanel", Ogre::ColourValue(0.45f, 0.5f, 0.56f), 20);
    materials.addGlow("entity/glowgreen", Ogre::ColourValue(0.2f, 1.0f, 0.3f));
    materials.addGlow("entity/glowred", Ogre::ColourValue(1.0f, 0.15f, 0.1f));
    materials.addGlow("entity/glowblue", Ogre::ColourValue(0.3f, 0.7f, 1.0f));
    materials.addGlow("entity/glowyellow", Ogre::ColourValue(1.0f, 0.85f, 0.3f));
    materials.addGlow("entity/vialliquid", Ogre::ColourValue(0.3f, 1.0f, 0.6f));
    materials.addAdditive("entity/glass", Ogre::ColourValue(0.25f, 0.32f, 0.36f));
    materials.addAdditive("entity/flash", Ogre::ColourValue(1.0f, 0.8f, 0.4f));
    materials.addAdditive("entity/heavyflash", Ogre::ColourValue(1.0f, 0.55f, 0.2f));
    materials.addAdditive("entity/projectile", Ogre::ColourValue(1.0f, 0.7f, 0.3f));
    materials.addAdditive("entity/shield", Ogre::ColourValue(0.15f, 0.4f, 0.85f));
    // The sentry gun fades its flash through the entity's custom parameter.
    materials.addFadingFlash("entity/sentryflash", Ogre::ColourValue(1.0f, 0.6f, 0.25f));
    // The editor's markers: a see-through cube of light with a solid emblem inside.
    materials.addAdditive("entity/holocube", Ogre::ColourValue(0.12f, 0.3f, 0.4f));
    materials.addLit("entity/backdrop", Ogre::ColourValue(0.1f, 0.12f, 0.16f));
    materials.addLit("entity/backdropframe", Ogre::ColourValue(0.2f, 0.22f, 0.26f), 10);
}

bool EntityModels::writeWeapons(const std::string& dataFolder)
{
    MeshBuilder pistol;
    box(pistol, "entity/weapon", {0.3f, 0.08f, 0.05f}, at(0.09f, 0.06f));
    box(pistol, "entity/grip", {0.07f, 0.15f, 0.045f}, at(0, -0.02f, 0, about(-12, Vector3::UNIT_Z)));
    box(pistol, "entity/darkmetal", {0.06f, 0.02f, 0.04f}, at(0.05f, -0.005f));
    cylinder(pistol, "entity/darkmetal", 0.015f, 0.04f, at(0.25f, 0.065f, 0, ALONG_X), 8);

    MeshBuilder heavy;
    box(heavy, "entity/weapon", {0.55f, 0.14f, 0.1f}, at(0.12f, 0.04f));
    cylinder(heavy, "entity/darkmetal", 0.03f, 0.4f, at(0.55f, 0.06f, 0, ALONG_X), 12);
    cylinder(heavy, "entity/darkmetal", 0.045f, 0.12f, at(0.72f, 0.06f, 0, ALONG_X), 12);
    box(heavy, "entity/grip", {0.07f, 0.15f, 0.06f}, at(0, -0.06f, 0, about(-10, Vector3::UNIT_Z)));
    box(heavy, "entity/grip", {0.25f, 0.1f, 0.06f}, at(-0.25f, 0.01f));
    box(heavy, "entity/darkmetal", {0.08f, 0.18f, 0.05f}, at(0.2f, -0.1f, 0, about(8, Vector3::UNIT_Z)));
    box(heavy, "entity/glowred", {0.06f, 0.03f, 0.104f}, at(0.3f, 0.1f));

    MeshBuilder muzzle;
    flash(muzzle, "entity/flash", 0.35f, 0.14f);
    MeshBuilder heavyMuzzle;
    flash(heavyMuzzle, "entity/heavyflash", 0.6f, 0.26f);

    MeshBuilder projectile;
    cylinder(projectile, "entity/glowyellow", 0.03f, 0.22f, at(0, 0, 0, ALONG_X), 8);
    flash(projectile, "entity/projectile", 0.5f, 0.12f);

    return pistol.writeMesh(dataFolder + "/pistol.mesh") &&
           heavy.writeMesh(dataFolder + "/heavyweapon.mesh") &&
           muzzle.writeMesh(dataFolder + "/muzzleflash.mesh") &&
           heavyMuzzle.writeMesh(dataFolder + "/heavyflash.mesh") &&
           projectile.writeMesh(dataFolder + "/projectile.mesh");
}

bool EntityModels::writeItems(const std::string& dataFolder)
{
    // The crate and the barrel match their bodies: a 1 m cube, a 0.7 x 1.0 cylinder.
    MeshBuilder crate;
    box(crate, "entity/wood", {0.96f, 0.96f, 0.96f}, at(0, 0), 0.01f);
    for (int axis = 0; axis < 3; ++axis)
        for (float a : {-0.46f, 0.46f})
            for (float b : {-0.46f, 0.46f})
            {
                Vector3 size(0.1f, 0.1f, 0.1f), centre(0, 0, 0);
                size[axis] = 1.0f;
                centre[(axis + 1) % 3] = a;
                centre[(axis + 2) % 3] = b;
                box(crate, "entity/woodframe", size, at(centre.x, centre.y, centre.z), 0.01f);
            }
    box(crate, "entity/woodframe", {0.08f, 1.25f, 0.97f}, at(0, 0, 0, about(45, Vector3::UNIT_Z)), 0.01f);

    MeshBuilder barrel;
    cylinder(barrel, "entity/barrelred", 0.35f, 1.0f, at(0, 0), 20);
    for (float y : {-0.46f, -0.15f, 0.15f, 0.46f})
        cylinder(barrel, y == -0.15f || y == 0.15f ? "entity/hazard" : "entity/darkmetal", 0.36f, 0.06f,
                 at(0, y), 20);
    cylinder(barrel, "entity/darkmetal", 0.05f, 0.04f, at(0.15f, 0.51f), 8);

    MeshBuilder health;
    box(health, "entity/white", {0.5f, 0.34f, 0.34f}, at(0, 0), 0.03f);
    for (float z : {-0.172f, 0.172f})
    {
        box(health, "entity/red", {0.24f, 0.07f, 0.01f}, at(0, 0, z), 0.0f);
        box(health, "entity/red", {0.07f, 0.24f, 0.01f}, at(0, 0, z), 0.0f);
    }
    box(health, "entity/darkmetal", {0.16f, 0.04f, 0.05f}, at(0, 0.19f), 0.01f);

    MeshBuilder ammo;
    box(ammo, "entity/olive", {0.5f, 0.26f, 0.32f}, at(0, -0.05f), 0.02f);
    for (float x : {-0.15f, -0.05f, 0.05f, 0.15f})
    {
        cylinder(ammo, "entity/brass", 0.03f, 0.16f, at(x, 0.14f, 0.05f), 8);
        cylinder(ammo, "entity/darkmetal", 0.02f, 0.04f, at(x, 0.23f, 0.05f), 8);
    }
    box(ammo, "entity/hazard", {0.3f, 0.06f, 0.01f}, at(0, -0.05f, 0.162f), 0.0f);

    MeshBuilder key;
    box(key, "entity/keycard", {0.34f, 0.22f, 0.03f}, at(0, 0), 0.01f);
    box(key, "entity/white", {0.34f, 0.05f, 0.032f}, at(0, 0.05f), 0.0f);
    box(key, "entity/glowyellow", {0.06f, 0.05f, 0.034f}, at(-0.1f, -0.05f), 0.0f);

    MeshBuilder vial;
    cylinder(vial, "entity/vialliquid", 0.07f, 0.26f, at(0, -0.04f), 12);
    cylinder(vial, "entity/glass", 0.09f, 0.36f, at(0, 0), 12);
    cylinder(vial, "entity/steel", 0.1f, 0.06f, at(0, 0.21f), 12);
    cylinder(vial, "entity/steel", 0.1f, 0.04f, at(0, -0.2f), 12);

    return crate.writeMesh(dataFolder + "/crate.mesh") && barrel.writeMesh(dataFolder + "/barrel.mesh") &&
           health.writeMesh(dataFolder + "/health.mesh") && ammo.writeMesh(dataFolder + "/ammo.mesh") &&
           key.writeMesh(dataFolder + "/key.mesh") && vial.writeMesh(dataFolder + "/vial.mesh");
}

bool EntityModels::writeFixtures(const std::string& dataFolder)
{
    // Markers stand on the ground at their origin.
    MeshBuilder exit;
    for (float x : {-0.9f, 0.9f})
        box(exit, "entity/steel", {0.15f, 2.6f, 0.3f}, at(x, 1.3f));
    box(exit, "entity/steel", {1.95f, 0.2f, 0.3f}, at(0, 2.6f));
    box(exit, "entity/glowgreen", {1.2f, 0.3f, 0.34f}, at(0, 2.95f));
    box(exit, "entity/darkmetal", {1.3f, 0.4f, 0.3f}, at(0, 2.95f));
    exit.setMaterial("entity/glowgreen");
    for (float x : {-0.3f, 0.0f, 0.3f})
        exit.addPrism({{-0.12f, -0.15f}, {0.12f, 0.0f}, {-0.12f, 0.15f}}, 0.05f, at(x, 1.2f));
    box(exit, "entity/glowgreen", {1.6f, 0.04f, 0.6f}, at(0, 0.02f));

    MeshBuilder checkpoint;
    box(checkpoint, "entity/darkmetal", {0.6f, 0.1f, 0.6f}, at(0, 0.05f));
    cylinder(checkpoint, "entity/steel", 0.05f, 2.2f, at(0, 1.1f), 10);
    box(checkpoint, "entity/glowblue", {0.6f, 0.35f, 0.03f}, at(0.32f, 1.95f));
    checkpoint.setMaterial("entity/glowblue");
    checkpoint.addCone(0.5f, 0.5f, 0.04f, 24, at(0, 0.12f));

    // The door fills its body: 0.4 thick, 3 high, 3 deep.
    MeshBuilder door;
    box(door, "entity/doorpanel", {0.4f, 3.0f, 3.0f}, at(0, 0), 0.04f);
    for (float y : {-1.0f, 0.0f, 1.0f})
        box(door, "entity/darkmetal", {0.42f, 0.08f, 3.0f}, at(0, y), 0.0f);
    for (float y : {-1.35f, 1.35f})
        box(door, "entity/hazard", {0.42f, 0.2f, 2.9f}, at(0, y), 0.0f);
    for (float x : {-0.21f, 0.21f})
        box(door, "entity/glowred", {0.02f, 0.12f, 0.3f}, at(x, 0.4f, 1.2f), 0.0f);

    MeshBuilder platform;
    box(platform, "entity/steel", {3.0f, 0.3f, 3.0f}, at(0, 0), 0.03f);
    for (float x : {-1.45f, 1.45f})
        box(platform, "entity/hazard", {0.1f, 0.04f, 3.0f}, at(x, 0.16f), 0.0f);
    for (float x : {-1.4f, 1.4f})
        box(platform, "entity/darkmetal", {0.08f, 1.1f, 0.08f}, at(x, 0.7f, -1.4f));
    box(platform, "entity/darkmetal", {2.9f, 0.08f, 0.08f}, at(0, 1.22f, -1.4f));
    box(platform, "entity/glowyellow", {0.2f, 0.08f, 0.1f}, at(0, -0.16f, 1.3f), 0.0f);

    // The shield is a sheet of energy in a thin frame, scaled up from nothing as it powers up.
    MeshBuilder shield;
    box(shield, "entity/shield", {0.08f, 2.2f, 1.4f}, at(0, 0), 0.0f);
    box(shield, "entity/shield", {0.16f, 2.0f, 1.2f}, at(0, 0), 0.0f);
    for (float y : {-1.1f, 1.1f})
        box(shield, "entity/glowblue", {0.1f, 0.05f, 1.4f}, at(0, y), 0.0f);

    return exit.writeMesh(dataFolder + "/exit.mesh") &&
           checkpoint.writeMesh(dataFolder + "/checkpoint.mesh") &&
           door.writeMesh(dataFolder + "/door.mesh") && platform.writeMesh(dataFolder + "/platform.mesh") &&
           shield.writeMesh(dataFolder + "/shield.mesh");
}

bool EntityModels::writeDrone(const std::string& dataFolder)
{
    SkeletonBuilder skeleton;
    skeleton.addBone("body", "", Vector3::ZERO);
    skeleton.addBone("rotor.R", "body", Vector3(0, 0.42f, 0.42f));
    skeleton.addBone("rotor.L", "body", Vector3(0, 0.42f, -0.42f));
    // "loop": the rotors turn once, the body bobs a little.
    skeleton.addAnimation("loop", 1.0f);
    for (unsigned key = 0; key <= 4; ++key)
    {
        float time = key * 0.25f;
        skeleton.setKey("loop", time, "body", Quaternion::IDENTITY,
                        Vector3(0, 0.04f * std::sin(Ogre::Math::TWO_PI * time), 0));
        skeleton.setKey("loop", time, "rotor.R", about(key * 90.0f, Vector3::UNIT_Y));
        skeleton.setKey("loop", time, "rotor.L", about(-(key * 90.0f), Vector3::UNIT_Y));
    }
    if (!skeleton.write(dataFolder + "/drone.skeleton", "drone.skeleton"))
        return false;

    MeshBuilder mesh;
    mesh.setBone(skeleton.getHandle("body"));
    mesh.setMaterial("entity/droneshell");
    mesh.addSphere(0.45f, 8, 16, at(0, 0));
    box(mesh, "entity/darkmetal", {0.5f, 0.1f, 0.7f}, at(0, -0.4f), 0.02f);
    box(mesh, "entity/darkmetal", {0.12f, 0.1f, 1.0f}, at(0, 0.3f), 0.02f);
    box(mesh, "entity/glowred", {0.1f, 0.1f, 0.22f}, at(0.43f, 0.05f), 0.02f);
    cylinder(mesh, "entity/gunmetal", 0.04f, 0.3f, at(0.4f, -0.2f, 0, ALONG_X), 8);
    for (const char* rotor : {"rotor.R", "rotor.L"})
    {
        float z = rotor[6] == 'R' ? 0.42f : -0.42f;
        mesh.setBone(skeleton.getHandle("body"));
        cylinder(mesh, "entity/darkmetal", 0.05f, 0.1f, at(0, 0.37f, z), 8);
        mesh.setBone(skeleton.getHandle(rotor));
        box(mesh, "entity/steel", {0.7f, 0.02f, 0.08f}, at(0, 0.43f, z), 0.005f);
        box(mesh, "entity/steel", {0.08f, 0.02f, 0.7f}, at(0, 0.43f, z), 0.005f);
    }
    return mesh.writeMesh(dataFolder + "/drone.mesh", "drone.skeleton");
}

bool EntityModels::writeCrawler(const std::string& dataFolder)
{
    // Six legs, three a side; "move" walks them in two tripods, half a cycle apart.
    SkeletonBuilder skeleton;
    skeleton.addBone("body", "", Vector3::ZERO);
    const float legX[3] = {0.3f, 0.0f, -0.3f};
    std::vector<std::string> legs;
    for (int side = 0; side < 2; ++side)
        for (int i = 0; i < 3; ++i)
        {
            std::string name = "leg." + std::to_string(i + 1) + (side == 0 ? ".R" : ".L");
            skeleton.addBone(name, "body", Vector3(legX[i], 0, side == 0 ? 0.3f : -0.3f));
            legs.push_back(name);
        }
    skeleton.addAnimation("move", 1.0f);
    for (unsigned key = 0; key <= 8; ++key)
    {
        float time = key / 8.0f;
        for (size_t leg = 0; leg < legs.size(); ++leg)
        {
            int tripod = (leg % 3 + leg / 3) % 2;
            float phase = Ogre::Math::TWO_PI * (time + 0.5f * tripod);
            float swing = 25.0f * std::cos(phase);
            float lift = 15.0f * std::max(0.0f, std::sin(phase));
            float outward = leg < 3 ? 1.0f : -1.0f;
            skeleton.setKey("move", time, legs[leg],
                            about(swing, Vector3::UNIT_Y) * about(outward * lift, Vector3::UNIT_X));
        }
    }
    if (!skeleton.write(dataFolder + "/crawler.skeleton", "crawler.skeleton"))
        return false;

    MeshBuilder mesh;
    mesh.setBone(skeleton.getHandle("body"));
    mesh.setMaterial("entity/crawlershell");
    mesh.addSphere(
        1.0f, 8, 16,
        MeshBuilder::makeTransform(Vector3::ZERO, Quaternion::IDENTITY, Vector3(0.5f, 0.22f, 0.33f)));
    box(mesh, "entity/darkmetal", {0.7f, 0.12f, 0.5f}, at(0, -0.12f), 0.03f);
    box(mesh, "entity/hazard", {0.3f, 0.05f, 0.3f}, at(-0.05f, 0.21f), 0.01f);
    box(mesh, "entity/glowred", {0.06f, 0.06f, 0.2f}, at(0.48f, 0.02f), 0.01f);
    for (size_t leg = 0; leg < legs.size(); ++leg)
    {
        float outward = leg < 3 ? 1.0f : -1.0f;
        float x = legX[leg % 3];
        mesh.setBone(skeleton.getHandle(legs[leg]));
        // Upper leg out and up from the hip, lower leg down to the floor at -0.25.
        box(mesh, "entity/darkmetal", {0.05f, 0.05f, 0.3f},
            at(x, 0.06f, outward * 0.42f, about(outward * -20, Vector3::UNIT_X)), 0.01f);
        box(mesh, "entity/darkmetal", {0.04f, 0.36f, 0.04f},
            at(x, -0.08f, outward * 0.6f, about(outward * 15, Vector3::UNIT_X)), 0.01f);
    }
    return mesh.writeMesh(dataFolder + "/crawler.mesh", "crawler.skeleton");
}

bool EntityModels::writeSentryGun(const std::string& dataFolder)
{
    // "recoil" pushes the gun back and lets it return; "powered" spins the barrel cluster.
    SkeletonBuilder skeleton;
    skeleton.addBone("base", "", Vector3::ZERO);
    skeleton.addBone("gun", "base", Vector3(0, 0.2f, 0));
    skeleton.addBone("barrels", "gun", Vector3(0.35f, 0.0f, 0));
    skeleton.addAnimation("recoil", 0.3f);
    skeleton.setKey("recoil", 0.0f, "gun", Quaternion::IDENTITY);
    skeleton.setKey("recoil", 0.05f, "gun", Quaternion::IDENTITY, Vector3(-0.12f, 0, 0));
    skeleton.setKey("recoil", 0.3f, "gun", Quaternion::IDENTITY);
    skeleton.addAnimation("powered", 1.0f);
    for (unsigned key = 0; key <= 4; ++key)
        skeleton.setKey("powered", key * 0.25f, "barrels", about(key * 90.0f, Vector3::UNIT_X));
    if (!skeleton.write(dataFolder + "/sentrygun.skeleton", "sentrygun.skeleton"))
        return false;

    MeshBuilder mesh;
    mesh.setBone(skeleton.getHandle("base"));
    box(mesh, "entity/darkmetal", {1.0f, 0.5f, 1.0f}, at(0, -0.35f), 0.05f);
    box(mesh, "entity/hazard", {1.02f, 0.08f, 1.02f}, at(0, -0.2f), 0.01f);
    cylinder(mesh, "entity/gunmetal", 0.12f, 0.25f, at(0, -0.05f), 12);
    mesh.setBone(skeleton.getHandle("gun"));
    box(mesh, "entity/steel", {0.7f, 0.5f, 0.6f}, at(0, 0.2f), 0.06f);
    box(mesh, "entity/glowred", {0.04f, 0.08f, 0.3f}, at(0.35f, 0.35f), 0.01f);
    box(mesh, "entity/darkmetal", {0.3f, 0.3f, 0.64f}, at(-0.2f, 0.15f), 0.03f);
    mesh.setBone(skeleton.getHandle("barrels"));
    cylinder(mesh, "entity/gunmetal", 0.12f, 0.1f, at(0.4f, 0.2f, 0, ALONG_X), 12);
    for (int i = 0; i < 4; ++i)
    {
        float angle = Ogre::Math::HALF_PI * i + Ogre::Math::PI / 4;
        cylinder(mesh, "entity/darkmetal", 0.035f, 0.55f,
                 at(0.65f, 0.2f + 0.07f * std::sin(angle), 0.07f * std::cos(angle), ALONG_X), 8);
    }

    MeshBuilder flashMesh;
    flash(flashMesh, "entity/sentryflash", 0.5f, 0.22f);
    return mesh.writeMesh(dataFolder + "/sentrygun.mesh", "sentrygun.skeleton") &&
           flashMesh.writeMesh(dataFolder + "/sentryflash.mesh");
}

bool EntityModels::writeBackground(const std::string& dataFolder)
{
    // A wall of dark panels behind a lattice of girders, 12 units apart, wide enough to fill
    // the view at any level size the cameras follow it over.
    MeshBuilder background;
    box(background, "entity/backdrop", {240.0f, 160.0f, 1.0f}, at(0, 0, -0.5f), 0);
    for (int column = -10; column <= 10; ++column)
        box(background, "entity/backdropframe", {1.2f, 160.0f, 1.0f}, at(column * 12.0f, 0, 0.5f), 0.1f);
    for (int row = -6; row <= 6; ++row)
        box(background, "entity/backdropframe", {240.0f, 0.6f, 0.6f}, at(0, row * 12.0f, 0.3f), 0.1f);
    return background.writeMesh(dataFolder + "/background.mesh");
}

bool EntityModels::writeMarkers(const std::string& dataFolder)
{
    // A 1 unit cube standing on its origin, framed at its edges, with an emblem of the
    // marker's kind floating in it.
    auto holocube = [](MeshBuilder& mesh, const char* glow)
    {
        box(mesh, "entity/holocube", {1.0f, 1.0f, 1.0f}, at(0, 0.5f), 0.0f);
        for (float a : {-0.49f, 0.49f})
            for (float b : {-0.49f, 0.49f})
            {
                box(mesh, glow, {1.0f, 0.03f, 0.03f}, at(0, 0.5f + a, b), 0.0f);
                box(mesh, glow, {0.03f, 1.0f, 0.03f}, at(a, 0.5f, b), 0.0f);
                box(mesh, glow, {0.03f, 0.03f, 1.0f}, at(a, 0.5f + b, 0), 0.0f);
            }
    };
    // Single-player start: one figure; multiplayer start: three.
    MeshBuilder single;
    holocube(single, "entity/glowgreen");
    box(single, "entity/glowgreen", {0.16f, 0.5f, 0.16f}, at(0, 0.4f));
    single.setMaterial("entity/glowgreen");
    single.addSphere(0.1f, 6, 10, at(0, 0.75f));
    MeshBuilder multi;
    holocube(multi, "entity/glowyellow");
    for (float x : {-0.25f, 0.0f, 0.25f})
    {
        box(multi, "entity/glowyellow", {0.1f, 0.4f, 0.1f}, at(x, 0.35f));
        multi.setMaterial("entity/glowyellow");
        multi.addSphere(0.07f, 6, 10, at(x, 0.63f));
    }
    // Exit: an arrow pointing on; checkpoint: a flag; trigger: a ring.
    MeshBuilder exit;
    holocube(exit, "entity/glowgreen");
    exit.setMaterial("entity/glowgreen");
    exit.addPrism({{-0.2f, -0.25f}, {0.25f, 0.0f}, {-0.2f, 0.25f}}, 0.15f, at(0, 0.5f));
    MeshBuilder checkpoint;
    holocube(checkpoint, "entity/glowblue");
    box(checkpoint, "entity/glowblue", {0.05f, 0.7f, 0.05f}, at(-0.15f, 0.45f));
    box(checkpoint, "entity/glowblue", {0.3f, 0.2f, 0.03f}, at(0.02f, 0.7f));
    MeshBuilder trigger;
    holocube(trigger, "entity/glowred");
    trigger.setMaterial("entity/glowred");
    trigger.addCone(0.3f, 0.3f, 0.06f, 20, at(0, 0.5f, 0, ALONG_Z));
    trigger.addSphere(0.08f, 6, 10, at(0, 0.5f));

    return single.writeMesh(dataFolder + "/holocubespstart.mesh") &&
           multi.writeMesh(dataFolder + "/holocubempstart.mesh") &&
           exit.writeMesh(dataFolder + "/holocubeexit.mesh") &&
           checkpoint.writeMesh(dataFolder + "/holocubecheckpoint.mesh") &&
           trigger.writeMesh(dataFolder + "/holocubetrigger.mesh");
}

bool EntityModels::write(const std::string& dataFolder, MaterialScript& materials)
{
    addMaterials(materials);
    return writeWeapons(dataFolder) && writeItems(dataFolder) && writeFixtures(dataFolder) &&
           writeDrone(dataFolder) && writeCrawler(dataFolder) && writeSentryGun(dataFolder) &&
           writeBackground(dataFolder) && writeMarkers(dataFolder);
}
} // namespace assetgen
