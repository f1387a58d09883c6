#pragma once

#include <QString>

#include "settings/SettingsStore.h"

namespace lanscope {

// Remembered values in the group [Settings] of an INI file in the user's
// configuration folder (the machine-wide place would be read-only for the
// people who use the program). LANSCOPE_SETTINGS names another file.
class IniSettingsBackend : public SettingsBackend {
  public:
    IniSettingsBackend();
    explicit IniSettingsBackend(QString path) : m_path(std::move(path)) {}

    const QString& path() const { return m_path; }

    std::uint32_t readDword(const std::string& name, std::uint32_t fallback) override;
    std::string readString(const std::string& name, const std::string& fallback) override;
    void writeDword(const std::string& name, std::uint32_t value) override;
    void writeString(const std::string& name, const std::string& value) override;

    static QString DefaultPath();

  private:
    QString m_path;
};

}  // namespace lanscope
