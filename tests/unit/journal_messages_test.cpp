// The service's messages: one line each with its priority, and a message that
// keeps coming written once, then counted once a minute.
#include "daemon/journal_messages.h"
#include "fakes/fake_counter.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

using namespace tavelin;
using namespace tavelin::test;

namespace {

// The messages on a memory stream; lines() is what has been written so far.
struct Journal {
    FakeMillisecondCounter counter{0, 0};
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&buffer, &size);
    JournalMessages messages{counter, out};

    ~Journal()
    {
        std::fclose(out);
        std::free(buffer);
    }
    std::string lines()
    {
        std::fflush(out);
        return std::string(buffer, size);
    }
    void at(std::uint32_t ms) { counter.now = ms; }
};

TEST(JournalMessages, EachMessageIsOneLineWithItsPriority)
{
    Journal j;
    j.messages.show(QStringLiteral("Serial port 1 (/dev/ttyS0) cannot be opened: No such file.\n\nUntil it opens..."),
                    QStringLiteral("Port Failure"));
    j.messages.notify(QStringLiteral("The readings store was damaged."));
    j.messages.write(JournalMessages::Priority::Info, QStringLiteral("Sampling"));
    EXPECT_EQ(j.lines(), "<3>Serial port 1 (/dev/ttyS0) cannot be opened: No such file. Until it opens...\n"
                         "<4>The readings store was damaged.\n"
                         "<6>Sampling\n");
}

TEST(JournalMessages, ARepeatedMessageIsCountedAndSummarisedOnceAMinute)
{
    Journal j;
    const QString silent = QStringLiteral("NO VALID RETURN FROM pH MODULE");
    for (std::uint32_t second = 1; second <= 130; ++second) { // more than two minutes of a silent module
        j.at(second * 1000);
        j.messages.show(silent);
        j.messages.summarise();
    }
    EXPECT_EQ(j.lines(), "<3>NO VALID RETURN FROM pH MODULE\n"
                         "<3>NO VALID RETURN FROM pH MODULE (repeated 59 times in the last minute)\n"
                         "<3>NO VALID RETURN FROM pH MODULE (repeated 60 times in the last minute)\n");

    j.at(200000); // quiet for over a minute: the next one is news again
    j.messages.summarise();
    j.messages.show(silent);
    j.messages.show(QStringLiteral("Port Not open")); // another message is written at once
    j.messages.show(silent);
    j.messages.summarise(true); // the end: what was counted is written
    EXPECT_EQ(j.lines().substr(j.lines().find("<3>NO VALID RETURN FROM pH MODULE (repeated 10")),
              "<3>NO VALID RETURN FROM pH MODULE (repeated 10 times in the last minute)\n"
              "<3>NO VALID RETURN FROM pH MODULE\n"
              "<3>Port Not open\n"
              "<3>NO VALID RETURN FROM pH MODULE (repeated once in the last minute)\n");
}

} // namespace
