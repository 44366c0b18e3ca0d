#include "config/messages.h"

#include <atomic>

#include "config/general_error.h"
#include "platform/decimal_text.h"
#include "platform/error_report.h"
#include "platform/user_notice.h"

namespace kestran::config {

const MessageCatalog& DefaultMessageCatalog();  // per platform

namespace {
std::atomic<const MessageCatalog*> installedCatalog{nullptr};
}

const MessageCatalog& Messages() {
    const MessageCatalog* catalog = installedCatalog.load();
    return catalog ? *catalog : DefaultMessageCatalog();
}

void InstallMessageCatalog(const MessageCatalog* catalog) { installedCatalog.store(catalog); }

std::wstring FormatText(const std::wstring& format, const std::vector<MessageArg>& args) {
    std::wstring out;
    out.reserve(format.size() + 64);
    size_t next = 0;
    for (size_t i = 0; i < format.size(); ++i) {
        wchar_t c = format[i];
        if (c != L'%' || i + 1 >= format.size()) {
            out.push_back(c);
            continue;
        }
        wchar_t conversion = format[i + 1];
        if (conversion == L'%') {
            out.push_back(L'%');
            ++i;
        } else if (conversion == L's' || conversion == L'd') {
            if (next < args.size()) {
                const MessageArg& arg = args[next];
                if (arg.isText) {
                    out += arg.text;
                } else {
                    out += platform::DecimalText(arg.number);
                }
            } else if (conversion == L'd') {
                out.push_back(L'0');
            }
            ++next;
            ++i;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::wstring FormatMessageId(const MessageCatalog& catalog, unsigned id, const std::vector<MessageArg>& args) {
    std::wstring format;
    if (!catalog.LoadMessage(id, format)) throw GeneralError(kResultFail, "message id missing from the message table");
    return FormatText(format, args);
}

std::wstring FormatMessageId(unsigned id, const std::vector<MessageArg>& args) {
    return FormatMessageId(Messages(), id, args);
}

void PrintErrorLine(const std::wstring& text) {
    platform::BeforeUserNotice();
    platform::ReportErrorLine(L"Error: " + text + L" \n");
}

void PrintError(const std::wstring& format, const MessageArg& argument) {
    PrintErrorLine(FormatText(format, {argument}));
}

void PrintPlatformError(unsigned detailId, unsigned long errorCode) {
    std::wstring detail;
    Messages().LoadMessage(detailId, detail);
    PrintPlatformErrorText(detail, errorCode);
}

void PrintPlatformErrorText(const std::wstring& detail, unsigned long errorCode) {
    std::wstring format;
    Messages().LoadMessage(kMsgWindowsError, format);
    // The error code is printed as the signed value the message's %d shows on Windows.
    PrintErrorLine(FormatText(format, {detail, static_cast<long long>(static_cast<int32_t>(errorCode))}));
}

}  // namespace kestran::config
