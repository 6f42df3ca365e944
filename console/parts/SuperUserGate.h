#pragma once
// The super-user gate: a password dialog whose right answer enables the
// controls that alter the unit's stored state. The two dialogs sit behind
// replaceable functions so that a test can answer them without a modal loop.

#include <QList>
#include <QString>
#include <functional>

class QWidget;

namespace zq::console {

struct PasswordAnswer {
    bool confirmed = false;
    QString text;
};

// Asks for the password; `prefill` is the initial (masked) text.
using PasswordPrompt = std::function<PasswordAnswer(QWidget *parent, const QString &prefill)>;
using WrongPasswordNotice = std::function<void()>;

// Process-wide; the programs keep the real dialogs, tests may replace them.
PasswordPrompt &passwordPrompt();
WrongPasswordNotice &wrongPasswordNotice();

// The last component of the home folder's path, which pre-fills the dialog.
QString homeFolderName();

// Runs the dialog; a right code enables `controls` for the rest of the
// window's life, a wrong one shows the notice, a cancel does nothing.
void unlockForSuperUser(QWidget *dialogParent, const QList<QWidget *> &controls);

} // namespace zq::console
