#include <OgreCodec.h>
#include <OgreDataStream.h>
#include <OgreImage.h>
#include <OgreLogManager.h>
#include <OgreRoot.h>

#include <benchmark/benchmark.h>
#include <png.h>

#include <unistd.h>

#include <climits>
#include <csetjmp>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

// Decoding a 1024x1024 RGBA image through the plug-in (as OGRE loads a texture) against plain
// libpng reading the same bytes from memory with the same expansion and no other work.
namespace
{
const png_uint_32 SIZE = 1024;

void appendBytes(png_structp png, png_bytep data, png_size_t length)
{
    static_cast<std::string*>(png_get_io_ptr(png))->append(reinterpret_cast<char*>(data), length);
}

// Smooth gradients with a little noise: compresses about as well as a texture.
std::string makeImage()
{
    std::vector<png_byte> pixels(size_t(SIZE) * SIZE * 4);
    uint32_t seed = 12345;
    for (png_uint_32 y = 0; y < SIZE; ++y)
        for (png_uint_32 x = 0; x < SIZE; ++x)
        {
            seed = seed * 1664525u + 1013904223u;
            png_byte* p = &pixels[(size_t(y) * SIZE + x) * 4];
            p[0] = png_byte(x / 4 + (seed >> 29));
            p[1] = png_byte(y / 4 + (seed >> 28 & 3));
            p[2] = png_byte((x + y) / 8);
            p[3] = png_byte(255 - (seed >> 30));
        }
    std::vector<png_bytep> rows(SIZE);
    for (png_uint_32 y = 0; y < SIZE; ++y)
        rows[y] = &pixels[size_t(y) * SIZE * 4];

    std::string bytes;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png)))
        throw std::runtime_error("libpng could not write the benchmark image");
    png_set_write_fn(png, &bytes, &appendBytes, nullptr);
    png_set_IHDR(png, info, SIZE, SIZE, 8, PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(png, info, rows.data());
    png_write_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    png_destroy_write_struct(&png, &info);
    return bytes;
}

const std::string& image()
{
    static const std::string bytes = makeImage();
    return bytes;
}

struct TSource
{
    const std::string* bytes;
    size_t position;
};

void readBytes(png_structp png, png_bytep data, png_size_t length)
{
    auto* source = static_cast<TSource*>(png_get_io_ptr(png));
    if (source->position + length > source->bytes->size())
        png_error(png, "short read");
    source->bytes->copy(reinterpret_cast<char*>(data), length, source->position);
    source->position += length;
}

std::string pluginPath()
{
    char path[PATH_MAX] = {};
    if (readlink("/proc/self/exe", path, sizeof(path) - 1) < 0)
        throw std::runtime_error("cannot find the benchmark program");
    std::string folder(path);
    folder = folder.substr(0, folder.rfind('/'));
    return folder.substr(0, folder.rfind('/')) + "/lib/imagepng.so";
}

void BM_LibpngDecode(benchmark::State& state)
{
    const std::string& bytes = image();
    for (auto _ : state)
    {
        TSource source{&bytes, 0};
        png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        if (setjmp(png_jmpbuf(png)))
        {
            state.SkipWithError("libpng failed");
            break;
        }
        png_set_read_fn(png, &source, &readBytes);
        png_read_png(png, info, PNG_TRANSFORM_EXPAND, nullptr);
        benchmark::DoNotOptimize(png_get_rows(png, info)[SIZE - 1][0]);
        png_destroy_read_struct(&png, &info, nullptr);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(SIZE) * SIZE * 4);
}
BENCHMARK(BM_LibpngDecode)->Unit(benchmark::kMillisecond);

void BM_PluginDecode(benchmark::State& state)
{
    Ogre::LogManager logs;
    logs.createLog("/tmp/korvane-bench-ogre.log", true, false, true);
    auto root = std::make_unique<Ogre::Root>("", "", "");
    root->loadPlugin(pluginPath());
    const std::string& bytes = image();
    for (auto _ : state)
    {
        Ogre::DataStreamPtr stream(
            new Ogre::MemoryDataStream(const_cast<char*>(bytes.data()), bytes.size(), false, true));
        Ogre::Image decoded;
        decoded.load(stream, "png");
        benchmark::DoNotOptimize(decoded.getData()[0]);
    }
    state.SetBytesProcessed(state.iterations() * int64_t(SIZE) * SIZE * 4);
}
BENCHMARK(BM_PluginDecode)->Unit(benchmark::kMillisecond);
} // namespace
