// Feeds arbitrary bytes to brix::Image::loadTGA through a file, and writes back and reloads
// whatever loads, which must give the same pixels.
#include "toolkit/image.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <unistd.h>

namespace
{
// Scratch files of this process, removed again after every input.
const std::string& inputPath()
{
    static const std::string path = "/tmp/korvane-tga-fuzz-" + std::to_string(getpid()) + ".tga";
    return path;
}

const std::string& outputPath()
{
    static const std::string path = inputPath() + ".out";
    return path;
}

int check(const uint8_t* data, size_t size)
{
    FILE* file = fopen(inputPath().c_str(), "wb");
    if (!file)
        abort();
    if (size && fwrite(data, 1, size, file) != size)
        abort();
    fclose(file);

    brix::Image image;
    int result = image.loadTGA(inputPath());
    if (result < 0)
        return 0;
    if (result != image.getWidth() * image.getHeight())
        abort();
    // Reading every pixel lets the sanitizers see the whole buffer.
    uint32_t sum = 0;
    for (int i = 0; i < result; ++i)
        sum += image.getData()[i];
    volatile uint32_t keep = sum;
    (void)keep;

    if (image.saveTGA(outputPath(), 32) != result)
        abort();
    brix::Image reloaded;
    if (reloaded.loadTGA(outputPath()) != result || reloaded.getWidth() != image.getWidth())
        abort();
    if (result && memcmp(image.getData(), reloaded.getData(), size_t(result) * 4) != 0)
        abort();
    return 0;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    int result = check(data, size);
    std::remove(inputPath().c_str());
    std::remove(outputPath().c_str());
    return result;
}
