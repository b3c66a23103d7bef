// The MacPorts hand-off to Terminal against real files, the publisher's links and the
// About credits.
#include "ViewsTest.hpp"
#include "views/AboutPanel.hpp"

#include <QSignalSpy>
#include <gmock/gmock.h>

#include <thread>

namespace cairnmoor::testing {
namespace {

namespace fs = std::filesystem;

// The hand-off to Terminal over an earlier file: only a MacPorts that passes the trust
// check gets a script, which replaces the old file whole and only its owner may touch.
class HandOffTest : public ViewsTest, public ::testing::WithParamInterface<bool> {};

TEST_P(HandOffTest, WritesAnOwnerOnlyScriptForATrustedMacPortsOnly) {
    const bool trusted = GetParam();
    model_ = makeModel({{PackageManager::macports, "/opt/local/bin/port"}});
    model_->setPackageManagerName(u"macports"_s);
    model_->setSelectedIds({"alpha"});
    std::vector<fs::path> opened;
    WindowActions actions(
        *model_, FileManager::defaultManager(), [&](const std::string&) { return trusted; },
        [&](const fs::path& script, TerminalLauncher::Completion done) {
            opened.push_back(script);
            // Terminal answers from another thread.
            std::thread([done = std::move(done)] { done(std::nullopt); }).detach();
        });
    const fs::path script = home_.write("install.command", "old contents");
    fs::permissions(script, fs::perms::others_read);
    QSignalSpy notices(&actions, &WindowActions::terminalNoticeChanged);
    actions.installInTerminal(QString::fromStdString(script.string()));
    if (!trusted) {
        EXPECT_EQ(actions.fileError(), golden("trust"));
        EXPECT_EQ(readFile(script), "old contents");
        EXPECT_TRUE(opened.empty());
        return;
    }
    ASSERT_TRUE(waitFor([&] { return notices.count() == 1; }));
    EXPECT_EQ(opened, std::vector{script});
    EXPECT_EQ(fs::status(script).permissions(), fs::perms::owner_all);
    EXPECT_THAT(readFile(script), ::testing::StartsWith("#!"));
    EXPECT_EQ(actions.terminalNotice().toStdString(),
              "Script opened in Terminal: " + script.string() +
                  ". Check Terminal for success or failure.");
}

INSTANTIATE_TEST_SUITE_P(Trust, HandOffTest, ::testing::Bool());

TEST(PublisherTest, AddressesAtReservedExampleDomainsAreNotConfigured) {
    for (const char* url : {"", "https://example.org/tools", "https://www.example.com/x",
                            "https://donate.example/me", "https://site.test/", "not a url"}) {
        EXPECT_FALSE(Publisher::isConfigured(QString::fromUtf8(url))) << url;
    }
    for (const char* url :
         {"https://tallowin.net/tools", "https://examples.org/", "http://a.b/c"}) {
        EXPECT_TRUE(Publisher::isConfigured(QString::fromUtf8(url))) << url;
    }
}

TEST(AboutCreditsTest, FollowTheTableAndLeaveOutLinksThatAreNotConfigured) {
    const Publisher linked{.name = u"Ann"_s,
                           .profileUrl = u"https://www.ann.net/me"_s,
                           .toolsUrl = u"https://ann.net/tools"_s,
                           .privacyUrl = u"https://ann.net/privacy"_s,
                           .donationUrl = u"https://coffee.net/ann"_s};
    // The rich text the window shows, one credits text a line.
    const QString text =
        AboutPanel::html(
            AboutPanel::credits(SignatureState{true, "Developer ID Application: Ann", "TEAM1"},
                                std::string(64, 'a'), "2026-12-01", linked)) +
        QLatin1Char('\n') +
        AboutPanel::html(AboutPanel::credits(SignatureState{}, std::nullopt, "<unknown>",
                                             Publisher{.name = u"Ann & Co"_s})) +
        QLatin1Char('\n');
    EXPECT_EQ(text.toStdString(),
              readFile(fs::path(CAIRNMOOR_SOURCE_DIR) / "tests/views/about-credits.golden"));
}

} // namespace
} // namespace cairnmoor::testing
