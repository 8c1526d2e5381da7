// Whether the desktop started this process, as a start that was handed a tessary: link judges it:
// from the launchers' marks in its environment and where its standard error goes.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <optional>
#include <string>

#include "Platform/Linux/LaunchOrigin.h"
#include "Platform/Linux/StderrLogSink.h"

using namespace tessary;

namespace {

constexpr const char* launcherVariables[] = {"DESKTOP_STARTUP_ID", "XDG_ACTIVATION_TOKEN", "GIO_LAUNCHED_DESKTOP_FILE",
                                             "GIO_LAUNCHED_DESKTOP_FILE_PID", "JOURNAL_STREAM"};

std::string deviceAndInode(int descriptor) {
    struct stat status {};
    EXPECT_EQ(::fstat(descriptor, &status), 0);
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino);
}

// Each case sets its variables alone and points standard error at a file or at a terminal; both
// are put back after it, so that the verdict does not depend on where the test itself runs.
class LaunchOriginTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* name : launcherVariables) {
            if (const char* value = std::getenv(name)) saved_[name] = value;
            ::unsetenv(name);
        }
        std::fflush(stderr);
        savedErrors_ = ::dup(STDERR_FILENO);
        ASSERT_GE(savedErrors_, 0);
        std::FILE* file = std::tmpfile();
        ASSERT_NE(file, nullptr);
        errorFile_ = ::dup(::fileno(file));
        std::fclose(file);
        file = std::tmpfile();
        otherFile_ = ::dup(::fileno(file));
        std::fclose(file);
    }

    void TearDown() override {
        std::fflush(stderr);
        ::dup2(savedErrors_, STDERR_FILENO);
        for (int descriptor : {savedErrors_, errorFile_, otherFile_, terminal_, terminalSide_}) {
            if (descriptor >= 0) ::close(descriptor);
        }
        for (const char* name : launcherVariables) ::unsetenv(name);
        for (const auto& [name, value] : saved_) ::setenv(name.c_str(), value.c_str(), 1);
    }

    void errorsToFile() { ASSERT_GE(::dup2(errorFile_, STDERR_FILENO), 0); }

    void errorsToTerminal() {
        if (terminalSide_ >= 0) {
            ASSERT_GE(::dup2(terminalSide_, STDERR_FILENO), 0);
            return;
        }
        terminal_ = ::posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_GE(terminal_, 0);
        ASSERT_EQ(::grantpt(terminal_), 0);
        ASSERT_EQ(::unlockpt(terminal_), 0);
        terminalSide_ = ::open(::ptsname(terminal_), O_RDWR | O_NOCTTY);
        ASSERT_GE(terminalSide_, 0);
        ASSERT_GE(::dup2(terminalSide_, STDERR_FILENO), 0);
    }

    std::string errorFile() const { return deviceAndInode(errorFile_); }
    // What was written to the file standard error pointed at.
    std::string errorFileText() const {
        std::string text(4096, '\0');
        const ssize_t read = ::pread(errorFile_, text.data(), text.size(), 0);
        text.resize(read > 0 ? static_cast<std::size_t>(read) : 0);
        return text;
    }
    std::string otherFile() const { return deviceAndInode(otherFile_); }

private:
    std::map<std::string, std::string> saved_;
    int savedErrors_ = -1;
    int errorFile_ = -1;
    int otherFile_ = -1;
    int terminal_ = -1;
    int terminalSide_ = -1;
};

TEST_F(LaunchOriginTest, TheDesktopIsKnownByItsLaunchersMarksAndNeverAtATerminal) {
    const std::string self = std::to_string(::getpid());
    const std::string parent = std::to_string(::getppid());
    struct Row {
        const char* name;
        std::map<std::string, std::string> environment;
        bool terminal;
        bool desktop;
    };
    const Row rows[] = {
        {"a script, no mark", {}, false, false},
        {"a person at a terminal", {}, true, false},
        {"startup notification", {{"DESKTOP_STARTUP_ID", "launcher-1_TIME42"}}, false, true},
        {"an activation token", {{"XDG_ACTIVATION_TOKEN", "token"}}, false, true},
        {"an empty startup id", {{"DESKTOP_STARTUP_ID", ""}}, false, false},
        {"startup notification inherited by a terminal's shell", {{"DESKTOP_STARTUP_ID", "launcher-1"}}, true, false},
        {"a GLib launcher's start",
         {{"GIO_LAUNCHED_DESKTOP_FILE", "/usr/share/applications/tessary.desktop"}, {"GIO_LAUNCHED_DESKTOP_FILE_PID", self}},
         false, true},
        {"a GLib launcher's start of a script, inherited by what the script runs",
         {{"GIO_LAUNCHED_DESKTOP_FILE", "/usr/share/applications/script.desktop"}, {"GIO_LAUNCHED_DESKTOP_FILE_PID", parent}},
         false, false},
        {"standard error is the journal's stream", {{"JOURNAL_STREAM", "journal"}}, false, true},
        {"the journal's stream, standard error redirected away from it", {{"JOURNAL_STREAM", "other"}}, false, false},
        {"the journal's variable, unreadable", {{"JOURNAL_STREAM", "8:x"}}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        for (const char* name : launcherVariables) ::unsetenv(name);
        for (const auto& [name, value] : row.environment) {
            const std::string set = value == "journal" ? errorFile() : value == "other" ? otherFile() : value;
            ::setenv(name.c_str(), set.c_str(), 1);
        }
        if (row.terminal) {
            errorsToTerminal();
        } else {
            errorsToFile();
        }
        EXPECT_EQ(LaunchOrigin::current().isDesktop(), row.desktop);
    }
}

// The journal keeps a line's level from its "<N>" prefix; anywhere else the prefix is noise, as in
// a terminal whose shell inherited $JOURNAL_STREAM from a session systemd started.
TEST_F(LaunchOriginTest, LogLinesCarryTheirLevelOnlyIntoTheJournal) {
    for (const bool journal : {true, false}) {
        SCOPED_TRACE(journal ? "standard error is the journal's stream" : "standard error goes elsewhere");
        ::setenv("JOURNAL_STREAM", (journal ? errorFile() : otherFile()).c_str(), 1);
        errorsToFile();
        ASSERT_EQ(::ftruncate(STDERR_FILENO, 0), 0);
        ASSERT_EQ(::lseek(STDERR_FILENO, 0, SEEK_SET), 0);
        StderrLogSink sink;
        sink.write(LogRecord{"Sync", LogLevel::error, "refused"});
        EXPECT_EQ(errorFileText(), journal ? "<3>Sync: refused\n" : "Sync: refused\n");
    }
}

}  // namespace
