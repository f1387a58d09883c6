#include "settings/IniSettingsBackend.h"

#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace lanscope {

namespace {

QString Key(const std::string& name) {
    return QStringLiteral("Settings/") + QString::fromStdString(name);
}

}  // namespace

IniSettingsBackend::IniSettingsBackend() : m_path(DefaultPath()) {}

QString IniSettingsBackend::DefaultPath() {
    const QByteArray overridden = qgetenv("LANSCOPE_SETTINGS");
    if (!overridden.isEmpty()) {
        return QString::fromLocal8Bit(overridden);
    }
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/lanscope/settings.ini");
}

std::uint32_t IniSettingsBackend::readDword(const std::string& name, std::uint32_t fallback) {
    // A fresh object per call: another instance may have written meanwhile,
    // and nothing is kept between calls.
    QSettings file(m_path, QSettings::IniFormat);
    if (file.status() != QSettings::NoError) {
        return fallback;
    }
    bool ok = false;
    const uint value = file.value(Key(name)).toUInt(&ok);
    return ok ? value : fallback;
}

std::string IniSettingsBackend::readString(const std::string& name, const std::string& fallback) {
    QSettings file(m_path, QSettings::IniFormat);
    const QVariant value = file.value(Key(name));
    if (file.status() != QSettings::NoError || !value.isValid()) {
        return fallback;
    }
    std::string text = value.toString().toStdString();
    // Text ends at its first zero byte, as stored strings always have.
    if (const auto zero = text.find('\0'); zero != std::string::npos) {
        text.resize(zero);
    }
    return text;
}

void IniSettingsBackend::writeDword(const std::string& name, std::uint32_t value) {
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(Key(name), static_cast<uint>(value));
    file.sync();  // a failure loses the value, silently
}

void IniSettingsBackend::writeString(const std::string& name, const std::string& value) {
    QSettings file(m_path, QSettings::IniFormat);
    file.setValue(Key(name), QString::fromStdString(value));
    file.sync();
}

}  // namespace lanscope
