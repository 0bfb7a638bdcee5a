// The console a program runs in: code pages, typed lines and the window's
// end on Windows; nothing elsewhere.
#include "g_f/console_session.h"

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

}  // namespace

ConsoleSession::ConsoleSession(std::istream& standard_input) : standard_input_(standard_input) {
    input_code_page_ = GetConsoleCP();
    output_code_page_ = GetConsoleOutputCP();
    if (input_code_page_ != 0) SetConsoleCP(CP_UTF8);
    if (output_code_page_ != 0) SetConsoleOutputCP(CP_UTF8);
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    if (input == nullptr || input == INVALID_HANDLE_VALUE || GetConsoleMode(input, &mode) == 0)
        return;
    reader_ = std::make_unique<TypedLines>(input);
    typed_ = std::make_unique<std::istream>(reader_.get());
    DWORD processes[2];
    own_window_ = GetConsoleProcessList(processes, 2) == 1;
}

ConsoleSession::~ConsoleSession() {
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
