#include "managers/MacPortsExecutable.hpp"

#include "support/StubFileManager.hpp"
#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <vector>

namespace cairnmoor {
namespace {

using testing::StubFileManager;
using Chain = std::vector<std::string>;

const Chain kChain = {"/opt/local/bin/port", "/opt/local/bin", "/opt/local", "/opt", "/"};

// A root-owned, unwritable installation described through the stub, and an ACL test
// that records which entries it was asked about.
class TrustCheck : public ::testing::Test {
protected:
    TrustCheck() {
        files.onlyStaged = true;
        files.executables = {"/opt/local/bin/port"};
        for (const std::string& entry : kChain) {
            files.attributes[entry] = {
                0, 0755, entry == kChain[0] ? FileType::regular : FileType::directory};
        }
    }

    bool check(std::string_view path = "/opt/local/bin/port") {
        asked.clear();
        return MacPortsExecutable::validate(path, files, [this](const std::string& entry) {
            asked.push_back(entry);
            return !aclRefused.contains(entry);
        });
    }

    StubFileManager files;
    std::set<std::string> aclRefused;
    Chain asked;
};

TEST_F(TrustCheck, ASoundInstallationIsTrustedAfterCheckingEveryEntryInOrder) {
    EXPECT_TRUE(check());
    EXPECT_EQ(asked, kChain);
}

TEST_F(TrustCheck, ExtraModeBitsOutsideGroupAndOtherWriteDoNotMatter) {
    files.attributes["/opt/local/bin/port"].posixPermissions = 04555;
    files.attributes["/opt"].posixPermissions = 01755;
    files.attributes["/"].posixPermissions = 0700;
    EXPECT_TRUE(check());
}

TEST_F(TrustCheck, OnlyTheExactFixedPathIsConsidered) {
    for (const char* path :
         {"/opt/local/bin/../bin/port", "/opt/local/bin/port/", "/opt/local//bin/port",
          "opt/local/bin/port", "/opt/local/bin/./port", "/usr/local/bin/port", ""}) {
        EXPECT_FALSE(check(path)) << path;
        EXPECT_TRUE(asked.empty()) << path;
    }
}

TEST_F(TrustCheck, TheExecutableMustBeReportedExecutable) {
    files.executables.clear();
    EXPECT_FALSE(check());
    EXPECT_TRUE(asked.empty());
}

// One fault staged at one entry of the chain (each fault at another entry, so every
// entry is covered); the check must fail there without asking the ACL test about it or
// anything after it.
struct Fault {
    const char* label;
    std::size_t at;
    std::function<void(FileAttributes&)> stage; // none: stage it on the file manager
    friend void PrintTo(const Fault& c, std::ostream* os) { *os << c.label; }
};

class FaultAtAnEntry : public TrustCheck, public ::testing::WithParamInterface<Fault> {};

TEST_P(FaultAtAnEntry, FailsTheCheckBeforeTheAclTestOfThatEntry) {
    const Fault& fault = GetParam();
    const std::string& entry = kChain[fault.at];
    if (fault.stage) {
        fault.stage(files.attributes[entry]);
    } else if (std::string_view(fault.label) == "symlink") {
        files.symlinkTargets[entry] = "/Volumes/Other" + entry;
    } else if (std::string_view(fault.label) == "unreadable") {
        files.unreadableAttributes.insert(entry);
    } else {
        files.attributes.erase(entry);
    }
    EXPECT_FALSE(check());
    EXPECT_EQ(asked, Chain(kChain.begin(), kChain.begin() + static_cast<long>(fault.at)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FaultAtAnEntry,
    ::testing::Values(
        Fault{"symlink", 2, {}}, Fault{"unreadable", 0, {}}, Fault{"missing", 4, {}},
        Fault{"noOwner", 1, [](FileAttributes& a) { a.ownerAccountID.reset(); }},
        Fault{"noPermissions", 3, [](FileAttributes& a) { a.posixPermissions.reset(); }},
        Fault{"noType", 4, [](FileAttributes& a) { a.type.reset(); }},
        Fault{"fileWhereADirectoryBelongs", 1,
              [](FileAttributes& a) { a.type = FileType::regular; }},
        Fault{"directoryAsTheExecutable", 0,
              [](FileAttributes& a) { a.type = FileType::directory; }},
        Fault{"linkType", 3, [](FileAttributes& a) { a.type = FileType::symbolicLink; }},
        Fault{"userOwned", 0, [](FileAttributes& a) { a.ownerAccountID = 501; }},
        Fault{"groupWritable", 1, [](FileAttributes& a) { a.posixPermissions = 0775; }},
        Fault{"otherWritable", 3, [](FileAttributes& a) { a.posixPermissions = 0757; }},
        Fault{"worldWritableSticky", 2, [](FileAttributes& a) { a.posixPermissions = 01777; }}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(TrustCheck, AnAclGrantAnywhereOnTheChainFailsTheCheck) {
    for (const std::string& entry : kChain) {
        aclRefused = {entry};
        EXPECT_FALSE(check()) << entry;
        EXPECT_EQ(asked.back(), entry);
    }
}

TEST_F(TrustCheck, ALinkThatResolvesToItselfIsNotALink) {
    // Resolution that gives back the same path (nothing to resolve) is fine.
    for (const std::string& entry : kChain) {
        files.symlinkTargets[entry] = entry;
    }
    EXPECT_TRUE(check());
}

// ---- Judging ACL listings -----------------------------------------------------------

struct Listing {
    const char* label;
    const char* text;
    bool safe;
    friend void PrintTo(const Listing& c, std::ostream* os) { *os << c.label; }
};

class AclListings : public ::testing::TestWithParam<Listing> {};

TEST_P(AclListings, OnlyAllowEntriesThatGrantChangesAreUnsafe) {
    EXPECT_EQ(MacPortsExecutable::safeACLListing(GetParam().text), GetParam().safe);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AclListings,
    ::testing::Values(
        Listing{"empty", "", true},
        Listing{"plainLongListing", "drwxr-xr-x  5 root  wheel  160 Jan  1 10:00 /opt/local\n",
                true},
        Listing{"allowRead", "drwxr-xr-x+ 5 root wheel 160 /opt\n 0: group:staff allow read\n",
                true},
        Listing{"allowAddFile", " 0: group:staff allow list,add_file,search\n", false},
        Listing{"allowWrite", " 0: user:ann allow write\n", false},
        Listing{"allowWriteattrContainsWrite", " 0: user:ann allow writeattr\n", false},
        Listing{"allowAppend", " 1: everyone allow append\n", false},
        Listing{"allowDelete", " 0: user:ann allow delete\n", false},
        Listing{"allowAddSubdirectory", " 0: user:ann allow add_subdirectory\n", false},
        Listing{"allowChown", " 0: user:ann allow chown\n", false},
        Listing{"denyDelete", " 0: user:ann deny delete,write\n", true},
        Listing{"allowWithoutSpaces", "allow write\n 0: user:ann inherited,allow,write\n", true},
        Listing{"upperCaseIsNotAGrant", " 0: user:ann ALLOW WRITE\n 1: user:ann allow WRITE\n",
                true},
        Listing{"grantOnALaterLine",
                "-rwxr-xr-x+ 1 root wheel 10 port\n 0: group:everyone deny delete\n 1: "
                "user:ann allow read\n 2: user:ann allow write\n",
                false},
        Listing{"noTrailingNewline", " 0: user:ann allow chown", false},
        Listing{"grantSplitAcrossLines", " 0: user:ann allow\nwrite\n", true},
        Listing{"invalidBytesAround", "\xff allow \xfewrite\xc3\n", false}),
    [](const auto& info) { return std::string(info.param.label); });

// ---- The listing command itself -----------------------------------------------------

// A stand-in for /bin/ls that prints what the test says (or hangs), so the listing is
// really run and really judged.
struct Lister {
    const char* name;
    const char* script;
    bool safe;
    friend void PrintTo(const Lister& c, std::ostream* os) { *os << c.name; }
};

class AclListingCommand : public ::testing::TestWithParam<Lister> {};

TEST_P(AclListingCommand, DecidesTheWholeCheck) {
    testing::TempDir dir;
    const auto lister = dir.write("ls", std::string("#!/bin/sh\n") + GetParam().script + "\n");
    ASSERT_EQ(::chmod(lister.c_str(), 0755), 0);
    const auto start = std::chrono::steady_clock::now();
    StubFileManager files;
    files.onlyStaged = true;
    files.executables = {"/opt/local/bin/port"};
    for (const std::string& entry : kChain) {
        files.attributes[entry] = {0, 0755,
                                   entry == kChain[0] ? FileType::regular : FileType::directory};
    }
    EXPECT_EQ(MacPortsExecutable::validate("/opt/local/bin/port", files,
                                           [&](const std::string& entry) {
                                               return MacPortsExecutable::hasSafeACL(
                                                   entry, lister.string(),
                                                   std::chrono::milliseconds(300));
                                           }),
              GetParam().safe);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
}

INSTANTIATE_TEST_SUITE_P(
    Listers, AclListingCommand,
    ::testing::Values(Lister{"NoEntries", "echo \"drwxr-xr-x 5 root wheel 160 $2\"", true},
                      Lister{"WritableEntry",
                             "echo \"drwxr-xr-x+ 5 root wheel 160 $2\"; echo ' 0: "
                             "group:staff allow add_file'",
                             false},
                      Lister{"ListingFails", "exit 1", false},
                      Lister{"ListingHangs", "exec sleep 30", false},
                      Lister{"HangsAfterClosingItsOutput", "exec >&- 2>&-; exec sleep 30", false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(AclListingCommand, AMissingListerOrPathIsNeverSafe) {
    testing::TempDir dir;
    EXPECT_FALSE(MacPortsExecutable::hasSafeACL((dir / "missing").string()));
    EXPECT_FALSE(MacPortsExecutable::hasSafeACL("/", "/nonexistent/ls"));
}

} // namespace
} // namespace cairnmoor
