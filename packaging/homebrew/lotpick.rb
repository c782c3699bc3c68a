# lotpick for Homebrew (macOS and Linux), from the source tarball of a
# release: built with no network, the whole native test suite run before
# the install; `brew test lotpick` then asks the installed commands.
class Lotpick < Formula
  desc "Pick a file at random from a list, passing over earlier picks"
  homepage "@RELEASE_URL@"
  url "@RELEASE_URL@/lotpick-1.0.0.tar.gz"
  sha256 "@SHA256:lotpick-1.0.0.tar.gz@"
  license "MIT"

  depends_on "cmake" => :build
  depends_on "googletest" => :build
  depends_on "ninja" => :build

  def install
    system "cmake", "-S", ".", "-B", "build", "-G", "Ninja", *std_cmake_args
    system "cmake", "--build", "build"
    system "ctest", "--test-dir", "build", "--output-on-failure", "--no-tests=error"
    system "cmake", "--install", "build"
  end

  # brew services start lotpick: one pick a day at 07:00 from
  # ~/.local/share/lotpick/wallpapers.txt, made the wallpaper.
  service do
    run [opt_bin/"lotpick-wallpaper", "wallpapers.txt", "#{Dir.home}/Pictures/wallpaper.jpg"]
    working_dir "#{Dir.home}/.local/share/lotpick"
    run_type :cron
    cron "0 7 * * *"
    environment_variables PATH: std_service_path_env
    error_log_path "#{Dir.home}/Library/Logs/lotpick-wallpaper.log"
  end

  test do
    assert_equal "lotpick #{version}\n", shell_output("#{bin}/lotpick --version")
    assert_equal "lotpick #{version}\n",
                 shell_output("env LOTPICK=#{bin}/lotpick #{bin}/lotpick-wallpaper --version")
  end
end
