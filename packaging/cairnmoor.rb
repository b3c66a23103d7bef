# Homebrew formula: builds Cairnmoor from its source archive with CMake.
#
# The archive is the project's source package (cpack --config CPackSourceConfig.cmake in
# a build folder). `cmake --build <build> --target homebrew_formula` makes it and writes
# a copy of this formula pointing at it, with its SHA-256, to <build>/packaging/ for
# `brew install --formula <build>/packaging/cairnmoor.rb`. A release fills in url and
# sha256 the same way.
class Cairnmoor < Formula
  desc "Bulk app installer: a curated catalogue installed with Homebrew or MacPorts"
  homepage "https://example.org/tools"
  url "https://example.org/cairnmoor/releases/cairnmoor-1.0.0.tar.gz"
  # No SPDX licence is declared for Cairnmoor; name it here when one is.
  license :cannot_represent

  depends_on "cmake" => :build
  depends_on "ninja" => :build
  depends_on "nlohmann-json" => :build
  depends_on "pkgconf" => :build
  # Qt's core and its QML and Quick modules (the window's controls, dialogs and the labs
  # modules are all in qtdeclarative); "qt" would pull in every module Homebrew has.
  depends_on "qtbase"
  depends_on "qtdeclarative"
  depends_on "utf8proc"

  on_macos do
    depends_on macos: :ventura
  end

  on_linux do
    depends_on "openssl@3"
  end

  def install
    # Homebrew's own Qt and utf8proc are dependencies, so the app bundle links them rather
    # than carrying private copies. A newer compiler's new warnings must not fail the build.
    args = %w[
      -DCAIRNMOOR_TESTS=OFF
      -DCAIRNMOOR_BENCHMARKS=OFF
      -DCAIRNMOOR_BUNDLE_LIBRARIES=OFF
      -DCAIRNMOOR_WERROR=OFF
    ]
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja", *args, *std_cmake_args
    system "cmake", "--build", "build"
    system "cmake", "--install", "build"
    # On macOS the executable lives in the app bundle, which is how it finds its
    # catalogue and information dictionary; bin/ gets a launcher for the command line.
    bin.write_exec_script prefix/"Cairnmoor.app/Contents/MacOS/Cairnmoor" if OS.mac?
  end

  def caveats
    return unless OS.mac?

    <<~EOS
      Cairnmoor.app was installed to
        #{opt_prefix}/Cairnmoor.app
      Start the window with
        open #{opt_prefix}/Cairnmoor.app
      and the command line with `Cairnmoor`. Spotlight and Launchpad do not list apps
      reached through a symbolic link; to find it there, copy it into Applications
      (after an upgrade, move the old copy to the Bin first, then copy again):
        cp -R #{opt_prefix}/Cairnmoor.app /Applications/
    EOS
  end

  test do
    assert_equal version.to_s, shell_output("#{bin}/Cairnmoor --version").strip
    assert_match "Usage:", shell_output("#{bin}/Cairnmoor --help")
    # An unknown identifier is refused only after the shipped catalogue has loaded, and
    # before anything is installed.
    (testpath/"probe.cmprofile").write <<~JSON
      {"schema": 2, "created": "2026-01-01T00:00:00Z", "apps": ["no-such-app"],
       "options": {"skipInstalled": true, "upgradeIfPresent": true, "runUpdateFirst": false,
                   "writeLog": false, "timeoutSeconds": 60}}
    JSON
    assert_equal "Unknown catalogue IDs: no-such-app.\n",
                 shell_output("#{bin}/Cairnmoor --profile #{testpath}/probe.cmprofile 2>&1", 2)
  end
end
