#include "pages/widgets/ip_address_edit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSpinBox>

namespace pages {

IpAddressEdit::IpAddressEdit(QWidget* parent, const QString& name, const QString& caption)
    : QWidget(parent) {
  setObjectName(name);
  setAccessibleName(caption);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (size_t i = 0; i < parts_.size(); ++i) {
    if (i > 0) layout->addWidget(new QLabel(".", this));
    auto* part = new QSpinBox(this);
    part->setObjectName(name + QString::number(i));
    part->setAccessibleName(QStringLiteral("%1第%2段").arg(caption).arg(i + 1));
    part->setRange(0, 255);
    part->setButtonSymbols(QAbstractSpinBox::NoButtons);
    part->setAlignment(Qt::AlignCenter);
    part->setMaximumWidth(56);
    layout->addWidget(part);
    parts_[i] = part;
  }
  layout->addStretch();
}

std::array<uint8_t, 4> IpAddressEdit::Address() const {
  std::array<uint8_t, 4> address{};
  for (size_t i = 0; i < parts_.size(); ++i) address[i] = static_cast<uint8_t>(parts_[i]->value());
  return address;
}

void IpAddressEdit::SetAddress(const std::array<uint8_t, 4>& address) {
  for (size_t i = 0; i < parts_.size(); ++i) parts_[i]->setValue(address[i]);
}

}  // namespace pages
