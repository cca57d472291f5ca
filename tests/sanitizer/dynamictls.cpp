// The leak check of the sanitizer build in a process whose plug-in keeps a thread-local variable,
// as Mesa's shader compiler (libLLVM) does: glibc takes the variable's block with malloc the first
// time a thread touches it. Built twice: with DYNAMIC_TLS_LIBRARY as that plug-in, and without as
// the program, which loads it and exits cleanly unless the leak check itself fails.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dlfcn.h>
#include <vector>

#ifdef DYNAMIC_TLS_LIBRARY
thread_local void* slot = nullptr;
extern "C" void** threadSlot()
{
    return &slot;
}
#else
namespace
{
const int MAX_BLOCKS = 100000;
const std::uintptr_t PAGE = 4096;
// What the allocator puts before every block it hands out.
const std::uintptr_t HEADER = 16;
// Its smallest blocks, the size the variable's block comes in: each takes HEADER + SMALL.
const std::size_t SMALL = 16;
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
    {
        std::fprintf(stderr, "usage: %s PLUGIN\n", argv[0]);
        return 2;
    }
    void* plugin = dlopen(argv[1], RTLD_NOW);
    if (!plugin)
    {
        std::fprintf(stderr, "%s\n", dlerror());
        return 1;
    }
    auto threadSlot = reinterpret_cast<void** (*)()>(dlsym(plugin, "threadSlot"));
    // Small blocks until the next one starts a page, where the variable's block then lands. The
    // sanitizers' run-time takes the allocator's header before such a block for an old glibc's
    // and has the leak check scan a range that does not exist, unless it keeps no record of these
    // blocks (cmake/sanitizers/options); the render tests crashed so now and then.
    std::vector<void*> blocks;
    blocks.reserve(MAX_BLOCKS);
    for (int i = 0; i < MAX_BLOCKS; ++i)
    {
        blocks.push_back(std::malloc(SMALL));
        if ((reinterpret_cast<std::uintptr_t>(blocks.back()) + SMALL + HEADER) % PAGE == HEADER)
            break;
    }
    // What only the thread-local variable holds is no leak.
    *threadSlot() = std::malloc(64);
    const std::uintptr_t offset = reinterpret_cast<std::uintptr_t>(threadSlot()) % PAGE;
    for (void* block : blocks)
        std::free(block);
    if (offset != HEADER)
    {
        std::fprintf(stderr, "the thread-local block is at page offset %zu, not %zu\n",
                     static_cast<std::size_t>(offset), static_cast<std::size_t>(HEADER));
        return 1;
    }
    return 0;
}
#endif
