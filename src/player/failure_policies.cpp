// SPDX-License-Identifier: GPL-3.0-or-later
#include "player/failure_policies.h"

#include "base/product.h"

#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <memory>
#include <new>
#include <typeinfo>

namespace tamro::player {

namespace {

// The name a reader knows the type by ("std::out_of_range"); the linker's name when that cannot be had.
std::unique_ptr<char, decltype(&std::free)> typeName(const std::type_info& type) noexcept
{
    int status = 0;
    return {abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free};
}

// Builds the text and shows it; either may run out of memory.
template <class Text>
void tryReport(const Report& report, Text&& text) noexcept
{
    try {
        report(text());
    } catch (...) {
        std::fprintf(stderr, "%s: the failure above could not be shown\n", executableName);
    }
}

}  // namespace

void reportFault(const Report& report, const std::exception_ptr& fault) noexcept
{
    try {
        std::rethrow_exception(fault);
    } catch (const std::bad_alloc&) {
        // No allocation here: memory may still be short.
        std::fprintf(stderr, "%s: out of memory (std::bad_alloc): the action is ended\n", executableName);
        tryReport(report, [] { return std::string("Not enough memory to finish this action."); });
    } catch (const std::exception& error) {
        const auto name = typeName(typeid(error));
        std::fprintf(stderr, "%s: unexpected %s: %s\n", executableName, name ? name.get() : typeid(error).name(),
                     error.what());
        tryReport(report, [&error] { return "Unexpected failure: " + std::string(error.what()); });
    } catch (...) {
        std::fprintf(stderr, "%s: unexpected exception of an unknown type\n", executableName);
        tryReport(report, [] { return std::string("Unexpected failure of an unknown kind."); });
    }
}

}  // namespace tamro::player
