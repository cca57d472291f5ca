#pragma once
#include <string>

namespace test
{
// Compares a frame a test wrote (a PNG file) with a reviewed reference PNG in the source tree
// (a path relative to its root), pixel for pixel; needs a PNG codec (Codec_STBI) loaded. With
// KORVANE_UPDATE_REFERENCE set, the frame becomes the new reference instead. Returns what went wrong, or ""
// when the frame matches or was written as the reference; a differing frame is kept in the build folder.
std::string compareWithReference(const std::string& frame, const std::string& reference);
} // namespace test
