#pragma once
// Base of every instrument page: a child of the main window's tab control that runs its
// commands over the link the main window edits.
#include <QString>
#include <QWidget>
#include <string>
#include <vector>

#include "link/device_link.h"
#include "pages/kit/profile.h"

namespace pages {

class Page : public QWidget {
  Q_OBJECT
 public:
  Page(devlink::DeviceLink& link, int productVariant, QWidget* parent = nullptr)
      : QWidget(parent), link_(link), variant_(productVariant) {}

  devlink::DeviceLink& Link() { return link_; }
  int ProductVariant() const { return variant_; }

  // The main window's tab control switched to this page (`selected`) or to another one; called
  // on every tab change, for every page. A page with work in the background (the history
  // download) starts or stops it here.
  virtual void TabChanged(bool selected) { (void)selected; }
  // The main window is about to close the serial port that every page shares.
  virtual void SerialPortClosing() {}
  // Work that closing the program now would lose or break off (a download running, records not
  // saved yet, gateways being served), said in a sentence for the question before the window
  // closes; empty when there is none.
  virtual QString UnfinishedWork() const { return {}; }
  // Puts the values of a profile of this page (already checked against the page's commands)
  // into the page's controls, sending nothing, so the user sees them and writes them with the
  // page's own buttons. Returns the names of what it could not show: a whole group
  // ("protection:7", a channel the page does not show now) or one value ("recording.capacity").
  // The default shows nothing: a page without profile controls returns every group.
  virtual std::vector<std::string> ShowProfile(const Profile& profile) {
    std::vector<std::string> notShown;
    for (const ProfileGroup& group : profile.groups) notShown.push_back(group.name);
    return notShown;
  }

 signals:
  // The page learnt the instrument's address (after an address change or a clock read); the
  // main window writes it into its address field, where it acts as an edit of that field.
  void deviceAddressReported(int address);
  // The page learnt the baud rate the instrument talks at (decimal text, as in the link); the
  // main window selects it in its baud rate list.
  void baudRateReported(const QString& baud);
  // The page reopened or closed the shared serial port itself (a baud search that failed); the
  // main window shows the port as it is now.
  void serialLineChanged();
  // A worker thread of the page uses the link (true) or no longer does (false): until then the
  // main window keeps the link's settings as they are.
  void linkInUse(bool inUse);

 private:
  devlink::DeviceLink& link_;
  int variant_;
};

}  // namespace pages
