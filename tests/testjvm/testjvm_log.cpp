// The test runtime's log, its text conversions and the parsing of its script values.
#include "testjvm.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>

namespace testjvm {
namespace {

struct LogState {
    std::mutex lock;
    HANDLE file = INVALID_HANDLE_VALUE;
    bool decided = false;  // OpenLog has run: records go to the file or nowhere
    std::vector<std::string> early;
};

LogState& Log() {
    static LogState* state = new LogState();  // never destroyed: threads may log during exit
    return *state;
}

void WriteAll(HANDLE handle, const std::string& bytes) {
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!WriteFile(handle, bytes.data() + done, chunk, &written, nullptr) || written == 0) return;
        done += written;
    }
}

bool ParseInteger(const std::string& text, long long low, long long high, long long& out) {
    if (text.empty()) return false;
    errno = 0;
    char* end = nullptr;
    const long long value = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < low || value > high) return false;
    out = value;
    return true;
}

bool ApplyMainToken(Script& script, const std::string& token, std::string& error) {
    long long number = 0;
    if (token == "return") {
        script.steps.push_back({StepKind::Return, std::string(), 0});
    } else if (token == "throw") {
        script.steps.push_back({StepKind::Throw, std::string(), 0});
    } else if (token == "nomain") {
        script.noMain = true;
    } else if (token == "missing") {
        script.missing = true;
    } else if (token == "stop") {
        script.hasStop = true;
        script.steps.push_back({StepKind::WaitStop, std::string(), 0});
    } else if (token == "stuckstop") {
        script.hasStop = script.stopHangs = true;
        script.steps.push_back({StepKind::WaitStop, std::string(), 0});
    } else if (token == "idlestop") {
        script.hasStop = true;
    } else if (token == "vmlog") {
        script.vmLog = true;
    } else if (token.rfind("vmlines:", 0) == 0 && ParseInteger(token.substr(8), 0, 100000000, number)) {
        script.vmLines = number;
    } else if (token.rfind("initexit:", 0) == 0 && ParseInteger(token.substr(9), INT32_MIN, INT32_MAX, number)) {
        script.initExits = true;
        script.initExitCode = static_cast<jint>(number);
    } else if (token.rfind("hook:", 0) == 0 && ParseInteger(token.substr(5), 0, 3600000, number)) {
        script.shutdownHookMs = number;
    } else if (token == "secondary:void") {
        script.secondaryVoid = true;
    } else if (token == "secondary:int:echo") {
        script.secondaryInt = script.secondaryEcho = true;
    } else if (token == "secondary:int:throw") {
        script.secondaryInt = script.secondaryThrows = true;
    } else if (token.rfind("slowdestroy:", 0) == 0 && ParseInteger(token.substr(12), 0, 600000, number)) {
        script.destroyDelayMs = number;
    } else if (token.rfind("slowsecondary:", 0) == 0 && ParseInteger(token.substr(14), 0, 600000, number)) {
        script.secondarySlowMs = number;
    } else if (token.rfind("slowcreate:", 0) == 0 && ParseInteger(token.substr(11), 0, 600000, number)) {
        script.createDelayMs = number;
    } else if (token.rfind("secondary:int:", 0) == 0 && ParseInteger(token.substr(14), INT32_MIN, INT32_MAX, number)) {
        script.secondaryInt = true;
        script.secondaryValue = static_cast<jint>(number);
    } else if (token.rfind("exit:", 0) == 0 && ParseInteger(token.substr(5), INT32_MIN, INT32_MAX, number)) {
        script.steps.push_back({StepKind::Exit, std::string(), number});
    } else if (token.rfind("window:", 0) == 0 && ParseInteger(token.substr(7), 0, 600000, number)) {
        script.steps.push_back({StepKind::Window, std::string(), number});
    } else if (token.rfind("thread:", 0) == 0 && ParseInteger(token.substr(7), 0, 3600000, number)) {
        script.steps.push_back({StepKind::Thread, std::string(), number});
    } else if (token.rfind("vmprint:", 0) == 0) {
        script.steps.push_back({StepKind::VmPrint, token.substr(8), 0});
    } else if (token.rfind("print:", 0) == 0) {
        script.steps.push_back({StepKind::Print, token.substr(6), 0});
    } else {
        error = "unknown testjvm.main behaviour '" + token + "'";
        return false;
    }
    return true;
}

}  // namespace

