#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "Platform/Linux/DesktopEntry.h"

using namespace tessary;

// Desktop files are written by anyone who installs software: reading one, its localised values
// and its Exec line must never crash, and a split Exec line always starts with a program.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    auto entry = DesktopEntry::parse(text);
    if (!entry) return 0;
    (void)entry->localeString("Name", "de_DE.UTF-8@euro");
    (void)entry->boolean("Hidden");
    const DesktopEntry::ExecContext context{"icon", "Name", "/apps/x.desktop"};
    if (auto arguments = entry->execArguments(context)) {
        if (arguments->empty() || arguments->front().empty()) std::abort();
    }
    if (auto arguments = DesktopEntry::splitExec(text, context)) {
        if (arguments->empty() || arguments->front().empty()) std::abort();
    }
    return 0;
}
