#include "discovery/ModuleList.h"

#include <algorithm>

namespace lanscope {

namespace {

unsigned char Fold(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u + ('a' - 'A')) : u;
}

// Compares texts with ASCII letter case ignored.
int CompareFolded(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const auto x = Fold(a[i]);
        const auto y = Fold(b[i]);
        if (x != y) {
            return x < y ? -1 : 1;
        }
    }
    if (a.size() == b.size()) {
        return 0;
    }
    return a.size() < b.size() ? -1 : 1;
}

bool StartsWithFolded(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           CompareFolded(text.substr(0, prefix.size()), prefix) == 0;
}

// Sort order of the lines: letter case ignored first, so that lines of one
// module stay together whatever the case of their hexadecimal digits; exact
// bytes only break ties.
bool LineLess(std::string_view a, std::string_view b) {
    const int folded = CompareFolded(a, b);
    return folded != 0 ? folded < 0 : a < b;
}

}  // namespace

void ModuleList::setSelection(std::optional<std::size_t> row) {
    if (row && *row >= m_lines.size()) {
        row.reset();
    }
    if (row) {
        m_awaited.reset();
    }
    if (row == m_selection) {
        return;
    }
    m_selection = row;
    if (m_listener) {
        m_listener->selectionChanged();
    }
}

ModuleRecord* ModuleList::selectedRecord() {
    return m_selection ? m_lines[*m_selection]->record.get() : nullptr;
}

std::string ModuleList::selectedText() const {
    return m_selection ? m_lines[*m_selection]->text : std::string();
}

std::optional<std::size_t> ModuleList::rowOf(const ModuleRecord& record) const {
    for (std::size_t row = 0; row < m_lines.size(); ++row) {
        if (m_lines[row]->record.get() == &record) {
            return row;
        }
    }
    return std::nullopt;
}

std::optional<std::size_t> ModuleList::findPrefix(std::string_view prefix) const {
    // Every line that begins with the prefix (case ignored) sorts at or after
    // the prefix itself and before any line that does not, so the first
    // candidate is where the prefix would be inserted.
    const std::size_t row = m_lines.partitionPoint(
        [&](const std::unique_ptr<Line>& line) { return CompareFolded(line->text, prefix) < 0; });
    if (row < m_lines.size() && StartsWithFolded(m_lines[row]->text, prefix)) {
        return row;
    }
    return std::nullopt;
}

std::size_t ModuleList::insert(ListFields fields, std::unique_ptr<ModuleRecord> record) {
    std::string text = JoinListLine(fields);
    return insertLine(
        std::make_unique<Line>(Line{std::move(text), std::move(fields), std::move(record)}));
}

std::size_t ModuleList::insert(std::string text, std::unique_ptr<ModuleRecord> record) {
    ListFields fields = SplitListLine(text);
    return insertLine(
        std::make_unique<Line>(Line{std::move(text), std::move(fields), std::move(record)}));
}

std::size_t ModuleList::insertLine(std::unique_ptr<Line> line) {
    // After every line it does not sort before: equal lines keep their order
    // of arrival.
    const std::size_t row = m_lines.partitionPoint(
        [&](const std::unique_ptr<Line>& other) { return !LineLess(line->text, other->text); });
    if (m_listener) {
        m_listener->lineAboutToBeInserted(row);
    }
    m_lines.insert(row, std::move(line));
    const bool selectionMoved = m_selection && *m_selection >= row;
    if (selectionMoved) {
        ++*m_selection;
    }
    if (m_listener) {
        m_listener->lineInserted(row);
        if (selectionMoved) {
            m_listener->selectionChanged();
        }
    }
    return row;
}

void ModuleList::remove(std::size_t row) {
    if (row >= m_lines.size()) {
        return;
    }
    if (m_listener) {
        m_listener->lineAboutToBeRemoved(row);
    }
    m_lines.erase(row);
    bool selectionChanged = false;
    if (m_selection && *m_selection == row) {
        m_selection.reset();
        selectionChanged = true;
    } else if (m_selection && *m_selection > row) {
        --*m_selection;
        selectionChanged = true;
    }
    if (m_listener) {
        m_listener->lineRemoved(row);
        if (selectionChanged) {
            m_listener->selectionChanged();
        }
    }
}

void ModuleList::clear() {
    m_awaited.reset();
    while (!m_lines.empty()) {
        remove(m_lines.size() - 1);
    }
}

std::size_t ModuleList::sweep() {
    // The user chose a module, not a row: Configuration and Update Software
    // must still act on that module once it answers the new search.
    const std::optional<MacAddress> selectedMac =
        m_selection ? std::optional<MacAddress>(m_lines[*m_selection]->record->mac())
                    : std::nullopt;
    std::size_t removed = 0;
    for (std::size_t row = 0; row < m_lines.size();) {
        ModuleRecord& record = *m_lines[row]->record;
        if (record.repeatCount() != 0) {
            record.setRepeatCount(0);
            ++row;
        } else {
            remove(row);
            ++removed;
        }
    }
    if (selectedMac && !m_selection) {
        m_awaited = selectedMac;
    }
    return removed;
}

void ModuleList::lineAnswered(std::size_t row) {
    if (m_awaited && row < m_lines.size() && m_lines[row]->record->mac() == *m_awaited) {
        setSelection(row);
    }
}

void ModuleList::endSelectionWait() {
    if (!m_awaited) {
        return;
    }
    m_awaited.reset();
    if (!m_selection && !m_lines.empty()) {
        setSelection(0);
    }
}

AddReplyOutcome AddReply(ModuleList& list, std::span<const std::uint8_t> datagram, Ipv4 sender) {
    auto reply = DecodeReply(datagram, sender);
    if (!reply) {
        return AddReplyOutcome::Ignored;
    }
    if (const auto row = list.findPrefix(reply->line)) {
        ModuleRecord& record = list.record(*row);
        // Saturates rather than wrapping to 0, which would read as "not
        // repeated" and let the next sweep remove a module that is answering.
        if (record.repeatCount() != UINT32_MAX) {
            record.setRepeatCount(record.repeatCount() + 1);
        }
        list.lineAnswered(*row);
        return AddReplyOutcome::Repeated;
    }
    auto record = std::make_unique<ModuleRecord>(reply->record);
    record->setRepeatCount(0);
    const std::size_t row = list.insert(ListFields(std::move(*reply)), std::move(record));
    list.lineAnswered(row);
    if (!list.selection() && !list.awaitingSelection()) {
        list.setSelection(0);
    }
    return AddReplyOutcome::Added;
}

std::string SelectedAddressText(const ModuleList& list) {
    if (!list.selection()) {
        return kNoAddressText;
    }
    return list.fields(*list.selection()).address;
}

}  // namespace lanscope
