#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "common/ChunkedVector.h"
#include "common/Ipv4.h"
#include "discovery/Datagrams.h"
#include "discovery/ListLine.h"

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
// module's record and the parts its text was joined from, and at most one
// selected line.
class ModuleList {
  public:
    ModuleList() = default;
    ModuleList(const ModuleList&) = delete;
    ModuleList& operator=(const ModuleList&) = delete;

    std::size_t size() const { return m_lines.size(); }
    bool empty() const { return m_lines.empty(); }
    const std::string& text(std::size_t row) const { return m_lines.at(row)->text; }
    // The line's parts as the reply brought them; read these rather than
    // cutting the text apart, which a TAB inside a name would mislead.
    const ListFields& fields(std::size_t row) const { return m_lines.at(row)->fields; }
    ModuleRecord& record(std::size_t row) { return *m_lines.at(row)->record; }
    const ModuleRecord& record(std::size_t row) const { return *m_lines.at(row)->record; }

    std::optional<std::size_t> selection() const { return m_selection; }
    // A line chosen (by the user or by the list) also ends a wait for the
    // swept selection's module: that choice stands.
    void setSelection(std::optional<std::size_t> row);
    // The selected line's record, or null when nothing is selected.
    ModuleRecord* selectedRecord();
    // The selected line's full text, empty when nothing is selected.
    std::string selectedText() const;

    // The line that owns this very record (not an equal copy), if any.
    std::optional<std::size_t> rowOf(const ModuleRecord& record) const;

    // The first line whose text begins with the prefix, letter case ignored.
    std::optional<std::size_t> findPrefix(std::string_view prefix) const;

    // Places the line in sorted order and returns its row; the selection stays
    // on the line it was on. The text is the fields joined by TABs.
    std::size_t insert(ListFields fields, std::unique_ptr<ModuleRecord> record);
    // A line known only by its text: its fields are read back from it.
    std::size_t insert(std::string text, std::unique_ptr<ModuleRecord> record);
    void remove(std::size_t row);
    void clear();

    // Keeps the lines that were repeated since the previous sweep (their count
    // starts again from 0) and removes the others. Returns how many went.
    // When the selected line goes, the list waits for its module: the next
    // line of that hardware address that answers is selected again, and no
    // other module's line takes the selection meanwhile.
    std::size_t sweep();

    // Whether the selection waits for the swept line's module to answer.
    bool awaitingSelection() const { return m_awaited.has_value(); }
    // The line's module answered (a new line or a repeat): it gets the
    // selection back if the list waits for it.
    void lineAnswered(std::size_t row);
    // The module did not answer in time: the wait ends, and with nothing
    // selected the first line is, as for a list that gets its first line.
    void endSelectionWait();

    void setListener(ModuleListListener* listener) { m_listener = listener; }

  private:
    struct Line {
        std::string text;
        ListFields fields;
        std::unique_ptr<ModuleRecord> record;
    };

    std::size_t insertLine(std::unique_ptr<Line> line);

    // Lines sit behind pointers, in chunks, so that an insertion into a /16's
    // worth of lines moves a few hundred pointers, not every line after it.
    ChunkedVector<std::unique_ptr<Line>> m_lines;
    std::optional<std::size_t> m_selection;
    // The hardware address of the selected line that a sweep removed, until
    // that module answers or the wait ends.
    std::optional<MacAddress> m_awaited;
    ModuleListListener* m_listener = nullptr;
};

enum class AddReplyOutcome { Ignored, Added, Repeated };

// A datagram that reached the discovery socket: a new module line with its own
// record (selecting the first line when none is selected and the list waits
// for no module), or one more repeat of the line it matches. Either way the
// line's module answered. Anything that is not a module reply is ignored.
AddReplyOutcome AddReply(ModuleList& list, std::span<const std::uint8_t> datagram, Ipv4 sender);

// The address column of the selected line, or "0.0.0.1" when none is selected.
std::string SelectedAddressText(const ModuleList& list);

inline constexpr const char* kNoAddressText = "0.0.0.1";

}  // namespace lanscope
