#pragma once

#include <QString>
#include <QStringList>

namespace korvane {

// The editor's texts are Chinese; English is a translation chosen explicitly.
enum class TLanguage { Chinese, English };

// "--lang en" or "--lang=en" among `arguments`, else `environment` (the value
// of KORVANE_LANG) "en", chooses English; anything else leaves Chinese.
TLanguage ChooseLanguage(const QStringList& arguments, const QString& environment);

// Installs on the running application the translators for `language`: for
// Chinese, Qt's own Chinese texts of standard buttons and dialogs; for
// English, the editor's English texts. False when one could not be loaded
// (the texts then stay as they are).
bool InstallTranslations(TLanguage language);

}  // namespace korvane
