// SPDX-License-Identifier: GPL-3.0-or-later
#include "base/file_descriptor.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <utility>

namespace tamro {
namespace {

bool isOpen(int fd) { return ::fcntl(fd, F_GETFD) != -1; }

int openNull() { return ::open("/dev/null", O_RDONLY | O_CLOEXEC); }

TEST(FileDescriptor, ClosesExactlyOnceWhoeverEndsUpOwningIt)
{
    FileDescriptor a(openNull());
    const int first = a.get();
    FileDescriptor b(std::move(a));
    EXPECT_FALSE(a.valid());
    EXPECT_EQ(b.get(), first);

    FileDescriptor c(openNull());
    const int second = c.get();
    c = std::move(b);  // c's own descriptor is closed, b's moves in
    EXPECT_FALSE(isOpen(second));
    EXPECT_TRUE(isOpen(first));
    EXPECT_EQ(c.close(), 0);
    EXPECT_FALSE(isOpen(first));
    EXPECT_EQ(c.close(), 0) << "closing again closes nothing";
}

TEST(FileDescriptor, AMovedFromOwnerClosesNothingWhenItGoes)
{
    FileDescriptor kept(openNull());
    {
        FileDescriptor moved(openNull());
        kept = std::move(moved);
    }
    EXPECT_TRUE(isOpen(kept.get()));
}

}  // namespace
}  // namespace tamro
