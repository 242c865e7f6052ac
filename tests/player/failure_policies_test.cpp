// SPDX-License-Identifier: GPL-3.0-or-later
// The three failure policies meet the program's own Failure; a fault of any other kind ends the handler and is
// reported with its own text and a line on stderr, whichever policy it passes through.
#include "player/failure_policies.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

namespace tamro::player {
namespace {

struct Thrown {
    const char* name;
    std::function<void()> raise;
    bool isFailure;
    std::string reported;  // what the report shows when the handler ends with it
    std::string logged;    // in the policy's own line on stderr; empty: no such line
};

void PrintTo(const Thrown& thrown, std::ostream* out) { *out << thrown.name; }

class FailurePolicies : public ::testing::TestWithParam<Thrown> {
protected:
    std::vector<std::string> reports;
    std::vector<std::string> steps;
    Report report = [this](const std::string& description) { reports.push_back(description); };

    // Runs a handler under the report policy; returns what it wrote on stderr.
    template <class Handler>
    std::string runReporting(Handler&& handler)
    {
        ::testing::internal::CaptureStderr();
        reporting(report, std::forward<Handler>(handler));
        return ::testing::internal::GetCapturedStderr();
    }

    void expectReportedOnce(const std::string& log)
    {
        const Thrown& c = GetParam();
        EXPECT_EQ(reports, std::vector<std::string>{c.reported});
        if (c.logged.empty())
            EXPECT_EQ(log, "");
        else
            EXPECT_NE(log.find(c.logged), std::string::npos) << log;
    }

    // A Failure is met by the policy: these steps ran and nothing was reported. A fault ended the handler
    // before any of them and was reported.
    void expectMetOnlyAFailure(const std::string& log, const std::vector<std::string>& stepsAfterAFailure)
    {
        if (GetParam().isFailure) {
            EXPECT_EQ(steps, stepsAfterAFailure);
            EXPECT_TRUE(reports.empty());
            EXPECT_EQ(log, "");
        } else {
            EXPECT_TRUE(steps.empty());
            expectReportedOnce(log);
        }
    }
};

TEST_P(FailurePolicies, ReportEndsTheHandlerAndShowsItsText)
{
    const auto log = runReporting([&] {
        steps.push_back("before");
        GetParam().raise();
        steps.push_back("after");
    });
    EXPECT_EQ(steps, std::vector<std::string>{"before"});
    expectReportedOnce(log);
}

TEST_P(FailurePolicies, SkipGoesOnAfterAFailureOnly)
{
    const Thrown& c = GetParam();
    const auto log = runReporting([&] {
        const bool done = skipping([&] { c.raise(); });
        steps.push_back(done ? "done" : "skipped");
        skipping([&] { steps.push_back("next action"); });
    });
    expectMetOnlyAFailure(log, {"skipped", "next action"});
}

TEST_P(FailurePolicies, RecoveryAnswersAFailureOnly)
{
    const Thrown& c = GetParam();
    const auto log = runReporting([&] { recovering([&] { c.raise(); }, [&] { steps.push_back("recovery"); }); });
    expectMetOnlyAFailure(log, {"recovery"});
}

TEST_P(FailurePolicies, AReportThatFailsItselfIsLoggedAndTheProgramGoesOn)
{
    const auto failingReport = [](const std::string&) { throw std::bad_alloc(); };
    ::testing::internal::CaptureStderr();
    reporting(failingReport, [&] { GetParam().raise(); });
    const auto log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("could not be shown"), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(Thrown, FailurePolicies,
    ::testing::Values(
        Thrown{"Failure", [] { throw Failure("Cannot open '/m/a.mp3': no such file"); }, true,
               "Cannot open '/m/a.mp3': no such file", ""},
        Thrown{"OutOfMemory", [] { throw std::bad_alloc(); }, false, "Not enough memory to finish this action.",
               "out of memory"},
        Thrown{"IndexOutOfRange", [] { throw std::out_of_range("index 7 of 3 entries"); }, false,
               "Unexpected failure: index 7 of 3 entries", "unexpected std::out_of_range: index 7 of 3 entries"},
        Thrown{"NotAnException", [] { throw 42; }, false, "Unexpected failure of an unknown kind.",
               "unknown type"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tamro::player
