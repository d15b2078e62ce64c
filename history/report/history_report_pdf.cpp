#include "history/report/history_report_pdf.h"

#include <QBuffer>
#include <QDateTime>
#include <QFont>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <numeric>

namespace pages::history {

namespace {

constexpr int kDpi = 300;
constexpr double kMarginMm = 15.0;
// Two blocks of the record table side by side on each page.
constexpr int kTableBlocks = 2;

QString Q(const std::string& text) { return QString::fromStdString(text); }

QString Number(const std::optional<double>& value, int decimals = 1) {
  return value ? QString::number(*value, 'f', decimals) : QStringLiteral("—");
}

QString Count(int64_t value) { return QString::number(value); }

QString OrDash(const std::string& text) { return text.empty() ? QStringLiteral("—") : Q(text); }

double Mm(double mm) { return mm * kDpi / 25.4; }

QFont ReportFont(double points, bool bold = false) {
  QFont font;
  font.setFamilies({QString::fromUtf8(kReportFontFamily), QStringLiteral("Microsoft YaHei"),
                    QStringLiteral("SimSun")});
  font.setPointSizeF(points);
  font.setBold(bold);
  return font;
}

// Minutes since the epoch of a reading's time (UTC arithmetic: no daylight-saving jumps).
double MinuteOf(const CivilTime& t) {
  const QDateTime when(QDate(t.year, t.month, t.day), QTime(t.hour, t.minute), Qt::UTC);
  return static_cast<double>(when.toSecsSinceEpoch()) / 60.0;
}

QString MinuteText(double minute, const QString& format) {
  return QDateTime::fromSecsSinceEpoch(static_cast<qint64>(std::llround(minute * 60.0)), Qt::UTC)
      .toString(format);
}

// A step of 1, 2 or 5 times a power of ten giving at most `count` steps over `span`.
double NiceStep(double span, int count) {
  if (!(span > 0)) return 1;
  const double raw = span / count;
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0}) {
    if (m * power >= raw) return m * power;
  }
  return 10 * power;
}

// A time step in minutes that gives at most `count` labels over `span` minutes.
double TimeStep(double span, int count) {
  static const double steps[] = {1,   2,   5,    10,   15,   30,   60,    120,   180,  360,
                                 720, 1440, 2880, 4320, 10080, 20160, 43200, 86400, 525600};
  for (double s : steps) {
    if (span / s <= count) return s;
  }
  return NiceStep(span, count);
}

struct Series {
  std::vector<QPointF> points;  // (minute, value); NaN value: a gap (missing row)
  double low = 0, high = 0;
  bool any = false;
};

Series SeriesOf(const std::vector<Reading>& readings, int channel, const ChannelLimits& limits) {
  Series s;
  for (const Reading& r : readings) {
    if (!r.time) continue;
    const double x = MinuteOf(*r.time);
    if (r.missing[channel] || !r.value[channel]) {
      if (r.missing[channel]) s.points.push_back({x, std::nan("")});
      continue;
    }
    const double v = *r.value[channel];
    s.points.push_back({x, v});
    s.low = s.any ? std::min(s.low, v) : v;
    s.high = s.any ? std::max(s.high, v) : v;
    s.any = true;
  }
  for (const std::optional<double>& limit : {limits.lower, limits.upper}) {
    if (!limit || !s.any) continue;
    s.low = std::min(s.low, *limit);
    s.high = std::max(s.high, *limit);
  }
  return s;
}

class Report {
 public:
  Report(const ReportContent& content, QPdfWriter& writer)
      : content_(content), writer_(writer), readings_(ReadingsOf(content.rows)) {}

