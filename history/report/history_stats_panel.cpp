// Accessible names: each value label takes its row's caption and its column ("最低值 温度").
#include "history/report/history_stats_panel.h"

#include <QAreaSeries>
#include <QChart>
#include <QDateTime>
#include <QDateTimeAxis>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPen>
#include <QPushButton>
#include <QValueAxis>
#include <algorithm>

#include "history/report/history_report_pdf.h"
#include "pages/kit/fields.h"
#include "pages/kit/page_kit.h"
#include "pages/kit/value_label.h"
#include "ui/prompts.h"
#include "ui/wait_cursor.h"

namespace pages {

using history::ChannelLimits;
using history::ChannelStats;
using history::HistoryStats;
using history::ReportLimits;

namespace {

QString Number(const std::optional<double>& value, int decimals = 1) {
  return value ? QString::number(*value, 'f', decimals) : QStringLiteral("—");
}

QString WithTime(const std::optional<double>& value, const std::string& at) {
  if (!value) return QStringLiteral("—");
  return at.empty() ? Number(value) : QStringLiteral("%1（%2）").arg(Number(value), FromUtf8(at).mid(5));
}

QString Rows(bool limited, int64_t rows, int64_t minutes) {
  return limited ? QStringLiteral("%1条 %2分钟").arg(rows).arg(minutes) : QStringLiteral("—");
}

qreal MsOf(const CivilTime& t) {
  return static_cast<qreal>(
      QDateTime(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute)).toMSecsSinceEpoch());
}

}  // namespace

HistoryStatsPanel::HistoryStatsPanel(QWidget* parent) : QGroupBox(QStringLiteral("统计"), parent) {
  setObjectName(QStringLiteral("statsPanel"));
  if (!history::HaveReportRenderer()) history::InstallPdfReports();
  auto edit = [this](const char* name) {
    QLineEdit* e = MakeEdit(QString::fromLatin1(name), this, 12);
    e->setMaximumWidth(64);
    typed_[e] = false;
    connect(e, &QLineEdit::textEdited, this, [this, e] { typed_[e] = true; });
    connect(e, &QLineEdit::textChanged, this, [this] {
      Fill();
      emit limitsChanged();
    });
    return e;
  };
  tempUpper_ = edit("reportTempUpper");
  tempLower_ = edit("reportTempLower");
  humUpper_ = edit("reportHumUpper");
  humLower_ = edit("reportHumLower");
  report_ = MakeButton(QStringLiteral("生成报告"), QStringLiteral("makeReport"), this);
  connect(report_, &QPushButton::clicked, this, &HistoryStatsPanel::MakeReport);

  auto* limits = new QHBoxLayout;
  for (auto [caption, field] : {std::pair{"温度上限", tempUpper_}, std::pair{"温度下限", tempLower_},
                                std::pair{"湿度上限", humUpper_}, std::pair{"湿度下限", humLower_}}) {
    limits->addWidget(MakeCaption(QString::fromUtf8(caption), field, this));
    limits->addWidget(field);
  }
  limits->addStretch(1);
  limits->addWidget(report_);

  // Two groups of three columns: caption, temperature, humidity.
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(10);
  grid->setVerticalSpacing(2);
  const char* channels[] = {"temperature", "humidity"};
  const QString channelNames[] = {QStringLiteral("温度"), QStringLiteral("湿度")};
  struct Row {
    const char* caption;
    const char* key;
  };
  const Row left[] = {{"最低值", "min"}, {"最高值", "max"}, {"平均值", "mean"}, {"平均动力学温度", "mkt"}};
  const Row right[] = {{"高于上限", "above"}, {"低于下限", "below"}, {"超限次数", "excursions"},
                       {"首次超限", "first_excursion_at"}};
  for (int group = 0; group < 2; ++group) {
    const int column = group * 4;
    for (int c = 0; c < 2; ++c) {
      auto* head = new QLabel(channelNames[c], this);
      head->setAlignment(Qt::AlignCenter);
      grid->addWidget(head, 0, column + 1 + c);
    }
    const Row* rows = group == 0 ? left : right;
    for (int r = 0; r < 4; ++r) {
      const QString caption = QString::fromUtf8(rows[r].caption);
      grid->addWidget(new QLabel(caption + QStringLiteral("："), this), 1 + r, column);
      for (int c = 0; c < 2; ++c) {
        const std::string key = std::string(channels[c]) + "." + rows[r].key;
        auto* value = new ValueLabel(caption + QStringLiteral(" ") + channelNames[c],
                                     QString::fromStdString("stat." + key), this);
        value->setAlignment(Qt::AlignCenter);
        values_[key] = value;
        grid->addWidget(value, 1 + r, column + 1 + c);
      }
    }
  }
  grid->setColumnMinimumWidth(3, 24);
  grid->setColumnStretch(8, 1);  // the values keep together at the left
  auto* summary = new QHBoxLayout;
  for (auto [caption, key] : {std::pair{"记录", "records"}, std::pair{"缺失", "missing"},
                              std::pair{"间隔", "interval_minutes"}, std::pair{"时间", "period"}}) {
    auto* value = new ValueLabel(QString::fromUtf8(caption), QString::fromStdString(std::string("stat.") + key), this);
    values_[key] = value;
    summary->addWidget(MakeCaption(QString::fromUtf8(caption) + QStringLiteral("："), value, this));
    summary->addWidget(value);
    summary->addSpacing(8);
  }
  summary->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(3);
  layout->addLayout(limits);
  layout->addLayout(summary);
  layout->addLayout(grid);
  Fill();
}

