// The text a launch keeps for its failure report (the box of the windowed executable, the event
// of a service): its first lines and, within a bound, its last ones, so that a VM printing
// without end neither grows the process nor buries the line that says what went wrong.
#pragma once

#include <cstddef>
#include <deque>
#include <string>
#include <vector>

namespace kestran::platform {

class KeptText {
public:
    // Keeps `headLines` first lines for good, and of the rest the last lines that fit in
    // `tailLimit` characters (at least the newest line, cut to that size).
    explicit KeptText(size_t headLines = 16, size_t tailLimit = 64 * 1024);

    // Text in any pieces; a piece may end in the middle of a line.
    void Append(const std::wstring& text);
    // Ends an unfinished line, so that what comes next starts a line of its own.
    void EndLine();
    bool Empty() const { return head_.empty() && tail_.empty() && open_.empty(); }
    void Clear();

    // Every kept line, "\n" after each, with "(N more lines)" where lines were dropped.
    std::wstring All() const;
    // At most `first` + `last` lines and the marker between them, each cut to `width` characters.
    std::wstring Summary(size_t first, size_t last, size_t width) const;

private:
    std::vector<std::wstring> Lines() const;
    void AddLine(std::wstring line);

    size_t headLines_;
    size_t tailLimit_;
    std::vector<std::wstring> head_;
    std::deque<std::wstring> tail_;
    size_t tailSize_ = 0;
    size_t dropped_ = 0;    // lines dropped between the head and the tail
    std::wstring open_;     // the unfinished last line
};

// A failure report of at most this many first and last lines (and the marker between them),
// each cut to the width, fits on a screen.
constexpr size_t kReportFirstLines = 12;
constexpr size_t kReportLastLines = 12;
constexpr size_t kReportLineWidth = 200;

}  // namespace kestran::platform
