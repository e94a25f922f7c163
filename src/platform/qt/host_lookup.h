#pragma once
// A host name looked up without waiting on it: the system's resolver works
// on its own (getaddrinfo_a) and a timer asks every few milliseconds whether
// it has an answer, so that an unknown host, or a name server that does not
// answer, never holds up the event loop.

#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>

namespace tavelin {

class HostLookup : public QObject {
public:
    // error is empty when the name resolved, else the resolver's words.
    using Done = std::function<void(const QString& error)>;

    explicit HostLookup(QObject* parent = nullptr);
    ~HostLookup() override;

    // Starts a lookup, dropping one still running; done is called once.
    void start(const QString& host, Done done);
    void cancel();

private:
    struct Request;
    void poll();

    std::unique_ptr<Request> request_;
    Done done_;
    QTimer poll_;
};

} // namespace tavelin
