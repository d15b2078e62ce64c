#pragma once
// The statistics panel of the history page, under its list and chart: the alarm limits to measure against
// (prefilled from the instrument's alarm-limit read), the statistics of the list against them,
// each value a ValueLabel that screen readers read under its caption, and "生成报告", which
// saves the PDF report through the prompts. It also draws the limit lines and the shaded
// excursions onto the page's chart.
#include <QGroupBox>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "history/history_report.h"

class QChart;
class QDateTimeAxis;
class QLineEdit;
class QPushButton;
class QValueAxis;

namespace pages {

class ValueLabel;

class HistoryStatsPanel : public QGroupBox {
  Q_OBJECT
 public:
  explicit HistoryStatsPanel(QWidget* parent);

  // Where a report's records and their origin come from (the page's list and link).
  void SetReportSource(std::function<history::ReportContent()> source) { source_ = std::move(source); }

  // Shows the statistics of `rows` against the limits in the fields.
  void ShowRows(const std::vector<history::RecordRow>& rows);
  // The alarm limits the instrument answered: they fill the fields the user has not typed in.
  void OfferInstrumentLimits(const history::ReportLimits& limits);
  // The limits in the fields, or the refusal (not a number, lower above upper) naming the field.
  std::variant<history::ReportLimits, Outcome> Limits() const;
  // The limits in the fields that can be read (for the chart while one is being typed).
  history::ReportLimits UsableLimits() const;
  const history::HistoryStats& Stats() const { return stats_; }

  // Adds the limit lines and the excursion bands of `rows` to the page's chart, and widens the
  // value axes to show the limits.
  void Decorate(QChart* chart, QDateTimeAxis* time, QValueAxis* temperature, QValueAxis* humidity,
                const std::vector<history::RecordRow>& rows) const;

  // While a download runs the list is not whole: no report of it.
  void SetBusy(bool busy);

  // "生成报告": asks where to save, then writes the PDF (the wait cursor meanwhile).
  void MakeReport();

  ValueLabel* Value(const std::string& key) const;  // "temperature.mean", "records", ...

 signals:
  // A limit field changed: the chart and the statistics are drawn again.
  void limitsChanged();

 private:
  void Fill();

  QLineEdit* tempUpper_;
  QLineEdit* tempLower_;
  QLineEdit* humUpper_;
  QLineEdit* humLower_;
  QPushButton* report_;
  std::map<std::string, ValueLabel*> values_;
  std::map<QLineEdit*, bool> typed_;  // the user has typed in the field
  std::vector<history::RecordRow> rows_;
  history::HistoryStats stats_;
  std::function<history::ReportContent()> source_;
  bool busy_ = false;
};

}  // namespace pages
