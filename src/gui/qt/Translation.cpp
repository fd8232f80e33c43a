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
  // One catalogue per Qt module the program links: Core, Gui and Widgets are all qtbase's.
  // (Qt 6.4's qtbase_ja has no Japanese for the file dialog's type column, "Folder" and
  // "%1 File"; the README says so.)
  static const char* const kCatalogues[] = {"qtbase_ja"};
  bool all = true;
  for (const char* catalogue : kCatalogues) {
    // Owned by the application, so it lives exactly as long as the texts it translates.
    auto* translator = new QTranslator(&app);
    if (!translator->load(QString::fromLatin1(catalogue),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
        !QApplication::installTranslator(translator)) {
      delete translator;
      all = false;
    }
  }
  return all;
}

}  // namespace korvel
