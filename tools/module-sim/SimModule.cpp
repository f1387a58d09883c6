#include "SimModule.h"

#include <algorithm>

namespace lanscope::sim {

namespace {

bool HasMagic(std::span<const std::uint8_t> datagram, const std::array<std::uint8_t, 4>& magic) {
    return datagram.size() >= 5 && std::equal(magic.begin(), magic.end(), datagram.begin());
}

}  // namespace

SimModule::SimModule(ModuleIdentity identity) : m_identity(std::move(identity)) {
    m_record.setLength(kRecordSize);
    m_record.setAddress(m_identity.address);
    m_record.setMask(m_identity.mask);
    m_record.setGateway(m_identity.gateway);
    m_record.setDns(m_identity.dns);
    m_record.setMac(m_identity.mac);
    FillOpaqueFields(m_record);
}

void SimModule::FillOpaqueFields(ModuleRecord& record) {
    // A recognisable pattern in every byte the workstation must leave alone.
    for (std::size_t i = 16; i < ModuleRecord::kMacOffset; ++i) {
        record.bytes[i] = static_cast<std::uint8_t>(0xA0 + i % 16);
    }
    record.bytes[113] = 0x5A;
    for (std::size_t i = 122; i < kRecordSize; ++i) {
        record.bytes[i] = static_cast<std::uint8_t>(0xC0 + i % 16);
    }
}

std::vector<std::uint8_t> SimModule::buildReply() const {
    std::vector<std::uint8_t> reply(kModuleMagic.begin(), kModuleMagic.end());
    reply.push_back('A');
    reply.insert(reply.end(), m_record.bytes.begin(), m_record.bytes.end());
    // The repeat counter is the workstation's business; a module sends zeros.
    std::fill_n(reply.begin() + 5 + ModuleRecord::kRepeatOffset, 4, std::uint8_t{0});
    for (const std::string* name : {&m_identity.name, &m_identity.name2}) {
        reply.insert(reply.end(), name->begin(), name->end());
        reply.push_back(0);
    }
    if (reply.size() > kMaxReplySize) {
        reply.resize(kMaxReplySize);
    }
    return reply;
}

Reaction SimModule::handle(std::span<const std::uint8_t> datagram) {
    Reaction reaction;
    if (!HasMagic(datagram, kWorkstationMagic)) {
        return reaction;  // other modules' replies, or noise
    }
    switch (datagram[4]) {
        case kTypeDiscoveryRequest:
            reaction.reply = buildReply();
            reaction.log = "discovery request: replying";
            return reaction;
        case kTypeConfigurationWrite:
            return applyConfiguration(datagram);
        default:
            reaction.log = "unknown request type " + std::to_string(datagram[4]) + ": ignored";
            return reaction;
    }
}

Reaction SimModule::applyConfiguration(std::span<const std::uint8_t> datagram) {
    Reaction reaction;
    if (datagram.size() < kReplyFixedSize) {
        reaction.log = "configuration write of " + std::to_string(datagram.size()) +
                       " bytes: too short, ignored";
        return reaction;
    }
    ModuleRecord written;
    std::copy_n(datagram.begin() + 5, kRecordSize, written.bytes.begin());
    if (written.mac() != m_identity.mac) {
        reaction.log =
            "configuration write for " + FormatMacBracketed(written.mac()) + ": not mine";
        return reaction;
    }
    NetworkChange change;
    change.oldAddress = m_record.address();
    change.newAddress = written.address();
    change.newMask = written.mask();
    m_record.setAddress(written.address());
    m_record.setMask(written.mask());
    m_record.setGateway(written.gateway());
    m_record.setDns(written.dns());
    m_identity.address = written.address();
    m_identity.mask = written.mask();
    m_identity.gateway = written.gateway();
    m_identity.dns = written.dns();

    ModuleRecord expectedOpaque = written;
    FillOpaqueFields(expectedOpaque);
    const bool opaqueKept = expectedOpaque == written;
    reaction.log = "configuration write: address " +
                   (written.address() == 0 ? std::string("DHCP") : FormatIpv4(written.address())) +
                   " mask " + FormatIpv4(written.mask()) + " gateway " +
                   FormatIpv4(written.gateway()) + " DNS " + FormatIpv4(written.dns()) +
                   (opaqueKept ? "" : " (uninterpreted bytes were changed)");
    reaction.change = change;
    return reaction;
}

}  // namespace lanscope::sim
