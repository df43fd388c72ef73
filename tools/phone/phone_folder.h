// The phone's application folder, backed by a local folder.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

class PhoneFolder {
public:
    struct Entry {
        std::string name;
        std::uint64_t size = 0;
        bool isFolder = false;
    };

    explicit PhoneFolder(std::string localRoot);

    // Maps a phone path given as hex text to a local path; nothing when the
    // path lies outside the application folder or names nothing that exists.
    std::optional<std::string> localPath(std::string_view hexPath) const;

    // Entries of a local folder as a real file system shows them, "." and ".." first.
    static std::optional<std::vector<Entry>> list(const std::string &localFolder);

    // Appends up to `length` bytes from `offset`; false when the path is not a readable file.
    static bool read(const std::string &localFile, std::uint64_t offset, std::uint64_t length,
                     std::string &data);

private:
    std::string m_localRoot;
};
