// The phone's AT command interpreter: assembles command lines, echoes them
// and produces the replies.
#pragma once

#include "phone_folder.h"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

class AtInterpreter {
public:
    struct Settings {
        bool echo = true;
        std::uint64_t chunkWidth = 0; // hex digits per *ERIF line, 0 = one line
        std::uint64_t failRead = 0;   // the file read (1-based) answered with ERROR
        std::uint64_t corruptRead = 0; // the file read (1-based) with one data digit changed
        std::uint64_t badCountRead = 0; // the file read (1-based) whose count is 10 too high
        std::uint64_t shortDataRead = 0; // the file read (1-based) that lost its last data byte
        std::uint64_t seed = 1;        // chooses that digit and what it becomes
        bool notAPhone = false;        // knows AT, ATE and ATI only, as a modem of another kind
    };

    AtInterpreter(const PhoneFolder &folder, Settings settings);

    // Takes received bytes (without flow control characters) and appends the
    // echo and any replies to `out`.
    void receive(std::string_view bytes, std::string &out);

    // A new client session: drop a half-received line and return to the start-up settings.
    void startSession();

    // Called right after an AT*ERIF reply was appended, with where in `out` it
    // begins (after the echo) and ends.
    std::function<void(std::size_t replyStart, std::size_t replyEnd)> onFileReadAnswered;

private:
    void answer(const std::string &line, std::string &out);
    bool answerCharset(const std::string &command, std::string &out);
    bool answerListing(const std::string &hexPath, std::string &out);
    bool answerFileRead(const std::string &arguments, std::string &out);

    const PhoneFolder &m_folder;
    const Settings m_startSettings;
    bool m_echo;
    std::string m_charset;
    std::string m_line;
    bool m_lineTooLong = false;
    std::uint64_t m_fileReads = 0;
};
