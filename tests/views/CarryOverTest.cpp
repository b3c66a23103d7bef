// Packages beyond the catalogue in the window: added by name (checked with the fake brew),
// refused with a reason, removed, saved and loaded with the profile and installed with
// the catalogue's apps; a Brewfile imported as the selection; this Mac saved as a profile.
#include "views/CarryOver.hpp"

#include "ViewsTest.hpp"

namespace cairnmoor::testing {
namespace {

class CarryOverTest : public ViewsTest {
protected:
    CarryOver& carry() { return *model_->carryOver(); }
    // Adds and waits for the answer; the message it leaves.
    QString add(const char* name, const char* kind) {
        carry().add(QString::fromUtf8(name), QString::fromUtf8(kind));
        EXPECT_TRUE(waitFor([&] { return !carry().busy(); }));
        return carry().message();
    }
    Lines names() const {
        Lines found;
        for (const ProfilePackage& package : model_->carryOver()->packages()) {
            found.push_back(std::string(ProfilePackage::rawValue(package.kind)) + ":" +
                            package.name);
        }
        return found;
    }
};

TEST_F(CarryOverTest, AddsCheckedPackagesThatSaveLoadAndInstallWithTheCatalogue) {
    ::setenv("CAIRNMOOR_FAKE_UNKNOWN", "nosuch", 1);
    // clang-format off
    const std::pair<const char*, QString> refused[] = {
        {"nosuch", u"Homebrew knows no cask named nosuch."_s},
        {"bad name", u"\u201Cbad name\u201D is not a valid Homebrew package name."_s},
        {"alpha", u"alpha is in the catalogue as Alpha: tick it there."_s},
        {"user/tap/tool", u""_s},
        {"user/tap/tool", u"user/tap/tool is in the list already."_s},
    };
    // clang-format on
    for (const auto& [name, message] : refused) {
        EXPECT_EQ(add(name, "cask"), message) << name;
    }
    EXPECT_EQ(add("ripgrep", "formula"), u""_s);
    EXPECT_EQ(add("user/tap/x", "port"),
              u"\u201Cuser/tap/x\u201D is not a valid MacPorts package name."_s);
    ::unsetenv("CAIRNMOOR_FAKE_UNKNOWN");
    EXPECT_EQ(names(), (Lines{"cask:user/tap/tool", "formula:ripgrep"}));

    model_->setSelectedIds({"beta"});
    const Profile saved = model_->currentProfile();
    EXPECT_EQ(saved.packages, model_->carryOver()->packages());
    carry().remove(0);
    EXPECT_EQ(names(), (Lines{"formula:ripgrep"}));
    model_->loadProfile(saved);
    EXPECT_EQ(names(), (Lines{"cask:user/tap/tool", "formula:ripgrep"}));

    run({"beta"});
    finish();
    EXPECT_EQ(calls(), (Lines{"brew install beta", "brew install --cask user/tap/tool",
                              "brew install ripgrep"}));
}

TEST_F(CarryOverTest, ImportsABrewfileAndSavesThisMac) {
    const fs::path brewfile = home_.write("Brewfile", "tap \"user/tap\"\nbrew \"beta\"\n"
                                                      "cask \"user/tap/tool\"\nmas \"X\", id: 1\n");
    carry().importBrewfile(
        QUrl::fromLocalFile(QString::fromStdString(brewfile.string())).toString());
    EXPECT_EQ(selected(), (Lines{"beta"}));
    EXPECT_EQ(names(), (Lines{"cask:user/tap/tool"}));
    EXPECT_EQ(carry().message(),
              u"Imported 1 catalogue apps and 1 other packages from Brewfile.\n"
              "Line 4 not used (a mas entry; Cairnmoor installs only brew and cask entries): "
              "mas \"X\", id: 1\nLine 1: the tap user/tap is not added or trusted by Cairnmoor."_s);

    tools_.write("state/casks/alpha", "1.0.0\n");
    tools_.write("state/formulae/ripgrep", "1.0.0\n");
    const fs::path file = home_ / "mac.cmprofile";
    carry().captureMac(QString::fromStdString(file.string()));
    ASSERT_TRUE(waitFor([&] { return !carry().busy(); }));
    EXPECT_EQ(
        carry().message(),
        u"Saved mac.cmprofile: 1 catalogue apps, 1 other packages, 0 found outside Homebrew."_s);
    EXPECT_EQ(Profile::load(file).apps, (Lines{"alpha"}));
}

// The window below the catalogue: a name typed and added shows as its row, which removes it.
TEST_F(CarryOverTest, TheWindowAddsShowsAndRemovesAPackage) {
    openWindow();
    auto* field = qobject_cast<QQuickItem*>(find("packageNameField"));
    ASSERT_NE(field, nullptr);
    field->setProperty("text", u"ripgrep"_s);
    click("addPackageButton");
    ASSERT_TRUE(waitFor([&] { return shows("removePackage_ripgrep"); }));
    EXPECT_EQ(names(), (Lines{"formula:ripgrep"}));
    click("removePackage_ripgrep");
    EXPECT_TRUE(waitFor([&] { return names().empty() && !shows("removePackage_ripgrep"); }));
}

} // namespace
} // namespace cairnmoor::testing
