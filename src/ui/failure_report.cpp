// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/failure_report.h"

#include "base/product.h"
#include "base/shown_text.h"

#include <algorithm>
#include <cstdio>

namespace tamro::ui {

namespace {

void log(const std::string& line)
{
    std::fprintf(stderr, "%s: %s\n", executableName, line.c_str());
}

}  // namespace

FailureReport::FailureReport(QWidget* window) : window_(window) {}

FailureReport::~FailureReport()
{
    if (box_) {
        box_->disconnect();
        delete box_.data();
    }
}

void FailureReport::report(const std::string& full)
{
    // A message naming a path of a megabyte took seconds to lay out in its box: it is shown cut.
    const std::string description = shownText(full);
    if (box_ && description == shown_) {
        ++repeats_;
        return;
    }
    if (std::find(waiting_.begin(), waiting_.end(), description) != waiting_.end())
        return;
    log(description);
    if (!box_)
        show(description);
    else if (waiting_.size() < maxWaiting)
        waiting_.push_back(description);
}

void FailureReport::show(const std::string& description)
{
    shown_ = description;
    repeats_ = 0;
    auto* box = new QMessageBox(QMessageBox::Warning, QString::fromUtf8(productName),
                                QString::fromUtf8(description.data(), static_cast<qsizetype>(description.size())),
                                QMessageBox::Ok, window_);
    // The window owns the box until it is closed; then it deletes itself.
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setTextFormat(Qt::PlainText);
    box->setWindowModality(Qt::NonModal);
    QObject::connect(box, &QMessageBox::finished, box, [this] { closed(); });
    box_ = box;
    box->show();
}

void FailureReport::closed()
{
    if (repeats_ > 0)
        log("(the same failure " + std::to_string(repeats_) + " more time(s) while it was shown)");
    box_ = nullptr;
    shown_.clear();
    repeats_ = 0;
    if (!waiting_.empty()) {
        std::string next = std::move(waiting_.front());
        waiting_.pop_front();
        show(next);
    }
    if (closedHandler_)
        closedHandler_();
}

}  // namespace tamro::ui
