#include "qt/Translation.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace korvel {

bool SetUpJapanese(QApplication& app) {
  QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
  // A desktop's native file dialog would ignore the translation installed here.
  QApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
  // Owned by the application, so it lives exactly as long as the texts it translates.
  auto* translator = new QTranslator(&app);
  if (!translator->load(QStringLiteral("qtbase_ja"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
    delete translator;
    return false;
  }
  return QApplication::installTranslator(translator);
}

}  // namespace korvel
