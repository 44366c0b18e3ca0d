#include "config/split.h"

namespace kestran::config {

void SplitList(const std::wstring& text, const std::wstring& separator, std::vector<std::wstring>& out) {
    out.clear();
    if (text.empty()) {
        return;
    }
    // find() with an empty needle matches at every position, which would never advance.
    if (separator.empty()) {
        out.push_back(text);
        return;
    }
    size_t position = 0;
    while (position < text.size()) {
        const size_t found = text.find(separator, position);
        if (found == std::wstring::npos) {
            out.push_back(text.substr(position));
            return;
        }
        out.push_back(text.substr(position, found - position));
        position = found + separator.size();
    }
}

void SplitArguments(const std::wstring& text, std::vector<std::wstring>& out) {
    size_t position = 0;
    while (position < text.size()) {
        if (text[position] == L'"') {
            const size_t closing = text.find(L'"', position + 1);
            if (closing == std::wstring::npos) {
                out.push_back(text.substr(position + 1));
                return;
            }
            out.push_back(text.substr(position + 1, closing - position - 1));
            position = closing + 1;
        } else {
            const size_t space = text.find(L' ', position);
            if (space == std::wstring::npos) {
                out.push_back(text.substr(position));
                return;
            }
            out.push_back(text.substr(position, space - position));
            position = space;
        }
        while (position < text.size() && text[position] == L' ') {
            ++position;
        }
    }
}

}  // namespace kestran::config
