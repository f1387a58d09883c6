#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/Ipv4.h"
#include "discovery/Datagrams.h"

namespace lanscope {

// Told about every change so a view can follow the list row by row.
class ModuleListListener {
  public:
    virtual ~ModuleListListener() = default;
    virtual void lineAboutToBeInserted(std::size_t /*row*/) {}
    virtual void lineInserted(std::size_t /*row*/) {}
    virtual void lineAboutToBeRemoved(std::size_t /*row*/) {}
    virtual void lineRemoved(std::size_t /*row*/) {}
    virtual void selectionChanged() {}
};

// The modules found so far: lines kept sorted by their text (letter case
// ignored, so lines order by hardware address), each owning one copy of its
// module's record, and at most one selected line.
class ModuleList {
  public:
    ModuleList() = default;
    ModuleList(const ModuleList&) = delete;
    ModuleList& operator=(const ModuleList&) = delete;

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string& text(std::size_t row) const { return m_lines.at(row)->text; }
    ModuleRecord& record(std::size_t row) { return *m_lines.at(row)->record; }
    const ModuleRecord& record(std::size_t row) const { return *m_lines.at(row)->record; }

    std::optional<std::size_t> selection() const { return m_selection; }
    void setSelection(std::optional<std::size_t> row);
    // The selected line's record, or null when nothing is selected.
    ModuleRecord* selectedRecord();
    // The selected line's full text, empty when nothing is selected.
    std::string selectedText() const;

    // The first line whose text begins with the prefix, letter case ignored.
    std::optional<std::size_t> findPrefix(std::string_view prefix) const;

    // Places the line in sorted order and returns its row; the selection stays
    // on the line it was on.
    std::size_t insert(std::string text, std::unique_ptr<ModuleRecord> record);
    void remove(std::size_t row);
    void clear();

    // Keeps the lines that were repeated since the previous sweep (their count
    // starts again from 0) and removes the others. Returns how many went.
    std::size_t sweep();

    void setListener(ModuleListListener* listener) { m_listener = listener; }

  private:
    struct Line {
        std::string text;
        std::unique_ptr<ModuleRecord> record;
    };

    // Lines sit behind pointers so that an insertion into a long list moves
    // pointers, not strings.
    std::vector<std::unique_ptr<Line>> m_lines;
    std::optional<std::size_t> m_selection;
    ModuleListListener* m_listener = nullptr;
};

enum class AddReplyOutcome { Ignored, Added, Repeated };

// A datagram that reached the discovery socket: a new module line with its own
// record (selecting the first line when none is selected), or one more repeat
// of the line it matches. Anything that is not a module reply is ignored.
AddReplyOutcome AddReply(ModuleList& list, std::span<const std::uint8_t> datagram, Ipv4 sender);

// The address column of the selected line, or "0.0.0.1" when none is selected.
std::string SelectedAddressText(const ModuleList& list);

inline constexpr const char* kNoAddressText = "0.0.0.1";

}  // namespace lanscope
