#include "platform/kept_text.h"

#include <algorithm>

#include "platform/decimal_text.h"

namespace kestran::platform {
namespace {

constexpr wchar_t kEllipsis = L'\x2026';

void StripCarriageReturn(std::wstring& line) {
    if (!line.empty() && line.back() == L'\r') line.pop_back();
}

// "(N more lines)", the marker for lines left out.
std::wstring MoreLinesMarker(size_t count) { return L"(" + DecimalText(count) + L" more lines)"; }

}  // namespace

KeptText::KeptText(size_t headLines, size_t tailLimit) : headLines_(headLines), tailLimit_(tailLimit) {}

void KeptText::Append(const std::wstring& text) {
    size_t start = 0;
    for (size_t end = text.find(L'\n'); end != std::wstring::npos; end = text.find(L'\n', start)) {
        open_.append(text, start, end - start);
        StripCarriageReturn(open_);
        AddLine(std::move(open_));
        open_.clear();
        start = end + 1;
    }
    open_.append(text, start, std::wstring::npos);
    // A line without end is bounded like the others: its beginning is kept.
    if (open_.size() > tailLimit_) open_.erase(tailLimit_);
}

void KeptText::EndLine() {
    if (open_.empty()) return;
    StripCarriageReturn(open_);
    AddLine(std::move(open_));
    open_.clear();
}

void KeptText::Clear() {
    head_.clear();
    tail_.clear();
    tailSize_ = 0;
    dropped_ = 0;
    open_.clear();
}

void KeptText::AddLine(std::wstring line) {
    if (line.size() > tailLimit_) line.erase(tailLimit_);
    if (head_.size() < headLines_) {
        head_.push_back(std::move(line));
        return;
    }
    tailSize_ += line.size() + 1;
    tail_.push_back(std::move(line));
    while (tailSize_ > tailLimit_ && tail_.size() > 1) {
        tailSize_ -= tail_.front().size() + 1;
        tail_.pop_front();
        ++dropped_;
    }
}

std::vector<std::wstring> KeptText::Lines() const {
    std::vector<std::wstring> lines(head_.begin(), head_.end());
    if (dropped_ > 0) lines.push_back(MoreLinesMarker(dropped_));
    lines.insert(lines.end(), tail_.begin(), tail_.end());
    if (!open_.empty()) lines.push_back(open_);
    return lines;
}

std::wstring KeptText::All() const {
    std::wstring text;
    for (const std::wstring& line : Lines()) text += line + L"\n";
    return text;
}

std::wstring KeptText::Summary(size_t first, size_t last, size_t width) const {
    // Counted without the marker of dropped lines: it stands for lines of its own.
    std::vector<std::wstring> lines(head_.begin(), head_.end());
    lines.insert(lines.end(), tail_.begin(), tail_.end());
    if (!open_.empty()) lines.push_back(open_);
    const size_t total = lines.size() + dropped_;
    std::wstring text;
    auto add = [&](std::wstring line) {
        if (line.size() > width) {
            line.erase(width > 0 ? width - 1 : 0);
            line += kEllipsis;
        }
        text += line + L"\n";
    };
    if (total <= first + last) {
        for (const std::wstring& line : lines) add(line);
        return text;
    }
    // The first lines and the last come from what is kept; the head holds at least as many
    // lines as a summary shows first, the tail at least the newest.
    const size_t shownFirst = std::min(first, lines.size());
    const size_t shownLast = std::min(last, lines.size() - shownFirst);
    for (size_t i = 0; i < shownFirst; ++i) add(lines[i]);
    text += MoreLinesMarker(total - shownFirst - shownLast) + L"\n";
    for (size_t i = lines.size() - shownLast; i < lines.size(); ++i) add(lines[i]);
    return text;
}

}  // namespace kestran::platform
