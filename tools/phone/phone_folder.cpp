#include "phone_folder.h"

#include "hex.h"

#include <algorithm>
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const std::string rootHex = toHex("/tpa/preset/system/oaf");
const std::string slashHex = toHex("/");

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

std::vector<std::string> entryNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *dir = opendir(folder.c_str());
    if (!dir)
        return names;
    while (const dirent *entry = readdir(dir))
        names.emplace_back(entry->d_name);
    closedir(dir);
    return names;
}

// Length of the hex text that names `name` at the start of `rest`, followed by
// the end or a slash; 0 when it does not. Like the phone, only two digits per
// byte name it: "1" for 0x01 finds nothing.
std::size_t matchedLength(std::string_view rest, const std::string &name)
{
    const std::string encoded = toHex(name);
    if (!startsWith(rest, encoded))
        return 0;
    const std::string_view after = rest.substr(encoded.size());
    return after.empty() || startsWith(after, slashHex) ? encoded.size() : 0;
}

} // namespace

PhoneFolder::PhoneFolder(std::string localRoot)
    : m_localRoot(std::move(localRoot))
{
}

std::optional<std::string> PhoneFolder::localPath(std::string_view hexPath) const
{
    // Names are matched against the folder's entries in their hex form, so that
    // only names that exist are ever put into a local path.
    const std::string path = upperCased(hexPath);
    if (!startsWith(path, rootHex))
        return std::nullopt;
    std::string_view rest = std::string_view(path).substr(rootHex.size());
    std::string local = m_localRoot;

    while (!rest.empty()) {
        if (!startsWith(rest, slashHex))
            return std::nullopt;
        rest.remove_prefix(slashHex.size());
        if (rest.empty())
            break; // a trailing slash
        std::size_t length = 0;
        std::string matched;
        for (const std::string &name : entryNames(local)) {
            // "." and ".." are listed but never walked, so nothing outside the folder is reachable.
            if (name == "." || name == "..")
                continue;
            length = matchedLength(rest, name);
            if (length) {
                matched = name;
                break;
            }
        }
        if (!length)
            return std::nullopt;
        local += '/';
        local += matched;
        rest.remove_prefix(length);
    }
    return local;
}

std::optional<std::vector<PhoneFolder::Entry>> PhoneFolder::list(const std::string &localFolder)
{
    struct stat info {};
    if (stat(localFolder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return std::nullopt;

    std::vector<Entry> entries;
    for (const std::string &name : entryNames(localFolder)) {
        if (stat((localFolder + '/' + name).c_str(), &info) != 0)
            continue; // e.g. a dangling link
        if (S_ISDIR(info.st_mode))
            entries.push_back({name, 0, true});
        else if (S_ISREG(info.st_mode))
            entries.push_back({name, static_cast<std::uint64_t>(info.st_size), false});
    }
    // "." and ".." first, then by name, so that runs are repeatable.
    auto rank = [](const Entry &entry) { return entry.name == "." ? 0 : entry.name == ".." ? 1 : 2; };
    std::sort(entries.begin(), entries.end(), [&rank](const Entry &a, const Entry &b) {
        if (rank(a) != rank(b))
            return rank(a) < rank(b);
        return a.name < b.name;
    });
    return entries;
}

bool PhoneFolder::read(const std::string &localFile, std::uint64_t offset, std::uint64_t length,
                       std::string &data)
{
    const int fd = open(localFile.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    const auto fileSize = static_cast<std::uint64_t>(info.st_size);
    const std::uint64_t available = offset < fileSize ? fileSize - offset : 0;
    const std::size_t wanted = static_cast<std::size_t>(std::min(length, available));

    const std::size_t start = data.size();
    data.resize(start + wanted);
    std::size_t done = 0;
    while (done < wanted) {
        const ssize_t got = pread(fd, data.data() + start + done, wanted - done,
                                  static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break; // the file shrank or failed: return what was read
        done += static_cast<std::size_t>(got);
    }
    data.resize(start + done);
    close(fd);
    return true;
}
