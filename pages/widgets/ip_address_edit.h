#pragma once
// The four fields of an IPv4 address, each 0..255, like the platform's IP-address control.
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

class QSpinBox;

namespace pages {

class IpAddressEdit : public QWidget {
  Q_OBJECT
 public:
  // `name` is the object name (its fields are name0..name3), `caption` the accessible name
  // (its fields "<caption>第1段".."<caption>第4段").
  explicit IpAddressEdit(QWidget* parent = nullptr,
                         const QString& name = QStringLiteral("ipAddress"),
                         const QString& caption = QStringLiteral("IP地址"));
  std::array<uint8_t, 4> Address() const;
  void SetAddress(const std::array<uint8_t, 4>& address);
  QSpinBox* Part(int index) const { return parts_[static_cast<size_t>(index)]; }

 private:
  std::array<QSpinBox*, 4> parts_{};
};

}  // namespace pages