ValueLabel* HistoryStatsPanel::Value(const std::string& key) const {
  const auto it = values_.find(key);
  return it == values_.end() ? nullptr : it->second;
}

std::variant<ReportLimits, Outcome> HistoryStatsPanel::Limits() const {
  std::map<std::string, std::string> given;
  for (auto [name, field] : {std::pair{"temp-upper", tempUpper_}, std::pair{"temp-lower", tempLower_},
                             std::pair{"hum-upper", humUpper_}, std::pair{"hum-lower", humLower_}}) {
    const std::string text = field->text().trimmed().toStdString();
    if (!text.empty()) given[name] = text;
  }
  const std::vector<Field> fields = history::ReportLimitFields();
  auto args = ParseArgs(fields, given);
  if (auto* refused = std::get_if<Outcome>(&args)) return *refused;
  return history::ReportLimitsOf(std::get<Args>(args));
}

ReportLimits HistoryStatsPanel::UsableLimits() const {
  auto limits = Limits();
  if (auto* usable = std::get_if<ReportLimits>(&limits)) return *usable;
  return {};
}

void HistoryStatsPanel::OfferInstrumentLimits(const ReportLimits& limits) {
  auto offer = [this](QLineEdit* field, const std::optional<double>& value) {
    if (!value || typed_[field]) return;
    field->setText(QString::number(*value, 'f', 1));
  };
  offer(tempUpper_, limits.temperature.upper);
  offer(tempLower_, limits.temperature.lower);
  offer(humUpper_, limits.humidity.upper);
  offer(humLower_, limits.humidity.lower);
}

void HistoryStatsPanel::ShowRows(const std::vector<history::RecordRow>& rows) {
  rows_ = rows;
  Fill();
}

void HistoryStatsPanel::Fill() {
  stats_ = history::ComputeStats(history::ReadingsOf(rows_), UsableLimits());
  const bool any = stats_.records > 0;
  auto set = [this](const std::string& key, const QString& text) { values_.at(key)->setText(text); };
  set("records", QString::number(stats_.records));
  set("missing", QString::number(stats_.missing));
  set("interval_minutes", stats_.intervalMinutes > 0 ? QStringLiteral("%1分钟").arg(stats_.intervalMinutes)
                                                     : QStringLiteral("—"));
  set("period", stats_.first.empty() ? QStringLiteral("—")
                                     : FromUtf8(stats_.first) + QStringLiteral(" 至 ") + FromUtf8(stats_.last));
  const ChannelStats* channels[] = {&stats_.temperature, &stats_.humidity};
  const char* names[] = {"temperature", "humidity"};
  for (int c = 0; c < 2; ++c) {
    const ChannelStats& s = *channels[c];
    const std::string n = std::string(names[c]) + ".";
    set(n + "min", WithTime(s.min, s.minAt));
    set(n + "max", WithTime(s.max, s.maxAt));
    set(n + "mean", Number(s.mean, 2));
    set(n + "mkt", Number(s.mkt, 2));
    set(n + "above", Rows(s.limits.upper.has_value(), s.above, s.aboveMinutes));
    set(n + "below", Rows(s.limits.lower.has_value(), s.below, s.belowMinutes));
    set(n + "excursions", s.limits.Any() ? QString::number(s.excursions) : QStringLiteral("—"));
    set(n + "first_excursion_at", s.limits.Any() && !s.firstExcursionAt.empty()
                                      ? FromUtf8(s.firstExcursionAt).mid(5)
                                      : QStringLiteral("—"));
  }
  report_->setEnabled(any && !busy_);
}

