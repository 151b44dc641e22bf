#include "app/UOtherFormat.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <cstdio>

#include "app/Conversions.h"
#include "app/UCenter.h"
#include "components/qt/AccessibleNames.h"
#include "components/Platform.h"
#include "components/qt/DisplayText.h"
#include "components/qt/ScreenCentre.h"
#include "io/NumberText.h"
#include "io/RecordPreview.h"

namespace {

// The formats in the order of the format box.
constexpr FileKind kFormats[] = {FileKind::Text, FileKind::Wav, FileKind::Uff, FileKind::Mat};
// The separators after "自動" in the separator box.
constexpr TextDelimiter kDelimiters[] = {TextDelimiter::Comma, TextDelimiter::Semicolon, TextDelimiter::Tab,
                                         TextDelimiter::Blanks};
constexpr int kPreviewRows = 10;
constexpr double kMinRate = 1e-6;
constexpr double kMaxRate = 2147483647.0;

QString DelimiterName(TextDelimiter delimiter) {
  switch (delimiter) {
    case TextDelimiter::Comma: return "カンマ（,）";
    case TextDelimiter::Semicolon: return "セミコロン（;）";
    case TextDelimiter::Tab: return "タブ";
    case TextDelimiter::Blanks: return "空白";
  }
  return {};
}

QString DecimalName(char decimal) { return decimal == ',' ? "カンマ（,）" : "ピリオド（.）"; }

QString Number(double value) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6g", value);
  return QString::fromLatin1(text);
}

}  // namespace

TOtherFormat::TOtherFormat(Platform& platform, QWidget* parent) : QDialog(parent), platform_(platform) {
  setObjectName("OtherFormat");
  setWindowTitle("他の形式のファイルを開く");
  SetSettingsDialogLook(*this, {kOuterWidth, kOuterHeight});

  auto label = [this](const QString& text, int x, int y) {
    auto* l = new QLabel(text, this);
    l->move(x, y);
    l->adjustSize();
    return l;
  };
  // Laid out in the 560 x 566 client area.
  label("ファイル", 16, 14);
  LabelFile = label("", 150, 14);
  LabelFile->setObjectName("LabelFile");
  LabelFile->setMinimumWidth(390);

  label("形式", 16, 44);
  CbFormat = new QComboBox(this);
  CbFormat->setObjectName("CbFormat");
  CbFormat->setGeometry(150, 40, 220, 24);
  CbFormat->addItems({"テキスト（数値の列）", "WAV", "UFF（データセット58）", "MATLAB"});

  RadioRate = new QRadioButton("サンプリング周波数", this);
  RadioRate->setObjectName("RadioRate");
  RadioRate->setGeometry(12, 74, 140, 22);
  RadioRate->setChecked(true);
  EdRate = new QLineEdit(this);
  EdRate->setObjectName("EdRate");
  EdRate->setGeometry(150, 74, 90, 22);
  label("Hz", 246, 78);
  RadioTime = new QRadioButton("時刻の列", this);
  RadioTime->setObjectName("RadioTime");
  RadioTime->setGeometry(12, 102, 140, 22);
  EdTimeColumn = new QLineEdit("1", this);
  EdTimeColumn->setObjectName("EdTimeColumn");
  EdTimeColumn->setGeometry(150, 102, 50, 22);
  label("列目（秒）", 206, 106);
  auto* rateGroup = new QButtonGroup(this);
  rateGroup->addButton(RadioRate);
  rateGroup->addButton(RadioTime);

  label("見出しの行数", 16, 136);
  EdSkip = new QLineEdit(this);
  EdSkip->setObjectName("EdSkip");
  EdSkip->setGeometry(150, 132, 90, 22);
  label("区切り", 16, 166);
  CbDelimiter = new QComboBox(this);
  CbDelimiter->setObjectName("CbDelimiter");
  CbDelimiter->setGeometry(150, 162, 150, 24);
  CbDelimiter->addItem("自動");
  for (const TextDelimiter delimiter : kDelimiters) CbDelimiter->addItem(DelimiterName(delimiter));
  label("小数点", 16, 196);
  CbDecimal = new QComboBox(this);
  CbDecimal->setObjectName("CbDecimal");
  CbDecimal->setGeometry(150, 192, 150, 24);
  CbDecimal->addItems({"自動", DecimalName('.'), DecimalName(',')});

  label("変数（MATLAB）", 320, 136);
  CbVariable = new QComboBox(this);
  CbVariable->setObjectName("CbVariable");
  CbVariable->setGeometry(430, 132, 118, 24);
  label("倍率（WAV）", 320, 166);
  EdScale = new QLineEdit("1", this);
  EdScale->setObjectName("EdScale");
  EdScale->setGeometry(430, 162, 80, 22);
  label("単位", 320, 196);
  EdUnit = new QLineEdit(this);
  EdUnit->setObjectName("EdUnit");
  EdUnit->setGeometry(430, 192, 80, 22);

  label("ファイルの先頭", 16, 226);
  MemoLines = new QPlainTextEdit(this);
  MemoLines->setObjectName("MemoLines");
  MemoLines->setGeometry(16, 244, 528, 120);
  label("読み取った値", 16, 372);
  MemoRows = new QPlainTextEdit(this);
  MemoRows->setObjectName("MemoRows");
  MemoRows->setGeometry(16, 390, 528, 120);
  for (QPlainTextEdit* memo : {MemoLines, MemoRows}) {
    memo->setReadOnly(true);
    memo->setLineWrapMode(QPlainTextEdit::NoWrap);
  }
  LabelState = label("", 16, 516);
  LabelState->setObjectName("LabelState");
  LabelState->setWordWrap(true);
  LabelState->setGeometry(16, 514, 360, 44);

  OKButton = new QPushButton("OK", this);
  OKButton->setObjectName("OKButton");
  OKButton->setGeometry(388, 530, 75, 25);
  OKButton->setDefault(true);
  CancelButton = new QPushButton("キャンセル", this);
  CancelButton->setObjectName("CancelButton");
  CancelButton->setGeometry(469, 530, 75, 25);
  connect(OKButton, &QPushButton::clicked, this, [this] { OKButtonClick(); });
  connect(CancelButton, &QPushButton::clicked, this, &QDialog::reject);

  // Every change of a setting shows what it reads.
  auto refresh = [this] { RunGuarded(platform_, [this] { RefreshPreview(); }); };
  connect(CbFormat, &QComboBox::currentIndexChanged, this, [this, refresh] {
    EnableForKind();
    refresh();
  });
  for (QComboBox* box : {CbDelimiter, CbDecimal, CbVariable}) connect(box, &QComboBox::currentIndexChanged, this, refresh);
  for (QLineEdit* edit : {EdRate, EdTimeColumn, EdSkip, EdScale, EdUnit}) connect(edit, &QLineEdit::textChanged, this, refresh);
  connect(RadioRate, &QRadioButton::toggled, this, refresh);
  EnableForKind();
  NameControls(*this, {{"EdRate", "サンプリング周波数（Hz）"},
                       {"EdTimeColumn", "時刻の列（何列目か）"},
                       {"EdSkip", "見出しの行数"},
                       {"CbVariable", "変数（MATLAB）"},
                       {"EdScale", "倍率（WAV）"},
                       {"EdUnit", "単位"},
                       {"MemoLines", "ファイルの先頭の行"},
                       {"MemoRows", "読み込まれる値の見本"}});
}

