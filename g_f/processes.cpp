// Processes and the machine's name: the system's own calls on each platform.
#include "g_f/processes.h"

#include <cerrno>

#ifdef _WIN32
#include <windows.h>
#else
#include <signal.h>
#include <unistd.h>
#endif

namespace orvalt {

unsigned long process_number() {
#ifdef _WIN32
    return GetCurrentProcessId();
#else
    return static_cast<unsigned long>(::getpid());
#endif
}

bool process_exists(unsigned long number) {
#ifdef _WIN32
    const HANDLE h = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, static_cast<DWORD>(number));
    if (h == nullptr) return GetLastError() != ERROR_INVALID_PARAMETER;
    DWORD code = 0;
    const bool running = GetExitCodeProcess(h, &code) == 0 || code == STILL_ACTIVE;
    CloseHandle(h);
    return running;
#else
    if (number == 0 || number > 0x7fffffffUL) return true;
    return ::kill(static_cast<pid_t>(number), 0) == 0 || errno != ESRCH;
#endif
}

const std::string& machine_name() {
    static const std::string name = [] {
        char buf[256] = {};
#ifdef _WIN32
        DWORD n = sizeof buf;
        if (GetComputerNameA(buf, &n) == 0) buf[0] = '\0';
#else
        if (::gethostname(buf, sizeof buf - 1) != 0) buf[0] = '\0';
#endif
        std::string s(buf);
        for (char& c : s) {
            const bool kept = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                              (c >= '0' && c <= '9') || c == '.' || c == '-';
            if (!kept) c = '_';
        }
        return s.empty() ? std::string("host") : s;
    }();
    return name;
}

}  // namespace orvalt