  bool Draw() {
    if (!painter_.begin(&writer_)) return false;
    width_ = writer_.width();
    height_ = writer_.height();
    painter_.setFont(ReportFont(9));
    lineHeight_ = QFontMetricsF(painter_.font(), &writer_).height() * 1.35;
    footerTop_ = height_ - lineHeight_ * 1.5;
    const double tableTop = lineHeight_ * 2.2;  // below the page's heading
    rowsPerBlock_ = std::max(1, static_cast<int>((footerTop_ - tableTop) / lineHeight_) - 1);
    const int perPage = rowsPerBlock_ * kTableBlocks;
    const int rows = static_cast<int>(content_.rows.size());
    pages_ = 1 + (rows + perPage - 1) / perPage;

    double y = DrawHead();
    y = DrawStatistics(y + lineHeight_ * 0.6);
    DrawChart(QRectF(0, y + lineHeight_, width_, footerTop_ - y - lineHeight_ * 2));
    Footer(1);
    for (int page = 2, from = 0; from < rows; ++page, from += perPage) {
      writer_.newPage();
      DrawRecordPage(from, std::min(rows, from + perPage), page);
    }
    return painter_.end();
  }

 private:
  void Text(const QRectF& box, int flags, const QString& text) { painter_.drawText(box, flags, text); }

  void Footer(int page) {
    painter_.setFont(ReportFont(8));
    painter_.setPen(Qt::black);
    painter_.drawLine(QPointF(0, footerTop_), QPointF(width_, footerTop_));
    const QRectF box(0, footerTop_, width_, height_ - footerTop_);
    Text(box, Qt::AlignLeft | Qt::AlignVCenter, Q(content_.title));
    Text(box, Qt::AlignRight | Qt::AlignVCenter,
         QStringLiteral("第 %1 页，共 %2 页").arg(page).arg(pages_));
    painter_.setFont(ReportFont(9));
  }

  // Title and where the records came from; returns the y below it.
  double DrawHead() {
    painter_.setFont(ReportFont(16, true));
    const double titleHeight = QFontMetricsF(painter_.font(), &writer_).height() * 1.4;
    Text(QRectF(0, 0, width_, titleHeight), Qt::AlignHCenter | Qt::AlignVCenter, Q(content_.title));
    painter_.setFont(ReportFont(9));
    std::vector<std::pair<QString, QString>> lines;
    lines.emplace_back(QStringLiteral("仪器"),
                       content_.instrument.empty() ? QStringLiteral("未读取") : Q(content_.instrument));
    if (content_.source.empty()) {
      lines.emplace_back(QStringLiteral("连接"), OrDash(content_.connection));
      lines.emplace_back(QStringLiteral("下载时间"), OrDash(content_.downloadedAt));
    } else {
      lines.emplace_back(QStringLiteral("来源文件"), Q(content_.source));
      lines.emplace_back(QStringLiteral("文件保存时间"), OrDash(content_.downloadedAt));
    }
    lines.emplace_back(QStringLiteral("程序版本"), Q(content_.programVersion));
    double y = titleHeight + lineHeight_ * 0.3;
    const double labelWidth = Mm(30);
    for (const auto& [label, value] : lines) {
      painter_.setFont(ReportFont(9, true));
      Text(QRectF(0, y, labelWidth, lineHeight_), Qt::AlignLeft | Qt::AlignVCenter, label + "：");
      painter_.setFont(ReportFont(9));
      Text(QRectF(labelWidth, y, width_ - labelWidth, lineHeight_), Qt::AlignLeft | Qt::AlignVCenter,
           value);
      y += lineHeight_;
    }
    return y;
  }

