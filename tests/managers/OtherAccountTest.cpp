// Children run as another account, as a root Cairnmoor runs Homebrew as its owner: an
// account made for the test, with a supplementary group and a home folder of its own.
// (How such a child starts otherwise is in ProcessRunnerTest's clean start.)

#include "managers/CommandError.hpp"
#include "managers/ProcessRunner.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace cairnmoor {
namespace {

namespace fs = std::filesystem;

TEST(OtherAccount, OwnerOfAFileRunsChildrenWithItsIdentityAndNothingOfOurs) {
    if (::geteuid() != 0 || ::access("/usr/sbin/useradd", X_OK) != 0) {
        GTEST_SKIP() << "making an account to run as needs root and useradd";
    }
    testing::TempDir temp;
    fs::permissions(temp.path(), fs::perms::others_exec, fs::perm_options::add);
    const fs::path home = temp / "home", brew = temp.write("bin/brew", "");
    const std::string name = "cmtest" + std::to_string(::getpid());
    ASSERT_EQ(std::system(("useradd -M -G users -d " + home.string() + " " + name).c_str()), 0);
    const struct Removal {
        std::string command;
        ~Removal() { EXPECT_EQ(std::system(command.c_str()), 0); }
    } removal{"userdel " + name};
    const passwd* entry = ::getpwnam(name.c_str());
    const group* users = ::getgrnam("users");
    ASSERT_TRUE(entry != nullptr && users != nullptr && fs::create_directory(home));
    const uid_t uid = entry->pw_uid;
    const gid_t gid = entry->pw_gid;
    ASSERT_EQ(::chown(brew.c_str(), uid, gid) | ::chown(home.c_str(), uid, gid), 0);
    fs::create_symlink(brew, temp / "brew");
    const auto account = Account::owning(temp / "brew", FileManager::defaultManager());
    ASSERT_EQ(account, (Account{name, uid, gid, {gid, users->gr_gid}, home}));

    ProcessRunner runner({.shareTerminal = false, .environment = {}, .account = account});
    std::vector<std::string> lines;
    const CommandResult result =
        runner.run("/bin/sh", {"-c", "id -u; id -G; echo $HOME $USER $LOGNAME; pwd"}, 10,
                   [&](const std::string& line) { lines.push_back(line); });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(lines,
              (std::vector<std::string>{std::to_string(uid),
                                        std::to_string(gid) + " " + std::to_string(users->gr_gid),
                                        home.string() + " " + name + " " + name, home.string()}));
    EXPECT_THROW(runner.run(home / "missing", {}, 10), CommandError);
}

} // namespace
} // namespace cairnmoor
