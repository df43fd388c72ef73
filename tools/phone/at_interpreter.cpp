#include "at_interpreter.h"

#include "hex.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdlib>
#include <random>

namespace {

constexpr char carriageReturn = '\r';
constexpr char lineFeed = '\n';
constexpr std::size_t maxLineLength = 4096;
// Keeps a single reply's memory bounded; the client asks for 65535 bytes at a time.
constexpr std::uint64_t maxReadLength = 16u << 20;

// The character set a session starts with, as "AT+CSCS?" reports it.
const char startCharset[] = "IRA";
const char okReply[] = "\r\nOK\r\n";
const char errorReply[] = "\r\nERROR\r\n";

const std::array<const char *, 18> charsets = {
    "GSM", "IRA", "UTF-8", "8859-1", "8859-2", "8859-3", "8859-4", "8859-5",
    "8859-6", "8859-7", "8859-8", "8859-9", "8859-10", "8859-11", "8859-13", "8859-14", "8859-15", "8859-16",
};

// Command names are case-insensitive and spaces between them mean nothing,
// but quoted strings are kept as sent.
std::string normalized(const std::string &line)
{
    std::string out;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        if (quoted || c == '"')
            out += c;
        else if (c != ' ')
            out += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return out;
}

// Takes a quoted string from the front of `text`.
bool takeQuoted(std::string_view &text, std::string &value)
{
    if (text.size() < 2 || text[0] != '"')
        return false;
    const std::size_t close = text.find('"', 1);
    if (close == std::string_view::npos)
        return false;
    value = std::string(text.substr(1, close - 1));
    text.remove_prefix(close + 1);
    return true;
}

// Takes a decimal number from the front of `text`.
bool takeNumber(std::string_view &text, std::uint64_t &value)
{
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9')
        ++digits;
    if (digits == 0 || digits > 20)
        return false;
    const std::string number(text.substr(0, digits));
    errno = 0;
    value = std::strtoull(number.c_str(), nullptr, 10);
    if (errno != 0)
        return false;
    text.remove_prefix(digits);
    return true;
}

bool takeComma(std::string_view &text)
{
    if (text.empty() || text[0] != ',')
        return false;
    text.remove_prefix(1);
    return true;
}

} // namespace

AtInterpreter::AtInterpreter(const PhoneFolder &folder, Settings settings)
    : m_folder(folder)
    , m_startSettings(settings)
    , m_echo(settings.echo)
    , m_charset(startCharset)
{
}

void AtInterpreter::startSession()
{
    m_echo = m_startSettings.echo;
    m_charset = startCharset;
    m_line.clear();
    m_lineTooLong = false;
}

void AtInterpreter::receive(std::string_view bytes, std::string &out)
{
    for (const char c : bytes) {
        // A line feed after the carriage return (or any before a command) is
        // no part of a command line: neither echoed nor kept.
        if (c == lineFeed && m_line.empty() && !m_lineTooLong)
            continue;
        if (m_echo)
            out += c;
        if (c != carriageReturn) {
            if (m_line.size() < maxLineLength)
                m_line += c;
            else
                m_lineTooLong = true;
            continue;
        }
        if (m_lineTooLong)
            out += errorReply;
        else if (!m_line.empty())
            answer(m_line, out);
        m_line.clear();
        m_lineTooLong = false;
    }
}

void AtInterpreter::answer(const std::string &line, std::string &out)
{
    const std::size_t replyStart = out.size();
    const std::string command = normalized(line);
    const bool isCommand = command.rfind("AT", 0) == 0;
    const std::string body = isCommand ? command.substr(2) : std::string();
    const bool isFileRead = body.rfind("*ERIF=", 0) == 0;
    bool ok = false;
    if (!isCommand) {
        ok = false; // not a command line at all
    } else if (body.empty()) {
        ok = true;
    } else if (body == "E" || body == "E0" || body == "E1") {
        m_echo = body == "E1";
        ok = true;
    } else if (m_startSettings.notAPhone) {
        ok = body == "I";
    } else if (body.rfind("+CSCS", 0) == 0) {
        ok = answerCharset(body.substr(5), out);
    } else if (body.rfind("*ELIF=", 0) == 0) {
        std::string_view arguments = std::string_view(body).substr(6);
        std::string hexPath;
        ok = takeQuoted(arguments, hexPath) && arguments.empty() && answerListing(hexPath, out);
    } else if (isFileRead) {
        ok = answerFileRead(body.substr(6), out);
    }
    out += ok ? okReply : errorReply;
    if (isFileRead && onFileReadAnswered)
        onFileReadAnswered(replyStart, out.size());
}

