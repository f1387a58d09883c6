#pragma once

#include <QWidget>
#include <array>

#include "common/Ipv4.h"

class QLineEdit;

namespace lanscope {

// Four 0-255 fields for an IPv4 address; the value is a 32-bit number with the
// first field in the most significant byte.
class IpAddressEdit : public QWidget {
    Q_OBJECT

  public:
    explicit IpAddressEdit(QWidget* parent = nullptr);

    Ipv4 value() const;
    void setValue(Ipv4 address);
    QLineEdit* field(int index) const { return m_fields.at(static_cast<std::size_t>(index)); }

  signals:
    // A field's text changed by the user.
    void fieldChanged(int index);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::array<QLineEdit*, 4> m_fields{};
};

}  // namespace lanscope
