#include "MessageBoxAlert.h"

#include <QMessageBox>
#include <QPushButton>

void MessageBoxAlert::show(const QString& title, const QString& message, const QString& button) {
    QMessageBox box(QMessageBox::Warning, title, title);
    box.setInformativeText(message);
    box.addButton(button, QMessageBox::AcceptRole);
    box.exec();
}
