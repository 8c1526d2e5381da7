#include <gtest/gtest.h>

#include <QCoreApplication>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <cstring>
#include <filesystem>
#include <thread>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Qt/InstanceServer.h"
#include "Platform/Sim/RecordingLogSink.h"
#include "Platform/Sim/VirtualScheduler.h"
#include "tests/Platform/QtCoreApplication.h"
#include "tests/TessaryCore/TestSupport.h"

using namespace tessary;
using namespace std::chrono_literals;
namespace fs = std::filesystem;

namespace {

TEST(InstanceLocation, OneSocketPerXDisplay) {
    struct Row {
        const char* display;
        const char* stem;
    };
    const Row rows[] = {
        {":0", "local-0"},         {":0.1", "local-0"},       {"unix:0", "local-0"}, {":1", "local-1"},
        {"host:2.0", "host-2"},    {"../x:3", ".._x-3"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.display);
        EXPECT_EQ(InstanceLocation::displayStem(row.display), row.stem);
    }
}

TEST(InstanceLocation, TheFolderMustBeTheUsersOwn) {
    TemporaryFolder runtime;
    EXPECT_FALSE(InstanceLocation::locate(std::nullopt, ":0")) << "no runtime folder";

    fs::create_symlink(runtime.path(), runtime / "link");
    EXPECT_FALSE(InstanceLocation::locate(runtime / "link", ":0")) << "a link";

    if (::geteuid() == 0) {
        fs::create_directories(runtime / "theirs");
        ASSERT_EQ(::chown((runtime / "theirs").c_str(), 4321, 4321), 0);
        EXPECT_FALSE(InstanceLocation::locate(runtime / "theirs", ":0")) << "another user's runtime folder";
        fs::create_directories(runtime / "ours" / "tessary");
        ASSERT_EQ(::chown((runtime / "ours" / "tessary").c_str(), 4321, 4321), 0);
        EXPECT_FALSE(InstanceLocation::locate(runtime / "ours", ":0")) << "another user's tessary folder";
    }

    fs::create_directories(runtime / "loose" / "tessary");
    fs::permissions(runtime / "loose" / "tessary", fs::perms::all);
    auto location = InstanceLocation::locate(runtime / "loose", ":5.0");
    ASSERT_TRUE(location) << location.error();
    EXPECT_EQ(location->socket, runtime / "loose" / "tessary" / "local-5.socket");
    struct stat info {};
    ASSERT_EQ(::stat(location->folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u) << "a folder left open to others is closed again";
}

class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        qttest::qtCoreApplication();
        auto found = InstanceLocation::locate(runtime.path(), ":9");
        ASSERT_TRUE(found);
        location = *found;
    }

    // Runs the client on a thread of its own while the main loop serves.
    InstanceClient::Outcome forward(const InstanceRequest& request) {
        std::atomic<bool> done = false;
        InstanceClient::Outcome outcome = InstanceReply{};
        std::thread client([&] {
            outcome = InstanceClient::becomeOrForward(location, request, 3s);
            done = true;
        });
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        }
        client.join();
        return outcome;
    }

    // Serves the main loop until the condition holds or the time is up.
    static void serveUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = 5s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (!condition() && std::chrono::steady_clock::now() < deadline) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            std::this_thread::sleep_for(2ms);
        }
    }

    RecordingLogSink sink;
    ScopedLogSink scopedSink{sink};
    TemporaryFolder runtime;
    InstanceLocation location;
    VirtualScheduler scheduler;
};

TEST_F(SingleInstanceTest, TheLockMakesOneInstanceAndPassesOnWhenItsHolderEnds) {
    auto first = InstanceLock::acquire(location);
    ASSERT_TRUE(first);
    EXPECT_FALSE(InstanceLock::acquire(location)) << "a second start while the first runs";
    first.reset();
    EXPECT_TRUE(InstanceLock::acquire(location)) << "after the first ended, however it ended";
}

TEST_F(SingleInstanceTest, ASocketLeftByAKilledInstanceIsReplaced) {
    const int stale = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stale, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(stale);  // the file stays, nobody listens: connections are refused

    auto outcome = InstanceClient::becomeOrForward(location, {{}, ""}, 1s);
    ASSERT_TRUE(std::holds_alternative<InstanceLock>(outcome));
    EXPECT_FALSE(fs::exists(location.socket));
}

TEST_F(SingleInstanceTest, TheRunningInstanceAnswersALaterStart) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    std::vector<InstanceRequest> received;
    ASSERT_TRUE(server.start([&](const InstanceRequest& request) {
        received.push_back(request);
        return InstanceReply{request.arguments.empty() ? "" : "unknown command: " + request.arguments[0], 1};
    }));
    auto outcome = forward({{"frobnicate", "two words"}, "startup-7"});
    ASSERT_TRUE(std::holds_alternative<InstanceReply>(outcome));
    EXPECT_EQ(std::get<InstanceReply>(outcome), (InstanceReply{"unknown command: frobnicate", 1}));
    EXPECT_EQ(received, (std::vector<InstanceRequest>{{{"frobnicate", "two words"}, "startup-7"}}));
}

TEST_F(SingleInstanceTest, ARequestThatIsNotCompleteInTimeOrTooLongIsDropped) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    int answered = 0;
    ASSERT_TRUE(server.start([&](const InstanceRequest&) {
        ++answered;
        return InstanceReply{};
    }));
    struct Row {
        const char* name;
        std::string bytes;
        bool waitOut;
    };
    const Row rows[] = {
        {"half a request, then silence", "{\"arguments\":[", true},
        {"longer than the limit", std::string(InstanceMessage::maximumSize + 10, 'x'), false},
        {"not a request", "[1,2,3]\n", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        std::thread writer([&] { [[maybe_unused]] auto n = ::send(peer, row.bytes.data(), row.bytes.size(), MSG_NOSIGNAL); });
        if (row.waitOut) {
            serveUntil([&] { return server.connectionCount() == 1; });
            serveUntil([] { return false; }, 100ms);
            EXPECT_EQ(server.connectionCount(), 1u) << "still waiting for the rest";
            scheduler.advance(InstanceServer::requestTimeLimit);
        } else {
            serveUntil([&] { return sink.records().size() > 0; });
        }
        EXPECT_EQ(server.connectionCount(), 0u);
        sink.clear();
        ::shutdown(peer, SHUT_RDWR);
        writer.join();
        ::close(peer);
    }
    EXPECT_EQ(answered, 0);
}

TEST(InstanceMessage, RequestsAndRepliesSurviveTheWireAndNothingElseDecodes) {
    const InstanceRequest request{{"tessary://snap?zone=1", "", "ünïcode"}, "id"};
    EXPECT_EQ(InstanceMessage::decodeRequest(InstanceMessage::encode(request)), request);
    const InstanceReply reply{"unknown command: x", 1};
    EXPECT_EQ(InstanceMessage::decodeReply(InstanceMessage::encode(reply)), reply);
    EXPECT_EQ(InstanceMessage::decodeRequest(InstanceMessage::encode(InstanceRequest{{"\xff"}, ""}))->arguments.size(), 1u);

    const char* badRequests[] = {"", "{}", "[]", "{\"arguments\":\"x\"}", "{\"arguments\":[1]}", "{\"arguments\":[],"};
    for (const char* text : badRequests) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(InstanceMessage::decodeRequest(text));
    }
    const char* badReplies[] = {"{\"text\":\"x\"}", "{\"status\":1.5,\"text\":\"\"}", "{\"status\":9999999999,\"text\":\"\"}"};
    for (const char* text : badReplies) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(InstanceMessage::decodeReply(text));
    }
}

}  // namespace
