// oscalyx-cli spectrum: the Welch-averaged amplitude spectrum of a stretch of
// one channel and the peaks that stand out of its noise, as CSV, JSON or a
// picture.
#include <algorithm>
#include <cmath>
#include <limits>

#include "cli/Cli.h"
#include "cli/ImageCanvas.h"
#include "components/MyGraph.h"
#include "components/Platform.h"
#include "image/PngObject.h"
#include "components/Markers.h"

namespace {

constexpr int kPlotWidth = 600;
constexpr int kPlotHeight = 300;
constexpr Rgb kWhite{255, 255, 255};
constexpr Rgb kTracePen{0, 0, 255};
constexpr Rgb kPeakPen{255, 0, 0};

// The graph asks nothing of a desktop: linear scales never show a message.
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

// Amplitude against frequency up to half the rate, the peaks circled.
bool WriteSpectrumPlot(const std::string& path, const Spectrum& spectrum, std::FILE* err) {
  const ImageCanvas canvas(kPlotWidth, kPlotHeight);
  if (canvas.Get() == nullptr) {
    PrintError(err, canvas.Error());
    return false;
  }
  NoDesktop desktop;
  TMyGraph graph(*canvas.Get(), desktop);
  graph.WidthX = kPlotWidth - 70;
  graph.HeightY = kPlotHeight - 50;
  graph.OriginX = 45;
  graph.OriginY = kPlotHeight - 30;
  graph.TitleX = "振動数[Hz]";
  graph.TitleY = "振幅";
  std::vector<float> fs(spectrum.Amplitude.size()), amplitudes(spectrum.Amplitude.size());
  for (std::size_t k = 0; k < fs.size(); ++k) {
    fs[k] = static_cast<float>(static_cast<double>(k) * spectrum.Resolution);
    amplitudes[k] = static_cast<float>(spectrum.Amplitude[k]);
  }
  const int n = static_cast<int>(fs.size());
  graph.XScaleUnit(n, fs.data());
  graph.YScaleUnit(n, amplitudes.data());
  graph.Clear(kWhite);
  graph.DrawWaku();
  Canvas& pen = graph.GetCanvas();
  pen.SetPenColor(kTracePen);
  graph.DrawGraph(n, fs.data(), amplitudes.data());
  std::vector<float> peakFs, peakAmplitudes;
  for (const SpectrumPeak& peak : spectrum.Peaks) {
    peakFs.push_back(static_cast<float>(peak.F));
    peakAmplitudes.push_back(static_cast<float>(peak.Amplitude));
  }
  pen.SetPenColor(kPeakPen);
  pen.SetPenWidth(2);
  graph.PlotGraph(static_cast<int>(peakFs.size()), peakFs.data(), peakAmplitudes.data(), kMarkerCircle, kPointMarkerRadius);
  TPNGObject png;
  png.Assign(pen.Image());
  const PngResult saved = png.SaveToFile(path);
  if (!saved.ok) PrintError(err, saved.message);
  return saved.ok;
}

std::string Json(const Spectrum& spectrum) {
  std::string json = "{\"resolution\": " + RealText(spectrum.Resolution) +
                     ", \"segments\": " + std::to_string(spectrum.Segments) + ", \"peaks\": [";
  for (std::size_t k = 0; k < spectrum.Peaks.size(); ++k) {
    const SpectrumPeak& peak = spectrum.Peaks[k];
    json += std::string(k > 0 ? ", " : "") + "{\"f\": " + RealText(peak.F) + ", \"amplitude\": " +
            RealText(peak.Amplitude) + ", \"h_half_power\": " + (peak.H ? RealText(*peak.H) : std::string("null")) +
            "}";
  }
  return json + "]}";
}

}  // namespace

int RunSpectrum(const CliOptions& options, std::FILE* out, std::FILE* err) {
  if (!options.plot.empty() && !OutputAllowed(options, options.plot, err)) return kExitFailure;
  Session session;
  int index = 0;
  if (const int status = LoadSessionChannel(options, session, index, err); status != kExitOk) return status;
  const std::int64_t last = options.toGiven ? options.to : std::numeric_limits<std::int64_t>::max();
  if (options.from >= session.Record().SampleCount) {
    PrintError(err, "--from がデータの範囲外です（" + std::to_string(session.Record().SampleCount) + " サンプル）。");
    return kExitUsage;
  }
  const Spectrum spectrum = session.SpectrumOf(index, options.from, last);
  if (!spectrum.Ok()) {
    PrintError(err, spectrum.Failure->Message);
    return kExitFailure;
  }
  if (!options.plot.empty() && !WriteSpectrumPlot(options.plot, spectrum, err)) return kExitFailure;
  if (options.json) {
    std::fprintf(out, "%s\n", Json(spectrum).c_str());
    return kExitOk;
  }
  std::fputs("f,amplitude\n", out);
  for (std::size_t k = 0; k < spectrum.Amplitude.size(); ++k) {
    std::fprintf(out, "%s,%s\n", RealText(static_cast<double>(k) * spectrum.Resolution).c_str(),
                 RealText(spectrum.Amplitude[k]).c_str());
  }
  return kExitOk;
}
