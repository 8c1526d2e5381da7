#include <gtest/gtest.h>

#include <QCoreApplication>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <barrier>
#include <random>
#include <utility>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <cstring>
#include <filesystem>
#include <thread>

#include "Platform/InstanceMessage.h"
#include "Platform/Linux/SingleInstance.h"
#include "Platform/Qt/InstanceServer.h"
#include "Platform/Qt/QtScheduler.h"
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

TEST_F(SingleInstanceTest, AConnectionIsAnsweredOnceAndEndsEvenIfItsReplyIsNeverTaken) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    int answered = 0;
    // A reply far larger than the socket's buffer, which a peer that never reads leaves unsent.
    ASSERT_TRUE(server.start([&](const InstanceRequest&) {
        ++answered;
        return InstanceReply{std::string(4 * 1024 * 1024, 'x'), 0};
    }));
    const int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = InstanceMessage::encode(InstanceRequest{{"save-workspace", "--name", "Desk"}, ""});
    ASSERT_EQ(::send(peer, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    serveUntil([&] { return answered == 1; });
    ASSERT_EQ(::send(peer, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    serveUntil([] { return false; }, 200ms);
    EXPECT_EQ(answered, 1) << "the same request again on the same connection";
    EXPECT_EQ(server.connectionCount(), 1u) << "the reply is still being written";

    scheduler.advance(InstanceServer::requestTimeLimit);
    EXPECT_EQ(server.connectionCount(), 0u);
    EXPECT_EQ(sink.messages("Instance"), std::vector<std::string>{"Dropped a connection whose reply was not taken in time"});
    ::close(peer);
}

TEST_F(SingleInstanceTest, APeerThatShutsItsSideWhileAWindowOpensStillGetsItsReply) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    const int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
    // The handler runs the main loop a while, as one that opens a window does; the peer has shut
    // its side by then, which the server reads as the end of its input.
    ASSERT_TRUE(server.start([&](const InstanceRequest&) {
        ::shutdown(peer, SHUT_WR);
        serveUntil([] { return false; }, 100ms);
        return InstanceReply{"opened", 0};
    }));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request = InstanceMessage::encode(InstanceRequest{{"tessary://settings"}, ""});
    ASSERT_EQ(::send(peer, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    std::string reply;
    serveUntil([&] {
        char bytes[256];
        for (ssize_t n; (n = ::recv(peer, bytes, sizeof bytes, MSG_DONTWAIT)) > 0;) {
            reply.append(bytes, static_cast<std::size_t>(n));
        }
        return reply.ends_with('\n');
    });
    EXPECT_EQ(reply, InstanceMessage::encode(InstanceReply{"opened", 0}));
    EXPECT_EQ(server.connectionCount(), 0u);
    ::close(peer);
}

TEST_F(SingleInstanceTest, OnlyTheUserReachesTheSocket) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    int answered = 0;
    ASSERT_TRUE(server.start([&](const InstanceRequest&) {
        ++answered;
        return InstanceReply{"moved", 0};
    }));
    struct stat info {};
    ASSERT_EQ(::stat(location.socket.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    if (::geteuid() != 0) GTEST_SKIP() << "another user's connection needs root to make";
    // Opened up as a careless setup might leave them, so that only the peer check stands between.
    fs::permissions(runtime.path(), fs::perms::all);
    fs::permissions(location.folder, fs::perms::all);
    fs::permissions(location.socket, fs::perms::all);
    const std::string request = InstanceMessage::encode(InstanceRequest{{"tessary://snap?zone=1"}, ""});
    const pid_t child = ::fork();
    if (child == 0) {
        // Another user: connects, asks, and reports whether any reply came (exit 0 when none).
        if (::setgid(4321) != 0 || ::setuid(4321) != 0) ::_exit(3);
        const int peer = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
        if (::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) ::_exit(4);
        [[maybe_unused]] auto sent = ::send(peer, request.data(), request.size(), MSG_NOSIGNAL);
        char byte = 0;
        ::_exit(::recv(peer, &byte, 1, 0) > 0 ? 1 : 0);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    serveUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_EQ(answered, 0);
    EXPECT_EQ(sink.messages("Instance"), std::vector<std::string>{"Refused a connection from another user"});
}

// What another user left in a runtime folder that was opened up to others: a lock file of theirs
// never keeps a start from becoming the instance, and a socket of theirs is never connected to.
// Run as a user of its own (4321), the stranger being 4322, as root alone can arrange.
TEST_F(SingleInstanceTest, AStrangersLockOrSocketIsSetAsideAndNeverSpokenTo) {
    if (::geteuid() != 0) GTEST_SKIP() << "another user's files need root to make";
    // The user's runtime folder and its "tessary" folder, opened up to everyone.
    fs::permissions(runtime.path(), fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
    const fs::path folder = runtime / "loosened" / "tessary";
    fs::create_directories(folder);
    for (const fs::path& made : {folder.parent_path(), folder}) {
        ASSERT_EQ(::chown(made.c_str(), 4321, 4321), 0);
        fs::permissions(made, fs::perms::all);
    }
    const InstanceLocation loose{folder, folder / "local-3.socket", folder / "local-3.lock"};
    writeFile(loose.lock, "");
    ASSERT_EQ(::chown(loose.lock.c_str(), 4322, 4322), 0);
    fs::permissions(loose.lock, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read);
    // The stranger listens at the socket's place.
    const int stranger = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, loose.socket.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(stranger, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(stranger, 8), 0);
    ASSERT_EQ(::chown(loose.socket.c_str(), 4322, 4322), 0);
    fs::permissions(loose.socket, fs::perms::all);

    const pid_t child = ::fork();
    if (child == 0) {
        if (::setgid(4321) != 0 || ::setuid(4321) != 0) ::_exit(3);
        // A later start first: nothing of the user's listens, so it neither forwards nor connects.
        const auto sent = InstanceClient::send(loose, {{"tessary://show-zones"}, ""}, 1s);
        if (sent || sent.error().code != ForwardError::Code::notListening) ::_exit(4);
        ::_exit(InstanceLock::acquire(loose) ? 0 : 5);
    }
    ASSERT_GT(child, 0);
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_LT(::accept4(stranger, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC), 0) << "the stranger heard of the start";
    struct stat info {};
    ASSERT_EQ(::stat(loose.lock.c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 4321u) << "the user's own lock in its place";
    EXPECT_TRUE(fs::exists(loose.lock.string() + ".not-ours"));
    EXPECT_TRUE(fs::exists(loose.socket.string() + ".not-ours"));
    EXPECT_FALSE(fs::exists(loose.socket));
    ::close(stranger);
}

// A local socket connected to the instance without waiting; -1 while its queue is full.
int connectWithoutWaiting(const InstanceLocation& location) {
    const int peer = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    if (::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return peer;
    ::close(peer);
    return -1;
}

TEST_F(SingleInstanceTest, StartsThatFindTheQueueFullOrTheInstanceBusyTryAgainAndRunOnce) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    std::map<std::string, int> runs;
    ASSERT_TRUE(server.start([&](const InstanceRequest& request) {
        ++runs[request.arguments.at(0)];
        return InstanceReply{"done " + request.arguments.at(0), 0};
    }));
    // Idle connections fill the queue while the main loop is busy elsewhere.
    std::vector<int> idle;
    for (int peer; (peer = connectWithoutWaiting(location)) >= 0;) idle.push_back(peer);
    ASSERT_GT(idle.size(), InstanceServer::maximumConnections);

    // Each start on its own thread, as many processes would.
    constexpr int starts = 500;
    std::vector<InstanceClient::Outcome> outcomes;
    for (int i = 0; i < starts; ++i) outcomes.emplace_back(InstanceReply{});
    std::atomic<int> finished = 0;
    std::vector<std::thread> threads;
    for (int i = 0; i < starts; ++i) {
        threads.emplace_back([&, i] {
            outcomes[i] = InstanceClient::becomeOrForward(location, {{"tessary://count?n=" + std::to_string(i)}, ""}, 20s);
            ++finished;
        });
    }
    serveUntil([&] { return finished == starts; }, 30s);
    for (std::thread& thread : threads) thread.join();
    for (int i = 0; i < starts; ++i) {
        const std::string request = "tessary://count?n=" + std::to_string(i);
        SCOPED_TRACE(request);
        ASSERT_TRUE(std::holds_alternative<InstanceReply>(outcomes[i]))
            << (std::holds_alternative<ForwardError>(outcomes[i]) ? std::get<ForwardError>(outcomes[i]).description : "");
        EXPECT_EQ(std::get<InstanceReply>(outcomes[i]), (InstanceReply{"done " + request, 0}));
        EXPECT_EQ(runs[request], 1);
    }
    EXPECT_EQ(runs.size(), std::size_t(starts));
    EXPECT_LE(server.connectionCount(), InstanceServer::maximumConnections);
    for (int peer : idle) ::close(peer);
}

TEST_F(SingleInstanceTest, ASocketFileRemovedUnderTheInstanceIsMadeAnew) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    ASSERT_TRUE(server.start([](const InstanceRequest&) { return InstanceReply{"here", 0}; }));
    ASSERT_TRUE(fs::remove(location.socket));
    serveUntil([&] { return fs::exists(location.socket); });
    auto outcome = forward({{}, ""});
    ASSERT_TRUE(std::holds_alternative<InstanceReply>(outcome)) << std::get<ForwardError>(outcome).description;
    EXPECT_EQ(std::get<InstanceReply>(outcome), (InstanceReply{"here", 0}));
    EXPECT_EQ(sink.messages("Instance"),
              (std::vector<std::string>{"The single-instance socket " + location.socket.string() + " was removed; making it anew",
                                        "Listening again on " + location.socket.string()}));
}

// A quit that removes the socket itself (the X server went away) must not make it anew, or a start
// in that moment would reach an instance on its way out.
TEST_F(SingleInstanceTest, ASocketRemovedByCloseIsNotMadeAnew) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    ASSERT_TRUE(server.start([](const InstanceRequest&) { return InstanceReply{"here", 0}; }));
    server.close();
    EXPECT_FALSE(fs::exists(location.socket));
    serveUntil([] { return false; }, 300ms);
    EXPECT_FALSE(fs::exists(location.socket)) << "made anew";
    EXPECT_TRUE(sink.messages("Instance").empty()) << testing::PrintToString(sink.messages("Instance"));
    server.close();
}

// An instance that dies with a start's connection in its queue, or after reading its request:
// the start is reset or closed unanswered, and takes over once the lock is free instead of giving
// up with no instance running.
TEST_F(SingleInstanceTest, AStartWhoseInstanceDiesUnderItBecomesTheInstance) {
    struct Row {
        const char* name;
        bool accepted;  // the dying instance had taken the connection and read the request
    };
    for (const Row row : {Row{"queued, never accepted", false}, Row{"read, never answered", true}}) {
        SCOPED_TRACE(row.name);
        auto dying = InstanceLock::acquire(location);
        ASSERT_TRUE(dying);
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ASSERT_EQ(::listen(listener, 8), 0);

        std::atomic<bool> done = false;
        InstanceClient::Outcome outcome = InstanceReply{};
        std::thread start([&] {
            outcome = InstanceClient::becomeOrForward(location, {{"list", "layouts"}, ""}, 5s);
            done = true;
        });
        pollfd waiting{listener, POLLIN, 0};
        ASSERT_EQ(::poll(&waiting, 1, 5000), 1) << "the start never connected";
        if (row.accepted) {
            const int connection = ::accept(listener, nullptr, nullptr);
            ASSERT_GE(connection, 0);
            char request[512];
            ASSERT_GT(::recv(connection, request, sizeof request, 0), 0);
            ::close(connection);
        } else {
            // Its request has arrived in the queue before the process goes.
            std::this_thread::sleep_for(50ms);
        }
        ::close(listener);
        dying.reset();
        start.join();
        ASSERT_TRUE(done);
        ASSERT_TRUE(std::holds_alternative<InstanceLock>(outcome))
            << (std::holds_alternative<ForwardError>(outcome) ? std::get<ForwardError>(outcome).description : "a reply");
        EXPECT_FALSE(fs::exists(location.socket)) << "the dead instance's socket stays";
    }
}

// Lowers this process's limit of open files for the test's span.
class FileLimit {
public:
    explicit FileLimit(rlim_t limit) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = limit;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~FileLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }

private:
    rlimit saved_{};
};

TEST_F(SingleInstanceTest, ThousandsOfConnectionsHeldOpenNeitherExhaustNorSilenceTheInstance) {
    constexpr int held = 5000;
    rlimit hard{};
    ::getrlimit(RLIMIT_NOFILE, &hard);
    if (hard.rlim_max < held + 100) GTEST_SKIP() << "cannot open " << held << " files in one process here";
    FileLimit limit(1024);
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    ASSERT_TRUE(server.start([](const InstanceRequest& request) { return InstanceReply{request.arguments.at(0), 0}; }));

    // Another process of the user's connects that many times and holds them until told.
    int ready[2], release[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit more{static_cast<rlim_t>(held + 100), hard.rlim_max};
        if (::setrlimit(RLIMIT_NOFILE, &more) != 0) ::_exit(3);
        int connected = 0;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        while (connected < held && std::chrono::steady_clock::now() < deadline) {
            if (connectWithoutWaiting(location) >= 0) {
                ++connected;
            } else {
                ::poll(nullptr, 0, 1);  // the queue is full: the instance is taking them
            }
        }
        const char done = connected == held ? 'y' : 'n';
        [[maybe_unused]] auto w = ::write(ready[1], &done, 1);
        char go = 0;
        [[maybe_unused]] auto r = ::read(release[0], &go, 1);
        ::_exit(0);  // closes them all at once
    }
    ASSERT_GT(child, 0);
    char done = 0;
    serveUntil([&] {
        pollfd entry{ready[0], POLLIN, 0};
        return ::poll(&entry, 1, 0) == 1;
    }, 60s);
    ASSERT_EQ(::read(ready[0], &done, 1), 1);
    EXPECT_EQ(done, 'y') << "the other process could not connect " << held << " times";
    EXPECT_LE(server.connectionCount(), InstanceServer::maximumConnections);

    for (const char* moment : {"while they are held", "after they closed"}) {
        SCOPED_TRACE(moment);
        const auto started = std::chrono::steady_clock::now();
        auto outcome = forward({{"list", "layouts"}, ""});
        const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started).count();
        ASSERT_TRUE(std::holds_alternative<InstanceReply>(outcome))
            << std::get<ForwardError>(outcome).description;
        EXPECT_EQ(std::get<InstanceReply>(outcome), (InstanceReply{"list", 0}));
        EXPECT_LT(took, 1000) << "ms";
        if (moment == std::string_view("while they are held")) {
            ASSERT_EQ(::write(release[1], "x", 1), 1);
            int status = 0;
            serveUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; });
            serveUntil([&] { return server.connectionCount() == 0; });
        }
    }
    EXPECT_EQ(sink.messages("Instance"),
              std::vector<std::string>{"More than 32 connections at once; those that sent nothing yet are closed"});
    for (int fd : {ready[0], ready[1], release[0], release[1]}) ::close(fd);
}

// A program that keeps opening connections and sending nothing: the log hears of it once, and of
// how many more once it has stopped.
TEST_F(SingleInstanceTest, AFloodOfIdleConnectionsIsLoggedOncePerFlood) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    ASSERT_TRUE(server.start([](const InstanceRequest&) { return InstanceReply{}; }));
    const std::string line = "Dropped a request that did not arrive in time";
    // Two seconds apart, 48 s in all: within the minute after which a flood that goes on is summed up.
    for (int i = 0; i < 25; ++i) {
        const int peer = connectWithoutWaiting(location);
        ASSERT_GE(peer, 0);
        serveUntil([&] { return server.connectionCount() == 1; });
        scheduler.advance(InstanceServer::requestTimeLimit);
        EXPECT_EQ(server.connectionCount(), 0u);
        ::close(peer);
    }
    EXPECT_EQ(sink.messages("Instance"), std::vector<std::string>{line});
    scheduler.advance(InstanceServer::floodQuiet);
    EXPECT_EQ(sink.messages("Instance"),
              (std::vector<std::string>{line, line + " (24 more times since the last line)"}));
    // A later one starts a flood of its own.
    const int peer = connectWithoutWaiting(location);
    serveUntil([&] { return server.connectionCount() == 1; });
    scheduler.advance(InstanceServer::requestTimeLimit);
    EXPECT_EQ(sink.messages("Instance").size(), 3u);
    ::close(peer);
}

// A peer connected to the instance's socket, as a later start is.
int connectPeer(const InstanceLocation& location) {
    const int peer = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, location.socket.c_str(), sizeof address.sun_path - 1);
    if (::connect(peer, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(peer);
        return -1;
    }
    return peer;
}

// This process's open descriptors.
std::size_t openDescriptors() {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator()));
}