FileKind TOtherFormat::Kind() const {
  const int index = CbFormat->currentIndex();
  return index >= 0 && index < static_cast<int>(std::size(kFormats)) ? kFormats[index] : FileKind::Text;
}

void TOtherFormat::EnableForKind() {
  const FileKind kind = Kind();
  const bool text = kind == FileKind::Text;
  RadioRate->setEnabled(text || kind == FileKind::Mat);
  EdRate->setEnabled(text || kind == FileKind::Mat);
  RadioTime->setEnabled(text);
  EdTimeColumn->setEnabled(text);
  if (!text) RadioRate->setChecked(true);
  for (QWidget* control : std::initializer_list<QWidget*>{EdSkip, CbDelimiter, CbDecimal}) control->setEnabled(text);
  CbVariable->setEnabled(kind == FileKind::Mat);
  EdScale->setEnabled(kind == FileKind::Wav);
}

void TOtherFormat::Preset(const std::string& path, FileKind kind) {
  path_ = path;
  request_.reset();
  LabelFile->setText(DisplayText(FileNameOf(path)));
  int index = 0;
  for (std::size_t k = 0; k < std::size(kFormats); ++k) {
    if (kFormats[k] == kind) index = static_cast<int>(k);
  }
  refreshing_ = true;
  CbFormat->setCurrentIndex(index);
  CbVariable->clear();
  CbVariable->addItem("自動");
  refreshing_ = false;
  EnableForKind();
  RefreshPreview();
}

