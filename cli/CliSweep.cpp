// oscalyx-cli sweep: the evaluation of successive starts of one channel, each
// exactly as fit makes it, spread over all cores and printed in start order;
// optionally f and h against the amplitude as two graphs in one PNG.
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <memory>

#include "analysis/Acceptance.h"
#include "analysis/ResultRows.h"
#include "cli/Cli.h"
#include "cli/ImageCanvas.h"
#include "cli/ReadableUnits.h"
#include "components/MyGraph.h"
#include "components/Platform.h"
#include "image/PngObject.h"
#include "io/ReplacingFile.h"
#include "io/SystemErrorText.h"
#include "io/ThreadTeam.h"
#include "components/Markers.h"

namespace {

// Starts evaluated between two outputs: bounds the memory of a long sweep
// while every core still gets hundreds of evaluations per block.
constexpr std::int64_t kSweepBlock = 512;

constexpr char kSweepHeader[] =
    "start,A,wn,f,T,h,phi,ratio,passes,accepted,se_f,se_h,f_lo,f_hi,h_lo,h_hi,flags,error\n";
// A failed start leaves A ... flags empty.
constexpr char kEmptyFields[] = ",,,,,,,,,,,,,,,,";

constexpr int kGraphSize = TMyGraph::kDefaultWidth;  // each graph is square
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kMarkerPen{255, 0, 0};
constexpr int kMarkerPenWidth = 2;

SweepLine LineOf(std::int64_t start, const Evaluation& evaluation) {
  SweepLine line;
  line.Text = std::to_string(start);
  line.LogRow = evaluation.LogRow;
  if (!evaluation.Fit.Ok()) {
    line.Text += kEmptyFields + ("," + evaluation.Fit.Failure->Message);
    return line;
  }
  const FitResult& r = evaluation.Fit.Result;
  line.Evaluated = true;
  line.Accepted = IsAccepted(r.Ratio);
  line.AbsA = std::fabs(r.A);
  line.F = r.F;
  line.H = r.H;
  line.ResultsRow = evaluation.ResultsRow;
  for (const float value : {r.A, r.Wn, r.F, r.T, r.H, r.Phi, r.Ratio}) line.Text += "," + RealText(value);
  line.Text += "," + std::to_string(r.Passes) + (line.Accepted ? ",1," : ",0,");
  if (evaluation.Errors) line.Text += RealText(evaluation.Errors->F) + "," + RealText(evaluation.Errors->H);
  else line.Text += ",";
  if (const auto& interval = evaluation.Interval) {
    for (const double bound : {interval->FLow, interval->FHigh, interval->HLow, interval->HHigh}) {
      line.Text += "," + RealText(bound);
    }
  } else {
    line.Text += ",,,,";
  }
  line.Text += "," + JoinedFlagNames(evaluation.Flags);
  line.Text += ",";  // no error
  return line;
}

// The graphs ask nothing of a desktop: linear scales never show a message.
class NoDesktop final : public Platform {
 public:
  void ShowMessage(const std::string&, const std::string&, MessageIcon) override {}
  std::string OpenFileName(const FileDialogRequest&) override { return {}; }
  std::string SaveFileName(const FileDialogRequest&) override { return {}; }
  void CopyImageToClipboard(const RgbImage&) override {}
  bool RunLongWork(const std::string&, const std::function<void(WorkReporter&)>& work) override {
    WorkReporter reporter;
    work(reporter);
    return true;
  }
  void RequestQuit() override {}
};

// One 300 × 300 graph of ys against xs with scales just above the data, on
// `canvas`.
RgbImage GraphImage(Canvas& canvas, const std::vector<float>& xValues, const std::vector<float>& yValues,
                    const char* titleY) {
  // Plain tick labels at any scale: tiny damping ratios, amplitudes in g.
  const ReadableAxis x = InReadableUnits(xValues, "振幅 |A|");
  const ReadableAxis y = InReadableUnits(yValues, titleY);
  const std::vector<float>& xs = x.Values;
  const std::vector<float>& ys = y.Values;
  // The canvas as new, whatever the graph before it left.
  canvas.SetPenColor({0, 0, 0});
  canvas.SetPenWidth(1);
  canvas.SetPenStyle(PenStyle::Solid);
  canvas.SetPenMode(PenMode::Copy);
  canvas.SetBrushColor(kWhite);
  NoDesktop desktop;
  TMyGraph graph(canvas, desktop);
  graph.TitleX = x.Title;
  graph.TitleY = y.Title;
  const int n = static_cast<int>(xs.size());
  if (n > 0) {
    graph.XScaleUnit(n, xs.data());
    graph.YScaleUnit1(n, ys.data());
  }
  graph.Clear(kWhite);
  graph.DrawWaku();
  canvas.SetPenColor(kMarkerPen);
  canvas.SetPenWidth(kMarkerPenWidth);
  graph.PlotGraph(n, xs.data(), ys.data(), kMarkerCircle, kPointMarkerRadius);
  return canvas.Image();
}

// The accepted evaluations the plot shows.
struct AcceptedPoints {
  std::vector<float> Amplitudes;  // |A|
  std::vector<float> Fs;
  std::vector<float> Hs;
};

// f against |A| on the left, h against |A| on the right, into `file`, which
// was made before the sweep began.
bool WriteSweepPlot(Canvas& canvas, ReplacingFile& file, const std::string& path, const AcceptedPoints& points,
                    std::FILE* err) {
  const std::vector<float>& amplitudes = points.Amplitudes;
  const std::vector<float>& fs = points.Fs;
  const std::vector<float>& hs = points.Hs;
  const RgbImage left = GraphImage(canvas, amplitudes, fs, "固有振動数[Hz]");
  const RgbImage right = GraphImage(canvas, amplitudes, hs, "減衰比");
  RgbImage picture;
  picture.width = 2 * kGraphSize;
  picture.height = kGraphSize;
  picture.pixels.resize(static_cast<std::size_t>(picture.width) * picture.height * 3);
  const std::size_t rowBytes = static_cast<std::size_t>(kGraphSize) * 3;
  for (int y = 0; y < kGraphSize; ++y) {
    auto row = picture.pixels.begin() + static_cast<std::ptrdiff_t>(2 * rowBytes * y);
    std::copy_n(left.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * y), rowBytes, row);
    std::copy_n(right.pixels.begin() + static_cast<std::ptrdiff_t>(rowBytes * y), rowBytes,
                row + static_cast<std::ptrdiff_t>(rowBytes));
  }
  TPNGObject png;
  png.Assign(picture);
  std::vector<std::uint8_t> bytes;
  if (const PngResult encoded = png.SaveToStream(bytes); !encoded.ok) {
    PrintError(err, encoded.message);
    return false;
  }
  errno = 0;
  if (std::fwrite(bytes.data(), 1, bytes.size(), file.stream()) != bytes.size()) {
    PrintError(err, "ファイル「" + path + "」に書き込めません：" + SystemErrorText(errno != 0 ? errno : EIO) + "。");
    return false;
  }
  // Renamed into place once complete and on disk.
  if (!file.Commit()) {
    PrintError(err, "ファイル「" + path + "」に書き込めません：" + file.errorText() + "。");
    return false;
  }
  return true;
}

}  // namespace

