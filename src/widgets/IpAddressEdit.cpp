#include "widgets/IpAddressEdit.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QValidator>

namespace lanscope {

namespace {

// Digits that make 0-255, or nothing yet. Anything above 255 is refused as it
// is typed, so the field never shows a number other than the one it sends.
class OctetValidator : public QValidator {
  public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override {
        if (input.isEmpty()) {
            return Intermediate;
        }
        if (input.size() > 3) {
            return Invalid;
        }
        for (const QChar c : input) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
                return Invalid;
            }
        }
        return input.toUInt() <= 255 ? Acceptable : Invalid;
    }
};

}  // namespace

IpAddressEdit::IpAddressEdit(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            layout->addWidget(new QLabel(QStringLiteral("."), this));
        }
        auto* field = new QLineEdit(this);
        field->setObjectName(QStringLiteral("field%1").arg(i));
        field->setValidator(new OctetValidator(field));
        field->setMaxLength(3);
        field->setAlignment(Qt::AlignCenter);
        field->setFixedWidth(field->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 12);
        field->installEventFilter(this);
        connect(field, &QLineEdit::textEdited, this, [this, i] {
            // Three digits complete a field, like the Windows control.
            if (m_fields[static_cast<std::size_t>(i)]->text().size() == 3 && i < 3) {
                m_fields[static_cast<std::size_t>(i) + 1]->setFocus();
                m_fields[static_cast<std::size_t>(i) + 1]->selectAll();
            }
            emit fieldChanged(i);
        });
        m_fields[static_cast<std::size_t>(i)] = field;
        layout->addWidget(field);
    }
    layout->addStretch();
    setFocusProxy(m_fields[0]);
}

Ipv4 IpAddressEdit::value() const {
    Ipv4 address = 0;
    for (const QLineEdit* field : m_fields) {
        address = (address << 8) | (field->text().toUInt() & 0xFFu);
    }
    return address;
}

void IpAddressEdit::setValue(Ipv4 address) {
    const auto octets = Ipv4Bytes(address);
    for (std::size_t i = 0; i < 4; ++i) {
        m_fields[i]->setText(QString::number(octets[i]));
    }
}

bool IpAddressEdit::eventFilter(QObject* watched, QEvent* event) {
    // '.' moves on to the next field.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Period) {
            for (std::size_t i = 0; i < 3; ++i) {
                if (watched == m_fields[i]) {
                    m_fields[i + 1]->setFocus();
                    m_fields[i + 1]->selectAll();
                    return true;
                }
            }
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace lanscope