void WriteStdHandle(DWORD which, const std::string& bytes) {
    const HANDLE handle = GetStdHandle(which);
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE) WriteAll(handle, bytes);
}

void LogLine(const std::string& record) {
    LogState& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    if (log.file != INVALID_HANDLE_VALUE) {
        WriteAll(log.file, record + "\n");
    } else if (!log.decided && log.early.size() < 1000) {
        log.early.push_back(record);
    }
}

void OpenLog(const std::wstring& path) {
    LogState& log = Log();
    std::lock_guard<std::mutex> guard(log.lock);
    log.decided = true;
    if (path.empty() || log.file != INVALID_HANDLE_VALUE) return;
    // Shared for reading and writing so a test can read the log while the process still runs.
    log.file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (log.file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        WriteStdHandle(STD_ERROR_HANDLE, "testjvm: cannot open the log file (error " + std::to_string(error) + ")\r\n");
        return;
    }
    for (const std::string& record : log.early) WriteAll(log.file, record + "\n");
    log.early.clear();
}

void Fatal(const std::string& what) {
    LogLine("fatal " + what);
    WriteStdHandle(STD_ERROR_HANDLE, "testjvm: fatal: " + what + "\r\n");
    ExitProcess(kFatalExitCode);
}

std::string Utf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        uint32_t c = text[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate has no UTF-8 form
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string Utf16FromAnsi(const std::string& bytes) {
    if (bytes.empty()) return std::u16string();
    const int size = static_cast<int>(bytes.size());
    const int units = MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, nullptr, 0);
    if (units <= 0) return std::u16string();
    std::wstring wide(static_cast<size_t>(units), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), size, &wide[0], units);
    return std::u16string(wide.begin(), wide.end());
}

std::string AnsiFromUtf16(const std::u16string& text) {
    if (text.empty()) return std::string();
    const std::wstring wide(text.begin(), text.end());
    const int size = static_cast<int>(wide.size());
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) return std::string();
    std::string out(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.data(), size, &out[0], bytes, nullptr, nullptr);
    return out;
}

std::u16string Utf16FromModifiedUtf8(const char* bytes) {
    std::u16string out;
    const auto* p = reinterpret_cast<const unsigned char*>(bytes);
    while (*p) {
        if (p[0] < 0x80) {
            out += static_cast<char16_t>(*p++);
        } else if ((p[0] & 0xE0) == 0xC0 && (p[1] & 0xC0) == 0x80) {
            out += static_cast<char16_t>(((p[0] & 0x1F) << 6) | (p[1] & 0x3F));
            p += 2;
        } else if ((p[0] & 0xF0) == 0xE0 && (p[1] & 0xC0) == 0x80 && (p[2] & 0xC0) == 0x80) {
            out += static_cast<char16_t>(((p[0] & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F));
            p += 3;
        } else {
            out += u'\xFFFD';
            ++p;
        }
    }
    return out;
}

std::string ModifiedUtf8FromUtf16(const std::u16string& text) {
    std::string out;
    for (const char16_t unit : text) {
        const uint32_t c = unit;
        if (c != 0 && c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {  // U+0000 included: the JVM writes it as C0 80
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::string HexUnits(const std::u16string& text) {
    static const char digits[] = "0123456789abcdef";
    std::string out;
    for (const char16_t unit : text) {
        for (int shift = 12; shift >= 0; shift -= 4) out += digits[(unit >> shift) & 0xF];
    }
    return out;
}

std::string Dotted(std::string name) {
    for (char& c : name) {
        if (c == '/') c = '.';
    }
    return name;
}

bool ApplyScriptValue(Script& script, const std::string& key, const std::string& value, std::string& error) {
    long long number = 0;
    if (key == "log") {
        const std::u16string path = Utf16FromAnsi(value);
        script.logPath.assign(path.begin(), path.end());
    } else if (key == "create") {
        if (!ParseInteger(value, INT32_MIN, INT32_MAX, number)) {
            error = "testjvm.create needs a JNI result code, not '" + value + "'";
            return false;
        }
        script.createGiven = true;
        script.createResult = static_cast<jint>(number);
    } else if (key == "main") {
        size_t start = 0;
        while (true) {
            const size_t comma = value.find(',', start);
            if (!ApplyMainToken(script, value.substr(start, comma - start), error)) return false;
            if (comma == std::string::npos) break;
            start = comma + 1;
        }
    } else {
        error = "unknown script key testjvm." + key;
        return false;
    }
    return true;
}

}  // namespace testjvm