std::optional<ReadOptions> TOtherFormat::Options(bool strict, std::string* problem) const {
  ReadOptions options;
  const FileKind kind = Kind();
  auto refuse = [problem](const char* message) {
    if (problem != nullptr) *problem = message;
    return std::nullopt;
  };
  // A field that does not read as a number is left out of the preview; OK
  // raises the program's conversion error for it.
  auto real = [strict](const QString& text) -> std::optional<double> {
    if (text.trimmed().isEmpty()) return std::nullopt;
    if (strict) return StrToFloat(text);
    try {
      return StrToFloat(text);
    } catch (const ConversionError&) {
      return std::nullopt;
    }
  };
  auto integer = [strict](const QString& text) -> std::optional<int> {
    if (text.trimmed().isEmpty()) return std::nullopt;
    if (strict) return StrToInt(text);
    try {
      return StrToInt(text);
    } catch (const ConversionError&) {
      return std::nullopt;
    }
  };
  const bool text = kind == FileKind::Text;
  if (text || kind == FileKind::Mat) {
    if (RadioRate->isChecked()) {
      options.Rate = real(EdRate->text());
      if (strict && !options.Rate) return refuse("サンプリング周波数を入れてください。");
      if (options.Rate && !(*options.Rate >= kMinRate && *options.Rate <= kMaxRate)) {
        if (strict) return refuse("サンプリング周波数は 0.000001 から 2147483647 までの数で入れてください。");
        options.Rate.reset();
      }
    } else {
      options.TimeColumn = integer(EdTimeColumn->text());
      if (options.TimeColumn && *options.TimeColumn < 1) {
        if (strict) return refuse("時刻の列は 1 からの列番号で入れてください。");
        options.TimeColumn.reset();
      }
      if (strict && !options.TimeColumn) return refuse("時刻の列を入れてください。");
    }
  }
  if (text) {
    options.Skip = integer(EdSkip->text());
    if (options.Skip && *options.Skip < 0) {
      if (strict) return refuse("見出しの行数は 0 以上で入れてください（空なら自動）。");
      options.Skip.reset();
    }
    if (CbDelimiter->currentIndex() > 0) options.Delimiter = kDelimiters[CbDelimiter->currentIndex() - 1];
    if (CbDecimal->currentIndex() > 0) options.Decimal = CbDecimal->currentIndex() == 1 ? '.' : ',';
    if (strict && options.Delimiter == TextDelimiter::Comma && options.Decimal == ',') {
      return refuse("区切りと小数点に同じカンマは使えません。");
    }
  }
  if (kind == FileKind::Wav) {
    const std::optional<double> scale = real(EdScale->text());
    if (scale && *scale != 0.0) options.Scale = *scale;
    else if (strict) return refuse("倍率は 0 以外の数で入れてください。");
  }
  if (kind == FileKind::Mat && CbVariable->currentIndex() > 0) options.Variable = CbVariable->currentText().toStdString();
  if (!EdUnit->text().isEmpty()) options.Unit = EdUnit->text().toStdString();
  return options;
}

void TOtherFormat::RefreshPreview() {
  if (refreshing_ || path_.empty()) return;
  refreshing_ = true;
  const FileKind kind = Kind();
  const ReadOptions options = Options(false, nullptr).value_or(ReadOptions{});
  const RecordPreview preview = PreviewRecordFile(path_, kind, options, kPreviewRows);

  QString lines;
  for (const std::string& line : preview.Lines) lines += DisplayText(line) + "\n";
  if (preview.Lines.empty()) lines = kind == FileKind::Wav || kind == FileKind::Mat ? "（バイナリファイル）" : "";
  MemoLines->setPlainText(lines);

  // What was found where the user left it to the reader.
  if (preview.Layout) {
    CbDelimiter->setItemText(0, "自動（" + DelimiterName(preview.Layout->Delimiter) + "）");
    CbDecimal->setItemText(0, "自動（" + DecimalName(preview.Layout->Decimal) + "）");
    EdSkip->setPlaceholderText("自動（" + QString::number(preview.Layout->Skip) + "）");
  } else {
    CbDelimiter->setItemText(0, "自動");
    CbDecimal->setItemText(0, "自動");
    EdSkip->setPlaceholderText("自動");
  }
  if (kind == FileKind::Mat) {
    const QString chosen = CbVariable->currentText();
    CbVariable->clear();
    CbVariable->addItem("自動");
    for (const MatVariable& variable : preview.Variables) {
      if (variable.Readable) CbVariable->addItem(QString::fromStdString(variable.Name));
    }
    CbVariable->setCurrentIndex(std::max(0, CbVariable->findText(chosen)));
  }

  QString rows;
  for (std::size_t k = 0; k < preview.Names.size(); ++k) rows += (k > 0 ? "\t" : "") + DisplayText(preview.Names[k]);
  if (!preview.Names.empty()) rows += "\n";
  for (const std::vector<float>& row : preview.Rows) {
    for (std::size_t k = 0; k < row.size(); ++k) rows += (k > 0 ? "\t" : "") + Number(row[k]);
    rows += "\n";
  }
  MemoRows->setPlainText(rows);

  QString state;
  if (!preview.Message.empty()) {
    state = QString::fromStdString(preview.Message);
  } else {
    state = QString::number(preview.Names.size()) + " チャンネル";
    if (preview.Samples >= 0) state += "、" + QString::number(preview.Samples) + " サンプル";
    if (preview.Rate > 0) state += "、" + QString::fromStdString(RateText(preview.Rate)) + " /s";
    for (const std::string& warning : preview.Warnings) state += "　" + QString::fromStdString(warning);
  }
  LabelState->setText(state);
  refreshing_ = false;
}

void TOtherFormat::OKButtonClick() {
  RunGuarded(platform_, [this] {
    std::string problem;
    const std::optional<ReadOptions> options = Options(true, &problem);
    if (!options) {
      platform_.ShowMessage(problem, kInputErrorTitle, MessageIcon::Warning);
      return;
    }
    request_ = LoadRequest(path_, Kind(), std::nullopt, *options);
    accept();
  });
}

std::optional<LoadRequest> TOtherFormat::Ask(const std::string& path, FileKind kind) {
  Preset(path, kind);
  if (exec() != QDialog::Accepted) return std::nullopt;
  return request_;
}

void TOtherFormat::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  CentreOnScreen(*this);
}
