#include "import/MacCapture.hpp"

#include "support/TempDir.hpp"

#include <gtest/gtest.h>

#include <cstdlib>

// MacPorts' requested ports become the profile (the command line's tests capture Homebrew).
namespace cairnmoor {
namespace {

TEST(MacCapture, TakesMacPortsRequestedPortsByTheCatalogueOrByName) {
    testing::TempDir state;
    state.write("ports/vlc-port", "3.0\n");
    state.write("ports/py312-pip", "24\n");
    ::setenv("CAIRNMOOR_FAKE_STATE", state.path().c_str(), 1);
    Catalog catalog;
    catalog.apps.push_back(
        AppEntry{"vlc", "VLC", "Media", "", "", "", MacOSInfo{"vlc", "cask", "vlc-port"}, {}});
    const MacCapture capture =
        MacCapture::take(CAIRNMOOR_FAKES_DIR "/port", PackageManager::macports, catalog, {},
                         FileManager::defaultManager());
    EXPECT_EQ(capture.profile.apps, std::vector<std::string>{"vlc"});
    EXPECT_EQ(capture.profile.packages,
              (std::vector<ProfilePackage>{{"py312-pip", ProfilePackage::Kind::port}}));
    EXPECT_EQ(capture.profile.options.packageManager, PackageManager::macports);
    ::setenv("CAIRNMOOR_FAKE_LIST_FAIL", "3", 1);
    EXPECT_ANY_THROW(MacCapture::take(CAIRNMOOR_FAKES_DIR "/port", PackageManager::macports,
                                      catalog, {}, FileManager::defaultManager()));
    ::unsetenv("CAIRNMOOR_FAKE_LIST_FAIL");
}

} // namespace
} // namespace cairnmoor
