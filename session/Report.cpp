#include "session/Report.h"

#include <algorithm>
#include <cmath>
#include <set>
#include <span>

#include "analysis/Flags.h"
#include "analysis/IntervalText.h"
#include "analysis/MinMaxSummary.h"
#include "analysis/ResultRows.h"
#include "io/NumberText.h"
#include "io/ShiftJisText.h"
#include "io/Version.h"

namespace {

constexpr int kFallbackFDecimals = 4;
constexpr int kFallbackHDecimals = 5;
constexpr int kRatioDecimals = 3;

std::string Fixed(double value, int decimals) { return std::isfinite(value) ? FormatFixed(value, decimals) : "-"; }

// Decimals for a value with a 95 % interval: as fine as the interval tells it.
int DecimalsFor(const std::optional<FitInterval>& interval, bool frequency, int fallback) {
  if (!interval) return fallback;
  const double half = frequency ? 0.5 * (interval->FHigh - interval->FLow) : 0.5 * (interval->HHigh - interval->HLow);
  return std::max(HalfWidthDecimals(half, fallback), frequency ? 3 : 4);
}

// Samples first ... first + count of `values` at `dt` seconds from `t0`, as
// at most kReportLinePoints points: every sample when they fit, else the least
// and the greatest of each column, in the order they occur.
ReportPlot::Series Line(ReportPlot::Role role, double t0, double dt, std::span<const float> values) {
  ReportPlot::Series series;
  series.Kind = role;
  const std::size_t n = values.size();
  const std::size_t columns = kReportLinePoints / 2;
  if (n <= kReportLinePoints) {
    for (std::size_t i = 0; i < n; ++i) {
      series.X.push_back(t0 + static_cast<double>(i) * dt);
      series.Y.push_back(values[i]);
    }
    return series;
  }
  for (std::size_t c = 0; c < columns; ++c) {
    const std::size_t begin = c * n / columns;
    const std::size_t end = (c + 1) * n / columns;
    std::size_t low = begin, high = begin;
    for (std::size_t i = begin; i < end; ++i) {
      if (values[i] < values[low]) low = i;
      if (values[i] > values[high]) high = i;
    }
    for (const std::size_t i : {std::min(low, high), std::max(low, high)}) {
      series.X.push_back(t0 + static_cast<double>(i) * dt);
      series.Y.push_back(values[i]);
    }
  }
  return series;
}

// The channel whole, as column extremes (the summary's pyramid keeps this fast
// for records of millions of samples).
ReportPlot::Series Overview(std::span<const float> samples, double rate) {
  ReportPlot::Series series;
  series.Kind = ReportPlot::Role::Data;
  if (samples.size() <= kReportLinePoints) return Line(ReportPlot::Role::Data, 0.0, 1.0 / rate, samples);
  const MinMaxSummary summary(samples);
  std::vector<MinMax> columns(kReportLinePoints / 2);
  summary.Columns(0, samples.size(), columns);
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].Empty()) continue;
    const double t = (static_cast<double>(c) + 0.5) * static_cast<double>(samples.size()) /
                     static_cast<double>(columns.size()) / rate;
    series.X.insert(series.X.end(), {t, t});
    series.Y.insert(series.Y.end(), {columns[c].Min, columns[c].Max});
  }
  return series;
}

std::string FlagsText(const std::vector<EvaluationFlag>& flags) {
  std::string text;
  for (const EvaluationFlag flag : flags) {
    if (!text.empty()) text += "、";
    text += FlagShortText(flag);
  }
  return text;
}

std::string ChannelText(const WaveData& record, int channel) {
  const auto k = static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1));
  std::string text = std::to_string(channel + 1) + "ch";
  const std::string name = DisplayUtf8(SlotText(record.Names[k]));
  const std::string unit = DisplayUtf8(SlotText(record.Units[k]));
  if (!name.empty()) text += " " + name;
  if (!unit.empty()) text += "（単位 " + unit + "）";
  return text;
}

// The log's header and rows as one UTF-8 text with LF line ends.
std::string AttachmentText(const std::vector<const Evaluation*>& evaluations) {
  std::string text = DisplayUtf8(EvaluationLogHeader());
  for (const Evaluation* evaluation : evaluations) {
    if (!evaluation->LogRow.empty()) text += DisplayUtf8(evaluation->LogRow);
  }
  std::string lf;
  lf.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    lf += text[i];
  }
  return lf;
}

}  // namespace

std::optional<ReportFormat> ReportFormatOf(std::string_view path) {
  const std::size_t dot = path.rfind('.');
  if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) return std::nullopt;
  std::string extension(path.substr(dot + 1));
  for (char& c : extension) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (extension == "pdf") return ReportFormat::Pdf;
  if (extension == "png") return ReportFormat::Png;
  if (extension == "svg") return ReportFormat::Svg;
  return std::nullopt;
}