// The main loop busy elsewhere (a save that took seconds) while a request arrived: when its time
// limit comes the request is there, and it runs instead of being taken for one that never came.
TEST_F(SingleInstanceTest, ARequestThatArrivedWhileTheLoopWasBusyIsNotDroppedAtItsTimeLimit) {
    InstanceServer server(*InstanceLock::acquire(location), scheduler);
    std::vector<std::string> ran;
    ASSERT_TRUE(server.start([&](const InstanceRequest& request) {
        ran.push_back(request.arguments.at(0));
        return InstanceReply{"done", 0};
    }));
    const int peer = connectPeer(location);
    ASSERT_GE(peer, 0);
    serveUntil([&] { return server.connectionCount() == 1; });
    const std::string request = InstanceMessage::encode(InstanceRequest{{"apply-layout"}, ""});
    ASSERT_EQ(::send(peer, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
    // The time limit falls due before the loop has looked at the socket again.
    scheduler.advance(InstanceServer::requestTimeLimit);
    serveUntil([&] { return !ran.empty() && server.connectionCount() == 0; });
    EXPECT_EQ(ran, std::vector<std::string>{"apply-layout"});
    char reply[64] = {};
    EXPECT_GT(::recv(peer, reply, sizeof reply, MSG_DONTWAIT), 0);
    EXPECT_EQ(sink.messages("Instance"), std::vector<std::string>{});
    ::close(peer);
}

// Starts in bursts at an instance whose every request keeps its loop busy a while (saves of
// thousands of workspaces), now and then far longer than a start waits for its answer (a save on a
// slow disk), hundreds of rounds: each start's answer is the truth (answered: its request ran once;
// told it failed: it never ran, then or later, unless it was the long save itself, already under
// way when its start gave up), and no descriptor outlives its connection. TESSARY_STRESS_ROUNDS
// runs it longer.
TEST_F(SingleInstanceTest, BurstsOfStartsAtABusyInstanceAreEachAnsweredAndLeaveNoDescriptor) {
    const char* rounds = std::getenv("TESSARY_STRESS_ROUNDS");
    const int perLoop = rounds && std::atoi(rounds) > 0 ? std::atoi(rounds) : 100;
    // Scaled down from 5 s of patience and a save of seconds, so that the test takes seconds.
    constexpr auto patience = 400ms;
    constexpr auto longSave = 1500ms;
    QtScheduler time;
    const std::size_t before = openDescriptors();
    std::map<std::string, int> runs;
    std::set<std::string> longSaves;
    std::map<std::string, bool> answered;
    std::mutex answers;
    std::atomic<int> finished = 0;
    {
        InstanceServer server(*InstanceLock::acquire(location), time);
        std::minstd_rand random(41);
        ASSERT_TRUE(server.start([&](const InstanceRequest& request) {
            ++runs[request.arguments.at(0)];
            const bool slow = random() % 50 == 0;
            if (slow) longSaves.insert(request.arguments.at(0));
            std::this_thread::sleep_for(slow ? std::chrono::milliseconds(longSave) : std::chrono::milliseconds(random() % 20));
            return InstanceReply{request.arguments.at(0), 0};
        }));
        const std::size_t listening = openDescriptors();
        // Two loops of saves and one of layouts, as a script runs them, their starts of each round
        // arriving together.
        std::barrier round(3);
        std::vector<std::thread> loops;
        for (const char* verb : {"save-workspace", "save-workspace", "apply-layout"}) {
            loops.emplace_back([&, verb, loop = loops.size()] {
                for (int i = 0; i < perLoop; ++i) {
                    round.arrive_and_wait();
                    const std::string name = std::string(verb) + " " + std::to_string(loop) + "." + std::to_string(i);
                    const auto outcome = InstanceClient::becomeOrForward(location, {{name}, ""}, 20s, patience);
                    const auto* reply = std::get_if<InstanceReply>(&outcome);
                    const std::lock_guard lock(answers);
                    answered[name] = reply && reply->text == name;
                }
                ++finished;
            });
        }
        serveUntil([&] { return finished == 3; }, std::chrono::seconds(20 + perLoop));
        for (std::thread& loop : loops) loop.join();
        // Whatever still waited behind a long save is dealt with.
        serveUntil([&] { return server.connectionCount() == 0 && openDescriptors() == listening; });
        EXPECT_EQ(server.connectionCount(), 0u);
        EXPECT_EQ(openDescriptors(), listening) << "descriptors left by closed connections";
    }
    serveUntil([&] { return openDescriptors() == before; });
    EXPECT_EQ(openDescriptors(), before);
    ASSERT_EQ(answered.size(), std::size_t(3 * perLoop));
    int toldFailed = 0;
    for (const auto& [name, gotAnswer] : answered) {
        const auto ran = runs.find(name);
        const int times = ran == runs.end() ? 0 : ran->second;
        if (longSaves.contains(name)) {
            EXPECT_EQ(times, 1) << name;
        } else {
            EXPECT_EQ(times, gotAnswer ? 1 : 0) << name << (gotAnswer ? " was answered" : " was told it failed");
        }
        toldFailed += gotAnswer ? 0 : 1;
    }
    // The long saves did keep some starts waiting past their patience.
    EXPECT_GT(toldFailed, 0);
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
