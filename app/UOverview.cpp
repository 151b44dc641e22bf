#include "app/UOverview.h"

#include <QCheckBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QStyle>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <ctime>

#include "analysis/StretchSpectrum.h"
#include "app/Conversions.h"
#include "app/GraphNotices.h"
#include "app/OverviewPicture.h"
#include "app/UGraph.h"
#include "components/qt/AccessibleNames.h"
#include "components/AmplitudeGraph.h"
#include "components/MyGraph.h"
#include "components/Platform.h"
#include "components/SpectrumGraph.h"
#include "components/qt/DisplayText.h"
#include "io/NumberText.h"
#include "session/DecayEvaluations.h"
#include "session/Session.h"

namespace {

constexpr char kTitle[] = "記録の概観";
constexpr char kDetectingLabel[] = "減衰を検出中…";
constexpr char kEvaluatingLabel[] = "検出した減衰を評価中…";
const QColor kBackground(211, 237, 252);
constexpr Rgb kWhite{255, 255, 255};

// The spectrum of the shown stretch follows the view once it has rested this long.
constexpr int kSpectrumDelayMs = 150;
// Significant digits of a frequency put into the initial-value box, and of the
// amplitudes in the table (whatever the unit of the record).
constexpr int kFrequencyDigits = 4;
constexpr int kAmplitudeDigits = 4;

enum Column { kStartColumn, kFColumn, kHColumn, kAColumn, kRatioColumn, kVerdictColumn, kFlagsColumn, kColumns };

// Marks the window's long work while it runs, so that nothing deferred starts
// more of it from the progress dialog's event loop.
class Working {
 public:
  explicit Working(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
  ~Working() { flag_ = was_; }
  Working(const Working&) = delete;
  Working& operator=(const Working&) = delete;

 private:
  bool& flag_;
  bool was_;
};

QString Utf8(std::string_view text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A value with `digits` significant digits in plain decimals ("1.604", "1024").
std::string SignificantText(double value, int digits) {
  const double magnitude = std::fabs(value);
  const int exponent =
      magnitude > 0.0 && std::isfinite(magnitude) ? static_cast<int>(std::floor(std::log10(magnitude))) : 0;
  return FormatFixed(value, std::clamp(digits - 1 - exponent, 0, 12));
}

std::string FrequencyText(double hz) { return SignificantText(hz, kFrequencyDigits); }

QLabel* MakeLabel(QWidget* parent, const QString& text, int x, int y, int width = 0) {
  auto* label = new QLabel(text, parent);
  label->move(x, y);
  label->adjustSize();
  if (width > 0) label->setFixedWidth(width);
  return label;
}

}  // namespace

TOverview::TOverview(Platform& platform, Session& session, QWidget* parent)
    : QWidget(parent, Qt::Window), platform_(platform), session_(session), strip_(kStripWidth, kStripHeight) {
  setObjectName("Overview");
  setWindowTitle(kTitle);
  SetGraphWindowLook(*this, {kOuterWidth, kOuterHeight}, kBackground);

  MakeLabel(this, "記録の全体　クリック：表示開始点をそこへ　▼：検出した減衰（クリックで推奨開始点へ）", 8, 6);
  StripImage = new OverviewPicture(kStripWidth, kStripHeight, this);
  StripImage->setObjectName("StripImage");
  StripImage->move(8, 24);
  StripImage->OnClick = [this](int x, int y) { RunGuarded(platform_, [&] { StripClick(x, y); }); };
  LabelStatus = MakeLabel(this, "", 8, 202, 840);
  LabelStatus->setObjectName("LabelStatus");
  BtnDetect = new QPushButton("減衰を検出", this);
  BtnDetect->setObjectName("BtnDetect");
  BtnDetect->setGeometry(868, 199, 106, 25);
  BtnDetect->setToolTip("表示中のチャンネルの自由減衰を探します");
  connect(BtnDetect, &QPushButton::clicked, this, [this] { RunGuarded(platform_, [this] { BtnDetectClick(); }); });

  constexpr int kGraphsTop = 250;
  LabelSpectrum = MakeLabel(this, "表示区間のスペクトル", 8, kGraphsTop - 20, kGraphWidth);
  LabelSpectrum->setObjectName("LabelSpectrum");
  MakeLabel(this, "振幅と振動数（採用した評価）", 330, kGraphsTop - 20);
  MakeLabel(this, "振幅と減衰比（採用した評価）", 652, kGraphsTop - 20);
  auto graphImage = [this](const char* name, int x, std::unique_ptr<TMyGraph>& graph) {
    auto* image = new OverviewPicture(kGraphWidth, kGraphHeight, this);
    image->setObjectName(name);
    image->move(x, kGraphsTop);
    graph = std::make_unique<TMyGraph>(image->Picture(), platform_);
    return image;
  };
  SpectrumImage = graphImage("SpectrumImage", 8, spectrumGraph_);
  SpectrumImage->setToolTip("ピークをクリックすると、その振動数を評価の初期値とフィルタの中央振動数にします");
  SpectrumImage->OnClick = [this](int x, int y) { RunGuarded(platform_, [&] { SpectrumClick(x, y); }); };
  FImage = graphImage("FImage", 330, fGraph_);
  HImage = graphImage("HImage", 652, hGraph_);
  for (OverviewPicture* image : {FImage, HImage}) {
    image->setToolTip("●採用した評価　▲警告のある評価　青線：平均値");
    image->setCursor(Qt::ArrowCursor);
  }

  constexpr int kRunTop = kGraphsTop + kGraphHeight + 10;
  BtnEvaluateAll = new QPushButton("検出した減衰をすべて評価", this);
  BtnEvaluateAll->setObjectName("BtnEvaluateAll");
  BtnEvaluateAll->setGeometry(8, kRunTop, 220, 28);
  BtnEvaluateAll->setToolTip("各減衰の推奨開始点から、表示時間幅と初期値hで評価し、結果ファイルと評価記録に残します");
  connect(BtnEvaluateAll, &QPushButton::clicked, this,
          [this] { RunGuarded(platform_, [this] { BtnEvaluateAllClick(); }); });
  CBAlong = new QCheckBox("減衰に沿って順に評価", this);
  CBAlong->setObjectName("CBAlong");
  CBAlong->setGeometry(8, kRunTop + 36, 220, 20);
  CBAlong->setToolTip("推奨開始点からステップずつずらして、区間が減衰の終わりを越えるまで評価します");
  MakeLabel(this, "ステップ", 28, kRunTop + 64);
  SpinStep = new QSpinBox(this);
  SpinStep->setObjectName("SpinStep");
  SpinStep->setGeometry(92, kRunTop + 60, 96, 22);
  SpinStep->setRange(1, 100000000);
  SpinStep->setValue(kDefaultStep);
  SpinStep->setSuffix(" 点");
  SpinStep->setAccessibleName("ステップ（点）");
  SpinStep->setEnabled(false);
  connect(CBAlong, &QCheckBox::toggled, SpinStep, &QSpinBox::setEnabled);

  Table = new QTableWidget(0, kColumns, this);
  Table->setObjectName("Table");
  Table->setGeometry(236, kRunTop, 738, 150);
  Table->setHorizontalHeaderLabels({"開始点", "振動数 f(Hz)", "減衰比 h", "振幅 |A|", "近似度", "判定", "警告"});
  Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  Table->horizontalHeader()->setSectionResizeMode(kFlagsColumn, QHeaderView::ResizeToContents);
  Table->verticalHeader()->setVisible(false);
  Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  Table->setSelectionBehavior(QAbstractItemView::SelectRows);
  Table->setAccessibleName("すべて評価の結果");
  Table->setToolTip("ダブルクリックでその区間を表示します");
  connect(Table, &QTableWidget::cellDoubleClicked, this,
          [this](int row, int) { RunGuarded(platform_, [&] { TableDoubleClick(row); }); });

  BtnClose = new QPushButton("閉じる", this);
  BtnClose->setObjectName("BtnClose");
  BtnClose->setGeometry(8, kRunTop + 122, 75, 25);
  connect(BtnClose, &QPushButton::clicked, this, &QWidget::hide);

  spectrumTimer_ = new QTimer(this);
  spectrumTimer_->setSingleShot(true);
  spectrumTimer_->setInterval(kSpectrumDelayMs);
  connect(spectrumTimer_, &QTimer::timeout, this, [this] { DrawSpectrum(); });

  DrawStrip();
  DrawSpectrum();
  DrawAmplitudeGraphs();
  NameControls(*this);
}

TOverview::~TOverview() = default;

const TMyGraph& TOverview::SpectrumGraph() const { return *spectrumGraph_; }

void TOverview::ShowWindow() {
  show();
  raise();
  activateWindow();
  channel_ = ActiveChannel();
  if (session_.Loaded() && !session_.DetectionKnown(channel_) && declinedChannel_ != channel_ &&
      !EnsureDetection(channel_)) {
    declinedChannel_ = channel_;
  }
  Follow();
  DrawSpectrum();
}

void TOverview::RecordChanged() {
  for (std::optional<MinMaxSummary>& summary : summaries_) summary.reset();
  spectrumTimer_->stop();
  spectrumKey_ = {};
  spectrum_ = {};
  declinedChannel_.reset();
  lastRun_.clear();
  ShowRunTable();
}

void TOverview::Follow() {
  if (!isVisible()) return;
  channel_ = ActiveChannel();
  DrawStrip();
  DrawAmplitudeGraphs();
  ShowStatus();
  // The spectrum waits until the view has stopped moving for a moment: a
  // slider dragged over a record of a high rate would otherwise compute one
  // for every step.
  if (!(ShownStretch() == spectrumKey_)) spectrumTimer_->start();
  // The decays of a channel not searched yet are looked for once the main
  // window's handler that led here has finished.
  if (session_.Loaded() && !session_.DetectionKnown(channel_) && declinedChannel_ != channel_) {
    QTimer::singleShot(0, this, [this] {
      if (working_ || !isVisible() || !session_.Loaded() || session_.DetectionKnown(channel_) ||
          declinedChannel_ == channel_) {
        return;
      }
      RunGuarded(platform_, [this] { BtnDetectClick(); });
    });
  }
}

void TOverview::changeEvent(QEvent* event) {
  // The store may have changed in the scatter window (a reset, an exclusion).
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) DrawAmplitudeGraphs();
  QWidget::changeEvent(event);
}

int TOverview::ActiveChannel() const {
  const ViewWindow& view = session_.View();
  const int channels = session_.Record().ChannelCount;
  if (channels <= 0) return 0;
  if (view.SingleChannel && view.SingleIndex < channels) return view.SingleIndex;
  for (int k = 0; k < channels; ++k) {
    if (view.Channels[static_cast<std::size_t>(k)]) return k;
  }
  return std::clamp(view.SingleIndex, 0, channels - 1);
}

bool TOverview::EnsureDetection(int channel) {
  if (session_.DetectionKnown(channel)) return true;
  Session& session = session_;
  // "中止" keeps nothing: the session caches only a finished detection.
  const Working working(working_);
  platform_.RunLongWork(
      kDetectingLabel, [&session, channel](WorkReporter& reporter) { session.Detection(channel, &reporter.progress); });
  return session_.DetectionKnown(channel);
}

std::span<const DetectedDecay> TOverview::KnownDecays(int channel) {
  if (!session_.Loaded() || !session_.DetectionKnown(channel)) return {};
  const DecayDetection& detection = session_.Detection(channel);
  if (!detection.Ok()) return {};
  return detection.Decays;
}

const MinMaxSummary* TOverview::SummaryOf(int channel) {
  const WaveData& record = session_.Record();
  if (channel < 0 || channel >= record.ChannelCount) return nullptr;
  std::optional<MinMaxSummary>& summary = summaries_[static_cast<std::size_t>(channel)];
  if (!summary) {
    const std::vector<float>& samples = record.Samples[static_cast<std::size_t>(channel)];
    const std::size_t count = std::min(samples.size(), static_cast<std::size_t>(std::max(record.SampleCount, 0)));
    summary.emplace(std::span<const float>(samples.data(), count));
  }
  return &*summary;
}

void TOverview::DrawStrip() {
  const WaveData& record = session_.Record();
  const ViewWindow& view = session_.View();
  std::vector<StripLane> lanes;
  std::vector<std::int64_t> flagged;
  std::span<const DetectedDecay> decays;
  StripMarks marks;
  if (session_.Loaded()) {
    strip_.SetRecord(record.SampleCount, record.Rate);
    bool any = false;
    for (int k = 0; k < record.ChannelCount; ++k) any = any || view.Channels[static_cast<std::size_t>(k)];
    for (int k = 0; k < record.ChannelCount; ++k) {
      // The channels the main view shows; all of them while it shows none.
      if (any && !view.Channels[static_cast<std::size_t>(k)]) continue;
      lanes.push_back({SummaryOf(k), std::to_string(k + 1) + "ch", k == channel_});
    }
    decays = KnownDecays(channel_);
    auto flag = [&](const Evaluation* evaluation) {
      if (evaluation != nullptr && !evaluation->Flags.empty() && evaluation->Request.Channel == channel_) {
        flagged.push_back(evaluation->Request.Start);
      }
    };
    for (const Evaluation* evaluation : session_.StoredEvaluations()) flag(evaluation);
    for (const Evaluation& evaluation : lastRun_) flag(&evaluation);
    marks.ViewStart = view.Start;
    marks.ViewCount = WindowSamples(record.Rate, view.WidthSeconds);
    marks.Decays = decays;
    marks.FlaggedStarts = flagged;
  } else {
    strip_.SetRecord(0, 0.0);
  }
  strip_.Draw(StripImage->Picture(), lanes, marks);
  StripImage->Refresh();
}

TOverview::SpectrumKey TOverview::ShownStretch() const {
  const WaveData& record = session_.Record();
  if (!session_.Loaded() || record.SampleCount <= 0) return {};
  const ViewWindow& view = session_.View();
  const std::int64_t first = std::clamp<std::int64_t>(view.Start, 0, record.SampleCount - 1);
  const std::int64_t count =
      std::min<std::int64_t>(WindowSamples(record.Rate, view.WidthSeconds), record.SampleCount - first);
  return {channel_, first, count};
}

void TOverview::DrawSpectrum() {
  spectrumTimer_->stop();
  const SpectrumKey key = ShownStretch();
  QString caption = "表示区間のスペクトル";
  if (key.Channel >= 0) {
    if (!(key == spectrumKey_)) {
      const std::vector<float>& samples = session_.Record().Samples[static_cast<std::size_t>(key.Channel)];
      const auto first = static_cast<std::size_t>(key.First);
      const std::size_t end = std::min(samples.size(), first + static_cast<std::size_t>(key.Count));
      spectrum_ = StretchSpectrum(std::span<const float>(samples.data() + first, end - std::min(first, end)),
                                  session_.Record().Rate);
      spectrumKey_ = key;
    }
    caption = QString("表示区間のスペクトル（%1ch、開始点 %2）").arg(key.Channel + 1).arg(key.First);
    if (!spectrum_.Ok()) caption += "：" + Utf8(spectrum_.Failure->Message);
  } else {
    spectrum_ = {};
    spectrumKey_ = {};
  }
  LabelSpectrum->setText(caption);
  LabelSpectrum->setToolTip(caption);
  DrawSpectrumGraph(*spectrumGraph_, spectrum_, kWhite);
  SpectrumImage->Refresh();
  ShowGraphNotices(platform_, *spectrumGraph_);
}

void TOverview::DrawAmplitudeGraphs() {
  std::vector<AmplitudePoint> fs;
  std::vector<AmplitudePoint> hs;
  for (const Evaluation* evaluation : session_.StoredEvaluations()) {
    if (evaluation == nullptr || !evaluation->Accepted()) continue;
    const float amplitude = std::fabs(evaluation->Fit.Result.A);
    const bool flagged = !evaluation->Flags.empty();
    fs.push_back({amplitude, evaluation->Acceptance.F, flagged});
    hs.push_back({amplitude, evaluation->Acceptance.H, flagged});
  }
  const ResultStore& store = session_.Store();
  const bool averaged = store.NData > 0;
  DrawAmplitudeGraph(*fGraph_, fs, averaged ? std::optional<float>(store.AveF) : std::nullopt, "振動数 f [Hz]", kWhite);
  DrawAmplitudeGraph(*hGraph_, hs, averaged ? std::optional<float>(store.AveH) : std::nullopt, "減衰比 h", kWhite);
  FImage->Refresh();
  HImage->Refresh();
}

void TOverview::ShowStatus() {
  const WaveData& record = session_.Record();
  QString text;
  if (!session_.Loaded()) {
    text = "記録が読み込まれていません。";
  } else {
    text = QString("%1ch %2：")
               .arg(channel_ + 1)
               .arg(DisplayText(SlotText(record.Names[static_cast<std::size_t>(channel_)])));
    if (!session_.DetectionKnown(channel_)) {
      text += declinedChannel_ == channel_ ? "減衰の検出は中止しました（「減衰を検出」でやり直せます）。"
                                           : "減衰はまだ検出していません。";
    } else if (const DecayDetection& detection = session_.Detection(channel_); !detection.Ok()) {
      text += Utf8(detection.Failure->Message);
    } else if (detection.Decays.empty()) {
      text += "自由減衰は見つかりませんでした。";
    } else {
      text += QString("自由減衰 %1 件（中心 %2 Hz）")
                  .arg(detection.Decays.size())
                  .arg(QString::fromStdString(FrequencyText(detection.CentreHz)));
    }
  }
  LabelStatus->setText(text);
  BtnDetect->setEnabled(session_.Loaded());
  BtnEvaluateAll->setEnabled(session_.Loaded());
}

void TOverview::StripClick(int x, int y) {
  if (!session_.Loaded() || !links_.MoveStartTo) return;
  const std::span<const DetectedDecay> decays = KnownDecays(channel_);
  if (const std::optional<std::size_t> decay = strip_.DecayAt(x, y, decays)) {
    links_.MoveStartTo(decays[*decay].Start);
    return;
  }
  links_.MoveStartTo(strip_.SampleAtX(x));
}

void TOverview::SpectrumClick(int x, int y) {
  if (!session_.Loaded() || !spectrum_.Ok() || !links_.SetInitialFrequency) return;
  const std::optional<std::size_t> peak = SpectrumPeakAt(*spectrumGraph_, spectrum_, x, y);
  if (!peak) return;
  links_.SetInitialFrequency(FrequencyText(spectrum_.Peaks[*peak].F));
}

void TOverview::BtnDetectClick() {
  if (!session_.Loaded()) return;
  channel_ = ActiveChannel();
  declinedChannel_.reset();
  if (!EnsureDetection(channel_)) declinedChannel_ = channel_;
  DrawStrip();
  ShowStatus();
}

void TOverview::BtnEvaluateAllClick() {
  if (!session_.Loaded()) return;
  const WaveData& record = session_.Record();
  const ViewWindow& view = session_.View();
  // As "評　価": one channel shown, the one evaluated.
  if (!view.SingleChannel || view.SingleIndex < 0 || view.SingleIndex >= record.ChannelCount) {
    platform_.ShowMessage("評価するチャンネルを１つだけ表示してください。", kTitle, MessageIcon::Warning);
    return;
  }
  DecayEvaluationSettings settings;
  settings.Channel = view.SingleIndex;
  settings.WidthSeconds = view.WidthSeconds;
  settings.H0 = links_.InitialDamping ? links_.InitialDamping() : kDefaultInitialDamping;
  if (CBAlong->isChecked()) settings.StepSamples = SpinStep->value();
  channel_ = settings.Channel;
  if (!EnsureDetection(channel_)) {
    declinedChannel_ = channel_;
    ShowStatus();
    return;
  }
  settings.DetectedBy = session_.DetectionTrace(channel_);
  const std::vector<EvaluationRequest> requests = DecayRequests(KnownDecays(channel_), record.Rate, settings);
  if (requests.empty()) {
    ShowStatus();
    platform_.ShowMessage("評価する減衰が検出されていません。", kTitle, MessageIcon::Information);
    return;
  }

  // Every evaluation is made away from the window; only a run that completed
  // is recorded, in start order, so that "中止" leaves the results file, the
  // log and the store as they were.
  DecayEvaluationRun run;
  const Session& session = session_;
  const std::time_t when = std::time(nullptr);
  const int channel = channel_;
  const Working working(working_);
  const bool completed = platform_.RunLongWork(kEvaluatingLabel, [&](WorkReporter& reporter) {
    run =
        EvaluateRequests(session.Record(), session.Band(), requests, when, session.Facts(channel), &reporter.progress);
  });
  if (!completed || run.Cancelled) {
    LabelStatus->setText("評価を中止しました。結果ファイルと評価記録は変わっていません。");
    return;
  }
  lastRun_ = run.Evaluations;
  std::vector<SessionEvaluation> outcomes;
  outcomes.reserve(run.Evaluations.size());
  for (Evaluation& evaluation : run.Evaluations) outcomes.push_back(session_.Record(std::move(evaluation)));
  ShowRunTable();
  if (links_.EvaluationsRecorded) links_.EvaluationsRecorded(outcomes);
  Follow();
}

void TOverview::TableDoubleClick(int row) {
  if (row < 0 || row >= static_cast<int>(lastRun_.size()) || !links_.MoveStartTo) return;
  links_.MoveStartTo(lastRun_[static_cast<std::size_t>(row)].Request.Start);
}

void TOverview::ShowRunTable() {
  Table->clearSpans();
  Table->setRowCount(static_cast<int>(lastRun_.size()));
  const QIcon warning = style()->standardIcon(QStyle::SP_MessageBoxWarning);
  for (int row = 0; row < static_cast<int>(lastRun_.size()); ++row) {
    const Evaluation& evaluation = lastRun_[static_cast<std::size_t>(row)];
    QString cells[kColumns];
    cells[kStartColumn] = QString::number(evaluation.Request.Start);
    if (evaluation.Ok()) {
      const FitResult& result = evaluation.Fit.Result;
      cells[kFColumn] = QString::fromStdString(FormatFixed(result.F, 3));
      cells[kHColumn] = QString::fromStdString(FormatFixed(result.H, 4));
      cells[kAColumn] = QString::fromStdString(SignificantText(std::fabs(result.A), kAmplitudeDigits));
      cells[kRatioColumn] = QString::fromStdString(FormatFixed(100.0 * result.Ratio, 1)) + "％";
      cells[kVerdictColumn] = evaluation.Accepted() ? "採用" : "不採用";
    } else {
      cells[kVerdictColumn] = "失敗";
      cells[kFColumn] = Utf8(evaluation.Fit.Failure->Message);
      Table->setSpan(row, kFColumn, 1, kRatioColumn - kFColumn + 1);
    }
    QStringList names;
    QStringList texts;
    for (const EvaluationFlag flag : evaluation.Flags) {
      names << Utf8(FlagShortText(flag));
      texts << Utf8(FlagText(flag));
    }
    cells[kFlagsColumn] = names.join("・");
    for (int column = 0; column < kColumns; ++column) {
      auto* item = new QTableWidgetItem(cells[column]);
      if (column == kFlagsColumn && !names.isEmpty()) {
        item->setIcon(warning);
        item->setToolTip(texts.join("\n"));
      }
      Table->setItem(row, column, item);
    }
  }
}
