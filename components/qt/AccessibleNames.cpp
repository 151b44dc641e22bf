#include "components/qt/AccessibleNames.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QWidget>

QString CaptionAsName(QString caption) {
  caption.remove(QChar(u'&'));
  caption.remove(QChar(u'\u3000'));
  return caption.trimmed();
}

void NameControls(QWidget& window, std::initializer_list<std::pair<const char*, const char*>> names) {
  QList<QWidget*> widgets = window.findChildren<QWidget*>();
  widgets.prepend(&window);
  for (QWidget* widget : widgets) {
    if (!widget->accessibleName().isEmpty()) continue;
    QString name;
    for (const auto& [object, given] : names) {
      if (widget->objectName() == QLatin1String(object)) name = QString::fromUtf8(given);
    }
    if (name.isEmpty()) {
      if (const auto* button = qobject_cast<QAbstractButton*>(widget)) name = CaptionAsName(button->text());
      else if (const auto* group = qobject_cast<QGroupBox*>(widget)) name = CaptionAsName(group->title());
    }
    if (name.isEmpty()) name = widget->toolTip();
    if (!name.isEmpty()) widget->setAccessibleName(name);
  }
}
