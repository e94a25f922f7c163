// Proves what the sanitizer stage's leak suppressions let through. Run as
//   leak_canary own     leaks memory of its own, once in main and once in a
//                       timer handler run by Qt's event loop: LeakSanitizer
//                       must report both and fail the process;
//   leak_canary system  drops a fontconfig configuration, memory allocated
//                       wholly inside a system library: nothing is reported.
#include <QCoreApplication>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <dlfcn.h>

namespace {

void* volatile sink; // keeps the compiler from removing the allocations

[[gnu::noinline]] void leakInMain()
{
    sink = new char[48];
    sink = nullptr;
}

[[gnu::noinline]] void leakInTimerHandler()
{
    sink = new char[96];
    sink = nullptr;
}

int dropFontconfigConfiguration()
{
    void* library = dlopen("libfontconfig.so.1", RTLD_NOW);
    if (!library) {
        std::fprintf(stderr, "leak_canary: libfontconfig.so.1 not found\n");
        return 2;
    }
    using LoadConfig = void* (*)();
    auto load = reinterpret_cast<LoadConfig>(dlsym(library, "FcInitLoadConfigAndFonts"));
    if (!load || !load())
        return 2;
    return 0; // the configuration is never destroyed, nor the library closed
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    if (std::strcmp(argv[1], "system") == 0)
        return dropFontconfigConfiguration();
    if (std::strcmp(argv[1], "own") != 0)
        return 2;

    QCoreApplication app(argc, argv);
    leakInMain();
    QTimer::singleShot(0, [] {
        leakInTimerHandler();
        QCoreApplication::quit();
    });
    return app.exec();
}
