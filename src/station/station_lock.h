#pragma once
// One program per state folder: an exclusive lock on the file "lock" in the
// folder, held for the program's life and released by the kernel when it
// ends, however it ends, so that no stale lock ever blocks a start. The file
// names the holder ("tavelind 4242") for the refusal of a second program.

#include <QString>

#include <memory>

namespace tavelin {

class StationLock {
public:
    enum class Outcome { Taken, Held, Failed };
    struct Attempt {
        Outcome outcome = Outcome::Failed;
        std::unique_ptr<StationLock> lock; // when taken
        QString holder;  // when held: "tavelind (PID 4242)", or "another program" when it says nothing
        QString reason;  // when failed: why the lock file cannot be had
    };

    // Makes the folder when missing, then tries the lock without waiting.
    static Attempt take(const QString& folder, const QString& program);
    ~StationLock();
    StationLock(const StationLock&) = delete;
    StationLock& operator=(const StationLock&) = delete;

    QString folder() const { return folder_; }

    // The sentence a refused program says, naming the folder and the holder.
    static QString refusal(const QString& folder, const QString& holder);
    // The exit status of a program refused for that reason.
    static constexpr int kHeldExitStatus = 3;

private:
    StationLock(QString folder, int fd) : folder_(std::move(folder)), fd_(fd) {}

    QString folder_;
    int fd_;
};

} // namespace tavelin
