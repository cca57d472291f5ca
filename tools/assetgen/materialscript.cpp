#include "materialscript.h"

#include <cstdio>
#include <fstream>

namespace assetgen
{
namespace
{
std::string colourText(const Ogre::ColourValue& colour)
{
    char text[64];
    std::snprintf(text, sizeof(text), "%.3f %.3f %.3f %.3f", colour.r, colour.g, colour.b, colour.a);
    return text;
}

bool writeText(const std::string& path, const std::string& text)
{
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << text;
    return bool(file);
}

const char* const BLOCK_PROGRAMS =
    R"(// Level blocks: a flat colour with a little directional shading, lit by the level's light map.
// The light map covers the level's box in x and y; its row 0 is the top of the level.

shared_params ambient_lightmap
{
    shared_param_named iLightMapDimensions float4 0 0 1 1
}

vertex_program blocklight_vs glsl
{
    source blocklight.vert
    default_params
    {
        param_named_auto worldMatrix world_matrix
        param_named_auto worldViewProj worldviewproj_matrix
    }
}

fragment_program blocklight_fs glsl
{
    source blocklight.frag
    default_params
    {
        shared_params_ref ambient_lightmap
        param_named lightMap int 0
        param_named surfaceColour float4 1 1 1 1
    }
}
)";

const char* const BLOCK_VERTEX = R"(#version 120
uniform mat4 worldMatrix;
uniform mat4 worldViewProj;
varying vec3 worldPosition;
varying vec3 worldNormal;

void main()
{
    worldPosition = (worldMatrix * gl_Vertex).xyz;
    worldNormal = mat3(worldMatrix) * gl_Normal;
    gl_Position = worldViewProj * gl_Vertex;
}
)";

const char* const BLOCK_FRAGMENT = R"(#version 120
uniform sampler2D lightMap;
// Minimum x, minimum y, width and height of the area the light map covers.
uniform vec4 iLightMapDimensions;
uniform vec4 surfaceColour;
varying vec3 worldPosition;
varying vec3 worldNormal;

void main()
{
    vec2 size = max(iLightMapDimensions.zw, vec2(0.001));
    vec2 uv = vec2((worldPosition.x - iLightMapDimensions.x) / size.x,
                   1.0 - (worldPosition.y - iLightMapDimensions.y) / size.y);
    vec3 light = texture2D(lightMap, uv).rgb;
    float shade = 0.6 + 0.4 * max(dot(normalize(worldNormal), vec3(0.35, 0.81, 0.47)), 0.0);
    gl_FragColor = vec4(surfaceColour.rgb * shade * (0.2 + 1.3 * light), surfaceColour.a);
}
)";
const char* const FADING_FLASH_PROGRAMS =
    R"(// A colour its owner scales per entity through custom parameter 0 (the colour is multiplied
// by that vector), so one material serves flashes fading at their own pace, or weapons pulsing
// in the glow scheme each at its own phase.

vertex_program fadingflash_vs glsl
{
    source fadingflash.vert
    default_params
    {
        param_named_auto worldViewProj worldviewproj_matrix
    }
}

fragment_program fadingflash_fs glsl
{
    source fadingflash.frag
    default_params
    {
        param_named_auto intensity custom 0
        param_named flashColour float4 1 1 1 1
    }
}
)";

const char* const FADING_FLASH_VERTEX = R"(#version 120
uniform mat4 worldViewProj;

void main()
{
    gl_Position = worldViewProj * gl_Vertex;
}
)";

const char* const FADING_FLASH_FRAGMENT = R"(#version 120
uniform vec4 flashColour;
uniform vec4 intensity;

void main()
{
    gl_FragColor = vec4(flashColour.rgb * intensity.rgb, 1.0);
}
)";
// The material scheme the cameras' glow filter draws the scene in; materials without a
// technique of it draw nothing there.
const char* const GLOW_SCHEME = "glow";

std::string litPass(const Ogre::ColourValue& colour, float shininess)
{
    Ogre::ColourValue specular =
        shininess > 0 ? Ogre::ColourValue(0.4f, 0.4f, 0.4f) : Ogre::ColourValue::Black;
    return "            ambient " + colourText(colour * 0.6f) + "\n            diffuse " +
           colourText(colour) + "\n            specular " + colourText(specular) + " " +
           std::to_string(int(shininess)) + "\n";
}

