// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktop/hand_over_server.h"

#include "desktop/hand_over.h"

#include <cerrno>
#include <sys/socket.h>
#include <unistd.h>

namespace tamro::desktop {
namespace {

// Far more than 32767 paths of a usual length: a start that sends more is not a player's.
constexpr std::size_t maxMessageBytes = 16 * 1024 * 1024;

}  // namespace

struct HandOverServer::Connection {
    int fd;
    QSocketNotifier notifier;
    std::string received;
    explicit Connection(int socket) : fd(socket), notifier(socket, QSocketNotifier::Read) {}
};

HandOverServer::HandOverServer(int listeningSocket, Open open, QObject* parent)
    : QObject(parent), listening_(listeningSocket), notifier_(listeningSocket, QSocketNotifier::Read),
      open_(std::move(open))
{
    connect(&notifier_, &QSocketNotifier::activated, this, &HandOverServer::accept);
}

HandOverServer::~HandOverServer()
{
    for (auto& connection : connections_)
        if (connection->fd >= 0)
            ::close(connection->fd);
    ::close(listening_);
}

void HandOverServer::accept()
{
    // The connections closed since the last time go now, outside their own notifiers' signals.
    std::erase_if(connections_, [](const auto& c) { return c->fd < 0; });
    for (;;) {
        const int fd = ::accept4(listening_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0)
            return;  // none left waiting (EAGAIN), or a connection given up before it was taken
        auto connection = std::make_unique<Connection>(fd);
        Connection* raw = connection.get();
        connect(&connection->notifier, &QSocketNotifier::activated, this, [this, raw] { read(*raw); });
        connections_.push_back(std::move(connection));
    }
}

void HandOverServer::read(Connection& connection)
{
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::recv(connection.fd, buffer, sizeof buffer, 0);
        if (n > 0) {
            connection.received.append(buffer, static_cast<std::size_t>(n));
            if (connection.received.size() > maxMessageBytes)
                return close(connection);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        return close(connection);  // gone before its message was whole
    }
    bool malformed = false;
    const auto message = decodeHandOver(connection.received, malformed);
    if (malformed)
        return close(connection);
    if (!message)
        return;  // more to come
    connection.notifier.setEnabled(false);
    open_(message->paths, message->token);
    [[maybe_unused]] const auto sent = ::send(connection.fd, &handOverDone, 1, MSG_NOSIGNAL);
    close(connection);
}

void HandOverServer::close(Connection& connection)
{
    // Removed at the next accept: this runs inside the connection's own notifier.
    connection.notifier.setEnabled(false);
    ::close(connection.fd);
    connection.fd = -1;
}

}  // namespace tamro::desktop
