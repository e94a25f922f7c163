#include "platform/qt/host_lookup.h"

#include <netdb.h>

#include <cstring>

namespace tavelin {

namespace {
constexpr int kPollMs = 5;
} // namespace

struct HostLookup::Request {
    QByteArray host;
    addrinfo hints{};
    gaicb block{};
    bool running = false;

    ~Request()
    {
        if (running && gai_cancel(&block) != EAI_CANCELED) {
            // The resolver still writes into the block: wait for it, as it
            // must not outlive us. It is done soon after cancelling.
            const gaicb* list[] = {&block};
            while (gai_error(&block) == EAI_INPROGRESS)
                gai_suspend(list, 1, nullptr);
        }
        if (block.ar_result)
            freeaddrinfo(block.ar_result);
    }
};

HostLookup::HostLookup(QObject* parent) : QObject(parent)
{
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, &HostLookup::poll);
}

HostLookup::~HostLookup() = default;

void HostLookup::start(const QString& host, Done done)
{
    cancel();
    done_ = std::move(done);
    request_ = std::make_unique<Request>();
    request_->host = host.toUtf8();
    request_->hints.ai_socktype = SOCK_STREAM;
    request_->block.ar_name = request_->host.constData();
    request_->block.ar_request = &request_->hints;
    gaicb* list[] = {&request_->block};
    const int rc = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr);
    if (rc != 0) {
        request_.reset();
        done_(QString::fromLocal8Bit(gai_strerror(rc)));
        return;
    }
    request_->running = true;
    poll_.start();
}

void HostLookup::cancel()
{
    poll_.stop();
    request_.reset();
}

void HostLookup::poll()
{
    const int rc = gai_error(&request_->block);
    if (rc == EAI_INPROGRESS)
        return;
    poll_.stop();
    request_->running = false;
    request_.reset();
    const Done done = std::move(done_);
    done(rc == 0 ? QString() : QString::fromLocal8Bit(gai_strerror(rc)));
}

} // namespace tavelin
