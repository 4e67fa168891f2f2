// Scratch folders, and whole files read and written as bytes.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

struct ScratchDir {
    ScratchDir() {
        static unsigned counter = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        const std::string name = std::to_string(stamp) + "-" + std::to_string(counter++);
        root = (fs::temp_directory_path() / ("velmora-test-" + name)).string();
        fs::create_directories(root);
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
        fs::remove_all(root, ignored);
    }
    std::string Path(const std::string& name) const { return (fs::path(root) / name).string(); }
    std::string root;
};
// Works in a folder until it goes, even when a failed assertion ends the test early.
struct WorkingIn {
    explicit WorkingIn(const std::string& dir) : was(fs::current_path()) { fs::current_path(dir); }
    ~WorkingIn() { fs::current_path(was); }
    fs::path was;
};

inline bool WriteFileBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary);
    return bool(out.write(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

inline Bytes ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
