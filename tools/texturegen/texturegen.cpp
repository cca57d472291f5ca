// texturegen: draws the game's small generated textures as RGBA PNG files.
//
//   texturegen <game folder>
//
// Writes, below the folder:
//   loader/logo.png         the logo the load screens show (512 x 256)
//   loader/white.png        plain white, under the flat colours of the load screen (4 x 4)
//   data/decals/blood.png   two blood splashes side by side (256 x 128)
//   data/decals/marks.png   a scorch mark and a bullet hole side by side (256 x 128)
// The drawing is seeded, so every run writes the same pixels.
//
// The shipped files come from
//   texturegen .

#include "common/pngwriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace
{
struct Colour
{
    float r, g, b, a;
};

// An RGBA image of floats, composed with "over" and written with 8 bits a channel.
class Canvas
{
public:
    Canvas(int width, int height)
        : mWidth(width), mHeight(height), mPixels(width * height, Colour{0, 0, 0, 0})
    {
    }

    int width() const { return mWidth; }
    int height() const { return mHeight; }

    // Lays colour over the pixel with the given coverage (0 to 1).
    void blend(int x, int y, const Colour& colour, float coverage)
    {
        if (x < 0 || y < 0 || x >= mWidth || y >= mHeight || coverage <= 0)
            return;
        Colour& p = mPixels[y * mWidth + x];
        const float a = colour.a * std::min(coverage, 1.0f), rest = p.a * (1 - a), out = a + rest;
        if (out <= 0)
            return;
        p.r = (colour.r * a + p.r * rest) / out;
        p.g = (colour.g * a + p.g * rest) / out;
        p.b = (colour.b * a + p.b * rest) / out;
        p.a = out;
    }

    // Draws every pixel whose centre's distance (as the function gives it, negative inside) is
    // below half a pixel, with one pixel of smooth edge.
    template <typename Distance> void fill(const Colour& colour, Distance distance)
    {
        for (int y = 0; y < mHeight; ++y)
            for (int x = 0; x < mWidth; ++x)
                blend(x, y, colour, 0.5f - distance(x + 0.5f, y + 0.5f));
    }

    bool write(const std::string& path) const
    {
        std::vector<unsigned char> samples(mPixels.size() * 4);
        for (size_t i = 0; i < mPixels.size(); ++i)
        {
            const Colour& p = mPixels[i];
            const float channels[4] = {p.r, p.g, p.b, p.a};
            for (int c = 0; c < 4; ++c)
                samples[i * 4 + c] = static_cast<unsigned char>(std::lround(std::clamp(channels[c], 0.0f, 1.0f) * 255));
        }
        return tools::PngWriter::write(path, mWidth, mHeight, 4, samples.data());
    }

private:
    int mWidth;
    int mHeight;
    std::vector<Colour> mPixels;
};

// A small linear congruential generator: the same numbers on every machine.
class Random
{
public:
    explicit Random(unsigned seed) : mState(seed) {}
    // Uniform in [0, 1).
    float next()
    {
        mState = mState * 1664525u + 1013904223u;
        return (mState >> 8) / 16777216.0f;
    }
    float range(float low, float high) { return low + (high - low) * next(); }

private:
    unsigned mState;
};

float circle(float x, float y, float cx, float cy, float radius)
{
    return std::hypot(x - cx, y - cy) - radius;
}

// Distance to a stroke of the given width from (ax, ay) to (bx, by).
float segment(float x, float y, float ax, float ay, float bx, float by, float width)
{
    const float dx = bx - ax, dy = by - ay;
    const float t = std::clamp(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    return std::hypot(x - ax - t * dx, y - ay - t * dy) - width / 2;
}

// A splash of blood centred in the 128 x 128 cell at left: a lumpy pool, runs and droplets.
void drawBlood(Canvas& canvas, int left, unsigned seed)
{
    Random random(seed);
    const Colour dark{0.35f, 0.0f, 0.02f, 0.95f}, wet{0.55f, 0.02f, 0.04f, 0.9f};
    const float cx = left + 64.0f, cy = 64.0f;
    for (int i = 0; i < 9; ++i)
    {
        const float angle = random.range(0, 6.2832f), reach = random.range(0, 18);
        const float x = cx + std::cos(angle) * reach, y = cy + std::sin(angle) * reach,
                    r = random.range(12, 22);
        canvas.fill(dark, [&](float px, float py) { return circle(px, py, x, y, r); });
    }
    for (int i = 0; i < 7; ++i)
    {
        const float angle = random.range(0, 6.2832f), length = random.range(30, 56);
        const float x = cx + std::cos(angle) * length, y = cy + std::sin(angle) * length;
        canvas.fill(wet,
                    [&](float px, float py) { return segment(px, py, cx, cy, x, y, random.range(3, 5)); });
        canvas.fill(wet, [&](float px, float py) { return circle(px, py, x, y, 3.5f); });
    }
    for (int i = 0; i < 14; ++i)
    {
        const float angle = random.range(0, 6.2832f), reach = random.range(36, 58);
        const float x = cx + std::cos(angle) * reach, y = cy + std::sin(angle) * reach,
                    r = random.range(1, 3.5f);
        canvas.fill(wet, [&](float px, float py) { return circle(px, py, x, y, r); });
    }
}

// Soot fading out from the centre of the 128 x 128 cell at left, with a ragged rim.
void drawScorch(Canvas& canvas, int left)
{
    Random random(7);
    float rim[32];
    for (float& r : rim)
        r = random.range(44, 60);
    for (int y = 0; y < 128; ++y)
        for (int x = left; x < left + 128; ++x)
        {
            const float dx = x + 0.5f - (left + 64), dy = y + 0.5f - 64, d = std::hypot(dx, dy);
            const float at = (std::atan2(dy, dx) + 3.14159f) / 6.28319f * 32;
            const int i = static_cast<int>(at) % 32;
            const float f = at - std::floor(at), edge = rim[i] * (1 - f) + rim[(i + 1) % 32] * f;
            const float strength = std::clamp(1 - d / edge, 0.0f, 1.0f);
            const float grain = 0.85f + 0.15f * random.next();
            canvas.blend(x, y, Colour{0.05f, 0.04f, 0.03f, 0.9f}, std::pow(strength, 0.6f) * grain);
        }
}

// A hole with a dark core, a torn grey rim and short cracks, in the 128 x 128 cell at left.
void drawBulletHole(Canvas& canvas, int left)
{
    Random random(11);
    const float cx = left + 64.0f, cy = 64.0f;
    const Colour crack{0.15f, 0.15f, 0.15f, 0.8f};
    for (int i = 0; i < 6; ++i)
    {
        const float angle = random.range(0, 6.2832f), length = random.range(34, 56);
        const float x = cx + std::cos(angle) * length, y = cy + std::sin(angle) * length;
        canvas.fill(crack, [&](float px, float py) { return segment(px, py, cx, cy, x, y, 2.5f); });
    }
    canvas.fill(Colour{0.45f, 0.44f, 0.42f, 0.9f},
                [&](float x, float y) { return circle(x, y, cx, cy, 30); });
    canvas.fill(Colour{0.25f, 0.24f, 0.23f, 1}, [&](float x, float y) { return circle(x, y, cx, cy, 22); });
    canvas.fill(Colour{0.02f, 0.02f, 0.02f, 1}, [&](float x, float y) { return circle(x, y, cx, cy, 15); });
}

// A ring around a bold K, in the game's amber on a dark disc.
void drawLogo(Canvas& canvas)
{
    const float cx = canvas.width() / 2.0f, cy = canvas.height() / 2.0f;
    const Colour amber{1.0f, 0.62f, 0.1f, 1}, deep{0.08f, 0.09f, 0.13f, 0.9f}, light{1.0f, 0.85f, 0.5f, 1};
    canvas.fill(deep, [&](float x, float y) { return circle(x, y, cx, cy, 118); });
    canvas.fill(amber, [&](float x, float y) { return std::abs(circle(x, y, cx, cy, 108)) - 5; });
    canvas.fill(amber,
                [&](float x, float y) { return segment(x, y, cx - 38, cy - 62, cx - 38, cy + 62, 26); });
    canvas.fill(amber,
                [&](float x, float y) { return segment(x, y, cx - 30, cy + 4, cx + 42, cy - 62, 24); });
    canvas.fill(amber,
                [&](float x, float y) { return segment(x, y, cx - 12, cy - 10, cx + 46, cy + 62, 26); });
    // Two wings on either side give the logo its wide shape.
    for (int side = -1; side <= 1; side += 2)
        for (int i = 0; i < 3; ++i)
        {
            const float x0 = cx + side * (128 + i * 10), x1 = cx + side * (236 - i * 14),
                        y = cy - 24 + i * 24;
            canvas.fill(i == 1 ? light : amber,
                        [&](float x, float py) { return segment(x, py, x0, y, x1, y, 10 - i * 2); });
        }
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: texturegen <game folder>\n");
        return 2;
    }
    const std::string folder = argv[1];

    Canvas logo(512, 256);
    drawLogo(logo);
    Canvas white(4, 4);
    white.fill(Colour{1, 1, 1, 1}, [](float, float) { return -1.0f; });
    Canvas blood(256, 128);
    drawBlood(blood, 0, 3);
    drawBlood(blood, 128, 5);
    Canvas marks(256, 128);
    drawScorch(marks, 0);
    drawBulletHole(marks, 128);

    const std::pair<const char*, const Canvas*> outputs[] = {{"/loader/logo.png", &logo},
                                                             {"/loader/white.png", &white},
                                                             {"/data/decals/blood.png", &blood},
                                                             {"/data/decals/marks.png", &marks}};
    for (const auto& output : outputs)
    {
        if (!output.second->write(folder + output.first))
        {
            std::fprintf(stderr, "texturegen: cannot write %s%s\n", folder.c_str(), output.first);
            return 1;
        }
    }
    return 0;
}