std::string ReportDateText(std::time_t when) {
  std::tm local{};
  localtime_r(&when, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y/%m/%d %H:%M", &local);
  return text;
}

ReportContent GatherRecordReport(const RecordReportRequest& request) {
  const WaveData& record = *request.Record;
  ReportContent report;
  report.Title = "減衰振動の評価報告書";
  report.Version = ProgramVersionText();
  report.Date = ReportDateText(request.When);
  report.Operator = request.Operator;

  std::vector<const Evaluation*> evaluated;
  std::set<int> channels;
  for (const Evaluation* evaluation : request.Evaluations) {
    if (evaluation == nullptr) continue;
    evaluated.push_back(evaluation);
    channels.insert(evaluation->Request.Channel);
  }
  const double rate = record.Rate;
  std::string channelText;
  for (const int channel : channels) channelText += (channelText.empty() ? "" : "、") + ChannelText(record, channel);
  report.Facts = {
      {"ファイル名", DisplayUtf8(SlotText(record.FileName))},
      {"SHA-256", request.Sha256.empty() ? std::string("不明") : request.Sha256},
      {"チャンネル", channelText.empty() ? std::string("-") : channelText},
      {"サンプリング", RateText(rate) + " Hz、" + std::to_string(record.SampleCount) + " 点（" +
                           FormatFixed(record.SampleCount / rate, 3) + " s）"},
      {"記録時刻", DisplayUtf8(request.TimeLabel)},
      {"フィルタ", request.Band ? "バンドパス " + FormatFixed(request.Band->Lower, 2) + "〜" +
                                      FormatFixed(request.Band->Upper, 2) + " Hz"
                                : std::string("なし")},
  };

  // The table of the evaluated stretches.
  ReportTable& table = report.Table;
  table.Header = {"No.", "ch", "開始点", "幅 [s]", "f [Hz]", "f の 95 % 区間", "h", "h の 95 % 区間", "近似度", "警告", "判定"};
  table.Widths = {0.5, 0.45, 0.9, 0.65, 0.9, 1.55, 0.8, 1.5, 0.7, 1.6, 0.65};
  int acceptedCount = 0;
  double sumF = 0.0, sumH = 0.0;
  for (std::size_t k = 0; k < evaluated.size(); ++k) {
    const Evaluation& e = *evaluated[k];
    if (e.Accepted()) {
      ++acceptedCount;
      sumF += e.Fit.Result.F;
      sumH += e.Fit.Result.H;
    }
    if (k >= kReportTableRows) continue;
    std::vector<std::string> row = {std::to_string(k + 1), std::to_string(e.Request.Channel + 1),
                                    std::to_string(e.Request.Start), FormatFixed(e.Request.WidthSeconds, 3)};
    if (e.Ok()) {
      const FitResult& r = e.Fit.Result;
      const int fDecimals = DecimalsFor(e.Interval, true, kFallbackFDecimals);
      const int hDecimals = DecimalsFor(e.Interval, false, kFallbackHDecimals);
      row.push_back(Fixed(r.F, fDecimals));
      row.push_back(e.Interval ? Fixed(e.Interval->FLow, fDecimals) + "〜" + Fixed(e.Interval->FHigh, fDecimals) : "-");
      row.push_back(Fixed(r.H, hDecimals));
      row.push_back(e.Interval ? Fixed(e.Interval->HLow, hDecimals) + "〜" + Fixed(e.Interval->HHigh, hDecimals) : "-");
      row.push_back(Fixed(r.Ratio, kRatioDecimals));
    } else {
      row.insert(row.end(), {"-", "-", "-", "-", "-"});
    }
    row.push_back(FlagsText(e.Flags));
    row.push_back(e.Accepted() ? "採用" : e.Ok() ? "不採用" : "失敗");
    table.Rows.push_back(std::move(row));
  }
  if (evaluated.empty()) table.Note = "評価した区間はありません。";
  if (evaluated.size() > kReportTableRows) {
    table.Note = "ほか " + std::to_string(evaluated.size() - kReportTableRows) +
                 " 区間の結果は添付ファイル evaluations.csv にあります。";
  }
  report.Summary = acceptedCount > 0 ? "採用 " + std::to_string(acceptedCount) + " 件の平均：f = " +
                                           FormatFixed(sumF / acceptedCount, 4) + " Hz、h = " +
                                           FormatFixed(sumH / acceptedCount, 5)
                                     : std::string("採用された評価はありません。");

  // The stretch shown with its fit: the first accepted, else the first fitted.
  const Evaluation* shown = nullptr;
  for (const Evaluation* e : evaluated) {
    if (e->Accepted()) {
      shown = e;
      break;
    }
  }
  if (shown == nullptr) {
    for (const Evaluation* e : evaluated) {
      if (e->Ok()) {
        shown = e;
        break;
      }
    }
  }
  const int channel = shown != nullptr ? shown->Request.Channel : channels.empty() ? 0 : *channels.begin();
  const auto k = static_cast<std::size_t>(std::clamp(channel, 0, kMaxChannels - 1));
  const std::vector<float>& samples = record.Samples[k];
  const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0)));
  const std::string unit = DisplayUtf8(SlotText(record.Units[k]));
  const std::string valueLabel = unit.empty() ? std::string("値") : "値 [" + unit + "]";

  ReportPlot whole;
  whole.Title = ChannelText(record, channel) + " の全体と評価区間";
  whole.XLabel = "時間 [s]";
  whole.YLabel = valueLabel;
  whole.Lines.push_back(Overview(std::span<const float>(samples.data(), count), rate));
  for (const Evaluation* e : evaluated) {
    if (e->Request.Channel != channel) continue;
    const double from = static_cast<double>(e->Request.Start) / rate;
    whole.Spans.emplace_back(from, from + static_cast<double>(e->Request.WidthSeconds));
  }
  report.Plots.push_back({36.0, {whole}});

  ReportPlot detail;
  ReportPlot residual;
  detail.XLabel = residual.XLabel = "時間 [s]";
  detail.YLabel = valueLabel;
  residual.YLabel = "残差";
  if (shown != nullptr) {
    const FitEvaluation& fit = shown->Fit;
    const auto start = static_cast<std::size_t>(shown->Request.Start);
    const std::size_t n = std::min<std::size_t>(fit.Curve.size(), count > start ? count - start : 0);
    const double t0 = static_cast<double>(start) / rate;
    const double dt = 1.0 / rate;
    const std::span<const float> data(samples.data() + start, n);
    std::vector<float> difference(n);
    for (std::size_t i = 0; i < n; ++i) difference[i] = data[i] - fit.Curve[i];
    detail.Title = "評価区間 No." +
                   std::to_string(std::find(evaluated.begin(), evaluated.end(), shown) - evaluated.begin() + 1) +
                   " の波形と近似曲線（f = " + Fixed(fit.Result.F, 4) + " Hz、h = " + Fixed(fit.Result.H, 5) + "）";
    detail.Lines.push_back(Line(ReportPlot::Role::Data, t0, dt, data));
    detail.Lines.push_back(Line(ReportPlot::Role::Fit, t0, dt, std::span<const float>(fit.Curve.data(), n)));
    ReportPlot::Series points;
    points.Kind = ReportPlot::Role::Points;
    for (int p = 0; p < kFitPoints; ++p) {
      points.X.push_back(t0 + static_cast<double>(p) * fit.Points.Delta);
      points.Y.push_back(fit.Points.Values[static_cast<std::size_t>(p)]);
    }
    detail.Lines.push_back(std::move(points));
    residual.Title = "残差（波形から近似曲線を引いたもの）";
    residual.Lines.push_back(Line(ReportPlot::Role::Residual, t0, dt, difference));
  } else {
    detail.Title = "評価区間の波形と近似曲線";
    detail.Empty = residual.Empty = "近似できた評価がありません";
    residual.Title = "残差";
  }
  report.Plots.push_back({52.0, {detail}});
  report.Plots.push_back({24.0, {residual}});

  ReportPlot fPlot, hPlot;
  fPlot.Title = "f と振幅";
  hPlot.Title = "h と振幅";
  fPlot.XLabel = hPlot.XLabel = unit.empty() ? std::string("|A|") : "|A| [" + unit + "]";
  fPlot.YLabel = "f [Hz]";
  hPlot.YLabel = "h";
  ReportPlot::Series fAccepted, fRejected;
  fAccepted.Kind = ReportPlot::Role::Accepted;
  fRejected.Kind = ReportPlot::Role::Rejected;
  ReportPlot::Series hAccepted = fAccepted, hRejected = fRejected;
  for (const Evaluation* e : evaluated) {
    if (!e->Ok()) continue;
    const FitResult& r = e->Fit.Result;
    ReportPlot::Series& fSeries = e->Accepted() ? fAccepted : fRejected;
    ReportPlot::Series& hSeries = e->Accepted() ? hAccepted : hRejected;
    fSeries.X.push_back(std::fabs(r.A));
    fSeries.Y.push_back(r.F);
    hSeries.X.push_back(std::fabs(r.A));
    hSeries.Y.push_back(r.H);
  }
  fPlot.Lines = {fRejected, fAccepted};
  hPlot.Lines = {hRejected, hAccepted};
  if (acceptedCount > 0) {
    fPlot.Levels.emplace_back(sumF / acceptedCount, "平均 " + FormatFixed(sumF / acceptedCount, 4));
    hPlot.Levels.emplace_back(sumH / acceptedCount, "平均 " + FormatFixed(sumH / acceptedCount, 5));
  }
  if (fAccepted.X.empty() && fRejected.X.empty()) fPlot.Empty = hPlot.Empty = "結果がありません";
  report.Plots.push_back({58.0, {fPlot, hPlot}});

  report.AttachmentName = "evaluations.csv";
  report.Attachment = AttachmentText(evaluated);
  return report;
}