std::string emissivePass(const Ogre::ColourValue& colour)
{
    return "            ambient 0 0 0\n            diffuse 0 0 0\n            emissive " +
           colourText(colour) + "\n";
}

// Added to what is behind, not writing depth, seen from both sides.
const char* const ADDITIVE_LINES =
    "            scene_blend add\n            depth_write off\n            cull_hardware none\n";

// A material of a technique for the default scheme and, when given, one for the glow scheme,
// from the lines inside their passes.
std::string material(const std::string& name, const std::string& pass, const std::string& glowPass = "")
{
    std::string text = "material " + name + "\n{\n    technique\n    {\n        pass\n        {\n" + pass +
                       "        }\n    }\n";
    if (!glowPass.empty())
        text += "    technique\n    {\n        scheme " + std::string(GLOW_SCHEME) +
                "\n        pass\n        {\n" + glowPass + "        }\n    }\n";
    return text + "}\n";
}
} // namespace

void MaterialScript::addBlock(const std::string& name, const Ogre::ColourValue& colour)
{
    mMaterials.push_back(
        material(name, "            vertex_program_ref blocklight_vs\n            {\n            }\n"
                       "            fragment_program_ref blocklight_fs\n            {\n"
                       "                param_named surfaceColour float4 " +
                           colourText(colour) +
                           "\n            }\n"
                           "            texture_unit lightmap\n            {\n"
                           "                texture lightmap\n"
                           "                tex_address_mode clamp\n            }\n"));
}

void MaterialScript::addLit(const std::string& name, const Ogre::ColourValue& colour, float shininess)
{
    mMaterials.push_back(material(name, litPass(colour, shininess)));
}

void MaterialScript::addTextured(const std::string& name, const std::string& texture, bool lit)
{
    std::string lighting =
        lit ? "            ambient 0.7 0.7 0.7\n            diffuse 1 1 1\n" : "            lighting off\n";
    mMaterials.push_back(
        material(name, lighting + "            texture_unit\n            {\n                texture " +
                           texture + " 2d 0\n                tex_address_mode clamp\n            }\n"));
}

void MaterialScript::addGlow(const std::string& name, const Ogre::ColourValue& colour, float glow)
{
    // Lighting stays on so the emissive colour is used; nothing else adds to it.
    mMaterials.push_back(material(name, emissivePass(colour), emissivePass(colour * glow)));
}

void MaterialScript::addPulsing(const std::string& name, const Ogre::ColourValue& colour, float shininess,
                                float gain)
{
    mMaterials.push_back(
        material(name, litPass(colour, shininess),
                 "            vertex_program_ref fadingflash_vs\n            {\n            }\n"
                 "            fragment_program_ref fadingflash_fs\n            {\n"
                 "                param_named flashColour float4 " +
                     colourText(Ogre::ColourValue(gain, gain, gain)) + "\n            }\n"));
}

void MaterialScript::addAdditive(const std::string& name, const Ogre::ColourValue& colour)
{
    mMaterials.push_back(material(name, emissivePass(colour) + ADDITIVE_LINES));
}

void MaterialScript::addFadingFlash(const std::string& name, const Ogre::ColourValue& colour)
{
    mMaterials.push_back(material(name, std::string(ADDITIVE_LINES) +
                                            "            vertex_program_ref fadingflash_vs\n            {\n"
                                            "            }\n"
                                            "            fragment_program_ref fadingflash_fs\n            {\n"
                                            "                param_named flashColour float4 " +
                                            colourText(colour) + "\n            }\n"));
}

bool MaterialScript::save(const std::string& path) const
{
    std::string text = "// Made by tools/assetgen/generate: edit the generator, not this file.\n";
    for (const std::string& material : mMaterials)
        text += "\n" + material;
    return writeText(path, text);
}

bool MaterialScript::savePrograms(const std::string& folder)
{
    return writeText(folder + "/blocklight.program", BLOCK_PROGRAMS) &&
           writeText(folder + "/blocklight.vert", BLOCK_VERTEX) &&
           writeText(folder + "/blocklight.frag", BLOCK_FRAGMENT) &&
           writeText(folder + "/fadingflash.program", FADING_FLASH_PROGRAMS) &&
           writeText(folder + "/fadingflash.vert", FADING_FLASH_VERTEX) &&
           writeText(folder + "/fadingflash.frag", FADING_FLASH_FRAGMENT);
}
} // namespace assetgen
