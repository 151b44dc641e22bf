// oscalyx-cli plot: the waveform view as the window's plot shows it, written
// with the program's PNG writer; with --fit, the evaluation drawn over it.
#include "analysis/Acceptance.h"
#include "analysis/BandPass.h"
#include "analysis/DampedFit.h"
#include "cli/Cli.h"
#include "cli/ImageCanvas.h"
#include "components/DrawView.h"
#include "components/FitOverlay.h"
#include "image/PngObject.h"
#include "io/NumberText.h"

int RunPlot(const CliOptions& options, std::FILE*, std::FILE* err) {
  WaveData record;
  std::string timeLabel;
  if (const int status = LoadRecord(options, record, timeLabel, err); status != kExitOk) return status;

  ViewWindow view;
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
  ViewBandPass bandPass;
  bandPass.On = options.bandPass;
  const BandEdges edges = EdgesFromCentre(options.centre, options.ratio);
  bandPass.LowHz = edges.Lower;
  bandPass.HighHz = edges.Upper;
  SelectChannels(view, record.ChannelCount);
  DrawView(wave, record, view, bandPass);

  if (options.fit) {
    const double f0 = options.f0 ? *options.f0 : InitialFrequency(record.Rate);
    const FitEvaluation fit = EvaluateStretch(record.Samples[static_cast<std::size_t>(view.SingleIndex)],
                                              record.Rate, record.Dt, options.start, view.WidthSeconds, f0,
                                              options.h0);
    if (!fit.Ok()) {
      PrintError(err, fit.Failure->Message);
      return kExitFailure;
    }
    DrawFitOverlay(wave, fit);
  }

  TPNGObject png;
  png.Assign(canvas.Get()->Image());
  const PngResult saved = png.SaveToFile(options.positional[1]);
  if (!saved.ok) {
    PrintError(err, saved.message);
    return kExitFailure;
  }
  return kExitOk;
}
