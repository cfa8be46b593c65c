// Preloaded into a test process (LD_PRELOAD): fails the n-th system call that touches the
// journal of a data root ("/.globalstab/" in its path) with a chosen errno, as a full disk or
// a failing device would. Tests arm it through the two functions below, found with dlsym.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

std::atomic<int> g_at{0};    // the call to fail, counted from 1; 0: none
std::atomic<int> g_error{0}; // its errno
std::atomic<int> g_seen{0};  // journal calls seen since armed
std::atomic<bool> g_counting{false};

bool inJournal(const char* path)
{
    return path && std::strstr(path, "/.globalstab/") != nullptr &&
           std::strstr(path, "/.globalstab/lock") == nullptr;
}

bool fdInJournal(int fd)
{
    char link[64];
    char path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = ::readlink(link, path, sizeof path - 1);
    if (n <= 0)
        return false;
    path[n] = '\0';
    return inJournal(path);
}

// True when this call is the one to fail; errno is set then.
bool fails(bool journal)
{
    if (!journal || !g_counting.load())
        return false;
    const int seen = ++g_seen;
    if (seen != g_at.load())
        return false;
    errno = g_error.load();
    return true;
}

template <typename F> F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}

// open() and open64(): a new file in the journal is a call that may fail.
int openAs(const char* name, const char* path, int flags, va_list arguments)
{
    const auto next = real<int (*)(const char*, int, ...)>(name);
    const mode_t mode = (flags & O_CREAT) ? va_arg(arguments, mode_t) : 0;
    if ((flags & O_CREAT) && fails(inJournal(path)))
        return -1;
    return next(path, flags, mode);
}

} // namespace

extern "C" {

// Starts counting journal calls; the at-th fails with error (at 0: none fails).
__attribute__((visibility("default"))) void globalstabFaultArm(int at, int error)
{
    g_at = at;
    g_error = error;
    g_seen = 0;
    g_counting = true;
}

// Stops counting; answers how many journal calls were seen.
__attribute__((visibility("default"))) int globalstabFaultDisarm()
{
    g_counting = false;
    return g_seen.load();
}

ssize_t write(int fd, const void* data, size_t size)
{
    static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
    if (g_counting.load() && fails(fdInJournal(fd)))
        return -1;
    return next(fd, data, size);
}

int fdatasync(int fd)
{
    static const auto next = real<int (*)(int)>("fdatasync");
    if (g_counting.load() && fails(fdInJournal(fd)))
        return -1;
    return next(fd);
}

int fsync(int fd)
{
    static const auto next = real<int (*)(int)>("fsync");
    if (g_counting.load() && fails(fdInJournal(fd)))
        return -1;
    return next(fd);
}

int link(const char* from, const char* to)
{
    static const auto next = real<int (*)(const char*, const char*)>("link");
    if (fails(inJournal(to)))
        return -1;
    return next(from, to);
}

int mkdir(const char* path, mode_t mode)
{
    static const auto next = real<int (*)(const char*, mode_t)>("mkdir");
    if (fails(inJournal(path)))
        return -1;
    return next(path, mode);
}

int open(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAs("open", path, flags, arguments);
    va_end(arguments);
    return fd;
}

int open64(const char* path, int flags, ...)
{
    va_list arguments;
    va_start(arguments, flags);
    const int fd = openAs("open64", path, flags, arguments);
    va_end(arguments);
    return fd;
}

} // extern "C"
