#include "runtime/vm_parameters.h"

#include <utility>

namespace kestran::runtime {

namespace {

constexpr auto npos = std::wstring::npos;

// The first double quote in [from, limit); npos when there is none. Bounding the search by
// the next space keeps splitting linear: a quote far behind the token cannot change its end.
size_t QuoteBefore(const std::wstring& text, size_t from, size_t limit) {
    size_t end = limit == npos ? text.size() : limit;
    for (size_t i = from; i < end; ++i) {
        if (text[i] == L'"') return i;
    }
    return npos;
}

// Where the token that begins at `start` ends: at a space outside quotes, or the text's end.
size_t TokenEnd(const std::wstring& text, size_t start) {
    size_t sp = text.find(L' ', start);
    size_t q = QuoteBefore(text, start, sp);
    while (q != npos) {
        size_t c = text.find(L'"', q + 1);
        if (c == npos) break;
        if (c + 1 < text.size() && text[c + 1] == L'"') ++c;
        // The first space after the closing quote is still the one known, unless the quotes
        // enclosed it; searching again each time would make a long quoted run quadratic.
        if (sp != npos && sp <= c) sp = text.find(L' ', c + 1);
        q = QuoteBefore(text, c + 1, sp);
    }
    return sp == npos ? text.size() : sp;
}

}  // namespace

std::vector<std::wstring> SplitVmParameters(const std::wstring& text) {
    std::vector<std::wstring> tokens;
    size_t pos = text.find_first_not_of(L' ');
    while (pos != npos) {
        size_t end = TokenEnd(text, pos);
        tokens.push_back(text.substr(pos, end - pos));
        pos = text.find_first_not_of(L' ', end);
    }
    return tokens;
}

void StripQuotes(std::wstring& token) {
    // One pass into a new string: replacing in place is quadratic on a long run of quotes.
    size_t p = token.find(L'"');
    if (p == npos) return;
    std::wstring out = token.substr(0, p);
    size_t rest = p;  // first character of `token` not yet copied
    while (p != npos && p + 1 < token.size()) {
        size_t c = token.find(L'"', p + 1);
        if (c == npos) break;
        if (c + 1 < token.size() && token[c + 1] == L'"') ++c;
        out.append(token, p + 1, c - p - 1);
        rest = c + 1;
        p = token.find(L'"', rest);
        out.append(token, rest, (p == npos ? token.size() : p) - rest);
        rest = p == npos ? token.size() : p;
    }
    out.append(token, rest, npos);
    token = std::move(out);
}

void AddVmParameter(std::wstring token, const MemoryStatus& memory, uint64_t& threadStackSize,
                    std::vector<std::wstring>& options) {
    StripQuotes(token);
    if (IsMemoryPercentOption(token)) token = ResolveMemoryPercent(token, memory);
    // The launcher creates the Java thread itself, so it must honour -Xss; the option also
    // stays in the list for the threads the VM creates.
    if (token.rfind(L"-Xss", 0) == 0) threadStackSize = ParseStackSize(token);
    options.push_back(std::move(token));
}

}  // namespace kestran::runtime
