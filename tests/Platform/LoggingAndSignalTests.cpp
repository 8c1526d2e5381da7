#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "Platform/Linux/StderrLogSink.h"
#include "Platform/Logger.h"
#include "Platform/Signal.h"
#include "Platform/Sim/RecordingLogSink.h"

using namespace tessary;

TEST(StderrLogSink, FormatsLinesWithJournalPrioritiesAndEscapesControlCharacters) {
    struct Case {
        bool journal;
        LogRecord record;
        std::string line;
    };
    const Case cases[] = {
        {false, {"AXWindowEngine", LogLevel::notice, "setFrame mismatch"}, "AXWindowEngine: setFrame mismatch\n"},
        {true, {"C", LogLevel::debug, "m"}, "<7>C: m\n"},
        {true, {"C", LogLevel::fault, "m"}, "<2>C: m\n"},
        // A window title cannot start a line of its own with a forged priority.
        {true, {"C", LogLevel::info, "title\n<2>forged\r\t\x01"}, "<6>C: title\\n<2>forged\\r\\t\\x01\n"},
    };
    for (const Case& c : cases) {
        StderrLogSink sink(stderr, c.journal, LogLevel::debug);
        EXPECT_EQ(sink.format(c.record), c.line);
    }
}

TEST(StderrLogSink, WritesWholeLinesAndDropsThoseBelowTheMinimumLevel) {
    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    StderrLogSink sink(file, true, LogLevel::info);
    sink.write({"C", LogLevel::debug, "hidden"});
    sink.write({"C", LogLevel::notice, "shown"});
    std::rewind(file);
    char buffer[64] = {};
    const std::size_t read = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    EXPECT_EQ(std::string(buffer, read), "<5>C: shown\n");
}

TEST(Logger, WritesToTheInstalledSinkUntilTheScopeEnds) {
    RecordingLogSink outer;
    ScopedLogSink outerScope(outer);
    Logger log("Category");
    {
        RecordingLogSink inner;
        ScopedLogSink innerScope(inner);
        log.notice("one");
        EXPECT_EQ(inner.messages("Category"), std::vector<std::string>{"one"});
    }
    log.error("two");
    EXPECT_EQ(outer.records(), (std::vector<LogRecord>{{"Category", LogLevel::error, "two"}}));
    EXPECT_TRUE(outer.messages("Other").empty());
}

TEST(Signal, HandlersMayUnsubscribeThemselvesAndOthersWhileItEmits) {
    Signal<int> signal;
    std::vector<std::string> calls;
    Subscription second;
    Subscription first = signal.subscribe([&](int v) {
        calls.push_back("first " + std::to_string(v));
        second.reset();  // the second is not called once removed
    });
    second = signal.subscribe([&](int) { calls.push_back("second"); });
    Subscription third = signal.subscribe([&](int) {
        calls.push_back("third");
        third.reset();
    });
    signal.emit(1);
    signal.emit(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "third", "first 2"}));
    EXPECT_EQ(signal.subscriberCount(), 1u);
}

// A handler that joins during an emission hears the next one, not the one under way; one that
// leaves and joins again keeps its new place at the end.
TEST(Signal, HandlersSubscribedWhileItEmitsHearTheNextEmission) {
    Signal<int> signal;
    std::vector<std::string> calls;
    std::vector<Subscription> added;
    Subscription first;
    first = signal.subscribe([&](int v) {
        calls.push_back("first " + std::to_string(v));
        if (v == 1) {
            added.push_back(signal.subscribe([&](int w) { calls.push_back("added " + std::to_string(w)); }));
            first = signal.subscribe([&](int w) { calls.push_back("first again " + std::to_string(w)); });
        }
    });
    Subscription last = signal.subscribe([&](int v) { calls.push_back("last " + std::to_string(v)); });
    signal.emit(1);
    signal.emit(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"first 1", "last 1", "last 2", "added 2", "first again 2"}));
}

TEST(Signal, EitherSideMayGoFirst) {
    Subscription outlives;
    {
        Signal<> signal;
        outlives = signal.subscribe([] {});
    }
    outlives.reset();  // the signal is gone: nothing to do, nothing touched
    EXPECT_FALSE(outlives.isActive());

    Signal<> signal;
    int calls = 0;
    {
        Subscription scoped = signal.subscribe([&] { ++calls; });
        Subscription moved = std::move(scoped);
        signal.emit();
    }
    signal.emit();
    EXPECT_EQ(calls, 1);
}