void HistoryStatsPanel::SetBusy(bool busy) {
  busy_ = busy;
  report_->setEnabled(stats_.records > 0 && !busy_);
}

void HistoryStatsPanel::Decorate(QChart* chart, QDateTimeAxis* time, QValueAxis* temperature,
                                 QValueAxis* humidity, const std::vector<history::RecordRow>& rows) const {
  const ReportLimits limits = UsableLimits();
  const std::vector<history::Reading> readings = history::ReadingsOf(rows);
  const qreal from = static_cast<qreal>(time->min().toMSecsSinceEpoch());
  const qreal to = static_cast<qreal>(time->max().toMSecsSinceEpoch());
  const QColor colours[] = {QColor(200, 40, 40), QColor(40, 80, 200)};
  const QString names[] = {QStringLiteral("温度"), QStringLiteral("湿度")};
  QValueAxis* axes[] = {temperature, humidity};
  const ChannelLimits* channelLimits[] = {&limits.temperature, &limits.humidity};
  for (int c = 0; c < 2; ++c) {
    const ChannelLimits& l = *channelLimits[c];
    QValueAxis* axis = axes[c];
    if (!l.Any() || axis == nullptr) continue;
    // The axis shows the limits, with a little room.
    double low = axis->min(), high = axis->max();
    for (const std::optional<double>& v : {l.lower, l.upper}) {
      if (!v) continue;
      low = std::min(low, *v - 1);
      high = std::max(high, *v + 1);
    }
    axis->setRange(low, high);
    axis->applyNiceNumbers();
    low = axis->min();
    high = axis->max();
    // Excursions: a band from the axis' bottom to its top over each run outside the limits.
    auto* top = new QLineSeries;
    bool outside = false;
    for (const history::Reading& r : readings) {
      if (!r.time || r.missing[c] || !r.value[c]) continue;
      const double v = *r.value[c];
      const bool out = (l.upper && v > *l.upper) || (l.lower && v < *l.lower);
      const qreal x = MsOf(*r.time);
      if (out != outside) top->append(x, outside ? high : low);
      top->append(x, out ? high : low);
      outside = out;
    }
    auto* bottom = new QLineSeries;
    bottom->append(from, low);
    bottom->append(to, low);
    auto* band = new QAreaSeries(top, bottom);
    band->setName(names[c] + QStringLiteral("超限"));
    QColor fill = colours[c];
    fill.setAlpha(45);
    band->setBrush(fill);
    band->setPen(Qt::NoPen);
    chart->addSeries(band);
    band->attachAxis(time);
    band->attachAxis(axis);
    for (auto [value, word] : {std::pair{l.upper, "上限"}, std::pair{l.lower, "下限"}}) {
      if (!value) continue;
      auto* line = new QLineSeries;
      line->setName(names[c] + QString::fromUtf8(word));
      line->append(from, *value);
      line->append(to, *value);
      line->setPen(QPen(colours[c], 1.5, c == 0 ? Qt::DashLine : Qt::DashDotLine));
      chart->addSeries(line);
      line->attachAxis(time);
      line->attachAxis(axis);
    }
  }
}

void HistoryStatsPanel::MakeReport() {
  auto limits = Limits();
  if (auto* refused = std::get_if<Outcome>(&limits)) {
    Report(this, *refused,
           {{"temp-upper", tempUpper_}, {"temp-lower", tempLower_}, {"hum-upper", humUpper_},
            {"hum-lower", humLower_}});
    return;
  }
  if (!source_) return;
  const QString chosen = ui::CurrentPrompts().SaveFileName(
      this, QStringLiteral("生成报告"), QStringLiteral("PDF文件(*.pdf)"), QStringLiteral("历史数据报告.pdf"));
  if (chosen.isEmpty()) return;
  std::string path = chosen.toStdString();
  if (!history::IsPdfPath(path)) path += ".pdf";
  std::string failure;
  {
    ui::WaitCursor wait;
    history::ReportContent content = source_();
    content.limits = std::get<ReportLimits>(limits);
    content.stats = history::ComputeStats(history::ReadingsOf(content.rows), content.limits);
    failure = history::WriteReport(content, path);
  }
  if (failure.empty()) {
    ui::ShowMessage(this, QString::fromUtf8(history::kReportDone));
  } else {
    ui::ShowMessage(this, FromUtf8(failure), {}, ui::MessageKind::Warning);
  }
}

}  // namespace pages