  // A grid of cells: the first row is the heading (bold, grey ground).
  double DrawGrid(double y, const std::vector<double>& widths, const std::vector<QStringList>& rows) {
    const double total = std::accumulate(widths.begin(), widths.end(), 0.0);
    const double left = (width_ - total) / 2;
    for (size_t r = 0; r < rows.size(); ++r) {
      double x = left;
      if (r == 0) painter_.fillRect(QRectF(left, y, total, lineHeight_), QColor(225, 225, 225));
      painter_.setFont(ReportFont(9, r == 0));
      for (size_t c = 0; c < widths.size() && c < static_cast<size_t>(rows[r].size()); ++c) {
        const QRectF cell(x, y, widths[c], lineHeight_);
        painter_.setPen(QPen(Qt::black, Mm(0.15)));
        painter_.drawRect(cell);
        Text(cell.adjusted(Mm(1.5), 0, -Mm(1.5), 0),
             (c == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter, rows[r][static_cast<int>(c)]);
        x += widths[c];
      }
      y += lineHeight_;
    }
    return y;
  }

  double DrawStatistics(double y) {
    const HistoryStats& s = content_.stats;
    painter_.setFont(ReportFont(11, true));
    Text(QRectF(0, y, width_, lineHeight_ * 1.2), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("统计"));
    y += lineHeight_ * 1.3;
    const QString interval = s.intervalMinutes > 0 ? QStringLiteral("%1 分钟").arg(s.intervalMinutes)
                                                   : QStringLiteral("—");
    y = DrawGrid(y, {Mm(45), Mm(125)},
                 {{QStringLiteral("记录"), QStringLiteral("数值")},
                  {QStringLiteral("记录条数"), Count(s.records)},
                  {QStringLiteral("缺失记录（失败的数据块）"), Count(s.missing)},
                  {QStringLiteral("起止时间"), OrDash(s.first) + QStringLiteral(" 至 ") + OrDash(s.last)},
                  {QStringLiteral("记录间隔"), interval}});
    y += lineHeight_ * 0.5;
    const ChannelStats& t = s.temperature;
    const ChannelStats& h = s.humidity;
    auto both = [](auto f) { return QStringList{f(0), f(1)}; };
    const ChannelStats* ch[2] = {&t, &h};
    std::vector<QStringList> rows;
    auto row = [&](const QString& label, const std::function<QString(const ChannelStats&)>& f) {
      rows.push_back(QStringList{label} + both([&](int i) { return f(*ch[i]); }));
    };
    rows.push_back({QStringLiteral("项目"), QStringLiteral("温度 ℃"), QStringLiteral("湿度 %RH")});
    row(QStringLiteral("有效记录"), [](const ChannelStats& c) { return Count(c.valid); });
    row(QStringLiteral("最低值"), [](const ChannelStats& c) { return Number(c.min); });
    row(QStringLiteral("最低值时间"), [](const ChannelStats& c) { return OrDash(c.minAt); });
    row(QStringLiteral("最高值"), [](const ChannelStats& c) { return Number(c.max); });
    row(QStringLiteral("最高值时间"), [](const ChannelStats& c) { return OrDash(c.maxAt); });
    row(QStringLiteral("平均值"), [](const ChannelStats& c) { return Number(c.mean, 2); });
    rows.push_back({QStringLiteral("平均动力学温度 MKT"), Number(t.mkt, 2), QStringLiteral("—")});
    row(QStringLiteral("上限"), [](const ChannelStats& c) { return Number(c.limits.upper); });
    row(QStringLiteral("下限"), [](const ChannelStats& c) { return Number(c.limits.lower); });
    row(QStringLiteral("高于上限的记录"), [](const ChannelStats& c) {
      return c.limits.upper ? QStringLiteral("%1 条，%2 分钟").arg(c.above).arg(c.aboveMinutes)
                            : QStringLiteral("—");
    });
    row(QStringLiteral("低于下限的记录"), [](const ChannelStats& c) {
      return c.limits.lower ? QStringLiteral("%1 条，%2 分钟").arg(c.below).arg(c.belowMinutes)
                            : QStringLiteral("—");
    });
    row(QStringLiteral("超限次数"), [](const ChannelStats& c) {
      return c.limits.Any() ? Count(c.excursions) : QStringLiteral("—");
    });
    row(QStringLiteral("首次超限时间"), [](const ChannelStats& c) {
      return c.limits.Any() ? OrDash(c.firstExcursionAt) : QStringLiteral("—");
    });
    return DrawGrid(y, {Mm(50), Mm(60), Mm(60)}, rows);
  }

  void DrawChart(const QRectF& area) {
    if (area.height() < Mm(40)) return;
    painter_.setFont(ReportFont(11, true));
    painter_.setPen(Qt::black);
    Text(QRectF(area.left(), area.top(), area.width(), lineHeight_ * 1.2), Qt::AlignLeft | Qt::AlignVCenter,
         QStringLiteral("曲线"));
    painter_.setFont(ReportFont(8));
    const QFontMetricsF metrics(painter_.font(), &writer_);
    const double axisWidth = metrics.horizontalAdvance(QStringLiteral("-000.0")) + Mm(3);
    const QRectF plot(area.left() + axisWidth, area.top() + lineHeight_ * 2.6,
                      area.width() - 2 * axisWidth, area.height() - lineHeight_ * 5.2);
    const Series t = SeriesOf(readings_, 0, content_.limits.temperature);
    const Series h = SeriesOf(readings_, 1, content_.limits.humidity);
    double first = 0, last = 0;
    bool anyTime = false;
    for (const Reading& r : readings_) {
      if (!r.time) continue;
      const double x = MinuteOf(*r.time);
      first = anyTime ? std::min(first, x) : x;
      last = anyTime ? std::max(last, x) : x;
      anyTime = true;
    }
    if (last - first < 1) last = first + 1;
    auto px = [&](double minute) { return plot.left() + (minute - first) / (last - first) * plot.width(); };

    // Legend above the plot.
    const double legendY = area.top() + lineHeight_ * 1.4;
    double lx = plot.left();
    auto legend = [&](const QPen& pen, const QString& text) {
      painter_.setPen(pen);
      painter_.drawLine(QPointF(lx, legendY + lineHeight_ / 2), QPointF(lx + Mm(10), legendY + lineHeight_ / 2));
      painter_.setPen(Qt::black);
      const double w = metrics.horizontalAdvance(text);
      Text(QRectF(lx + Mm(12), legendY, w + Mm(2), lineHeight_), Qt::AlignLeft | Qt::AlignVCenter, text);
      lx += Mm(16) + w;
    };
    const QPen tempPen(Qt::black, Mm(0.35), Qt::SolidLine);
    const QPen humPen(QColor(110, 110, 110), Mm(0.35), Qt::DashLine);
    const QPen tempLimitPen(Qt::black, Mm(0.3), Qt::DotLine);
    const QPen humLimitPen(QColor(110, 110, 110), Mm(0.3), Qt::DashDotLine);
    if (t.any) legend(tempPen, QStringLiteral("温度 ℃（左轴）"));
    if (h.any) legend(humPen, QStringLiteral("湿度 %RH（右轴）"));
    if (content_.limits.temperature.Any()) legend(tempLimitPen, QStringLiteral("温度上下限"));
    if (content_.limits.humidity.Any()) legend(humLimitPen, QStringLiteral("湿度上下限"));
    if (content_.limits.temperature.Any() || content_.limits.humidity.Any()) {
      painter_.fillRect(QRectF(lx, legendY + lineHeight_ * 0.2, Mm(10), lineHeight_ * 0.6), QColor(215, 215, 215));
      Text(QRectF(lx + Mm(12), legendY, Mm(30), lineHeight_), Qt::AlignLeft | Qt::AlignVCenter,
           QStringLiteral("超限"));
    }

    // Excursions: grey bands over the times a valid row lay outside its limits.
    auto shade = [&](int channel, const ChannelLimits& limits) {
      if (!limits.Any()) return;
      std::optional<double> start;
      double previous = 0;
      auto close = [&](double end) {
        if (start) painter_.fillRect(QRectF(px(*start), plot.top(), std::max(Mm(0.4), px(end) - px(*start)), plot.height()),
                                     QColor(215, 215, 215));
        start.reset();
      };
      for (const Reading& r : readings_) {
        if (!r.time || r.missing[channel] || !r.value[channel]) continue;
        const double v = *r.value[channel];
        const bool outside = (limits.upper && v > *limits.upper) || (limits.lower && v < *limits.lower);
        const double x = MinuteOf(*r.time);
        if (outside && !start) start = x;
        if (!outside && start) close(x);
        previous = x;
      }
      close(previous);
    };
    shade(0, content_.limits.temperature);
    shade(1, content_.limits.humidity);

    painter_.setPen(QPen(Qt::black, Mm(0.25)));
    painter_.drawRect(plot);
    // The time axis.
    const double step = TimeStep(last - first, 8);
    const QString format = last - first <= 1440 ? QStringLiteral("hh:mm") : QStringLiteral("MM-dd hh:mm");
    const double firstTick = std::ceil(first / step) * step;
    for (double m = firstTick; m <= last + 1e-9; m += step) {
      const double x = px(m);
      painter_.setPen(QPen(QColor(200, 200, 200), Mm(0.1)));
      painter_.drawLine(QPointF(x, plot.top()), QPointF(x, plot.bottom()));
      painter_.setPen(Qt::black);
      Text(QRectF(x - Mm(15), plot.bottom() + Mm(1), Mm(30), lineHeight_), Qt::AlignHCenter | Qt::AlignTop,
           MinuteText(m, format));
    }
    Text(QRectF(plot.left(), plot.bottom() + lineHeight_, plot.width(), lineHeight_), Qt::AlignHCenter | Qt::AlignTop,
         QStringLiteral("时间（%1 至 %2）").arg(MinuteText(first, QStringLiteral("yyyy-MM-dd hh:mm")),
                                           MinuteText(last, QStringLiteral("yyyy-MM-dd hh:mm"))));

    auto axis = [&](const Series& s, bool left, const QPen& pen, const ChannelLimits& limits, const QPen& limitPen) {
      if (!s.any) return;
      double low = s.low, high = s.high;
      if (high - low < 1) {
        low -= 0.5;
        high += 0.5;
      }
      const double tick = NiceStep(high - low, 6);
      low = std::floor(low / tick) * tick;
      high = std::ceil(high / tick) * tick;
      auto py = [&](double v) { return plot.bottom() - (v - low) / (high - low) * plot.height(); };
      const int decimals = tick < 1 ? 1 : 0;
      for (double v = low; v <= high + tick / 2; v += tick) {
        const double y = py(v);
        if (left) {
          painter_.setPen(QPen(QColor(200, 200, 200), Mm(0.1)));
          painter_.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
        }
        painter_.setPen(Qt::black);
        const QRectF box = left ? QRectF(area.left(), y - lineHeight_ / 2, axisWidth - Mm(1.5), lineHeight_)
                                : QRectF(plot.right() + Mm(1.5), y - lineHeight_ / 2, axisWidth, lineHeight_);
        Text(box, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, QString::number(v, 'f', decimals));
      }
      for (const std::optional<double>& limit : {limits.lower, limits.upper}) {
        if (!limit) continue;
        painter_.setPen(limitPen);
        painter_.drawLine(QPointF(plot.left(), py(*limit)), QPointF(plot.right(), py(*limit)));
      }
      // The curve, broken where a row is missing.
      painter_.setPen(pen);
      QPainterPath path;
      bool open = false;
      for (const QPointF& p : s.points) {
        if (std::isnan(p.y())) {
          open = false;
          continue;
        }
        const QPointF at(px(p.x()), py(p.y()));
        if (open) {
          path.lineTo(at);
        } else {
          path.moveTo(at);
          open = true;
        }
      }
      painter_.drawPath(path);
    };
    axis(t, true, tempPen, content_.limits.temperature, tempLimitPen);
    axis(h, !t.any, humPen, content_.limits.humidity, humLimitPen);
    painter_.setPen(Qt::black);
  }

  void DrawRecordPage(int from, int to, int page) {
    painter_.setFont(ReportFont(11, true));
    painter_.setPen(Qt::black);
    Text(QRectF(0, 0, width_, lineHeight_ * 1.5), Qt::AlignLeft | Qt::AlignVCenter,
         QStringLiteral("记录表（第 %1 至 %2 条）").arg(from + 1).arg(to));
    const double gap = Mm(6);
    const double blockWidth = (width_ - gap * (kTableBlocks - 1)) / kTableBlocks;
    const double widths[] = {blockWidth * 0.12, blockWidth * 0.48, blockWidth * 0.20, blockWidth * 0.20};
    const QString heading[] = {QStringLiteral("序号"), QStringLiteral("时间"), QStringLiteral("温度 ℃"),
                               QStringLiteral("湿度 %RH")};
    const ChannelLimits* limits[] = {&content_.limits.temperature, &content_.limits.humidity};
    const QFont plain = ReportFont(9);
    const QFont bold = ReportFont(9, true);
    const QPen grid(Qt::black, Mm(0.12));
    for (int block = 0; block < kTableBlocks; ++block) {
      const int first = from + block * rowsPerBlock_;
      if (first >= to) break;
      const int last = std::min(to, first + rowsPerBlock_);
      const double left = block * (blockWidth + gap);
      double y = lineHeight_ * 2.2;
      painter_.fillRect(QRectF(left, y, blockWidth, lineHeight_), QColor(225, 225, 225));
      painter_.setFont(bold);
      double x = left;
      for (int c = 0; c < 4; ++c) {
        Text(QRectF(x, y, widths[c], lineHeight_), Qt::AlignCenter, heading[c]);
        x += widths[c];
      }
      painter_.setPen(grid);
      painter_.drawLine(QPointF(left, y), QPointF(left + blockWidth, y));
      y += lineHeight_;
      painter_.drawLine(QPointF(left, y), QPointF(left + blockWidth, y));
      for (int i = first; i < last; ++i) {
        const RecordRow& row = content_.rows[static_cast<size_t>(i)];
        const Reading& reading = readings_[static_cast<size_t>(i)];
        x = left;
        painter_.setFont(plain);
        Text(QRectF(x, y, widths[0], lineHeight_), Qt::AlignCenter, QString::number(i + 1));
        x += widths[0];
        Text(QRectF(x, y, widths[1], lineHeight_), Qt::AlignCenter, Q(row.time));
        x += widths[1];
        for (int c = 0; c < 2; ++c) {
          const std::optional<double>& v = reading.value[c];
          const ChannelLimits& l = *limits[c];
          const bool outside = v && ((l.upper && *v > *l.upper) || (l.lower && *v < *l.lower));
          // Out of limits: bold with an arrow, which prints in black and white.
          QString text = c < static_cast<int>(row.values.size()) ? Q(row.values[static_cast<size_t>(c)]) : QString();
          if (outside) text += l.upper && *v > *l.upper ? QStringLiteral(" ↑") : QStringLiteral(" ↓");
          painter_.setFont(outside ? bold : plain);
          Text(QRectF(x, y, widths[2 + c], lineHeight_), Qt::AlignCenter, text);
          x += widths[2 + c];
        }
        y += lineHeight_;
      }
      painter_.setPen(grid);
      painter_.drawLine(QPointF(left, y), QPointF(left + blockWidth, y));
      const double top = lineHeight_ * 2.2;
      x = left;
      for (int c = 0; c <= 4; ++c) {
        painter_.drawLine(QPointF(x, top), QPointF(x, y));
        if (c < 4) x += widths[c];
      }
    }
    Footer(page);
  }

  const ReportContent& content_;
  QPdfWriter& writer_;
  std::vector<Reading> readings_;
  QPainter painter_;
  double width_ = 0, height_ = 0, lineHeight_ = 0, footerTop_ = 0;
  int rowsPerBlock_ = 1;
  int pages_ = 1;
};

}  // namespace

