// SPDX-License-Identifier: GPL-3.0-or-later
// A FileDialog for command tests: answers each show with the next prepared choice and records every call.
#pragma once

#include "base/failure.h"
#include "platform/file_dialog.h"

#include <deque>
#include <string>
#include <vector>

namespace tamro::testing {

class FakeFileDialog : public FileDialog {
public:
    // What the user picks at each show, in order; "" (or nothing left) cancels.
    std::deque<std::string> choices;

    // "cancelError:0|1", "filter:<text>", "showOpen", "showSave", "setFileName:<name>".
    std::vector<std::string> calls;
    std::string lastFilter;
    int shows = 0;

    void setCancelError(bool raise) override
    {
        cancelError = raise;
        calls.push_back(std::string("cancelError:") + (raise ? "1" : "0"));
    }
    void setFilter(const std::string& filter) override
    {
        lastFilter = filter;
        calls.push_back("filter:" + filter);
    }
    void showOpen() override { show("showOpen"); }
    void showSave() override { show("showSave"); }
    std::string fileName() const override { return name; }
    void setFileName(const std::string& fileName) override
    {
        name = fileName;
        calls.push_back("setFileName:" + fileName);
    }

private:
    bool cancelError = true;
    std::string name;

    void show(const char* kind)
    {
        calls.push_back(kind);
        ++shows;
        std::string choice;
        if (!choices.empty()) {
            choice = choices.front();
            choices.pop_front();
        }
        // A cancelled common dialog leaves the file name as it was, which the commands keep empty.
        if (!choice.empty())
            name = choice;
        else if (cancelError)
            throw Failure("Cancelled");
    }
};

}  // namespace tamro::testing
