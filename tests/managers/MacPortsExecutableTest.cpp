#include "managers/MacPortsExecutable.hpp"

#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <sys/stat.h>

namespace cairnmoor {
namespace {

using testing::StubFileManager;
using Chain = std::vector<std::string>;

const Chain kChain = {"/opt/local/bin/port", "/opt/local/bin", "/opt/local", "/opt", "/"};

// A root-owned, unwritable installation, described through the stub.
StubFileManager soundInstallation() {
    StubFileManager files;
    files.onlyStaged = true;
    files.executables = {"/opt/local/bin/port"};
    for (const std::string& entry : kChain) {
        files.attributes[entry] = {0, 0755,
                                   entry == kChain[0] ? FileType::regular : FileType::directory};
    }
    return files;
}

// The check's answer, and the entries its ACL test was asked about, in order.
std::pair<bool, Chain> check(const StubFileManager& files, const std::string& refused = "",
                             std::string_view path = "/opt/local/bin/port") {
    Chain asked;
    const bool trusted = MacPortsExecutable::validate(path, files, [&](const std::string& entry) {
        asked.push_back(entry);
        return entry != refused;
    });
    return {trusted, asked};
}

TEST(TrustCheck, ASoundInstallationIsTrustedAfterCheckingEveryEntryInOrder) {
    StubFileManager files = soundInstallation();
    // Mode bits other than group and other write do not matter; a link resolving to
    // itself is no link.
    files.attributes["/opt/local/bin/port"].posixPermissions = 04555;
    files.attributes["/"].posixPermissions = 0700;
    files.symlinkTargets["/opt"] = "/opt";
    EXPECT_EQ(check(files), std::pair(true, kChain));
    // Only the exact fixed path, reported executable, is ever considered.
    for (const char* path :
         {"/opt/local/bin/../bin/port", "/opt/local/bin/port/", "/opt/local//bin/port", ""}) {
        EXPECT_EQ(check(files, "", path), std::pair(false, Chain{})) << path;
    }
    files.executables.clear();
    EXPECT_EQ(check(files), std::pair(false, Chain{}));
}

// One fault at one entry (each fault at another, so every entry is covered): the check
// fails there, before the ACL test of that entry.
struct Fault {
    const char* label;
    std::size_t at;
    std::function<void(StubFileManager&, const std::string&)> stage;
    friend void PrintTo(const Fault& c, std::ostream* os) { *os << c.label; }
};

class FaultAtAnEntry : public ::testing::TestWithParam<Fault> {};

TEST_P(FaultAtAnEntry, FailsTheCheckBeforeTheAclTestOfThatEntry) {
    StubFileManager files = soundInstallation();
    const Fault& fault = GetParam();
    fault.stage(files, kChain[fault.at]);
    EXPECT_EQ(check(files), std::pair(false, Chain(kChain.begin(),
                                                   kChain.begin() + static_cast<long>(fault.at))));
}

using F = StubFileManager;
using S = const std::string;
// clang-format off
INSTANTIATE_TEST_SUITE_P(Cases, FaultAtAnEntry, ::testing::Values(
    Fault{"symlink", 2, [](F& f, S& e) { f.symlinkTargets[e] = "/Volumes/Other" + e; }},
    Fault{"unreadable", 0, [](F& f, S& e) { f.unreadableAttributes.insert(e); }},
    Fault{"missing", 4, [](F& f, S& e) { f.attributes.erase(e); }},
    Fault{"noOwner", 1, [](F& f, S& e) { f.attributes[e].ownerAccountID.reset(); }},
    Fault{"noPermissions", 3, [](F& f, S& e) { f.attributes[e].posixPermissions.reset(); }},
    Fault{"noType", 4, [](F& f, S& e) { f.attributes[e].type.reset(); }},
    Fault{"fileWhereADirectoryBelongs", 1, [](F& f, S& e) { f.attributes[e].type = FileType::regular; }},
    Fault{"directoryAsTheExecutable", 0, [](F& f, S& e) { f.attributes[e].type = FileType::directory; }},
    Fault{"linkType", 3, [](F& f, S& e) { f.attributes[e].type = FileType::symbolicLink; }},
    Fault{"userOwned", 0, [](F& f, S& e) { f.attributes[e].ownerAccountID = 501; }},
    Fault{"groupWritable", 1, [](F& f, S& e) { f.attributes[e].posixPermissions = 0775; }},
    Fault{"otherWritable", 3, [](F& f, S& e) { f.attributes[e].posixPermissions = 0757; }},
    Fault{"worldWritableSticky", 2, [](F& f, S& e) { f.attributes[e].posixPermissions = 01777; }}),
    [](const auto& info) { return std::string(info.param.label); });
// clang-format on

TEST(TrustCheck, AnAclGrantAnywhereOnTheChainFailsTheCheck) {
    for (std::size_t at = 0; at < kChain.size(); ++at) {
        EXPECT_EQ(
            check(soundInstallation(), kChain[at]),
            std::pair(false, Chain(kChain.begin(), kChain.begin() + static_cast<long>(at) + 1)));
    }
}

TEST(AclListings, OnlyAllowEntriesThatGrantChangesAreUnsafe) {
    // clang-format off
    const std::pair<const char*, bool> listings[] = {
        {"", true}, {"drwxr-xr-x  5 root  wheel  160 Jan  1 10:00 /opt/local\n", true},
        {"drwxr-xr-x+ 5 root wheel 160 /opt\n 0: group:staff allow read\n", true},
        {" 0: group:staff allow list,add_file,search\n", false}, {" 0: user:ann allow write\n", false},
        {" 0: user:ann allow writeattr\n", false}, {" 1: everyone allow append\n", false},
        {" 0: user:ann allow delete\n", false}, {" 0: user:ann allow add_subdirectory\n", false},
        {" 0: user:ann allow chown", false}, {" 0: user:ann deny delete,write\n", true},
        {"allow write\n 0: user:ann inherited,allow,write\n", true},
        {" 0: user:ann ALLOW WRITE\n 1: user:ann allow WRITE\n", true},
        {" 0: group:everyone deny delete\n 1: user:ann allow read\n 2: user:ann allow write\n", false},
        {" 0: user:ann allow\nwrite\n", true}, {"\xff allow \xfewrite\xc3\n", false}};
    // clang-format on
    for (const auto& [listing, safe] : listings) {
        EXPECT_EQ(MacPortsExecutable::safeACLListing(listing), safe) << listing;
    }
}

// A stand-in for /bin/ls that prints what the test says (or hangs): the listing is really
// run and judged, and ends within its limit.
class AclListingCommand : public ::testing::TestWithParam<std::pair<const char*, bool>> {};

TEST_P(AclListingCommand, DecidesTheWholeCheck) {
    testing::TempDir dir;
    const auto lister = dir.write("ls", std::string("#!/bin/sh\n") + GetParam().first + "\n");
    ASSERT_EQ(::chmod(lister.c_str(), 0755), 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(MacPortsExecutable::validate("/opt/local/bin/port", soundInstallation(),
                                           [&](const std::string& entry) {
                                               return MacPortsExecutable::hasSafeACL(
                                                   entry, lister.string(),
                                                   std::chrono::milliseconds(300));
                                           }),
              GetParam().second);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_FALSE(MacPortsExecutable::hasSafeACL("/", "/nonexistent/ls"));
}

INSTANTIATE_TEST_SUITE_P(
    Listers, AclListingCommand,
    ::testing::Values(std::pair("echo \"drwxr-xr-x 5 root wheel 160 $2\"", true),
                      std::pair("echo ' 0: group:staff allow add_file'", false),
                      std::pair("exit 1", false), std::pair("exec sleep 30", false),
                      std::pair("exec >&- 2>&-; exec sleep 30", false)));

} // namespace
} // namespace cairnmoor
