// As root (a fleet agent), Homebrew runs as its owner and gets nothing of root's but what it
// needs, and every file root writes lands where root meant it. Each row sets up one attack
// by another local account and looks at the outcome from the outside: what the fake
// recorded about its terminal, environment and identity, what is on disk, the status.

#include "CliSandbox.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

const std::string owner = "cmowner", intruder = "cmintruder";
const std::string asOwner = " as /nonexistent " + owner + " " + owner; // who the fake ran as

uid_t uidOf(const std::string& name) {
    const passwd* entry = ::getpwnam(name.c_str());
    return entry != nullptr ? entry->pw_uid : 0;
}

// What an attack leaves to look at: the run, the sandbox (Homebrew's owner's world) and
// a sticky folder of root's that everyone may write, as /tmp is.
struct Attack {
    CliSandbox& sandbox;
    const fs::path& drop;
    const fs::path& vault; // root's own: nothing may change in it
    CliResult result;

    std::string state(const char* log) const { return readFile(sandbox.work() / "../state" / log); }
    bool ran() const { return !sandbox.invocations().empty(); }
};

struct Row {
    const char* name;
    bool inTerminal;
    std::function<void(Attack&)> plant;
    std::function<std::vector<std::string>(Attack&)> arguments;
    std::function<void(Attack&)> check;
};

void plantAs(const fs::path& path, const std::string& account) {
    ASSERT_EQ(::lchown(path.c_str(), uidOf(account), static_cast<gid_t>(-1)), 0) << path;
}

void linkToVault(Attack& a) {
    fs::create_directory_symlink(a.vault, a.drop / "out");
    plantAs(a.drop / "out", intruder);
}

const std::vector<std::string> install = {"--profile", "team.cmprofile"};
constexpr auto npos = std::string::npos;

std::vector<std::string> capture(const fs::path& file) {
    return {"--capture", file.string()};
}

std::vector<std::string> with(std::vector<std::string> more) {
    more.insert(more.begin(), install.begin(), install.end());
    return more;
}

