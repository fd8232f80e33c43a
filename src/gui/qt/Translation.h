#pragma once
// Qt's own texts in Japanese: the standard buttons of message boxes (はい, いいえ, キャンセル,
// OK), the file dialogs and the context menus of edit boxes. The whole program speaks
// Japanese, so this does not depend on the user's locale.

class QApplication;

namespace korvel {

// Loads Qt's Japanese translation (qtbase_ja from the translations folder of the Qt in use),
// makes Japanese the default locale and keeps Qt from handing dialogs to the desktop, whose
// own dialogs would not follow the translation. Call once, after the application object
// exists and before any window is created. False when the translation could not be loaded;
// the program then runs with Qt's English texts.
bool SetUpJapanese(QApplication& app);

}  // namespace korvel
