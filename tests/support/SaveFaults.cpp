// Stands in for the C library's rename() and unlink() in the test program that links it: the
// file-system layer is linked in statically, so its calls come here first.
#include "tests/support/SaveFaults.h"

#include <dlfcn.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

namespace {

std::atomic<bool> g_failNext{false};
std::atomic<bool> g_crashNext{false};
std::atomic<void (*)()> g_beforeRename{nullptr};
std::mutex g_mutex;
std::string g_crashed; // the temporary file a crash left, whose removal does not happen

template <typename F> F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

bool isSaveTemporary(const char* path)
{
    const char* slash = std::strrchr(path, '/');
    const char* name = slash ? slash + 1 : path;
    const size_t length = std::strlen(name);
    constexpr size_t Prefix = sizeof(".globalstab-") - 1;
    constexpr size_t Suffix = sizeof(".part") - 1;
    return length > Prefix + Suffix && std::strncmp(name, ".globalstab-", Prefix) == 0 &&
           std::strcmp(name + length - Suffix, ".part") == 0;
}

} // namespace

namespace globalstab::testing {

void failNextRename()
{
    g_failNext = true;
}

void crashNextSave()
{
    g_crashNext = true;
}

void setBeforeSaveRename(void (*hook)())
{
    g_beforeRename = hook;
}

} // namespace globalstab::testing

extern "C" {

int rename(const char* from, const char* to)
{
    static const auto next = real<int (*)(const char*, const char*)>("rename");
    if (isSaveTemporary(from)) {
        if (void (*hook)() = g_beforeRename.load())
            hook();
        if (g_failNext.exchange(false)) {
            errno = EIO;
            return -1;
        }
        if (g_crashNext.exchange(false)) {
            const std::lock_guard lock(g_mutex);
            g_crashed = from;
            errno = EIO;
            return -1;
        }
    }
    return next(from, to);
}

int unlink(const char* path)
{
    static const auto next = real<int (*)(const char*)>("unlink");
    if (isSaveTemporary(path)) {
        const std::lock_guard lock(g_mutex);
        if (g_crashed == path) {
            g_crashed.clear();
            return 0;
        }
    }
    return next(path);
}

} // extern "C"