bool AtInterpreter::answerCharset(const std::string &command, std::string &out)
{
    if (command == "?") {
        out += "\r\n+CSCS: \"" + m_charset + "\"\r\n";
        return true;
    }
    if (command == "=?") {
        out += "\r\n+CSCS: (";
        for (std::size_t i = 0; i < charsets.size(); ++i)
            out += std::string(i ? "," : "") + '"' + charsets[i] + '"';
        out += ")\r\n";
        return true;
    }
    std::string_view arguments(command);
    std::string name;
    if (arguments.substr(0, 1) != "=")
        return false;
    arguments.remove_prefix(1);
    if (!takeQuoted(arguments, name) || !arguments.empty())
        return false;
    name = upperCased(name);
    for (const char *known : charsets) {
        if (name == known) {
            m_charset = name;
            return true;
        }
    }
    return false;
}

bool AtInterpreter::answerListing(const std::string &hexPath, std::string &out)
{
    if (!isHexText(hexPath))
        return false;
    const auto local = m_folder.localPath(hexPath);
    if (!local)
        return false;
    const auto entries = PhoneFolder::list(*local);
    if (!entries)
        return false;
    for (const PhoneFolder::Entry &entry : *entries) {
        out += "\r\n*ELIF: \"";
        out += toHex(entry.name);
        out += "\",";
        out += std::to_string(entry.size);
        out += entry.isFolder ? ",1" : ",0";
    }
    out += "\r\n";
    return true;
}

bool AtInterpreter::answerFileRead(const std::string &arguments, std::string &out)
{
    ++m_fileReads;
    std::string_view rest(arguments);
    std::string hexPath;
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
    if (!takeQuoted(rest, hexPath) || !takeComma(rest) || !takeNumber(rest, offset)
        || !takeComma(rest) || !takeNumber(rest, length) || !rest.empty())
        return false;
    if (!isHexText(hexPath) || length > maxReadLength || m_fileReads == m_startSettings.failRead)
        return false;
    const auto local = m_folder.localPath(hexPath);
    std::string data;
    if (!local || !PhoneFolder::read(*local, offset, length, data))
        return false;

    // As a noisy line would garble it on the way; asking again gets it right.
    std::uint64_t count = data.size();
    if (m_fileReads == m_startSettings.badCountRead)
        count += 10;
    if (m_fileReads == m_startSettings.shortDataRead && !data.empty())
        data.pop_back();

    std::string hexData;
    appendHex(hexData, reinterpret_cast<const unsigned char *>(data.data()), data.size());
    if (m_fileReads == m_startSettings.corruptRead && !hexData.empty()) {
        // The same digit for the same seed; asking again gets the piece right.
        std::mt19937_64 random(m_startSettings.seed);
        const std::size_t at = random() % hexData.size();
        const char *const digits = "0123456789ABCDEF";
        const std::size_t value = std::string_view(digits).find(hexData[at]);
        hexData[at] = digits[(value + 1 + random() % 15) % 16];
    }

    // Data lines of the chosen width, each introduced by "*ERIF"; the
    // ":offset,count" trailer ends the last one.
    const std::size_t width = m_startSettings.chunkWidth != 0
        ? static_cast<std::size_t>(std::min<std::uint64_t>(m_startSettings.chunkWidth, hexData.size()))
        : hexData.size();
    std::size_t at = 0;
    do {
        out += "\r\n*ERIF";
        const std::size_t take = std::min(width, hexData.size() - at);
        out.append(hexData, at, take);
        at += take;
    } while (at < hexData.size());
    out += ':';
    out += std::to_string(offset);
    out += ',';
    out += std::to_string(count);
    out += "\r\n";
    return true;
}
