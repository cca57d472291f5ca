// The launcher: loads the game module from the library folder beside this program's folder
// ("bin/../lib"), calls its export run(argc, argv) and exits with its result. The game reads its
// data by relative paths ("data", "gamepads.xml"), so it runs in the folder that holds them,
// wherever it was started from.

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <string>

namespace
{
typedef int (*RunFunction)(int argc, const char** argv);

// The folder this program lives in, from the running executable itself.
std::string programDirectory()
{
    char path[4096];
    ssize_t length = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (length <= 0)
        return ".";
    std::string program(path, static_cast<size_t>(length));
    size_t slash = program.rfind('/');
    return slash == std::string::npos ? std::string(".") : program.substr(0, slash);
}
} // namespace

int main(int argc, char** argv)
{
    if (chdir(KORVANE_DATA_ROOT) != 0)
    {
        std::fprintf(stderr, "korvane: cannot enter the game's folder '%s'\n", KORVANE_DATA_ROOT);
        return 1;
    }
    const std::string modulePath = programDirectory() + "/../lib/" + KORVANE_MODULE_NAME;
    void* module = dlopen(modulePath.c_str(), RTLD_NOW);
    if (!module)
    {
        std::fprintf(stderr, "korvane: cannot load the game module: %s\n", dlerror());
        return 1;
    }
    RunFunction run = reinterpret_cast<RunFunction>(dlsym(module, "run"));
    if (!run)
    {
        std::fprintf(stderr, "korvane: the game module has no entry point 'run': %s\n", dlerror());
        dlclose(module);
        return 1;
    }
    int result = run(argc, const_cast<const char**>(argv));
    // The module stays loaded: objects it registered at exit may still need its code.
    return result;
}
