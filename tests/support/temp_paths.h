// Temporary files and folders of one test. CTest runs test cases as parallel processes,
// and builds of other configurations may run theirs at the same time on the same machine:
// a name made of the running test's name and the process id is never shared between two
// of them.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace vex::test {

inline long currentProcessId() {
#ifdef _WIN32
    return static_cast<long>(_getpid());
#else
    return static_cast<long>(getpid());
#endif
}

// `<prefix>-<suite>.<test>-<process id><suffix>` in the system's temporary folder. Only
// the name: nothing is created. Characters of a parameterised test's name that do not
// belong in a file name become '_'.
inline std::filesystem::path uniqueTempPath(const std::string& prefix,
                                            const std::string& suffix = "") {
    std::string test = "none";
    if (const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info()) {
        test = std::string(info->test_suite_name()) + "." + info->name();
    }
    for (char& c : test) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                           (c >= '0' && c <= '9') || c == '.' || c == '_' || c == '-';
        if (!plain) {
            c = '_';
        }
    }
    return std::filesystem::temp_directory_path() /
           std::filesystem::u8path(prefix + "-" + test + "-" + std::to_string(currentProcessId()) +
                                   suffix);
}

// A uniqueTempPath that is removed, with anything below it, when the object goes (and
// before first use, should a process with the same id have left it behind).
class TempPath {
public:
    explicit TempPath(const std::string& prefix, const std::string& suffix = "")
        : path(uniqueTempPath(prefix, suffix)) {
        removeAll();
    }
    ~TempPath() { removeAll(); }
    TempPath(const TempPath&) = delete;
    TempPath& operator=(const TempPath&) = delete;

    std::string u8string() const { return path.u8string(); }

    const std::filesystem::path path;

private:
    void removeAll() const {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

} // namespace vex::test