const std::vector<Row> rows = {
    {"NoTerminal", true, [](Attack&) {}, [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 0) << a.result.err;
         EXPECT_NE(a.state("context.log").find(" terminal no input ''\n"), npos);
     }},
    {"CleanEnvironment", false,
     [](Attack& a) {
         for (const char* name : {"AWS_SECRET_ACCESS_KEY", "SSH_AUTH_SOCK", "LD_LIBRARY_PATH",
                                  "SUDO_USER", "TMPDIR", "MAIL"}) {
             a.sandbox.environment[name] = "root's";
         }
         a.sandbox.environment["HOMEBREW_NO_ANALYTICS"] = "1";
         a.sandbox.environment["LC_ALL"] = "C.UTF-8";
     },
     [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 0) << a.result.err;
         const std::string context = a.state("context.log");
         EXPECT_EQ(context.substr(0, context.find(" terminal")),
                   "vars HOME HOMEBREW_NO_ANALYTICS HOMEBREW_NO_AUTO_UPDATE HOMEBREW_NO_ENV_HINTS "
                   "HOMEBREW_NO_INSTALL_CLEANUP HOMEBREW_NO_UPGRADE_QUIT_CASKS LANG LC_ALL LOGNAME "
                   "PATH PWD SHELL SHLVL USER _")
             << context;
         EXPECT_NE(a.state("environment.log").find(asOwner), npos);
     }},
    {"BrewFolderWritableByEveryone", false,
     [](Attack& a) {
         fs::permissions(fs::path(a.sandbox.brewPath()).parent_path(), fs::perms::others_write,
                         fs::perm_options::add);
     },
     [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 1);
         EXPECT_NE(a.result.err.find("/bin is writable by everyone"), npos) << a.result.err;
         EXPECT_FALSE(a.ran());
     }},
    {"BrewFolderOfAnotherUser", false,
     // After the sandbox is handed to the owner, as the launcher runs.
     [](Attack& a) {
         a.sandbox.launcher = "chown " + intruder + " " +
                              fs::path(a.sandbox.brewPath()).parent_path().string() + ";";
     },
     [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 1);
         EXPECT_NE(a.result.err.find("/bin belongs to " + intruder), npos) << a.result.err;
         EXPECT_FALSE(a.ran());
     }},
    {"BrewWritableByTheGroupAnotherUserHasAsItsOwn", false,
     [](Attack& a) {
         a.sandbox.launcher = "chgrp $(id -g " + intruder + ") " + a.sandbox.brewPath() +
                              "; chmod g+w " + a.sandbox.brewPath() + ";";
     },
     [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 1);
         EXPECT_NE(a.result.err.find("/brew is writable by the group"), npos) << a.result.err;
         EXPECT_FALSE(a.ran());
     }},
    {"BrewSwappedDuringTheRun", false,
     [](Attack& a) { a.sandbox.environment["CAIRNMOOR_FAKE_REPLACE_SELF"] = "alpha"; },
     [](Attack&) { return install; },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 1);
         EXPECT_NE(a.result.out.find(a.sandbox.brewPath() + " was replaced or changed owner "
                                                            "during the run; stopping."),
                   npos)
             << a.result.out;
         EXPECT_EQ(a.sandbox.invocations().back(), "brew install --cask alpha");
     }},
    {"ReportFolderIsAnotherUsersLink", false, linkToVault,
     [](Attack& a) {
         return with({"--report", (a.drop / "out/r").string()});
     },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 2);
         EXPECT_EQ(a.result.err, "will not write the report to " + (a.drop / "out/r").string() +
                                     ": " + (a.drop / "out").string() + " is a link owned by " +
                                     intruder + "\n");
         EXPECT_FALSE(a.ran());
     }},
    {"FifoAtTheLog", false, [](Attack& a) { ASSERT_EQ(::mkfifo((a.drop / "l").c_str(), 0666), 0); },
     [](Attack& a) {
         return with({"--log", (a.drop / "l").string()});
     },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 2);
         EXPECT_NE(a.result.err.find("/l is not a regular file"), npos);
     }},
    {"PlantedReportWithOddBitsAndPlantedLinkAtTheLog", false,
     [](Attack& a) {
         std::ofstream(a.drop / "r") << "planted";
         fs::permissions(a.drop / "r", static_cast<fs::perms>(04777));
         plantAs(a.drop / "r", intruder);
         fs::create_symlink(a.vault / "secret", a.drop / "l");
         plantAs(a.drop / "l", intruder);
     },
     [](Attack& a) {
         return with({"--report", (a.drop / "r").string(), "--log", (a.drop / "l").string()});
     },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 0) << a.result.err;
         struct stat info {};
         ASSERT_EQ(::lstat((a.drop / "r").c_str(), &info), 0);
         EXPECT_TRUE(S_ISREG(info.st_mode) && info.st_uid == 0 && (info.st_mode & 07777) == 0644);
         EXPECT_EQ(readFile(a.vault / "secret"), "root's");
         EXPECT_NE(readFile(a.drop / "l-2").find("$ brew install beta"), npos);
     }},
    {"OwnersApplications", false,
     // In the owner's home, not in root's.
     [](Attack& a) {
         fs::create_directories(a.drop / "owner/Applications/Alpha.app");
         ASSERT_EQ(
             std::system(("usermod -d " + (a.drop / "owner").string() + " " + owner + " >/dev/null")
                             .c_str()),
             0);
     },
     [](Attack&) { return with({"--dry-run"}); },
     [](Attack& a) {
         EXPECT_NE(a.result.out.find("alpha: installed outside Homebrew at " +
                                     (a.drop / "owner/Applications/Alpha.app").string()),
                   npos)
             << a.result.out;
     }},
    {"CaptureRunsHomebrewAsItsOwner", false, [](Attack&) {},
     [](Attack& a) { return capture(a.vault / "mac.cmprofile"); },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 0) << a.result.err;
         EXPECT_NE(a.state("environment.log").find(asOwner), npos);
         EXPECT_TRUE(fs::is_regular_file(a.vault / "mac.cmprofile"));
     }},
    {"CaptureThroughAnotherUsersLink", false, linkToVault,
     [](Attack& a) { return capture(a.drop / "out/mac.cmprofile"); },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 2);
         EXPECT_NE(a.result.err.find("will not write the profile to "), npos);
         EXPECT_FALSE(a.ran() || fs::exists(a.vault / "mac.cmprofile"));
     }},
    {"ReportFolderThatCannotBeMade", false, [](Attack&) {},
     [](Attack& a) {
         return with({"--report", (a.drop / "made" / std::string(300, 'x') / "r").string()});
     },
     [](Attack& a) {
         EXPECT_EQ(a.result.status, 1);
         EXPECT_FALSE(fs::exists(a.drop / "made") || a.ran());
     }},
};

TEST(RootBoundary, AnotherAccountGetsNothingOfRootsAndRootWritesWhereItMeant) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "runs only as root: it creates accounts and plays a fleet agent";
    }
    SKIP_WHERE_A_REAL_HOMEBREW_WINS();
    for (const std::string& account : {owner, intruder}) {
        ASSERT_EQ(std::system(("id -u " + account +
                               " >/dev/null 2>&1 || useradd --system -M -d "
                               "/nonexistent -s /bin/sh " +
                               account)
                                  .c_str()),
                  0);
    }
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(std::system(("usermod -d /nonexistent " + owner + " >/dev/null 2>&1").c_str()),
                  0);
        CliSandbox sandbox;
        sandbox.writeCatalogue();
        sandbox.writeProfile("team.cmprofile", {"alpha", "beta"});
        sandbox.user = owner;
        sandbox.runAsRoot = true;
        sandbox.environment["CAIRNMOOR_FAKE_CONTEXT"] = "1";
        fs::remove(sandbox.brewPath());
        fs::copy_file(fs::path(CAIRNMOOR_FAKES_DIR) / "brew", sandbox.brewPath());
        const TempDir drop, vault;
        fs::permissions(drop.path(), static_cast<fs::perms>(01777));
        vault.write("secret", "root's");
        Attack attack{sandbox, drop.path(), vault.path(), {}};
        row.plant(attack);
        if (row.inTerminal) {
            int terminal = -1;
            const pid_t pid = sandbox.startInTerminal(row.arguments(attack), "", terminal);
            // Read until the run lets go of the terminal, so it never blocks writing.
            for (char buffer[4096]; ::read(terminal, buffer, sizeof buffer) > 0;) {
            }
            attack.result = sandbox.finish(pid);
            ::close(terminal);
        } else {
            attack.result = sandbox.run(row.arguments(attack));
        }
        row.check(attack);
    }
}

} // namespace
} // namespace cairnmoor::testing
