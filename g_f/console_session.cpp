// The console a program runs in: code pages, typed lines and the window's
// end on Windows; nothing elsewhere.
#include "g_f/console_session.h"

#include <iostream>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace orvalt {

#ifdef _WIN32
namespace {

// Lines typed at the console, read in UTF-16 and handed on in UTF-8.
class TypedLines : public std::streambuf {
public:
    explicit TypedLines(HANDLE console) : console_(console) {}

private:
    int_type underflow() override {
        if (gptr() < egptr()) return traits_type::to_int_type(*gptr());
        constexpr DWORD room = 4096;
        wchar_t wide[room + 1];
        DWORD got = 0;
        for (;;) {
            if (ReadConsoleW(console_, wide, room, &got, nullptr) != 0) break;
            // Ctrl-C breaks off a read; the interruption's handler ends the run.
            if (GetLastError() != ERROR_OPERATION_ABORTED) return traits_type::eof();
        }
        if (got == 0) return traits_type::eof();
        // Half a surrogate pair at the end of the room: its other half.
        if (got == room && IS_HIGH_SURROGATE(wide[got - 1])) {
            DWORD more = 0;
            if (ReadConsoleW(console_, wide + got, 1, &more, nullptr) != 0) got += more;
        }
        // Ctrl-Z first on a line ends the input, as the C runtime reads a console.
        if (wide[0] == 0x1A) return traits_type::eof();
        const int wide_count = static_cast<int>(got);
        const int n = WideCharToMultiByte(CP_UTF8, 0, wide, wide_count, nullptr, 0, nullptr, nullptr);
        if (n <= 0) return traits_type::eof();
        bytes_.resize(static_cast<std::size_t>(n));
        WideCharToMultiByte(CP_UTF8, 0, wide, wide_count, bytes_.data(), n, nullptr, nullptr);
        setg(bytes_.data(), bytes_.data(), bytes_.data() + n);
        return traits_type::to_int_type(*gptr());
    }

    HANDLE console_;
    std::string bytes_;
};

// Text for the console, UTF-8, written in UTF-16: the console shows every
// character so, whatever its code page and however the C runtime would
// pass the bytes on.
class ConsoleText : public std::streambuf {
public:
    explicit ConsoleText(HANDLE console) : console_(console) {}
    ~ConsoleText() override { write_out(true); }

private:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        pending_.push_back(traits_type::to_char_type(c));
        if (c == '\n' || pending_.size() >= 4096) write_out(false);
        return c;
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        pending_.append(s, static_cast<std::size_t>(n));
        if (pending_.size() >= 4096 || pending_.find('\n') != std::string::npos) write_out(false);
        return n;
    }
    int sync() override {
        write_out(false);
        return 0;
    }

    // Writes what is pending but the start of a character still incomplete
    // (unless `all`).
    void write_out(bool all) {
        std::size_t cut = pending_.size();
        if (!all) {
            for (std::size_t back = 1; back <= 3 && back <= pending_.size(); ++back) {
                const auto b = static_cast<unsigned char>(pending_[pending_.size() - back]);
                if ((b & 0xC0) == 0x80) continue;  // a continuation byte: look further back
                const std::size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
                if (length > back) cut = pending_.size() - back;
                break;
            }
        }
        if (cut == 0) return;
        const int count = static_cast<int>(cut);
        const int n = MultiByteToWideChar(CP_UTF8, 0, pending_.data(), count, nullptr, 0);
        if (n > 0) {
            std::wstring wide(static_cast<std::size_t>(n), L' ');
            MultiByteToWideChar(CP_UTF8, 0, pending_.data(), count, wide.data(), n);
            DWORD written = 0;
            WriteConsoleW(console_, wide.data(), static_cast<DWORD>(n), &written, nullptr);
        }
        pending_.erase(0, cut);
    }

    HANDLE console_;
    std::string pending_;
};

bool is_console(HANDLE h) {
    DWORD mode = 0;
    return h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode) != 0;
}

}  // namespace

ConsoleSession::ConsoleSession(std::istream& standard_input) : standard_input_(standard_input) {
    input_code_page_ = GetConsoleCP();
    output_code_page_ = GetConsoleOutputCP();
    if (input_code_page_ != 0) SetConsoleCP(CP_UTF8);
    if (output_code_page_ != 0) SetConsoleOutputCP(CP_UTF8);
    // What goes to a console is shown in UTF-16; what goes to a file or a
    // pipe stays as written.
    if (const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE); is_console(output)) {
        shown_out_ = std::make_unique<ConsoleText>(output);
        std::cout.flush();
        old_out_ = std::cout.rdbuf(shown_out_.get());
    }
    if (const HANDLE errors = GetStdHandle(STD_ERROR_HANDLE); is_console(errors)) {
        shown_err_ = std::make_unique<ConsoleText>(errors);
        old_err_ = std::cerr.rdbuf(shown_err_.get());
    }
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (!is_console(input)) return;
    reader_ = std::make_unique<TypedLines>(input);
    typed_ = std::make_unique<std::istream>(reader_.get());
    DWORD processes[2];
    own_window_ = GetConsoleProcessList(processes, 2) == 1;
}

ConsoleSession::~ConsoleSession() {
    if (old_out_ != nullptr) {
        std::cout.flush();
        std::cout.rdbuf(old_out_);
    }
    if (old_err_ != nullptr) std::cerr.rdbuf(old_err_);
    if (input_code_page_ != 0) SetConsoleCP(input_code_page_);
    if (output_code_page_ != 0) SetConsoleOutputCP(output_code_page_);
}

void ConsoleSession::finish(std::ostream& out) {
    out.flush();
    if (!own_window_ || !typed_) return;
    out << "\n Press Return to close this window ";
    out.flush();
    typed_->clear();
    std::string line;
    std::getline(*typed_, line);
}

#else

ConsoleSession::ConsoleSession(std::istream& standard_input) : standard_input_(standard_input) {}
ConsoleSession::~ConsoleSession() = default;
void ConsoleSession::finish(std::ostream& out) { out.flush(); }

#endif

}  // namespace orvalt
