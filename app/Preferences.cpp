#include "app/Preferences.h"

#include <QSettings>
#include <QStringList>
#include <QVariant>
#include <algorithm>

namespace {

constexpr char kLastFolder[] = "files/lastFolder";
constexpr char kRecent[] = "files/recent";
constexpr char kMainGeometry[] = "window/main";
constexpr char kScatterGeometry[] = "window/scatter";
// The key the report reads too.
constexpr char kOperator[] = "report/operator";

QByteArray Bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }
std::string Text(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

}  // namespace

Preferences::Preferences()
    : settings_(std::make_unique<QSettings>(QStringLiteral("Oscalyx"), QStringLiteral("oscalyx"))) {}

Preferences::Preferences(const QString& iniFile)
    : settings_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}

Preferences::~Preferences() = default;

std::string Preferences::LastFolder() const { return Text(settings_->value(kLastFolder).toByteArray()); }

void Preferences::SetLastFolder(const std::string& folder) { settings_->setValue(kLastFolder, Bytes(folder)); }

std::vector<std::string> Preferences::RecentFiles() const {
  std::vector<std::string> files;
  for (const QVariant& path : settings_->value(kRecent).toList()) files.push_back(Text(path.toByteArray()));
  return files;
}

void Preferences::AddRecentFile(const std::string& path) {
  std::vector<std::string> files = RecentFiles();
  files.erase(std::remove(files.begin(), files.end(), path), files.end());
  files.insert(files.begin(), path);
  if (files.size() > kRecentFiles) files.resize(kRecentFiles);
  QVariantList list;
  for (const std::string& file : files) list.append(Bytes(file));
  settings_->setValue(kRecent, list);
}

QByteArray Preferences::MainGeometry() const { return settings_->value(kMainGeometry).toByteArray(); }
void Preferences::SetMainGeometry(const QByteArray& geometry) { settings_->setValue(kMainGeometry, geometry); }
QByteArray Preferences::ScatterGeometry() const { return settings_->value(kScatterGeometry).toByteArray(); }
void Preferences::SetScatterGeometry(const QByteArray& geometry) { settings_->setValue(kScatterGeometry, geometry); }

QString Preferences::Operator() const { return settings_->value(kOperator).toString(); }
void Preferences::SetOperator(const QString& name) { settings_->setValue(kOperator, name); }

void Preferences::Clear() {
  settings_->clear();
  settings_->sync();
}
