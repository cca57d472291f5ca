#include "toolkit/desktop.h"
#include "toolkit/log.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>
#include <system_error>
#include <thread>

extern char** environ;

namespace brix
{
namespace
{
bool hasWebScheme(const char* address)
{
    return strncasecmp(address, "http://", 7) == 0 || strncasecmp(address, "https://", 8) == 0;
}
} // namespace

void showErrorPopUp(const char* text, const char* caption)
{
    if (!text)
        text = "";
    if (!caption)
        caption = "";
    std::fprintf(stderr, "%s: %s\n", caption, text);
    std::fflush(stderr);
    Log::error("%s: %s", caption, text);
}

void launchWebBrowser(const char* address)
{
    if (!address || !hasWebScheme(address))
    {
        Log::error("Refusing to open '%s': only http and https addresses are opened", address ? address : "");
        return;
    }

    // The handler must not read the game's terminal.
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char program[] = "xdg-open";
    char* arguments[] = {program, const_cast<char*>(address), nullptr};
    pid_t child;
    int error = posix_spawnp(&child, program, &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0)
    {
        char buffer[256];
        Log::error("Unable to open web page '%s': %s", address, strerror_r(error, buffer, sizeof(buffer)));
        return;
    }
    // Some handlers stay until the browser closes: reap the child in the background so it
    // neither blocks the game nor lingers as a zombie.
    // Without a thread the child is reaped when the game exits.
    try
    {
        std::thread(
            [child]
            {
                int status;
                while (waitpid(child, &status, 0) < 0 && errno == EINTR)
                    ;
            })
            .detach();
    }
    catch (const std::system_error&)
    {
    }
}
} // namespace brix
