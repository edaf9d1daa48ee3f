#include "ui/Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace korvane {
namespace {

constexpr const char* kEnglishTranslation = ":/i18n/korvane_en.qm";

Language chosenLanguage = Language::Chinese;  // the user-interface thread's only

bool Install(const QString& file, const QString& directory = {}) {
  auto* translator = new QTranslator(QCoreApplication::instance());
  if (!translator->load(file, directory) || !QCoreApplication::installTranslator(translator)) {
    delete translator;
    return false;
  }
  return true;
}

QString LanguageOption(const QStringList& arguments) {
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("--lang") && i + 1 < arguments.size()) {
      return arguments[i + 1];
    }
    if (arguments[i].startsWith(QLatin1String("--lang="))) {
      return arguments[i].mid(7);
    }
  }
  return {};
}

}  // namespace

Language ChooseLanguage(const QStringList& arguments, const QString& environment) {
  const QString option = LanguageOption(arguments);
  const QString chosen = option.isEmpty() ? environment : option;
  return chosen.trimmed().compare(QLatin1String("en"), Qt::CaseInsensitive) == 0
             ? Language::English
             : Language::Chinese;
}

Language EditorLanguage() {
  return chosenLanguage;
}

void SetEditorLanguage(Language language) {
  chosenLanguage = language;
}

bool InstallTranslations(Language language) {
  SetEditorLanguage(language);
  if (language == Language::English) {
    return Install(QString::fromLatin1(kEnglishTranslation));
  }
  // Qt's own folder, or one beside the program where it ships with it.
  const QString qtTranslations = QStringLiteral("qtbase_zh_CN");
  return Install(qtTranslations, QLibraryInfo::path(QLibraryInfo::TranslationsPath)) ||
         Install(qtTranslations, QCoreApplication::applicationDirPath() + "/translations");
}

}  // namespace korvane
