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
// One scratch file per process, and its name with a suffix for the written copy.
const std::string& inputPath()
{
    static const std::string path = []
    {
        char pattern[] = "/tmp/korvane-tga-fuzz-XXXXXX";
        int fd = mkstemp(pattern);
        if (fd < 0)
            abort();
        close(fd);
        return std::string(pattern);
    }();
    return path;
}

const std::string& outputPath()
{
    static const std::string path = inputPath() + ".out";
    return path;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
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
    uint32_t sum = 0;
    for (int i = 0; i < result; ++i)
        sum += image.getData()[i];

    if (image.saveTGA(outputPath(), 32) != result)
        abort();
    brix::Image reloaded;
    if (reloaded.loadTGA(outputPath()) != result || reloaded.getWidth() != image.getWidth())
        abort();
    if (result && memcmp(image.getData(), reloaded.getData(), size_t(result) * 4) != 0)
        abort();
    // Reading every pixel lets the sanitizers see the whole buffer.
    volatile uint32_t keep = sum;
    (void)keep;
    return 0;
}
