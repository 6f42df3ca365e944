#include "SuperUserGate.h"

#include <QDir>
#include <QInputDialog>
#include <QMessageBox>

#include "ConsoleCommand.h"

namespace zq::console {

namespace {

PasswordAnswer askWithDialog(QWidget *parent, const QString &prefill) {
    PasswordAnswer answer;
    answer.text = QInputDialog::getText(parent, QStringLiteral("Enter Password"),
                                        QStringLiteral("Password :"), QLineEdit::Password, prefill,
                                        &answer.confirmed);
    return answer;
}

void showWrongPasswordBox() {
    QMessageBox box;
    box.setText(QStringLiteral("Wrong Password!"));
    box.exec();
}

} // namespace

PasswordPrompt &passwordPrompt() {
    static PasswordPrompt prompt = askWithDialog;
    return prompt;
}

WrongPasswordNotice &wrongPasswordNotice() {
    static WrongPasswordNotice notice = showWrongPasswordBox;
    return notice;
}

QString homeFolderName() {
    return QDir(QDir::homePath()).dirName();
}

void unlockForSuperUser(QWidget *dialogParent, const QList<QWidget *> &controls) {
    const PasswordAnswer answer = passwordPrompt()(dialogParent, homeFolderName());
    if (!answer.confirmed)
        return;
    if (answer.text != QLatin1String(kAccessCode)) {
        wrongPasswordNotice()();
        return;
    }
    for (QWidget *control : controls)
        control->setEnabled(true);
}

} // namespace zq::console
