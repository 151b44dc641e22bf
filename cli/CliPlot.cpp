// oscalyx-cli plot: the waveform view as the window's plot shows it, written
// with the program's PNG writer; with --fit, the evaluation drawn over it.
#include <ctime>

#include "cli/Cli.h"
#include "cli/ImageCanvas.h"
#include "components/DrawView.h"
#include "components/FitOverlay.h"
#include "image/PngObject.h"

namespace {

// The picture on stdout, for OUT "-".
bool WriteToStdout(const TPNGObject& png, std::FILE* out, std::FILE* err) {
  std::vector<std::uint8_t> bytes;
  if (const PngResult encoded = png.SaveToStream(bytes); !encoded.ok) {
    PrintError(err, encoded.message);
    return false;
  }
  std::fwrite(bytes.data(), 1, bytes.size(), out);
  return StdoutWritten(out, err);
}

}  // namespace

int RunPlot(const CliOptions& options, std::FILE* out, std::FILE* err) {
  const std::string& target = options.positional[1];
  if (!OutputAllowed(options, target, err)) return kExitFailure;
  Session session;
  if (const int status = LoadSession(options, session, err); status != kExitOk) return status;
  const WaveData& record = session.Record();

  ViewWindow& view = session.View();
  view.Channels = {};
  for (const int channel : options.channels) {
    if (channel < 1 || channel > record.ChannelCount) {
      PrintError(err, "oscalyx-cli: --channels takes numbers between 1 and " + std::to_string(record.ChannelCount));
      return kExitUsage;
    }
    view.Channels[static_cast<std::size_t>(channel - 1)] = true;
  }
  if (options.channels.empty()) {
    for (int k = 0; k < record.ChannelCount; ++k) view.Channels[static_cast<std::size_t>(k)] = true;
  }
  int shown = 0;
  for (int k = 0; k < record.ChannelCount; ++k) shown += view.Channels[static_cast<std::size_t>(k)] ? 1 : 0;
  if (options.fit && shown != 1) {
    PrintError(err, "oscalyx-cli: --fit needs exactly one channel (--channels K)");
    return kExitUsage;
  }
  view.Start = options.start;
  ApplyWidthSeconds(view, options.width);
  view.PlotBackground = options.white ? kWhitePlotBackground : kPlotBackground;

  const ImageCanvas canvas(kViewWidth, kViewHeight);
  if (canvas.Get() == nullptr) {
    PrintError(err, canvas.Error());
    return kExitFailure;
  }
  TMyWave wave(*canvas.Get());
  SelectChannels(view, record.ChannelCount);
  DrawView(wave, record, view, session.Band());

  if (options.fit) {
    EvaluationRequest request = RequestFor(options, record, view.SingleIndex, options.start);
    request.WidthSeconds = view.WidthSeconds;
    const Evaluation evaluation = EvaluateRecord(record, session.Band(), request, std::time(nullptr));
    if (!evaluation.Ok()) {
      PrintError(err, evaluation.Fit.Failure->Message);
      return kExitFailure;
    }
    DrawFitOverlay(wave, evaluation.Fit);
  }

  TPNGObject png;
  png.Assign(canvas.Get()->Image());
  if (target == "-") return WriteToStdout(png, out, err) ? kExitOk : kExitFailure;
  const PngResult saved = png.SaveToFile(target);
  if (!saved.ok) {
    PrintError(err, saved.message);
    return kExitFailure;
  }
  return kExitOk;
}
