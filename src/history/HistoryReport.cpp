#include "history/HistoryReport.h"

#include <sstream>
#include <unordered_map>
#include <utility>

#include "common/Csv.h"
#include "history/HistoryJson.h"

namespace lanscope {

namespace {

std::string NetworkText(const HistoryNetwork& network) {
    if (network.dhcp) {
        return "DHCP";
    }
    return "ip " + network.ip + " mask " + network.mask + " gateway " + network.gateway + " dns " +
           network.dns;
}

std::string SecondsText(double seconds) {
    std::ostringstream text;
    text << seconds;
    return text.str();
}

}  // namespace

HistoryJoiner::HistoryJoiner(Emit emit) : m_emit(std::move(emit)) {}

void HistoryJoiner::add(HistoryEvent&& event) {
    const std::size_t index = m_first + m_waiting.size();
    if (event.result == HistoryResult::Started) {
        const bool joinable = !event.id.empty();
        if (joinable) {
            const auto [open, added] = m_open.try_emplace(event.id, index);
            if (!added) {
                // Its outcome now joins the later start: the earlier one stays alone.
                m_waiting[open->second - m_first].open = false;
                open->second = index;
            }
        }
        m_waiting.push_back({{std::move(event), {}}, joinable});
        emitWhole();
        return;
    }
    const auto started = event.id.empty() ? m_open.end() : m_open.find(event.id);
    if (started == m_open.end()) {
        m_waiting.push_back({{std::move(event), {}}, false});
        emitWhole();
        return;
    }
    Waiting& waiting = m_waiting[started->second - m_first];
    waiting.row.started = std::move(waiting.row.event.time);
    waiting.row.event = std::move(event);
    waiting.open = false;
    m_open.erase(started);
    emitWhole();
}

void HistoryJoiner::finish() {
    for (Waiting& waiting : m_waiting) {
        m_emit(std::move(waiting.row));
    }
    m_first += m_waiting.size();
    m_waiting.clear();
    m_open.clear();
}

void HistoryJoiner::emitWhole() {
    while (!m_waiting.empty() && !m_waiting.front().open) {
        m_emit(std::move(m_waiting.front().row));
        m_waiting.pop_front();
        ++m_first;
    }
}

std::vector<HistoryRow> JoinHistory(std::vector<HistoryEvent> events) {
    std::vector<HistoryRow> rows;
    rows.reserve(events.size());
    HistoryJoiner joiner([&rows](HistoryRow&& row) { rows.push_back(std::move(row)); });
    for (HistoryEvent& event : events) {
        joiner.add(std::move(event));
    }
    joiner.finish();
    return rows;
}

namespace {

bool MatchesEvent(const HistoryEvent& event, const HistoryFilter& filter) {
    if (filter.action && event.action != *filter.action) {
        return false;
    }
    if (filter.mac && ParseMac(event.module.mac) != filter.mac) {
        return false;
    }
    if (filter.address) {
        if (ParseIpv4Strict(event.module.address) != filter.address) {
            return false;
        }
    }
    return true;
}

}  // namespace

HistoryKeep HistoryFilterKeep(HistoryFilter filter) {
    return [filter](const HistoryEvent& event) { return MatchesEvent(event, filter); };
}

bool MatchesHistoryFilter(const HistoryRow& row, const HistoryFilter& filter) {
    if (!MatchesEvent(row.event, filter)) {
        return false;
    }
    if (filter.since) {
        const auto time = ParseHistoryTime(row.time());
        if (!time || *time < *filter.since) {
            return false;
        }
    }
    return true;
}

std::vector<HistoryRow> FilterHistory(std::vector<HistoryRow> rows, const HistoryFilter& filter) {
    std::erase_if(rows, [&](const HistoryRow& row) { return !MatchesHistoryFilter(row, filter); });
    return rows;
}

std::string HistoryRowResult(const HistoryRow& row) {
    return row.hasOutcome() ? std::string(HistoryResultName(row.event.result))
                            : std::string("no outcome recorded");
}

std::vector<std::string> HistoryTableHeader() {
    return {"Time", "Module", "Action", "Result", "Image / settings"};
}

std::vector<std::string> HistoryTableRow(const HistoryRow& row) {
    const HistoryEvent& event = row.event;
    std::string module = event.module.mac;
    if (!event.module.address.empty()) {
        module += module.empty() ? event.module.address : " " + event.module.address;
    }
    std::string detail;
    if (event.action == HistoryAction::Update && event.update) {
        detail = HistoryHex32(event.update->checksum);
    } else if (event.action == HistoryAction::Save && event.save) {
        detail = HistoryHex32(event.save->checksum);
    } else if (event.action == HistoryAction::Settings && event.settings) {
        detail = NetworkText(event.settings->after);
        if (event.settings->verified) {
            detail += *event.settings->verified == HistoryVerified::Verified ? ", verified"
                                                                             : ", not verified";
        }
    }
    return {row.time(), module, std::string(HistoryActionName(event.action)), HistoryRowResult(row),
            detail};
}

void AppendHistoryJsonRow(std::string& out, const HistoryRow& row, bool first) {
    out += first ? "\n" : ",\n";
    AppendHistoryEventJson(out, row.event, row.time(),
                           row.hasOutcome() ? &row.event.time : nullptr);
}

std::string HistoryJson(const std::vector<HistoryRow>& rows) {
    std::string text = "[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        AppendHistoryJsonRow(text, rows[i], i == 0);
    }
    return text + "\n]\n";
}

