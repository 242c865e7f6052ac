// SPDX-License-Identifier: GPL-3.0-or-later
// The running player's end of the hand-over: takes the files of each later start from the listening socket
// and answers once they are in the playlist.
#pragma once

#include "desktop/hand_over.h"

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tamro::desktop {

class HandOverServer : public QObject {
public:
    using Open = std::function<void(const std::vector<std::string>& paths, const ActivationToken& token)>;
    // `listeningSocket` as claimInstance gave it; the server owns it from here.
    HandOverServer(int listeningSocket, Open open, QObject* parent = nullptr);
    ~HandOverServer() override;

private:
    struct Connection;
    void accept();
    void read(Connection& connection);
    void close(Connection& connection);

    int listening_;
    QSocketNotifier notifier_;
    Open open_;
    std::vector<std::unique_ptr<Connection>> connections_;
};

}  // namespace tamro::desktop