std::vector<SweepLine> SweepStarts(const Session& session, int index, const CliOptions& options, std::int64_t first,
                                   std::int64_t count, unsigned threads) {
  std::vector<SweepLine> lines(static_cast<std::size_t>(std::max<std::int64_t>(count, 0)));
  const WaveData& record = session.Record();
  ForEachIndex(count, std::max(threads, 1u), [&](std::int64_t i) {
    const std::int64_t start = first + i * options.every;
    const Evaluation evaluation =
        EvaluateRecord(record, session.Band(), RequestFor(options, record, index, start), std::time(nullptr),
                       session.Facts(index));
    lines[static_cast<std::size_t>(i)] = LineOf(start, evaluation);
  });
  return lines;
}

// How many of the starts from --from to --to are evaluated: those inside the
// record, and the first one past its end, whose line says why the sweep
// stops there; every later start would only fail the same way.
std::int64_t StartsToEvaluate(const CliOptions& options, std::int64_t sampleCount) {
  const std::int64_t total = (static_cast<std::int64_t>(options.to) - options.from) / options.every + 1;
  const std::int64_t inside =
      options.from >= sampleCount ? 0 : (std::min<std::int64_t>(options.to, sampleCount - 1) - options.from) /
                                            options.every + 1;
  return std::min(total, inside + 1);
}