std::string HistoryCsv(const std::vector<HistoryRow>& rows) {
    std::string csv =
        "time,finished,mac,address,name,name2,action,result,message,file,source,target,base,"
        "length,checksum,platform,restart,ack_bytes,seconds,before_dhcp,before_ip,before_mask,"
        "before_gateway,before_dns,after_dhcp,after_ip,after_mask,after_gateway,after_dns,"
        "verified,host,user,program,id\r\n";
    auto network = [](const std::optional<HistorySettings>& settings, bool after) {
        if (!settings) {
            return std::string(",,,,");
        }
        const HistoryNetwork& n = after ? settings->after : settings->before;
        return std::string(n.dhcp ? "true" : "false") + "," + CsvField(n.ip) + "," +
               CsvField(n.mask) + "," + CsvField(n.gateway) + "," + CsvField(n.dns);
    };
    for (const HistoryRow& row : rows) {
        const HistoryEvent& e = row.event;
        std::string file;
        std::string source;
        std::string target;
        std::string base;
        std::string length;
        std::string checksum;
        std::string platform;
        std::string restart;
        std::string ackBytes;
        std::string seconds;
        if (e.update) {
            file = e.update->file;
            base = HistoryHex32(e.update->base);
            length = std::to_string(e.update->length);
            checksum = HistoryHex32(e.update->checksum);
            platform = e.update->platform;
            restart = e.update->restart ? "true" : "false";
            ackBytes = std::to_string(e.update->ackBytes);
            seconds = SecondsText(e.update->seconds);
        } else if (e.save) {
            source = e.save->source;
            target = e.save->target;
            base = HistoryHex32(e.save->base);
            length = std::to_string(e.save->length);
            checksum = HistoryHex32(e.save->checksum);
        }
        std::string verified;
        if (e.settings && e.settings->verified) {
            verified =
                *e.settings->verified == HistoryVerified::Verified ? "verified" : "not verified";
        }
        csv += CsvField(row.time()) + "," + CsvField(row.hasOutcome() ? e.time : "") + "," +
               CsvField(e.module.mac) + "," + CsvField(e.module.address) + "," +
               CsvField(e.module.name) + "," + CsvField(e.module.name2) + "," +
               std::string(HistoryActionName(e.action)) + "," + HistoryRowResult(row) + "," +
               CsvField(e.message) + "," + CsvField(file) + "," + CsvField(source) + "," +
               CsvField(target) + "," + base + "," + length + "," + checksum + "," +
               CsvField(platform) + "," + restart + "," + ackBytes + "," + seconds + "," +
               network(e.settings, false) + "," + network(e.settings, true) + "," + verified + "," +
               CsvField(e.host) + "," + CsvField(e.user) + "," + CsvField(e.program) + "," +
               CsvField(e.id) + "\r\n";
    }
    return csv;
}

}  // namespace lanscope