std::optional<devlink::Bytes> RenderReportPdf(const ReportContent& content, std::string* error) {
  if (QGuiApplication::instance() == nullptr) {
    if (error) *error = "no QGuiApplication";
    return std::nullopt;
  }
  QByteArray bytes;
  {
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter writer(&buffer);
    writer.setResolution(kDpi);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                     QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                                     QPageLayout::Millimeter));
    writer.setTitle(Q(content.title));
    writer.setCreator(QStringLiteral("tool ") + Q(content.programVersion));
    Report report(content, writer);
    if (!report.Draw()) {
      if (error) *error = "the PDF could not be drawn";
      return std::nullopt;
    }
  }
  return devlink::Bytes(bytes.begin(), bytes.end());
}

void InstallPdfReports() {
  InstallReportRenderer([](const ReportContent& content, std::string* error) {
    if (QGuiApplication::instance() == nullptr) {
      // tool-cli: a GUI application on the offscreen platform, made once, for the fonts.
      static int argc = 1;
      static char name[] = "tool-cli";
      static char* argv[] = {name, nullptr};
      if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
      // Its start-up notes (no runtime folder, ...) are not tool-cli's output; errors still are.
      const QtMessageHandler previous =
          qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
            if (type == QtCriticalMsg || type == QtFatalMsg) std::fprintf(stderr, "%s\n", qPrintable(text));
          });
      static std::unique_ptr<QGuiApplication> app = std::make_unique<QGuiApplication>(argc, argv);
      qInstallMessageHandler(previous);
    }
    return RenderReportPdf(content, error);
  });
}

}  // namespace pages::history
