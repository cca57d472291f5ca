#pragma once
#include <string>

namespace test
{
// Compares a PNG written by a rendering test with the reviewed reference image, pixel for pixel.
// With KORVANE_UPDATE_REFERENCE set, the shot replaces the reference instead and the answer is
// true. On a difference, the shot is kept in the build folder and the message says where.
// Needs a PNG codec (Codec_STBI or the game's plug-in) loaded.
bool matchesReference(const std::string& shot, const std::string& reference, std::string& message);
} // namespace test
