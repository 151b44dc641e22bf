// The monitoring view: the accepted results of many records against time and
// against amplitude, the picture a monitoring engineer looks at first.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <map>

#include "io/NumberText.h"
#include "io/Version.h"
#include "session/Report.h"

namespace {

std::optional<double> Number(const std::string& text) {
  if (text.empty()) return std::nullopt;
  const double value = ParseDecimal(text);
  return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

// "YYYY-MM-DD HH:MM:SS" as seconds since 1970, the local time read as UTC so
// that the labels show it unchanged.
std::optional<double> TimeSeconds(const std::string& text) {
  std::tm parts{};
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d", &year, &month, &day, &hour, &minute, &second) != 6) {
    return std::nullopt;
  }
  parts.tm_year = year - 1900;
  parts.tm_mon = month - 1;
  parts.tm_mday = day;
  parts.tm_hour = hour;
  parts.tm_min = minute;
  parts.tm_sec = second;
  return static_cast<double>(timegm(&parts));
}

struct ChannelSummary {
  int Count = 0;
  double SumF = 0.0, SumH = 0.0;
  double MinF = INFINITY, MaxF = -INFINITY;
  std::string First, Last;
};

}  // namespace

ReportContent GatherTrendReport(const std::vector<BatchRow>& rows, const std::string& source,
                                const std::string& operatorName, std::time_t when) {
  ReportContent report;
  report.Title = "モニタリング：f と h の推移";
  report.Version = ProgramVersionText();
  report.Date = ReportDateText(when);
  report.Operator = operatorName;

  // One series per channel (number and name), each in its own colour.
  struct ChannelSeries {
    ReportPlot::Series FTime, HTime, FPeak, HPeak;
  };
  std::map<std::string, ChannelSeries> series;
  std::map<std::string, ChannelSummary> channels;
  std::map<std::string, int> settings;
  int accepted = 0, unreadable = 0, untimed = 0;
  double sumF = 0.0, sumH = 0.0;
  std::string first, last;
  for (const BatchRow& row : rows) {
    ++settings[Cell(row, BatchColumn::Settings)];
    if (Cell(row, BatchColumn::Channel).empty()) ++unreadable;
    const std::optional<double> f = Number(Cell(row, BatchColumn::F));
    const std::optional<double> h = Number(Cell(row, BatchColumn::H));
    if (Cell(row, BatchColumn::Accepted) != "1" || !f || !h) continue;
    ++accepted;
    sumF += *f;
    sumH += *h;
    const std::string& name = Cell(row, BatchColumn::Name);
    const std::string channel = Cell(row, BatchColumn::Channel) + "ch" + (name.empty() ? "" : " " + name);
    ChannelSeries& own = series[channel];
    const std::string& time = Cell(row, BatchColumn::Time);
    if (const std::optional<double> t = TimeSeconds(time)) {
      own.FTime.X.push_back(*t);
      own.FTime.Y.push_back(*f);
      own.HTime.X.push_back(*t);
      own.HTime.Y.push_back(*h);
      if (first.empty() || time < first) first = time;
      if (last.empty() || time > last) last = time;
    } else {
      ++untimed;
    }
    if (const std::optional<double> peak = Number(Cell(row, BatchColumn::Peak))) {
      own.FPeak.X.push_back(*peak);
      own.FPeak.Y.push_back(*f);
      own.HPeak.X.push_back(*peak);
      own.HPeak.Y.push_back(*h);
    }
    ChannelSummary& summary = channels[channel];
    ++summary.Count;
    summary.SumF += *f;
    summary.SumH += *h;
    summary.MinF = std::min(summary.MinF, *f);
    summary.MaxF = std::max(summary.MaxF, *f);
    if (summary.First.empty() || (!time.empty() && time < summary.First)) summary.First = time;
    if (summary.Last.empty() || time > summary.Last) summary.Last = time;
  }

  std::string settingsText;
  for (const auto& [hash, count] : settings) {
    settingsText += (settingsText.empty() ? "" : "、") + (hash.empty() ? std::string("なし") : hash) + "（" +
                    std::to_string(count) + " 行）";
  }
  report.Facts = {
      {"元データ", source},
      {"行数", std::to_string(rows.size()) + " 行（採用 " + std::to_string(accepted) + " 件、読めない記録 " +
                   std::to_string(unreadable) + " 件）"},
      {"期間", first.empty() ? std::string("-") : first + " 〜 " + last},
      {"設定", settingsText.empty() ? std::string("-") : settingsText},
  };
  if (untimed > 0) report.Facts.emplace_back("時刻なし", std::to_string(untimed) + " 件は時刻が読めず、時間軸の図にありません");

  ReportTable& table = report.Table;
  table.Header = {"チャンネル", "採用数", "f の平均 [Hz]", "f の範囲 [Hz]", "h の平均", "最初", "最後"};
  table.Widths = {1.6, 0.7, 1.1, 1.6, 0.9, 1.6, 1.6};
  for (const auto& [name, s] : channels) {
    if (table.Rows.size() >= kReportTableRows) break;
    table.Rows.push_back({name, std::to_string(s.Count), FormatFixed(s.SumF / s.Count, 4),
                          FormatFixed(s.MinF, 4) + "〜" + FormatFixed(s.MaxF, 4), FormatFixed(s.SumH / s.Count, 5),
                          s.First, s.Last});
  }
  if (channels.size() > kReportTableRows) {
    table.Note = "ほか " + std::to_string(channels.size() - kReportTableRows) + " チャンネルは添付ファイルの行にあります。";
  } else if (channels.empty()) {
    table.Note = "採用された結果はありません。";
  }
  // A mean over several channels mixes different structures or places: each
  // channel's own stands in the table, and only a single channel gets one line.
  const bool oneChannel = channels.size() == 1;
  if (accepted == 0) {
    report.Summary = "採用された結果はありません。";
  } else if (oneChannel) {
    report.Summary = "採用 " + std::to_string(accepted) + " 件の平均：f = " + FormatFixed(sumF / accepted, 4) +
                     " Hz、h = " + FormatFixed(sumH / accepted, 5);
  } else {
    report.Summary = "採用 " + std::to_string(accepted) + " 件（" + std::to_string(channels.size()) +
                     " チャンネル）：平均はチャンネルごとに表にあります。";
  }

  const auto plot = [&](std::string title, std::string x, std::string y, bool isTime,
                        ReportPlot::Series ChannelSeries::*which, double mean, int decimals) {
    ReportPlot p;
    p.Title = std::move(title);
    p.XLabel = std::move(x);
    p.YLabel = std::move(y);
    p.XIsTime = isTime;
    int colour = 0;
    bool any = false;
    for (auto& [channel, own] : series) {
      ReportPlot::Series line = own.*which;
      line.Kind = ReportPlot::Role::Accepted;
      line.Palette = colour++;
      line.Legend = channel;
      any = any || !line.X.empty();
      p.Lines.push_back(std::move(line));
    }
    if (!any) p.Empty = "採用された結果がありません";
    if (accepted > 0 && oneChannel) p.Levels.emplace_back(mean, "平均 " + FormatFixed(mean, decimals));
    return p;
  };
  const double meanF = accepted > 0 ? sumF / accepted : 0.0;
  const double meanH = accepted > 0 ? sumH / accepted : 0.0;
  report.Plots.push_back({50.0, {plot("f の推移", "記録の時刻", "f [Hz]", true, &ChannelSeries::FTime, meanF, 4)}});
  report.Plots.push_back({50.0, {plot("h の推移", "記録の時刻", "h", true, &ChannelSeries::HTime, meanH, 5)}});
  report.Plots.push_back({56.0, {plot("f と振幅", "減衰のピーク振幅", "f [Hz]", false, &ChannelSeries::FPeak, meanF, 4),
                                 plot("h と振幅", "減衰のピーク振幅", "h", false, &ChannelSeries::HPeak, meanH, 5)}});

  report.AttachmentName = "results.csv";
  report.Attachment = BatchHeaderLine();
  for (const BatchRow& row : rows) report.Attachment += FormatBatchRow(row);
  return report;
}
