// Every core test runs in a folder of its own under the system's temporary
// folder.  The program writes data files beside a test path that may be
// relative (the default test's "c:\zd418\..." is a plain file name on a
// POSIX system) and dumps the scan table into the current folder: a test run
// must leave none of that in the folder it was started from.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

class ScratchWorkDir : public ::testing::Environment {
  public:
    void SetUp() override {
        std::error_code ec;
        started_ = fs::current_path(ec);
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path(ec) / ("zd418_core_tests_" + std::to_string(stamp));
        fs::create_directories(dir_, ec);
        if (!ec) fs::current_path(dir_, ec);
        ASSERT_FALSE(ec) << "no scratch folder for the tests: " << ec.message();
    }
    void TearDown() override {
        std::error_code ec;
        fs::current_path(started_, ec);
        fs::remove_all(dir_, ec);  // a file still open (Windows) only stays behind
    }

  private:
    fs::path started_, dir_;
};

[[maybe_unused]] ::testing::Environment* const kScratch =
    ::testing::AddGlobalTestEnvironment(new ScratchWorkDir);

}  // namespace
