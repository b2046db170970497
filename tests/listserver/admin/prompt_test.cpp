// The admin commands' password prompt at a real terminal (a pseudo-terminal).

#include "listserver/server_harness.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace reef::listserver::testing;

namespace {

// reef-listserver with a pseudo-terminal as its standard input and output.
class TerminalRun {
  public:
    explicit TerminalRun(const std::vector<std::string>& args) {
        std::vector<std::string> all{REEF_LISTSERVER_BINARY};
        all.insert(all.end(), args.begin(), args.end());
        pid_ = ::forkpty(&master_, nullptr, nullptr, nullptr);
        if (pid_ == 0) {
            std::vector<char*> argv;
            for (std::string& arg : all)
                argv.push_back(arg.data());
            argv.push_back(nullptr);
            ::execv(argv[0], argv.data());
            ::_exit(127);
        }
    }
    ~TerminalRun() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (master_ >= 0)
            ::close(master_);
    }

    // Reads what the program wrote until `text` appears (true) or 10 s pass (false).
    bool waitFor(const std::string& text) {
        auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (output_.find(text) == std::string::npos) {
            if (std::chrono::steady_clock::now() > end)
                return false;
            pollfd wait{master_, POLLIN, 0};
            if (::poll(&wait, 1, 100) > 0) {
                char buffer[256];
                ssize_t n = ::read(master_, buffer, sizeof buffer);
                if (n <= 0)
                    return false;
                output_.append(buffer, static_cast<std::size_t>(n));
            }
        }
        return true;
    }
    void type(const std::string& keys) { (void)!::write(master_, keys.data(), keys.size()); }
    // The exit status as waitpid gives it.
    int wait() {
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return status;
    }
    termios terminal() const {
        termios now{};
        ::tcgetattr(master_, &now);
        return now;
    }
    const std::string& output() const { return output_; }

  private:
    int master_ = -1;
    pid_t pid_ = -1;
    std::string output_;
};

TEST(PasswordPrompt, CtrlCLeavesTheTerminalAsItWas) {
    TempDir dir;
    TerminalRun run({"alliance", "add", "Korallen", "--db", dir.file("lists.sqlite")});
    ASSERT_TRUE(run.waitFor("Password for \"Korallen\": ")) << run.output();
    EXPECT_EQ(run.terminal().c_lflag & ECHO, 0u) << "no echo while the password is typed";
    run.type("half-typ\x03");
    int status = run.wait();
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << status;
    termios after = run.terminal();
    EXPECT_NE(after.c_lflag & ECHO, 0u) << "the echo is back";
    EXPECT_NE(after.c_lflag & ICANON, 0u);
    EXPECT_NE(after.c_lflag & ISIG, 0u);
}

TEST(PasswordPrompt, AtATerminalThePasswordIsAskedTwiceAndMustAgree) {
    TempDir dir;
    const std::string db = dir.file("lists.sqlite");
    {
        TerminalRun typo({"alliance", "add", "Korallen", "--db", db});
        ASSERT_TRUE(typo.waitFor("Password for \"Korallen\": ")) << typo.output();
        typo.type("first-password\r");
        ASSERT_TRUE(typo.waitFor("again: ")) << typo.output();
        typo.type("frist-password\r");
        int status = typo.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << status;
        EXPECT_TRUE(typo.waitFor("differ") || typo.output().find("differ") != std::string::npos)
            << typo.output();
    }
    EXPECT_EQ(runListServer({"alliance", "list", "--db", db}, "").output, "")
        << "nothing was added";
    {
        TerminalRun right({"alliance", "add", "Korallen", "--db", db});
        ASSERT_TRUE(right.waitFor("Password for \"Korallen\": ")) << right.output();
        right.type("first-pass\x7fsword\r"); // a backspace is editing, not part of it
        ASSERT_TRUE(right.waitFor("again: ")) << right.output();
        right.type("first-password\r");
        int status = right.wait();
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << right.output();
        EXPECT_EQ(right.output().find("first-password"), std::string::npos) << "never echoed";
    }
    ServerProcess server(db, dir.file("server.log"));
    ASSERT_TRUE(server.started()) << server.log();
    EXPECT_EQ(
        get(server.port(), "/Reef-Update.php?Info1=first-password&Info2=Reef_Frend&Info3=Update")
            .body,
        "|>Update<|<>end|<>");
}

} // namespace
