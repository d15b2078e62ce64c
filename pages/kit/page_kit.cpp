#include "pages/kit/page_kit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "pages/kit/fields.h"
#include "ui/fields.h"
#include "ui/prompts.h"

namespace pages {

QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent) {
  auto* button = new QPushButton(text, parent);
  button->setObjectName(name);
  button->setAutoDefault(false);
  return button;
}

QPushButton* MakeGroupButton(const QString& text, const QString& name, QGroupBox* group) {
  QPushButton* button = MakeButton(text, name, group);
  button->setAccessibleDescription(group->title());
  return button;
}

QLabel* MakeCaption(const QString& text, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(text, parent);
  label->setBuddy(buddy);
  buddy->setAccessibleName(text);
  return label;
}

QLineEdit* MakeEdit(const QString& name, QWidget* parent, int maxLength) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(name);
  edit->setMaxLength(maxLength);
  return edit;
}

QLineEdit* MakeDigitsEdit(const QString& name, QWidget* parent, int maxLength) {
  QLineEdit* edit = MakeEdit(name, parent, maxLength);
  edit->setValidator(new QRegularExpressionValidator(QRegularExpression("[0-9]*"), edit));
  return edit;
}

QLineEdit* MakeDisplay(const QString& name, QWidget* parent) {
  QLineEdit* edit = MakeEdit(name, parent);
  edit->setReadOnly(true);
  return edit;
}

QCheckBox* MakeCheck(const QString& text, const QString& name, QWidget* parent) {
  auto* box = new QCheckBox(text, parent);
  box->setObjectName(name);
  return box;
}

QRadioButton* MakeRadio(const QString& text, const QString& name, QWidget* parent,
                        bool checked) {
  auto* radio = new QRadioButton(text, parent);
  radio->setObjectName(name);
  radio->setChecked(checked);
  return radio;
}

QComboBox* MakeList(const QString& name, QWidget* parent) {
  auto* list = new QComboBox(parent);
  list->setObjectName(name);
  return list;
}

QGroupBox* MakeGroup(const QString& title, const QString& name, QWidget* parent) {
  auto* group = new QGroupBox(title, parent);
  group->setObjectName(name);
  return group;
}

bool ConfirmClearHistory(QWidget* page) {
  return ui::CurrentPrompts().AskOkCancel(page, QString::fromUtf8(kClearHistoryQuestion),
                                          QString::fromUtf8(kPromptCaption),
                                          ui::MessageKind::Warning);
}

void Report(QWidget* page, const Outcome& outcome, FieldControls controls) {
  QWidget* refused = nullptr;
  if (outcome.Refusal()) {
    for (const auto& [name, control] : controls) {
      if (name == outcome.field) refused = control;
    }
  }
  const QString message = FromUtf8(outcome.message);
  if (refused != nullptr) {
    if (message.isEmpty()) {
      refused->setFocus(Qt::OtherFocusReason);
    } else {
      ui::RefuseField(refused, message);
    }
    return;
  }
  if (message.isEmpty()) return;
  ui::ShowMessage(page, message, {},
                  outcome.ok ? ui::MessageKind::Information : ui::MessageKind::Warning);
}

ProfileSetter ShowsText(QLineEdit* edit) {
  return [edit](const Value& value) {
    const QString text = FromUtf8(OptionText(value));
    edit->setText(text);
    return edit->text() == text;  // a range edit empties a value out of its range
  };
}

std::optional<double> ProfileNumber(const Value& value) {
  if (std::holds_alternative<bool>(value)) return std::nullopt;
  bool ok = false;
  const double number = FromUtf8(OptionText(value)).toDouble(&ok);
  if (!ok) return std::nullopt;
  return number;
}

ProfileSetter ShowsNumber(QLineEdit* edit, std::function<std::string(double)> format) {
  return [edit, format = std::move(format)](const Value& value) {
    const std::optional<double> number = ProfileNumber(value);
    if (!number) return false;
    const QString text = FromUtf8(format(*number));
    edit->setText(text);
    return edit->text() == text;  // a range edit empties a value out of its range
  };
}

ProfileSetter ShowsNumber(QLineEdit* edit, int decimals) {
  return ShowsNumber(edit, [decimals](double number) {
    return QString::number(number, 'f', decimals).toStdString();
  });
}

ProfileSetter ShowsIpv4(std::function<void(const std::array<uint8_t, 4>&)> set) {
  return [set = std::move(set)](const Value& value) {
    const std::optional<std::array<uint8_t, 4>> address = ParseIpv4(OptionText(value));
    if (!address) return false;
    set(*address);
    return true;
  };
}

ProfileSetter ShowsSwitch(QCheckBox* box) {
  return [box](const Value& value) {
    if (SameOption(value, true)) {
      box->setChecked(true);
    } else if (SameOption(value, false)) {
      box->setChecked(false);
    } else {
      return false;
    }
    return true;
  };
}

ProfileSetter ShowsChoice(QComboBox* list) {
  return [list](const Value& value) {
    const QString text = FromUtf8(OptionText(value));
    for (int i = 0; i < list->count(); ++i) {
      const QVariant data = list->itemData(i);
      if ((data.isValid() && data.toString() == text) || list->itemText(i) == text) {
        list->setCurrentIndex(i);
        return true;
      }
    }
    return false;
  };
}

ProfileSetter ShowsOneOf(std::vector<std::pair<std::string, QRadioButton*>> radios) {
  return [radios = std::move(radios)](const Value& value) {
    for (const auto& [name, radio] : radios) {
      if (SameOption(value, name)) {
        radio->setChecked(true);
        return true;
      }
    }
    return false;
  };
}

ProfileSetter SharedControls::Shows(const QWidget* control, ProfileSetter setter) {
  return [this, control, setter = std::move(setter)](const Value& value) {
    for (const auto& [placed, before] : placed_) {
      if (placed == control) return SameOption(before, value);
    }
    if (!setter(value)) return false;
    placed_.emplace_back(control, value);
    return true;
  };
}

ProfileSetter PickedByPage() {
  return [](const Value&) { return true; };
}

std::vector<std::string> ShowProfileValues(const Profile& profile,
                                           const std::vector<GroupControls>& controls) {
  std::vector<std::string> notShown;
  for (const ProfileGroup& group : profile.groups) {
    const auto found = std::find_if(controls.begin(), controls.end(),
                                    [&](const GroupControls& c) { return c.group == group.name; });
    if (found == controls.end()) {
      notShown.push_back(group.name);
      continue;
    }
    for (const auto& [name, value] : group.values) {
      const auto control =
          std::find_if(found->values.begin(), found->values.end(),
                       [&name = name](const auto& entry) { return entry.first == name; });
      if (control == found->values.end() || !control->second(value)) {
        notShown.push_back(group.name + "." + name);
      }
    }
  }
  return notShown;
}

}  // namespace pages
