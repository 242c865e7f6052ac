// SPDX-License-Identifier: GPL-3.0-or-later
// A UrlOpener for tests: records every address it is asked to open, opens nothing.
#pragma once

#include "platform/url_opener.h"

#include <QString>
#include <vector>

namespace tamro::testing {

class FakeUrlOpener : public UrlOpener {
public:
    std::vector<QString> opened;
    void open(const QString& address) override { opened.push_back(address); }
};

}  // namespace tamro::testing
