#include <gtest/gtest.h>

#include "Platform/Sim/RecordingLogSink.h"

#include "Tessary/shell/AppLinks.h"
#include "Tessary/shell/OSRelease.h"
#include "Tessary/shell/VersionInfo.h"
#include "Tessary/shell/ui/LinkOpener.h"

#include <QUrl>

using namespace tessary;

TEST(VersionInfo, AppVersionJoinsTheVersionAndTheBuild) {
    struct Case {
        const char* name;
        const char* shortVersion;
        const char* build;
        const char* expected;
    };
    const Case cases[] = {
        {"version and build", "1.4", "27", "1.4 (27)"},
        {"no build", "1.4", "", "1.4"},
        {"no version, a build", "", "27", "\xE2\x80\x93 (27)"},
        {"neither", "", "", "\xE2\x80\x93"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(appVersionString(c.shortVersion, c.build), c.expected);
    }
    EXPECT_EQ(appVersionString(), "0.1.0") << "the project version, no build number by default";
}

TEST(VersionInfo, SystemVersionReadsOSReleaseByItsQuotingRules) {
    struct Case {
        const char* name;
        std::optional<std::string> osRelease;
        const char* kernel;
        const char* expected;
    };
    const Case cases[] = {
        {"Debian as shipped", "PRETTY_NAME=\"Debian GNU/Linux 12 (bookworm)\"\nNAME=\"Debian GNU/Linux\"\n"
                              "VERSION_ID=\"12\"\nID=debian\n",
         "6.1.0-18-amd64", "Debian GNU/Linux 12 (6.1.0-18-amd64)"},
        {"unquoted values", "NAME=Fedora\nVERSION_ID=40\n", "6.8.5", "Fedora 40 (6.8.5)"},
        {"single quotes are literal", "NAME='A \\\"b\\\" $HOME'\n", "", "A \\\"b\\\" $HOME"},
        {"double-quote escapes", "NAME=\"Say \\\"hi\\\" \\$HOME \\`x\\` \\\\ \\n\"\n", "", "Say \"hi\" $HOME `x` \\ \\n"},
        {"unquoted backslash escapes", "NAME=Open\\ SUSE\n", "", "Open SUSE"},
        {"no command is ever run", "NAME=\"$(touch /tmp/x)`id`\"\n", "", "$(touch /tmp/x)`id`"},
        {"comments, blanks and CRLF", "# NAME=Wrong\n\n  NAME=\"Arch Linux\"\r\nVERSION_ID=rolling\r\n", "6.9",
         "Arch Linux rolling (6.9)"},
        {"the later key wins", "NAME=First\nNAME=Second\n", "", "Second"},
        {"an open quote drops its line", "NAME=Kept\nNAME=\"never closed\n", "", "Kept"},
        {"a bad key is skipped", "1NAME=Bad\nNA-ME=Bad\n", "", "Linux"},
        {"missing VERSION_ID", "NAME=\"Arch Linux\"\n", "6.9", "Arch Linux (6.9)"},
        {"missing NAME", "VERSION_ID=12\n", "6.1", "Linux 12 (6.1)"},
        {"no file", std::nullopt, "6.1", "Linux (6.1)"},
        {"control characters dropped", "NAME=\"Evil\x1b[31m\x07 OS\xc2\x85\"\n", "", "Evil[31m OS"},
        {"invalid UTF-8 replaced", "NAME=\"A\xff\"\n", "", "A\xEF\xBF\xBD"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(systemVersionString(c.osRelease, c.kernel), c.expected);
    }
}

TEST(VersionInfo, OSReleaseIsReadFromTheFirstFileThatExists) {
    EXPECT_EQ(readOSRelease({"/nonexistent/os-release"}), std::nullopt);
    EXPECT_NE(systemVersionString().find(" ("), std::string::npos) << "this machine has a kernel release";
}

TEST(AppLinks, LinksExistOnlyOnAnHTTPSSite) {
    struct Case {
        const char* name;
        const char* site;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {"root", "https://tessary.example", "", "https://tessary.example"},
        {"page", "https://tessary.example", "/changelog", "https://tessary.example/changelog"},
        {"trailing slash not doubled", "https://tessary.example/", "/review", "https://tessary.example/review"},
        {"no site", "", "/review", ""},
        {"plain HTTP refused", "http://tessary.example", "", ""},
        {"no host", "https://", "", ""},
        {"blank inside refused", "https://tessary.example/a b", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(siteLink(c.site, c.path), c.expected);
    }
    EXPECT_EQ(websiteURL(), "") << "the site is an empty build option by default";
}

TEST(AppLinks, OpenOnlyARealLinkAndLogWhenThereIsNone) {
    struct Case {
        const char* name;
        std::string url;
        std::vector<QString> opened;
        std::size_t logLines;
    };
    const Case cases[] = {
        {"no site configured", "", {}, 1},
        {"a page of the site", "https://tessary.example/review", {"https://tessary.example/review"}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingLogSink sink;
        ScopedLogSink scoped(sink);
        std::vector<QString> opened;
        const bool result = openAppLink(c.url, [&](const QUrl& url) {
            opened.push_back(url.toString());
            return true;
        });
        EXPECT_EQ(result, !c.opened.empty());
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(sink.messages("AppLinks").size(), c.logLines);
    }
}
