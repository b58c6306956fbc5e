// The logger's numbered disk files: a folder of files named after their numbers, or a small built-in set.

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "loggermodel.h"

namespace orrery::loggersim {

namespace {

namespace fs = std::filesystem;

constexpr int kMaxFileNumber = 99999999;

// The number a file name begins with, or -1.
int numberOf(const std::string& name) {
    std::size_t digits = 0;
    while (digits < name.size() && digits < 8 && name[digits] >= '0' && name[digits] <= '9') ++digits;
    if (digits == 0 || (digits < name.size() && name[digits] >= '0' && name[digits] <= '9')) return -1;
    return std::stoi(name.substr(0, digits));
}

class FolderDisk : public Disk {
public:
    explicit FolderDisk(fs::path folder) : m_folder(std::move(folder)) {}

    std::map<int, std::vector<std::uint8_t>> files() const override {
        std::map<int, std::vector<std::uint8_t>> found;
        std::error_code ec;
        std::vector<fs::path> names;
        for (const auto& entry : fs::directory_iterator(m_folder, ec)) {
            if (entry.is_regular_file(ec)) names.push_back(entry.path());
        }
        // In name order, so that of "3.dat" and "03.csv" the same one wins on every run.
        std::sort(names.begin(), names.end());
        for (const fs::path& path : names) {
            const int number = numberOf(path.filename().string());
            if (number < 0 || found.count(number) != 0) continue;
            std::ifstream in(path, std::ios::binary);
            found[number].assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
        return found;
    }

    int add(const std::vector<std::uint8_t>& bytes, std::string& error) override {
        const auto existing = files();
        const int number = existing.empty() ? 1 : existing.rbegin()->first + 1;
        if (number > kMaxFileNumber) {
            error = "no free file number";
            return -1;
        }
        // Written beside its final name and renamed, so the folder never shows half a file.
        const fs::path final = m_folder / (std::to_string(number) + ".dat");
        const fs::path temp = m_folder / (".incoming-" + std::to_string(number) + ".tmp");
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
            out.close();
            if (!out) {
                std::error_code ignored;
                fs::remove(temp, ignored);
                error = "cannot write " + temp.string();
                return -1;
            }
        }
        std::error_code ec;
        fs::rename(temp, final, ec);
        if (ec) {
            fs::remove(temp, ec);
            error = "cannot rename to " + final.string();
            return -1;
        }
        return number;
    }

private:
    fs::path m_folder;
};

class BuiltInDisk : public Disk {
public:
    BuiltInDisk() {
        // File n holds 16 * n lines "n,iii,vvvvv" CR LF.
        for (int n = 1; n <= 3; ++n) {
            std::vector<std::uint8_t>& file = m_files[n];
            for (int i = 0; i < 16 * n; ++i) {
                char line[32];
                const int length = std::snprintf(line, sizeof line, "%d,%03d,%05d\r\n", n, i, (i * 37 + n * 1000) % 65536);
                file.insert(file.end(), line, line + length);
            }
        }
    }
    std::map<int, std::vector<std::uint8_t>> files() const override { return m_files; }
    int add(const std::vector<std::uint8_t>& bytes, std::string&) override {
        const int number = m_files.rbegin()->first + 1;
        m_files[number] = bytes;
        return number;
    }

private:
    std::map<int, std::vector<std::uint8_t>> m_files;
};

}  // namespace

std::unique_ptr<Disk> makeDisk(const std::string& folder) {
    if (folder.empty()) return std::make_unique<BuiltInDisk>();
    return std::make_unique<FolderDisk>(folder);
}

}  // namespace orrery::loggersim
