#include "Platform/HandlerList.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace tessary {
namespace {

// A handler that removes itself and a later one mid-walk keeps running on its own state (its
// captured name is read after the removal); the later one is skipped at once, both for good.
TEST(HandlerList, HandlersRemovedDuringAWalkAreNotCalledAgainAndTheRunningOneSurvives) {
    HandlerList<int> list;
    std::vector<std::string> calls;
    list.add(1, [&, name = std::string(40, 'a')](int v) {
        list.remove(1);
        list.remove(3);
        calls.push_back(name.substr(0, 1) + std::to_string(v));
    });
    list.add(2, [&](int v) { calls.push_back("b" + std::to_string(v)); });
    list.add(3, [&](int v) { calls.push_back("c" + std::to_string(v)); });
    list.call(1);
    list.call(2);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1", "b1", "b2"}));
    EXPECT_FALSE(list.remove(3));
}

// Handlers added mid-walk, enough to make the list grow many times, are first called for the next
// event; the handler that added them still reads its own state afterwards.
TEST(HandlerList, HandlersAddedDuringAWalkHearTheNextEvent) {
    HandlerList<int> list;
    std::vector<std::string> calls;
    int added = 0;
    list.add(1, [&, name = std::string(40, 'a')](int v) {
        if (v == 1) {
            for (int i = 0; i < 200; ++i) list.add(100 + i, [&](int) { ++added; });
        }
        calls.push_back(name.substr(0, 1) + std::to_string(v));
    });
    list.call(1);
    EXPECT_EQ(added, 0);
    list.call(2);
    EXPECT_EQ(added, 200);
    EXPECT_EQ(calls, (std::vector<std::string>{"a1", "a2"}));
}

// A walk inside a walk (a handler that dispatches again): what the inner walk's handlers remove
// stays in place until the outer walk is done with it.
TEST(HandlerList, ANestedWalkDefersErasingToTheOutermost) {
    HandlerList<> list;
    std::vector<std::string> calls;
    bool nested = false;
    list.add(1, [&, name = std::string(40, 'o')] {
        if (!std::exchange(nested, true)) list.call();
        calls.push_back(name.substr(0, 1));
    });
    list.add(2, [&] {
        calls.push_back("r");
        list.remove(2);
        list.remove(1);
    });
    list.call();
    list.call();
    EXPECT_EQ(calls, (std::vector<std::string>{"o", "r", "o"}));
}

}  // namespace
}  // namespace tessary
