// SPDX-License-Identifier: GPL-3.0-or-later
// Hands a web address to the desktop so the user's default browser opens it.
#pragma once

#include <QString>

namespace tamro {

// Non-blocking and silent: open() returns at once, whether or not anything could open the address.
class UrlOpener {
public:
    virtual ~UrlOpener() = default;
    // The address goes out exactly as given: no parsing, trimming or normalising.
    virtual void open(const QString& address) = 0;
};

// Starts the desktop's opener (xdg-open) as a detached process and forgets it.
class DesktopUrlOpener : public UrlOpener {
public:
    // `program` is the opener to start; tests point it at a stand-in.
    explicit DesktopUrlOpener(QString program = QStringLiteral("xdg-open"));
    void open(const QString& address) override;

private:
    QString program;
};

}  // namespace tamro