int RunSweep(const CliOptions& options, std::FILE* out, std::FILE* err) {
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;

  // The picture's file and the module that draws it are made ready before
  // the first evaluation: a sweep never ends in an output it could not make.
  std::unique_ptr<ImageCanvas> canvas;
  std::unique_ptr<ReplacingFile> plotFile;
  if (!options.plot.empty()) {
    if (!OutputAllowed(options, options.plot, err)) return kExitFailure;
    canvas = std::make_unique<ImageCanvas>(kGraphSize, kGraphSize);
    if (canvas->Get() == nullptr) {
      PrintError(err, canvas->Error());
      return kExitFailure;
    }
    plotFile = std::make_unique<ReplacingFile>(options.plot);
    if (!plotFile->ok()) {
      PrintError(err, "ファイル「" + options.plot + "」を作成できません：" + plotFile->errorText() + "。");
      return kExitFailure;
    }
    // A temporary file proved the folder takes it; made again at the end, it
    // is not left behind by a sweep killed in its course. A pipe or a device
    // stays open: it cannot be opened twice the same way.
    if (!plotFile->WritesDirectly()) plotFile.reset();
  }

  session.Detection(index);  // for the flag of a stretch that starts too early
  const unsigned threads = CoreCount();
  const std::int64_t total = StartsToEvaluate(options, session.Record().SampleCount);
  std::fputs(kSweepHeader, out);
  std::int64_t evaluated = 0;
  AcceptedPoints accepted;
  // The rows wait for the end, when they are appended in one step after the
  // other outputs got out: a sweep that fails appends nothing.
  std::string resultsRows;
  std::string logRows;
  for (std::int64_t done = 0; done < total; done += kSweepBlock) {
    const std::int64_t count = std::min(kSweepBlock, total - done);
    const std::vector<SweepLine> lines =
        SweepStarts(session, index, options, options.from + done * options.every, count, threads);
    for (const SweepLine& line : lines) {
      std::fprintf(out, "%s\n", line.Text.c_str());
      if (!options.log.empty()) logRows += line.LogRow;
      if (!line.Evaluated) continue;
      ++evaluated;
      if (!options.results.empty()) resultsRows += line.ResultsRow;
      if (!line.Accepted) continue;
      accepted.Amplitudes.push_back(line.AbsA);
      accepted.Fs.push_back(line.F);
      accepted.Hs.push_back(line.H);
    }
  }
  if (evaluated == 0) {
    // Nothing to draw; the log keeps the failed evaluations of valid stretches.
    AppendEvaluationRows(options, {}, logRows, err, [&] { return StdoutWritten(out, err); });
    PrintError(err, "評価できた開始点がありません。");
    return kExitFailure;
  }
  const bool done = AppendEvaluationRows(options, resultsRows, logRows, err, [&] {
    if (!StdoutWritten(out, err)) return false;
    if (options.plot.empty()) return true;
    if (!plotFile) plotFile = std::make_unique<ReplacingFile>(options.plot);
    if (!plotFile->ok()) {
      PrintError(err, "ファイル「" + options.plot + "」を作成できません：" + plotFile->errorText() + "。");
      return false;
    }
    return WriteSweepPlot(*canvas->Get(), *plotFile, options.plot, accepted, err);
  });
  return done ? kExitOk : kExitFailure;
}
