// The native (Linux) catalogue: the English table, for the JNI host used in tests.
#include "config/messages.h"
#include "platform/text_encoding.h"
#include "../../resources/messages_en.h"

namespace kestran::config {
namespace {

#define KESTRAN_ENTRY(id) {id, KESTRAN_MSG_EN_##id}
struct Entry {
    unsigned id;
    const char* text;  // UTF-8
};
constexpr Entry kEnglish[] = {
    KESTRAN_ENTRY(202), KESTRAN_ENTRY(203), KESTRAN_ENTRY(204), KESTRAN_ENTRY(205), KESTRAN_ENTRY(206),
    KESTRAN_ENTRY(207), KESTRAN_ENTRY(208), KESTRAN_ENTRY(209), KESTRAN_ENTRY(210), KESTRAN_ENTRY(211),
    KESTRAN_ENTRY(212), KESTRAN_ENTRY(213), KESTRAN_ENTRY(214), KESTRAN_ENTRY(215), KESTRAN_ENTRY(216),
    KESTRAN_ENTRY(217), KESTRAN_ENTRY(218), KESTRAN_ENTRY(219), KESTRAN_ENTRY(220), KESTRAN_ENTRY(221),
    KESTRAN_ENTRY(222), KESTRAN_ENTRY(223), KESTRAN_ENTRY(224), KESTRAN_ENTRY(225), KESTRAN_ENTRY(226),
    KESTRAN_ENTRY(227), KESTRAN_ENTRY(228), KESTRAN_ENTRY(229), KESTRAN_ENTRY(230),
    KESTRAN_ENTRY(240), KESTRAN_ENTRY(241), KESTRAN_ENTRY(242), KESTRAN_ENTRY(243), KESTRAN_ENTRY(244),
    KESTRAN_ENTRY(245), KESTRAN_ENTRY(246), KESTRAN_ENTRY(248), KESTRAN_ENTRY(252),
    KESTRAN_ENTRY(253), KESTRAN_ENTRY(254), KESTRAN_ENTRY(255), KESTRAN_ENTRY(256),
};
#undef KESTRAN_ENTRY

class EnglishCatalog : public MessageCatalog {
public:
    bool LoadMessage(unsigned id, std::wstring& out) const override {
        for (const Entry& entry : kEnglish) {
            if (entry.id == id) {
                out = platform::Utf8ToWide(entry.text);
                return true;
            }
        }
        return false;
    }
};

}  // namespace

const MessageCatalog& DefaultMessageCatalog() {
    static const EnglishCatalog catalog;
    return catalog;
}

// The VM on Linux expects option strings and class names in the platform encoding, UTF-8.
std::string ToAnsi(const std::wstring& text) { return platform::WideToUtf8(text); }
bool LosesCharactersInAnsi(const std::wstring&) { return false; }
bool ToAnsiExact(const std::wstring& text, std::string& out, size_t&) {
    out = platform::WideToUtf8(text);
    return true;
}
std::wstring FromAnsi(const std::string& text) { return platform::Utf8ToWide(text); }

}  // namespace kestran::config
