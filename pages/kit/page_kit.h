#pragma once
// What every instrument page shares: controls made with their stable object name and accessible
// caption, the run of one command with the wait cursor over the page's link, and one way of
// showing a command's outcome.
#include <QObject>
#include <QRadioButton>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "link/exchange.h"
#include "pages/kit/outcome.h"
#include "pages/kit/page.h"
#include "pages/kit/profile.h"
#include "ui/wait_cursor.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace pages {

// A push button that Enter in a field never triggers.
QPushButton* MakeButton(const QString& text, const QString& name, QWidget* parent);
// A button of `group` ("读", "写", …) whose accessible description is the group's title, which
// tells apart the like-named buttons of several groups.
QPushButton* MakeGroupButton(const QString& text, const QString& name, QGroupBox* group);
// A caption label for `buddy`, whose accessible name becomes the caption.
QLabel* MakeCaption(const QString& text, QWidget* buddy, QWidget* parent);
QLineEdit* MakeEdit(const QString& name, QWidget* parent, int maxLength = 32767);
QLineEdit* MakeDisplay(const QString& name, QWidget* parent);  // read-only
// An edit that takes the digits 0-9 only.
QLineEdit* MakeDigitsEdit(const QString& name, QWidget* parent, int maxLength = 32767);
QCheckBox* MakeCheck(const QString& text, const QString& name, QWidget* parent);
QRadioButton* MakeRadio(const QString& text, const QString& name, QWidget* parent,
                        bool checked = false);
QComboBox* MakeList(const QString& name, QWidget* parent);
QGroupBox* MakeGroup(const QString& title, const QString& name, QWidget* parent);

inline QString FromUtf8(const std::string& text) { return QString::fromStdString(text); }

// Calls `react` whenever `radio` becomes checked, however that happened: a click, the keyboard,
// the accessibility interface or setChecked.
template <class React>
void OnChosen(QRadioButton* radio, QObject* context, React react) {
  QObject::connect(radio, &QRadioButton::toggled, context, [react](bool checked) {
    if (checked) react();
  });
}

// Runs `command(channel)` on a channel over `link`, showing the wait cursor meanwhile (for a
// page's dialogs, which share its link).
template <class Command>
auto RunCommand(devlink::DeviceLink& link, Command&& command) {
  ui::WaitCursor wait;
  devlink::LinkChannel channel(link);
  return command(channel);
}

// Runs `command(channel)` on a channel over the page's link, showing the wait cursor meanwhile.
template <class Command>
auto RunCommand(Page& page, Command&& command) {
  return RunCommand(page.Link(), std::forward<Command>(command));
}

// Asks kClearHistoryQuestion (OK/Cancel, a warning) before the stored history is erased; true
// when the user chose OK.
bool ConfirmClearHistory(QWidget* page);

// The controls of a page by the field names its commands refuse ("temp-lower" -> its edit).
using FieldControls = std::initializer_list<std::pair<std::string_view, QWidget*>>;

// Shows a command's outcome: a success in an information box, a failure in a warning box, an
// empty message not at all. A refused field named in `controls` then gets the focus, its text
// selected.
void Report(QWidget* page, const Outcome& outcome, FieldControls controls = {});

// ---- A profile's values in a page's controls (Page::ShowProfile) ----

// Puts one value of a profile into a control; false when the control cannot show it (a list
// without that item, a number its range edit refuses).
using ProfileSetter = std::function<bool(const Value&)>;
// The value as its write option's text ("12.5", "minutes", "on").
ProfileSetter ShowsText(QLineEdit* edit);
// A number with `decimals` places ("-20.0"), as the page's own read shows it.
ProfileSetter ShowsNumber(QLineEdit* edit, int decimals);
// A number in the page's own format.
ProfileSetter ShowsNumber(QLineEdit* edit, std::function<std::string(double)> format);
// A dotted IPv4 address, given to `set` (an IpAddressEdit's SetAddress).
ProfileSetter ShowsIpv4(std::function<void(const std::array<uint8_t, 4>&)> set);
ProfileSetter ShowsSwitch(QCheckBox* box);
// Selects the item whose data or text is the value's option text (a type code, "9600").
ProfileSetter ShowsChoice(QComboBox* list);
// Checks the radio named by the value's option text ("hours" -> the hours radio).
ProfileSetter ShowsOneOf(std::vector<std::pair<std::string, QRadioButton*>> radios);
// An option that picks the group (the channel of "protection:3"): the page shows it by which
// group it fills, so there is nothing to put anywhere.
ProfileSetter PickedByPage();

// Controls that two groups fill (the limit edits of a channel's configuration and of its
// protection values): the first group's value stays, and a later one that differs reports
// itself not shown instead of replacing it. Lives for one ShowProfile call.
class SharedControls {
 public:
  ProfileSetter Shows(const QWidget* control, ProfileSetter setter);

 private:
  std::vector<std::pair<const QWidget*, Value>> placed_;
};

// A value of a profile as a number ("12.5" and 12.5 alike); nullopt for anything else.
std::optional<double> ProfileNumber(const Value& value);

// The controls of one group, by the option names of its write verb.
struct GroupControls {
  std::string group;  // "recording", "protection:3"
  std::vector<std::pair<std::string, ProfileSetter>> values;
};

// Puts every group of `profile` that `controls` names into its controls. Returns the names of
// what it could not show, in the profile's order: a group without controls ("protection:7"),
// a value without a control or that its control could not show ("recording.capacity").
std::vector<std::string> ShowProfileValues(const Profile& profile,
                                           const std::vector<GroupControls>& controls);

}  // namespace pages
