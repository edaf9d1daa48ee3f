#pragma once

#include <QString>
#include <QStringList>

#include "device/DeviceSeams.h"  // the catalogue's languages

namespace korvane {

// The editor's texts are Chinese; English is chosen explicitly.
// "--lang en" or "--lang=en" among `arguments`, else `environment` (the value
// of KORVANE_LANG) "en", chooses English; anything else leaves Chinese.
Language ChooseLanguage(const QStringList& arguments, const QString& environment);

// Installs on the running application the translators for `language`: for
// Chinese, Qt's own Chinese texts of standard buttons and dialogs; for
// English, the editor's English texts. The catalogue's texts follow
// `language` from then on, even when a translator could not be loaded (false;
// the window's own texts then stay as they are).
bool InstallTranslations(Language language);

// The language of the catalogue's texts in the editor: Chinese until
// InstallTranslations or SetEditorLanguage chooses another.
Language EditorLanguage();
void SetEditorLanguage(Language language);

}  // namespace korvane
