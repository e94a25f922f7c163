/* A slow resolver and a slow disk on demand, for the end-to-end tests and the
 * benchmark: loaded with LD_PRELOAD, it sleeps $TAVELIN_SLOW_LOOKUP_MS
 * milliseconds in each getaddrinfo and $TAVELIN_SLOW_FSYNC_MS in each fsync
 * and fdatasync, then does the real call. Unset or 0: no delay. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <netdb.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

typedef int (*lookup_fn)(const char*, const char*, const struct addrinfo*, struct addrinfo**);
typedef int (*sync_fn)(int);

static lookup_fn real_getaddrinfo;
static sync_fn real_fsync;
static sync_fn real_fdatasync;

__attribute__((constructor)) static void find_real_calls(void)
{
    real_getaddrinfo = (lookup_fn)dlsym(RTLD_NEXT, "getaddrinfo");
    real_fsync = (sync_fn)dlsym(RTLD_NEXT, "fsync");
    real_fdatasync = (sync_fn)dlsym(RTLD_NEXT, "fdatasync");
}

static void pause_for(const char* variable)
{
    const char* text = getenv(variable);
    const long ms = text ? strtol(text, NULL, 10) : 0;
    if (ms <= 0)
        return;
    struct timespec left = {ms / 1000, (ms % 1000) * 1000000L};
    const int saved = errno;
    while (nanosleep(&left, &left) == -1 && errno == EINTR) {
    }
    errno = saved;
}

int getaddrinfo(const char* node, const char* service, const struct addrinfo* hints, struct addrinfo** res)
{
    pause_for("TAVELIN_SLOW_LOOKUP_MS");
    return real_getaddrinfo(node, service, hints, res);
}

int fsync(int fd)
{
    pause_for("TAVELIN_SLOW_FSYNC_MS");
    return real_fsync(fd);
}

int fdatasync(int fd)
{
    pause_for("TAVELIN_SLOW_FSYNC_MS");
    return real_fdatasync(fd);
}
