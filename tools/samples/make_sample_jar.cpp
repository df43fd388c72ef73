// morvex-sample-jar: writes a small, valid Java application archive (a ZIP
// with META-INF/MANIFEST.MF) for the demo phone. Entries are stored without
// compression, which every ZIP reader accepts; zlib only sums them.
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct Entry {
    std::string name;
    std::string data;
};

std::uint32_t crcOf(const std::string &data)
{
    return static_cast<std::uint32_t>(crc32(0, reinterpret_cast<const Bytef *>(data.data()),
                                            static_cast<uInt>(data.size())));
}

void put16(std::string &out, unsigned value)
{
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
}

void put32(std::string &out, std::uint32_t value)
{
    put16(out, value & 0xFFFF);
    put16(out, value >> 16);
}

// A fixed time stamp (2024-01-01 12:00) keeps the archives identical from run to run.
constexpr unsigned dosTime = 12u << 11;
constexpr unsigned dosDate = ((2024u - 1980u) << 9) | (1u << 5) | 1u;

std::string zipArchive(const std::vector<Entry> &entries)
{
    std::string archive;
    std::string directory;
    for (const Entry &entry : entries) {
        const std::uint32_t crc = crcOf(entry.data);
        const auto size = static_cast<std::uint32_t>(entry.data.size());
        const auto offset = static_cast<std::uint32_t>(archive.size());

        put32(archive, 0x04034b50); // local file header
        put16(archive, 10);         // version needed: stored entries
        put16(archive, 0);          // flags
        put16(archive, 0);          // method: stored
        put16(archive, dosTime);
        put16(archive, dosDate);
        put32(archive, crc);
        put32(archive, size);
        put32(archive, size);
        put16(archive, static_cast<unsigned>(entry.name.size()));
        put16(archive, 0); // extra field length
        archive += entry.name;
        archive += entry.data;

        put32(directory, 0x02014b50); // central directory header
        put16(directory, 10);         // version made by
        put16(directory, 10);         // version needed
        put16(directory, 0);
        put16(directory, 0);
        put16(directory, dosTime);
        put16(directory, dosDate);
        put32(directory, crc);
        put32(directory, size);
        put32(directory, size);
        put16(directory, static_cast<unsigned>(entry.name.size()));
        put16(directory, 0); // extra field length
        put16(directory, 0); // comment length
        put16(directory, 0); // disk number
        put16(directory, 0); // internal attributes
        put32(directory, 0); // external attributes
        put32(directory, offset);
        directory += entry.name;
    }

    const auto directoryOffset = static_cast<std::uint32_t>(archive.size());
    archive += directory;
    put32(archive, 0x06054b50); // end of central directory
    put16(archive, 0);
    put16(archive, 0);
    put16(archive, static_cast<unsigned>(entries.size()));
    put16(archive, static_cast<unsigned>(entries.size()));
    put32(archive, static_cast<std::uint32_t>(directory.size()));
    put32(archive, directoryOffset);
    put16(archive, 0); // comment length
    return archive;
}

// Readable filler that makes the archive about the size asked for.
std::string aboutText(const std::string &name, std::size_t size)
{
    std::string text;
    for (int line = 1; text.size() < size; ++line)
        text += name + ", a Morvex sample application. Line " + std::to_string(line) + ".\n";
    text.resize(size);
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 3 || argc > 4) {
        std::fprintf(stderr, "Usage: %s <output.jar> <application name> [text bytes]\n", argv[0]);
        return 2;
    }
    const std::string output = argv[1];
    const std::string name = argv[2];
    const std::size_t textBytes = argc == 4 ? std::strtoul(argv[3], nullptr, 10) : 1000;

    const std::string manifest = "Manifest-Version: 1.0\r\n"
                                 "Created-By: morvex-sample-jar\r\n"
                                 "MIDlet-Name: " + name + "\r\n"
                                 "MIDlet-Vendor: Morvex samples\r\n"
                                 "MIDlet-Version: 1.0\r\n"
                                 "\r\n";
    const std::string archive = zipArchive({
        { "META-INF/MANIFEST.MF", manifest },
        { "about.txt", aboutText(name, textBytes) },
    });

    std::ofstream file(output, std::ios::binary | std::ios::trunc);
    file.write(archive.data(), static_cast<std::streamsize>(archive.size()));
    file.close();
    if (!file) {
        std::perror(output.c_str());
        return 1;
    }
    return 0;
}
